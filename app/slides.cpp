#include "app/slides.h"

#include <cmath>

#include "app/glyphs.h"
#include "app/musicdisk.h"
#include "app/spare.h"
#include "units/glunit.h"
#include "units/random.h"

using namespace qgl;

SlideShowState SlideShow;

namespace {

constexpr int32_t kBoardWidth = 5;
constexpr int32_t kBoardHeight = 4;
constexpr int32_t kAreaLeft = 816;
constexpr int32_t kAreaBottom = 185;
constexpr int32_t kTileWidth = 51;
constexpr int32_t kTileHeight = 49;
constexpr int32_t kShuffleMoves = 15000;

// Times are 32-bit milliseconds: a sum past their range wraps rather than
// overflowing, and differences are taken in 64 bits.
int32_t MsAfter(int32_t e, int32_t ms) {
  return static_cast<int32_t>(static_cast<uint32_t>(e) + static_cast<uint32_t>(ms));
}
double MsBetween(int32_t later, int32_t earlier) {
  return static_cast<double>(static_cast<int64_t>(later) - static_cast<int64_t>(earlier));
}

// The photo tables hold kPhotoSlots entries whatever PhotoCount says (it is
// 0 before loading).
int32_t PhotosInUse(void) {
  if (SlideShow.PhotoCount < 1) return 1;
  return SlideShow.PhotoCount > kPhotoSlots ? kPhotoSlots : SlideShow.PhotoCount;
}

// Below the first photo comes the last, past the last the first.
int32_t WrappedSlide(int64_t index) {
  if (index < 0) return PhotosInUse() - 1;
  if (index > PhotosInUse() - 1) return 0;
  return static_cast<int32_t>(index);
}

// Reads of the photo tables go through the wrap, so an index or count that
// something else has spoilt shows a photo instead of reading past them.
GLuint ShownPhoto(void) { return static_cast<GLuint>(SlideShow.Photos[WrappedSlide(SlideShow.SlideIndex)]); }

void PhotoQuad(float left, float bottom, float right, float top, float u0, float t0, float u1, float t1) {
  glBegin(GL_QUADS);
  glTexCoord2f(u0, t1);
  glVertex2f(left, bottom);
  glTexCoord2f(u1, t1);
  glVertex2f(right, bottom);
  glTexCoord2f(u1, t0);
  glVertex2f(right, top);
  glTexCoord2f(u0, t0);
  glVertex2f(left, top);
  glEnd();
}

void AdvanceSlides(int32_t e) {
  if (e <= SlideShow.NextSlideTime) return;
  SlideShow.NextSlideTime = MsAfter(e, 10000);
  SlideShow.SlideIndex = WrappedSlide(int64_t{SlideShow.SlideIndex} + 1);
}

// Fades in over the first 500 ms of the 10-second slot, out over the last.
float FadeOfSlide(int32_t e) {
  double left = MsBetween(SlideShow.NextSlideTime, e);
  if (left < 500) return static_cast<float>(left / 500);
  if (left > 9500) return static_cast<float>(1 - (left - 9500) / 500);
  return 1.0f;
}

// Pulses between 0.5 and 1 and dies away over the 20 s after the solve;
// at other times it is 0 or less.
float GameOverAlpha(int32_t e) {
  double pulse = (std::sin(e / 100.0) + 1) / 4 + 0.5;
  return static_cast<float>(pulse * (1 - MsBetween(e, SlideShow.GameOverTime) / 20000));
}

bool HoleOnBoard(void) { return SlideShow.PuzzleHoleX < kBoardWidth && SlideShow.PuzzleHoleY < kBoardHeight; }

bool NextToHole(int32_t x, int32_t y) {
  int32_t hx = SlideShow.PuzzleHoleX;
  int32_t hy = SlideShow.PuzzleHoleY;
  return ((x == hx - 1 || x == hx + 1) && y == hy) || (x == hx && (y == hy + 1 || y == hy - 1));
}

// The tile at (x, y) takes the hole's place; the hole takes its cell.
void SlideIntoHole(int32_t x, int32_t y) {
  SlideShow.PuzzleBoard[SlideShow.PuzzleHoleX][SlideShow.PuzzleHoleY] = SlideShow.PuzzleBoard[x][y];
  SlideShow.PuzzleBoard[x][y] = -1;
  SlideShow.PuzzleHoleX = static_cast<uint8_t>(x);
  SlideShow.PuzzleHoleY = static_cast<uint8_t>(y);
}

void DrawTile(int32_t x, int32_t y) {
  int32_t v = SlideShow.PuzzleBoard[x][y];
  if (v == -1) return;
  int32_t c = v % 5;
  int32_t r = 3 - v / 5;
  float u0 = static_cast<float>(kTileWidth * c) / 256.0f;
  float u1 = u0 + 0.19921875f;
  float t0 = static_cast<float>(r) / 4.0f;
  float t1 = t0 + 0.25f;
  int32_t left = kAreaLeft + kTileWidth * x;
  int32_t bottom = kAreaBottom + kTileHeight * y;
  auto quad = [&] {
    PhotoQuad(static_cast<float>(left), static_cast<float>(bottom), static_cast<float>(left + kTileWidth),
              static_cast<float>(bottom + kTileHeight), u0, t0, u1, t1);
  };
  quad();
  bool underMouse = left < Disk.VirtualMouseX && Disk.VirtualMouseX < left + kTileWidth &&
                    bottom < Disk.VirtualMouseY && Disk.VirtualMouseY < bottom + kTileHeight;
  // A hole off the board (only a damaged state can put it there) would
  // make the move write outside the board.
  if (!underMouse || !NextToHole(x, y) || !HoleOnBoard()) return;
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor3f(0.2f, 0.2f, 0.3f);
  glDisable(GL_TEXTURE_2D);
  quad();
  glDisable(GL_BLEND);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  glEnable(GL_TEXTURE_2D);
  if (!Disk.MouseClicked) return;
  ++SlideShow.PuzzleSteps;
  SlideIntoHole(x, y);
}

// The index is wrapped at once, not when the mouse next passes the button,
// so nothing drawn in between reads the photo tables outside their range.
void StepPhoto(int32_t step) {
  SlideShow.NextSlideTime = MsAfter(Disk.ElapsedMs, 9000);
  SlideShow.SlideIndex = WrappedSlide(int64_t{SlideShow.SlideIndex} + step);
  if (SlideShow.PuzzleOn) PuzzleShuffle();
}

}  // namespace

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
  for (int i = 0; i < kPhotoSlots; ++i) SlideShow.Captions[i] = kCaptions[i];
}

