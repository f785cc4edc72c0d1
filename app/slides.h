// The slide show's photos and captions and the sliding puzzle's board.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

constexpr int kPhotoSlots = 27;

extern int32_t Photos[kPhotoSlots];
extern int32_t PhotoCount;
extern ShortString Captions[kPhotoSlots];
extern int32_t SlideIndex;
extern int32_t NextSlideTime;  // ElapsedMs at which the slide show moves on
extern float SlideAlpha;
extern int32_t GameOverTime;   // ElapsedMs at which the puzzle was last solved
extern bool PuzzleOn;
extern int32_t PuzzleSteps;
// [x][y], x 0-4, y 0-3 (row 0 at the bottom); tile 0 to 19, -1 the hole.
extern int32_t PuzzleBoard[5][4];
extern uint8_t PuzzleHoleX;
extern uint8_t PuzzleHoleY;

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
