// The slide show's photos and captions and the sliding puzzle's board.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

constexpr int kPhotoSlots = 27;

extern int32_t Photos[kPhotoSlots];
extern int32_t PhotoCount;
extern ShortString Captions[kPhotoSlots];
extern int32_t SlideIndex;
// [x][y], x 0-4, y 0-3 (row 0 at the bottom); tile 0 to 19, -1 the hole.
extern int32_t PuzzleBoard[5][4];
extern uint8_t PuzzleHoleX;
extern uint8_t PuzzleHoleY;

void FillCaptions(void);
// The tiles in order with the hole at (4, 0).
void PuzzleInOrder(void);