void PuzzleInOrder(void) {
  // In order, tile 5 y + x shows the part of the photo that lies at (x, y).
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) SlideShow.PuzzleBoard[x][y] = 5 * y + x;
  SlideShow.PuzzleBoard[4][0] = -1;
  SlideShow.PuzzleHoleX = 4;
  SlideShow.PuzzleHoleY = 0;
}

void DrawSlideShow(void) {
  int32_t e = Disk.ElapsedMs;
  AdvanceSlides(e);
  SlideShow.SlideAlpha = FadeOfSlide(e);

  glColor4f(1.0f, 1.0f, 1.0f, GameOverAlpha(e));
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  DrawText32Centered(ShortString("game over - ") + IntStr(SlideShow.PuzzleSteps) + " steps", 947, 412);

  glColor4f(63.0f / 255.0f, 84.0f / 255.0f, 114.0f / 255.0f, SlideShow.SlideAlpha);
  DrawText16Centered(SlideShow.Captions[WrappedSlide(SlideShow.SlideIndex)], 947, 377);

  glColor4f(1.0f, 1.0f, 1.0f, SlideShow.SlideAlpha);
  glEnable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, ShownPhoto());
  PhotoQuad(816, 185, 1072, 381, 0, 0, 1, 1);
}

void DrawPuzzle(void) {
  int32_t e = Disk.ElapsedMs;
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  // The solving move was made last frame; this frame still shows the
  // whole board, the slide show takes over from the next.
  if (PuzzleSolved()) {
    SlideShow.GameOverTime = e;
    SlideShow.PuzzleOn = false;
    SlideShow.NextSlideTime = MsAfter(e, 9000);
  }
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  DrawText16(ShortString("game mode - steps:") + IntStr(SlideShow.PuzzleSteps), 879, 377);
  glDisable(GL_BLEND);
  glBindTexture(GL_TEXTURE_2D, ShownPhoto());
  for (int32_t y = 0; y < kBoardHeight; ++y)
    for (int32_t x = 0; x < kBoardWidth; ++x) DrawTile(x, y);
}

bool PuzzleSolved(void) {
  for (int32_t y = 0; y < kBoardHeight; ++y)
    for (int32_t x = 0; x < kBoardWidth; ++x) {
      bool holeCell = x == 4 && y == 0;
      if (SlideShow.PuzzleBoard[x][y] != (holeCell ? -1 : 5 * y + x)) return false;
    }
  return true;
}

void PuzzleShuffle(void) {
  SlideShow.PuzzleSteps = 0;
  PuzzleInOrder();
  // Only moves of the hole change the board, so every result can be solved.
  // A draw that would take the hole off the board is spent all the same.
  for (int32_t i = 0; i < kShuffleMoves; ++i) {
    int32_t x = SlideShow.PuzzleHoleX;
    int32_t y = SlideShow.PuzzleHoleY;
    int32_t d = Random(4);
    if (d == 0 && x < kBoardWidth - 1) SlideIntoHole(x + 1, y);
    if (d == 1 && x > 0) SlideIntoHole(x - 1, y);
    if (d == 2 && y < kBoardHeight - 1) SlideIntoHole(x, y + 1);
    if (d == 3 && y > 0) SlideIntoHole(x, y - 1);
  }
}

void PuzzleButton(void) {
  SlideShow.NextSlideTime = MsAfter(Disk.ElapsedMs, 10000);
  SlideShow.PuzzleOn = !SlideShow.PuzzleOn;
  Randomize();
  if (SlideShow.PuzzleOn) PuzzleShuffle();
  // Hides a game-over text that may still be showing.
  SlideShow.GameOverTime = MsAfter(Disk.ElapsedMs, -20000);
}

void PreviousPhoto(void) { StepPhoto(-1); }
void NextPhoto(void) { StepPhoto(1); }
