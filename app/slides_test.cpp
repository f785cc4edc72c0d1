#include "app/slides.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/glyphs.h"
#include "app/musicdisk.h"
#include "testsupport/app/gl.h"
#include "units/random.h"

using apptest::Rec;

namespace {

// Texture names the fixture gives the photos and the two glyph sizes, so a
// recorded quad tells by its texture what it belongs to.
constexpr int32_t kPhotoTex = 500;
constexpr int32_t kGlyph16Tex = 900;
constexpr int32_t kGlyph32Tex = 1000;
constexpr int32_t kGlyphs = 44;

// One quad as the recorder saw it, with the state it was drawn in.
struct Quad {
  int32_t texture = 0;
  bool textured = true;
  bool blend = false;
  float color[4] = {1, 1, 1, 1};
  float tc[4][2] = {};
  float v[4][2] = {};
};

std::vector<float> Numbers(const std::string& call) {
  std::istringstream in(call.substr(call.find(' ') + 1));
  std::vector<float> out;
  for (std::string word; in >> word;) out.push_back(std::strtof(word.c_str(), nullptr));
  return out;
}

std::vector<Quad> Quads() {
  std::vector<Quad> quads;
  Quad state;
  int corner = -1;
  for (const auto& c : Rec().calls) {
    auto n = Numbers(c);
    if (c.rfind("color3 ", 0) == 0) {
      std::copy(n.begin(), n.end(), state.color);
      state.color[3] = 1;
    } else if (c.rfind("color ", 0) == 0) {
      std::copy(n.begin(), n.end(), state.color);
    } else if (c.rfind("bind ", 0) == 0) {
      state.texture = static_cast<int32_t>(n[0]);
    } else if (c == "enable 0xDE1" || c == "disable 0xDE1") {
      state.textured = c[0] == 'e';
    } else if (c == "enable 0xBE2" || c == "disable 0xBE2") {
      state.blend = c[0] == 'e';
    } else if (c.rfind("begin", 0) == 0) {
      quads.push_back(state);
      corner = 0;
    } else if (c.rfind("tc ", 0) == 0 && corner >= 0 && corner < 4) {
      std::copy(n.begin(), n.end(), quads.back().tc[corner]);
    } else if (c.rfind("v ", 0) == 0 && corner >= 0 && corner < 4) {
      std::copy(n.begin(), n.end(), quads.back().v[corner++]);
    }
  }
  return quads;
}

bool IsPhoto(const Quad& q) { return q.textured && q.texture >= kPhotoTex && q.texture < kPhotoTex + kPhotoSlots; }
bool IsGlyph16(const Quad& q) { return q.texture >= kGlyph16Tex && q.texture < kGlyph16Tex + kGlyphs; }
bool IsGlyph32(const Quad& q) { return q.texture >= kGlyph32Tex && q.texture < kGlyph32Tex + kGlyphs; }
bool IsHighlight(const Quad& q) { return !q.textured; }

template <class Pred>
std::vector<Quad> Only(Pred pred) {
  std::vector<Quad> out;
  for (const auto& q : Quads())
    if (pred(q)) out.push_back(q);
  return out;
}

void ExpectColor(const Quad& q, float r, float g, float b, float a) {
  EXPECT_NEAR(q.color[0], r, 1e-5);
  EXPECT_NEAR(q.color[1], g, 1e-5);
  EXPECT_NEAR(q.color[2], b, 1e-5);
  EXPECT_NEAR(q.color[3], a, 1e-5);
}

void ExpectRect(const Quad& q, float left, float bottom, float right, float top) {
  const float corners[4][2] = {{left, bottom}, {right, bottom}, {right, top}, {left, top}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_FLOAT_EQ(q.v[i][0], corners[i][0]) << "corner " << i;
    EXPECT_FLOAT_EQ(q.v[i][1], corners[i][1]) << "corner " << i;
  }
}

// Texture coordinates of the corners in the order (left, bottom),
// (right, bottom), (right, top), (left, top).
void ExpectTexture(const Quad& q, float u0, float t0, float u1, float t1) {
  const float corners[4][2] = {{u0, t1}, {u1, t1}, {u1, t0}, {u0, t0}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(q.tc[i][0], corners[i][0], 1e-6) << "corner " << i;
    EXPECT_NEAR(q.tc[i][1], corners[i][1], 1e-6) << "corner " << i;
  }
}

// A board is reachable by moves of the hole exactly when the parity of
// the permutation (the hole counted as tile 4) equals the parity of the
// hole's distance from its home cell (4, 0): each move changes both.
bool Solvable() {
  std::vector<int32_t> order;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) order.push_back(SlideShow.PuzzleBoard[x][y] == -1 ? 4 : SlideShow.PuzzleBoard[x][y]);
  int inversions = 0;
  for (size_t i = 0; i < order.size(); ++i)
    for (size_t j = i + 1; j < order.size(); ++j) inversions += order[i] > order[j];
  int distance = std::abs(SlideShow.PuzzleHoleX - 4) + SlideShow.PuzzleHoleY;
  return inversions % 2 == distance % 2;
}

