#include "app/slides.h"

int32_t Photos[kPhotoSlots] = {};
int32_t PhotoCount = 0;
ShortString Captions[kPhotoSlots];
int32_t SlideIndex = 0;
int32_t PuzzleBoard[5][4] = {};
uint8_t PuzzleHoleX = 4;
uint8_t PuzzleHoleY = 0;

void FillCaptions(void) {
  static const char* const kCaptions[kPhotoSlots] = {
      "quarn scene news on screen",
      "no,you may not watch porn on the hugescreen,sorry",
      "could have used some shaders right there...",
      "hi, i am pixelgrip. need any help?",
      "meet my crew: lazyfox and tinbeard",
      "watching some event",
      "om nom nom nom.",
      "hugescreen bright as daylight",
      "in a few years, maybe they signal back from above...",
      "real party is outside",
      "it looks better on the photos...",
      "shoes. they are awesome",
      "tinbeard hungry",
      "no, no, no! you have to shoot the big guy first!",
      "i always take care to hire the best for my demos",
      "orga area in da morning",
      "oi! get off mah stage!",
      "one for the graphics, one for the music...",
      "test screening",
      "what compos?",
      "i know this! this is a unix system",
      "crowd",
      "busy orgaz",
      "team holograms",
      "will main for a ride home.",
      "zentrove winner trophy",
      "beginner playboard for puzzle",
  };
  for (int i = 0; i < kPhotoSlots; ++i) Captions[i] = kCaptions[i];
}

void PuzzleInOrder(void) {
  // In order, tile 5 y + x shows the part of the photo that lies at (x, y).
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) PuzzleBoard[x][y] = 5 * y + x;
  PuzzleBoard[4][0] = -1;
  PuzzleHoleX = 4;
  PuzzleHoleY = 0;
}
