// The slide show's photos and captions and the sliding puzzle's board.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

constexpr int kPhotoSlots = 27;

// The unit's state: the photos with their captions, the slide show's
// clock and the puzzle board.
struct SlideShowState {
  int32_t Photos[kPhotoSlots] = {};
  int32_t PhotoCount = 0;
  ShortString Captions[kPhotoSlots];
  int32_t SlideIndex = 0;
  int32_t NextSlideTime = 0;  // ElapsedMs at which the slide show moves on
  float SlideAlpha = 1.0f;
  int32_t GameOverTime = -20000;  // ElapsedMs at which the puzzle was last solved
  bool PuzzleOn = false;
  int32_t PuzzleSteps = 0;
  // [x][y], x 0-4, y 0-3 (row 0 at the bottom); tile 0 to 19, -1 the hole.
  int32_t PuzzleBoard[5][4] = {};
  uint8_t PuzzleHoleX = 4;
  uint8_t PuzzleHoleY = 0;
};
extern SlideShowState SlideShow;

void FillCaptions(void);
// The photo area of the main screen: the slide show with its caption and
// game-over text, or the puzzle, whichever PuzzleOn chooses.
void DrawSlideShow(void);
void DrawPuzzle(void);
// The board in order, then 15000 random moves of the hole; 0 steps.
void PuzzleShuffle(void);
bool PuzzleSolved(void);
// The button actions of the photo area (the screen tests the hot spots).
void PuzzleButton(void);
void PreviousPhoto(void);
void NextPhoto(void);
// The tiles in order with the hole at (4, 0).
void PuzzleInOrder(void);