void ExpectValidBoard() {
  std::multiset<int32_t> tiles;
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) tiles.insert(SlideShow.PuzzleBoard[x][y]);
  std::multiset<int32_t> expected{-1};
  for (int v = 0; v < 20; ++v)
    if (v != 4) expected.insert(v);
  EXPECT_EQ(tiles, expected);
  ASSERT_LT(SlideShow.PuzzleHoleX, 5);
  ASSERT_LT(SlideShow.PuzzleHoleY, 4);
  EXPECT_EQ(SlideShow.PuzzleBoard[SlideShow.PuzzleHoleX][SlideShow.PuzzleHoleY], -1);
  EXPECT_TRUE(Solvable());
}

// The ordered board with the hole moved left twice and up once: hole at
// (2, 1), tiles 3, 2 and 7 moved.
void BoardWithHoleAt21() {
  PuzzleInOrder();
  SlideShow.PuzzleBoard[4][0] = 3;
  SlideShow.PuzzleBoard[3][0] = 2;
  SlideShow.PuzzleBoard[2][0] = 7;
  SlideShow.PuzzleBoard[2][1] = -1;
  SlideShow.PuzzleHoleX = 2;
  SlideShow.PuzzleHoleY = 1;
}

void MouseOverCell(int x, int y, bool click) {
  Disk.VirtualMouseX = 816 + 51 * x + 25;
  Disk.VirtualMouseY = 185 + 49 * y + 24;
  Disk.MouseClicked = click;
}

class Slides : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::InstallGLRecorder();
    for (int i = 0; i < kPhotoSlots; ++i) SlideShow.Photos[i] = kPhotoTex + i;
    SlideShow.PhotoCount = 27;
    FillCaptions();
    Glyphs.GlyphCount = kGlyphs;
    for (int i = 0; i < kGlyphs; ++i) {
      Glyphs.GlyphTex16[i] = kGlyph16Tex + i;
      Glyphs.GlyphTex32[i] = kGlyph32Tex + i;
      Glyphs.GlyphWidth[i] = 6;
    }
    SlideShow.SlideIndex = 0;
    SlideShow.PuzzleOn = false;
    SlideShow.PuzzleSteps = 0;
    Disk.ElapsedMs = 3000;
    SlideShow.NextSlideTime = 13000;
    SlideShow.GameOverTime = -20000;
    SlideShow.SlideAlpha = 1;
    MouseOverCell(-5, -5, false);
    PuzzleInOrder();
    RandSeedSet(0);
  }
  void TearDown() override {
    Glyphs.GlyphCount = 0;
    Disk.MouseClicked = false;
  }
};

TEST_F(Slides, PhotoAndCaptionFadeInAndOutOfTheirSlot) {
  struct Case {
    int32_t left;  // NextSlideTime - E
    float alpha;
  } cases[] = {{10000, 0}, {9750, 0.5f}, {9500, 1}, {5000, 1}, {500, 1}, {250, 0.5f}, {0, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.left);
    Rec().calls.clear();
    SlideShow.SlideIndex = 4;
    SlideShow.NextSlideTime = Disk.ElapsedMs + c.left;
    DrawSlideShow();
    EXPECT_EQ(SlideShow.SlideIndex, 4);
    EXPECT_FLOAT_EQ(SlideShow.SlideAlpha, c.alpha);
    auto photo = Only(IsPhoto);
    ASSERT_EQ(photo.size(), 1u);
    EXPECT_EQ(photo[0].texture, kPhotoTex + 4);
    EXPECT_TRUE(photo[0].blend);
    ExpectColor(photo[0], 1, 1, 1, c.alpha);
    ExpectRect(photo[0], 816, 185, 1072, 381);
    ExpectTexture(photo[0], 0, 0, 1, 1);
    auto caption = Only(IsGlyph16);
    ASSERT_FALSE(caption.empty());
    ExpectColor(caption[0], 63.0f / 255, 84.0f / 255, 114.0f / 255, c.alpha);
  }
}

TEST_F(Slides, TheShowMovesOnOnlyAfterItsTimeAndWrapsToTheFirstPhoto) {
  struct Case {
    int32_t index, elapsed, nextTime;
    int32_t shown, newNextTime;
  } cases[] = {
      {0, 13000, 13000, 0, 13000},  // at the time itself the photo stays
      {0, 13001, 13000, 1, 23001},
      {25, 40000, 30000, 26, 50000},
      {26, 13001, 13000, 0, 23001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    Rec().calls.clear();
    SlideShow.SlideIndex = c.index;
    Disk.ElapsedMs = c.elapsed;
    SlideShow.NextSlideTime = c.nextTime;
    DrawSlideShow();
    EXPECT_EQ(SlideShow.SlideIndex, c.shown);
    EXPECT_EQ(SlideShow.NextSlideTime, c.newNextTime);
    auto photo = Only(IsPhoto);
    ASSERT_EQ(photo.size(), 1u);
    EXPECT_EQ(photo[0].texture, kPhotoTex + c.shown);
  }
}

TEST_F(Slides, PhotoButtonsWrapAtOnceAndRestartThePuzzle) {
  struct Case {
    int32_t index;
    bool next, puzzle;
    int32_t shown;
  } cases[] = {{0, false, false, 26}, {26, true, false, 0}, {5, true, false, 6},
               {5, false, false, 4},  {0, false, true, 26},  {26, true, true, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << (c.next ? " next" : " previous") << (c.puzzle ? " puzzle" : ""));
    SlideShow.SlideIndex = c.index;
    SlideShow.PuzzleOn = c.puzzle;
    PuzzleInOrder();
    SlideShow.PuzzleSteps = 9;
    Disk.ElapsedMs = 7000;
    (c.next ? NextPhoto : PreviousPhoto)();
    EXPECT_EQ(SlideShow.SlideIndex, c.shown);
    EXPECT_EQ(SlideShow.NextSlideTime, 16000);
    EXPECT_EQ(SlideShow.PuzzleOn, c.puzzle);
    EXPECT_EQ(SlideShow.PuzzleSteps, c.puzzle ? 0 : 9);
    EXPECT_EQ(PuzzleSolved(), !c.puzzle);  // a fresh shuffle on the new photo
    Rec().calls.clear();
    (c.puzzle ? DrawPuzzle : DrawSlideShow)();
    auto photo = Only(IsPhoto);
    ASSERT_FALSE(photo.empty());
    EXPECT_EQ(photo[0].texture, kPhotoTex + c.shown);
    if (!c.puzzle) {
      EXPECT_FLOAT_EQ(SlideShow.SlideAlpha, 1);  // full opacity at once, for 9 s
    }
  }
}

TEST_F(Slides, AnIndexOrCountOutsideThePhotoTablesIsBroughtBackIntoThem) {
  struct Case {
    int32_t index, count;
    int32_t drawn;  // the photo drawn
  } cases[] = {{-3, 27, 26}, {27, 27, 0}, {1000, 27, 0}, {0, 0, 0}, {3, 0, 0}, {26, 40, 26}, {30, 40, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.index << " of " << c.count);
    SlideShow.PhotoCount = c.count;
    for (auto draw : {DrawSlideShow, DrawPuzzle}) {
      Rec().calls.clear();
      SlideShow.SlideIndex = c.index;
      SlideShow.NextSlideTime = Disk.ElapsedMs + 5000;
      draw();
      auto photo = Only(IsPhoto);
      ASSERT_FALSE(photo.empty());
      EXPECT_EQ(photo[0].texture, kPhotoTex + c.drawn);
    }
    SlideShow.SlideIndex = c.index;
    NextPhoto();
    EXPECT_GE(SlideShow.SlideIndex, 0);
    EXPECT_LT(SlideShow.SlideIndex, kPhotoSlots);
    SlideShow.SlideIndex = c.index;
    PreviousPhoto();
    EXPECT_GE(SlideShow.SlideIndex, 0);
    EXPECT_LT(SlideShow.SlideIndex, kPhotoSlots);
  }
  // The show moves past the last slot to the first even when the count
  // claims more photos than there are.
  SlideShow.PhotoCount = 40;
  SlideShow.SlideIndex = 26;
  SlideShow.NextSlideTime = Disk.ElapsedMs - 1;
  DrawSlideShow();
  EXPECT_EQ(SlideShow.SlideIndex, 0);
}

TEST_F(Slides, GameOverTextPulsesAndFadesOverTwentySeconds) {
  struct Case {
    int32_t solved, elapsed;
    double alpha;
  } cases[] = {{0, 0, 0.75},
               {0, 157, 0.9921499213552049},
               {2000, 3000, 0.4778424892779453},
               {0, 10000, 0.31170429486128015},
               {0, 20000, 0},
               {0, 25000, -0.12684199877863717},
               {-20000, 0, 0}};  // as on entering the main screen
  for (const auto& c : cases) {
    SCOPED_TRACE(c.elapsed);
    Rec().calls.clear();
    SlideShow.PuzzleSteps = 12;
    SlideShow.GameOverTime = c.solved;
    Disk.ElapsedMs = c.elapsed;
    SlideShow.NextSlideTime = c.elapsed + 5000;
    DrawSlideShow();
    auto text = Only(IsGlyph32);
    // "game over - 12 steps": 16 characters with a glyph.
    ASSERT_EQ(text.size(), 16u);
    ExpectColor(text[0], 1, 1, 1, static_cast<float>(c.alpha));
    EXPECT_GT(text[0].v[0][1], 400);  // above the caption and the photo's top
  }
  EXPECT_EQ(Rec().Count("blend 0x302 0x303"), 1u);
}

TEST_F(Slides, ShuffledBoardsHoldEveryTileOnceAndCanBeSolved) {
  std::set<std::vector<int32_t>> boards;
  for (uint32_t seed : {0u, 1u, 12345u, 0xDEADBEEFu, 4000000000u}) {
    SCOPED_TRACE(seed);
    // Where the draws should take the hole; a draw that would take it off
    // the board leaves it where it is.
    RandSeedSet(seed);
    int hx = 4, hy = 0;
    for (int i = 0; i < 15000; ++i) {
      int d = Random(4);
      hx += (d == 0 && hx < 4) - (d == 1 && hx > 0);
      hy += (d == 2 && hy < 3) - (d == 3 && hy > 0);
    }
    int32_t afterShuffle = Random(1 << 30);

    RandSeedSet(seed);
    SlideShow.PuzzleSteps = 7;
    PuzzleShuffle();
    EXPECT_EQ(SlideShow.PuzzleSteps, 0);
    ExpectValidBoard();
    EXPECT_FALSE(PuzzleSolved());
    EXPECT_EQ(SlideShow.PuzzleHoleX, hx);
    EXPECT_EQ(SlideShow.PuzzleHoleY, hy);
    EXPECT_EQ(Random(1 << 30), afterShuffle);  // exactly 15000 draws spent
    boards.insert(std::vector<int32_t>(&SlideShow.PuzzleBoard[0][0], &SlideShow.PuzzleBoard[0][0] + 20));
  }
  EXPECT_EQ(boards.size(), 5u);
}

TEST_F(Slides, SolvedOnlyInOrderWithTheHoleAtItsHome) {
  struct Case {
    const char* what;
    int ax, ay, bx, by;  // cells swapped after putting the board in order
    bool solved;
  } cases[] = {{"in order", 0, 0, 0, 0, true},
               {"two tiles swapped", 0, 0, 1, 0, false},
               {"two rows' tiles swapped", 2, 1, 2, 3, false},
               {"hole one cell left", 4, 0, 3, 0, false},
               {"hole at the top", 4, 0, 0, 3, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    PuzzleInOrder();
    std::swap(SlideShow.PuzzleBoard[c.ax][c.ay], SlideShow.PuzzleBoard[c.bx][c.by]);
    EXPECT_EQ(PuzzleSolved(), c.solved);
  }
  PuzzleInOrder();
  SlideShow.PuzzleBoard[4][0] = 4;  // the tile the board never has
  EXPECT_FALSE(PuzzleSolved());
}

TEST_F(Slides, OnlyTilesNextToTheHoleLightUpAndMove) {
  for (int x = 0; x < 5; ++x)
    for (int y = 0; y < 4; ++y)
      for (bool click : {false, true}) {
        SCOPED_TRACE(testing::Message() << x << "," << y << (click ? " click" : ""));
        bool neighbour = (y == 1 && (x == 1 || x == 3)) || (x == 2 && (y == 0 || y == 2));
        BoardWithHoleAt21();
        int32_t tile = SlideShow.PuzzleBoard[x][y];
        SlideShow.PuzzleOn = true;
        SlideShow.PuzzleSteps = 3;
        MouseOverCell(x, y, click);
        Rec().calls.clear();
        DrawPuzzle();

        auto highlight = Only(IsHighlight);
        ASSERT_EQ(highlight.size(), neighbour ? 1u : 0u);
        if (neighbour) {
          ExpectColor(highlight[0], 0.2f, 0.2f, 0.3f, 1);
          EXPECT_TRUE(highlight[0].blend);
          ExpectRect(highlight[0], 816 + 51 * x, 185 + 49 * y, 867 + 51 * x, 234 + 49 * y);
          EXPECT_EQ(Rec().Count("blend 0x1 0x1"), 1u);
        }
        // Every tile is drawn opaque and white, the highlight undone.
        for (const auto& q : Only(IsPhoto)) {
          EXPECT_FALSE(q.blend);
          ExpectColor(q, 1, 1, 1, 1);
        }
        bool moved = neighbour && click;
        EXPECT_EQ(SlideShow.PuzzleSteps, moved ? 4 : 3);
        EXPECT_EQ(SlideShow.PuzzleBoard[x][y], moved ? -1 : tile);
        EXPECT_EQ(SlideShow.PuzzleBoard[2][1], moved ? tile : -1);  // the hole, or the tile that moved into it
        EXPECT_EQ(SlideShow.PuzzleHoleX, moved ? x : 2);
        EXPECT_EQ(SlideShow.PuzzleHoleY, moved ? y : 1);
        ExpectValidBoard();
      }
}

TEST_F(Slides, TheMouseMustBeInsideTheTileItself) {
  struct Case {
    int32_t mx, my;
    bool inside;
  } cases[] = {{867 + 25, 234 + 24, true}, {867, 258, false}, {918, 258, false},  // tile (1, 1) is 867-918 x 234-283
               {890, 234, false},          {890, 283, false}, {868, 235, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mx << "," << c.my);
    BoardWithHoleAt21();
    SlideShow.PuzzleSteps = 0;
    Disk.VirtualMouseX = c.mx;
    Disk.VirtualMouseY = c.my;
    Disk.MouseClicked = true;
    DrawPuzzle();
    EXPECT_EQ(SlideShow.PuzzleSteps, c.inside ? 1 : 0);
  }
}

TEST_F(Slides, TilesShowTheirOwnPartOfThePhoto) {
  struct Case {
    int cx, cy;  // cell
    int32_t tile;
    float u0, t0;
  } cases[] = {{2, 1, 7, 102.0f / 256, 0.5f},  // 51 c / 256 with c = 2, t0 = r / 4 with r = 2
               {4, 3, 19, 204.0f / 256, 0},
               {0, 0, 15, 0, 0}};  // moved: the tile's part, not the cell's
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tile);
    BoardWithHoleAt21();
    for (int x = 0; x < 5; ++x)
      for (int y = 0; y < 4; ++y)
        if (SlideShow.PuzzleBoard[x][y] == c.tile)
          std::swap(SlideShow.PuzzleBoard[x][y], SlideShow.PuzzleBoard[c.cx][c.cy]);
    SlideShow.SlideIndex = 8;
    Rec().calls.clear();
    DrawPuzzle();
    auto tiles = Only(IsPhoto);
    ASSERT_EQ(tiles.size(), 19u);
    auto cell = std::find_if(tiles.begin(), tiles.end(), [&](const Quad& q) {
      return q.v[0][0] == 816 + 51 * c.cx && q.v[0][1] == 185 + 49 * c.cy;
    });
    ASSERT_NE(cell, tiles.end());
    EXPECT_EQ(cell->texture, kPhotoTex + 8);
    ExpectRect(*cell, 816 + 51 * c.cx, 185 + 49 * c.cy, 867 + 51 * c.cx, 234 + 49 * c.cy);
    ExpectTexture(*cell, c.u0, c.t0, c.u0 + 51.0f / 256, c.t0 + 0.25f);
  }
  // The hole's cell shows nothing.
  for (const auto& q : Only(IsPhoto)) EXPECT_FALSE(q.v[0][0] == 918 && q.v[0][1] == 234);
}

TEST_F(Slides, SolvingEndsThePuzzleTheFrameAfterTheLastMove) {
  // One move from solved: tile 3 sits in the hole's home cell.
  PuzzleInOrder();
  SlideShow.PuzzleBoard[3][0] = -1;
  SlideShow.PuzzleBoard[4][0] = 3;
  SlideShow.PuzzleHoleX = 3;
  SlideShow.PuzzleOn = true;
  SlideShow.PuzzleSteps = 11;
  SlideShow.SlideIndex = 6;
  Disk.ElapsedMs = 5000;
  SlideShow.NextSlideTime = 9000;
  MouseOverCell(4, 0, true);
  DrawPuzzle();
  EXPECT_TRUE(PuzzleSolved());
  EXPECT_TRUE(SlideShow.PuzzleOn);
  EXPECT_EQ(SlideShow.PuzzleSteps, 12);

  Rec().calls.clear();
  Disk.ElapsedMs = 5016;
  Disk.MouseClicked = false;
  DrawPuzzle();
  EXPECT_FALSE(SlideShow.PuzzleOn);
  EXPECT_EQ(SlideShow.GameOverTime, 5016);
  EXPECT_EQ(SlideShow.NextSlideTime, 14016);
  EXPECT_EQ(Only(IsPhoto).size(), 19u);  // the solved board, this frame still
  // "game mode - steps:12": 17 characters with a glyph.
  EXPECT_EQ(Only(IsGlyph16).size(), 17u);

  Rec().calls.clear();
  Disk.ElapsedMs = 5032;
  DrawSlideShow();
  EXPECT_EQ(SlideShow.SlideIndex, 6);
  EXPECT_FLOAT_EQ(SlideShow.SlideAlpha, 1);
  auto text = Only(IsGlyph32);
  ASSERT_EQ(text.size(), 16u);  // "game over - 12 steps"
  EXPECT_GT(text[0].color[3], 0.49f);
}

TEST_F(Slides, PuzzleButtonShufflesOnAndLeavesTheBoardOff) {
  Disk.ElapsedMs = 4000;
  SlideShow.GameOverTime = 3000;  // a game-over text still showing
  SlideShow.PuzzleSteps = 5;
  PuzzleButton();
  EXPECT_TRUE(SlideShow.PuzzleOn);
  EXPECT_EQ(SlideShow.PuzzleSteps, 0);
  ExpectValidBoard();
  EXPECT_FALSE(PuzzleSolved());
  EXPECT_EQ(SlideShow.NextSlideTime, 14000);
  EXPECT_EQ(SlideShow.GameOverTime, -16000);

  int32_t board[5][4];
  std::copy(&SlideShow.PuzzleBoard[0][0], &SlideShow.PuzzleBoard[0][0] + 20, &board[0][0]);
  Disk.ElapsedMs = 6000;
  PuzzleButton();
  EXPECT_FALSE(SlideShow.PuzzleOn);
  EXPECT_TRUE(std::equal(&board[0][0], &board[0][0] + 20, &SlideShow.PuzzleBoard[0][0]));
  EXPECT_EQ(SlideShow.NextSlideTime, 16000);
  EXPECT_EQ(SlideShow.GameOverTime, -14000);
  // Back in the slide show no game-over text shows.
  Rec().calls.clear();
  DrawSlideShow();
  auto text = Only(IsGlyph32);
  ASSERT_FALSE(text.empty());
  EXPECT_LE(text[0].color[3], 0);
}

}  // namespace
