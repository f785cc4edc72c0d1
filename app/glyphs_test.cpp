#include "app/glyphs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "testsupport/app/gl.h"

using apptest::Rec;

namespace {

// The pixel byte of the synthetic sets: a pattern that differs from glyph
// to glyph and from row to row, 0 or 1 like the real set's bytes.
uint8_t PatternPixel(int32_t row, int32_t column) { return (row * 7 + column) % 3 == 0 ? 1 : 0; }

// A glyph set of `rows` rows with glyphs of the given widths from column 0,
// each followed by its separator.
std::vector<uint8_t> FontSet(const std::vector<int32_t>& widths, int32_t rows = kGlyphRows) {
  std::vector<uint8_t> data(static_cast<size_t>(kGlyphRowBytes * rows));
  for (int32_t j = 0; j < rows; ++j)
    for (int32_t k = 0; k < kGlyphRowBytes; ++k) data[static_cast<size_t>(kGlyphRowBytes * j + k)] = PatternPixel(j, k);
  int32_t column = 0;
  for (int32_t w : widths) {
    column += w;
    data[static_cast<size_t>(column)] = 2;
    ++column;
  }
  return data;
}

void Build(const std::vector<uint8_t>& set) { BuildGlyphTextures(set.data(), static_cast<int64_t>(set.size())); }

// The set the drawers are tried with: all 44 glyphs they use, glyph n being
// 3 + n mod 5 columns wide, so no two advances below are the same by chance.
std::vector<int32_t> DrawerWidths() {
  std::vector<int32_t> widths;
  for (int32_t n = 0; n < 44; ++n) widths.push_back(3 + n % 5);
  return widths;
}

struct Quad {
  GLuint texture;
  float x, y;
};

// The texture and first corner of each quad drawn since the recorder was cleared.
std::vector<Quad> Quads() {
  std::vector<Quad> quads;
  GLuint bound = 0;
  bool open = false;
  for (const auto& c : Rec().calls) {
    unsigned t = 0;
    float x = 0, y = 0;
    if (std::sscanf(c.c_str(), "bind %u", &t) == 1) bound = t;
    if (c.rfind("begin", 0) == 0) open = true;
    if (open && std::sscanf(c.c_str(), "v %f %f", &x, &y) == 2) {
      quads.push_back({bound, x, y});
      open = false;
    }
  }
  return quads;
}

GLuint Tex16(int32_t glyph) { return static_cast<GLuint>(Glyphs.GlyphTex16[glyph]); }
GLuint Tex32(int32_t glyph) { return static_cast<GLuint>(Glyphs.GlyphTex32[glyph]); }

// --- the character mapping --------------------------------------------------------------

TEST(GlyphIndex, Table) {
  struct Case {
    uint8_t c;
    bool capitals, colon;
    int32_t glyph;
  } cases[] = {
      {'a', false, false, 0},  {'z', false, false, 25}, {'A', true, false, 0},   {'Z', true, false, 25},
      {'A', false, true, -1},  {'.', false, false, 26}, {',', false, false, 27}, {'-', false, false, 28},
      {'0', false, false, 29}, {'9', false, false, 38}, {'!', false, false, 39}, {'?', false, false, 40},
      {'@', false, false, 41}, {'*', false, false, 42}, {':', false, true, 43},  {':', true, false, -1},
      {' ', true, true, -1},   {'\n', true, true, -1},  {'/', true, true, -1},   {'[', true, true, -1},
      {'`', true, true, -1},   {'{', true, true, -1},   {0xE1, true, true, -1},  {0, true, true, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(GlyphIndex(c.c, c.capitals, c.colon), c.glyph) << int(c.c) << " " << c.capitals << c.colon;
}

// --- building the glyph textures --------------------------------------------------------

TEST(GlyphTextures, WidthsClampingAndTheSlotLimit) {
  apptest::InstallGLRecorder();
  Build(FontSet({3, 5, 0, 20, 2}));
  ASSERT_EQ(Glyphs.GlyphCount, 5);
  const int32_t widths[] = {3, 5, 0, 16, 2};
  for (int32_t g = 0; g < 5; ++g) EXPECT_EQ(Glyphs.GlyphWidth[g], widths[g]) << g;
  auto images = Rec().With("image");
  ASSERT_EQ(images.size(), 10u);
  EXPECT_EQ(images[0], "image 0 4 16x16 0x1908 data");
  EXPECT_EQ(images[1], "image 0 4 32x32 0x1908 data");

  // A separator in every searched column: more glyphs than the tables hold.
  std::vector<uint8_t> many(static_cast<size_t>(kGlyphRowBytes * kGlyphRows), 0);
  for (int32_t i = 0; i <= 296; ++i) many[static_cast<size_t>(i)] = 2;
  Build(many);
  EXPECT_EQ(Glyphs.GlyphCount, kGlyphSlots);
}

TEST(GlyphTextures, PixelsAndTheDoubledLargeSize) {
  apptest::InstallGLRecorder();
  Rec().keepImages = true;
  const std::vector<int32_t> widths = {3, 5, 0, 20, 2};
  auto set = FontSet(widths);
  set[kGlyphRowBytes * 5 + 1] = 3;  // not 0 or 1: 3 x 255 mod 256
  Build(set);
  ASSERT_EQ(Rec().images.size(), 10u);
  int32_t first = 0;
  for (size_t g = 0; g < widths.size(); ++g) {
    const auto& small = Rec().images[2 * g];
    const auto& large = Rec().images[2 * g + 1];
    ASSERT_EQ(small.size(), 16u * 16 * 4);
    ASSERT_EQ(large.size(), 32u * 32 * 4);
    int32_t used = std::min(widths[g], 16);
    for (int32_t j = 0; j < 16; ++j)
      for (int32_t k = 0; k < 16; ++k) {
        int32_t v = 0;
        if (j < kGlyphRows && k < used) v = (set[static_cast<size_t>(kGlyphRowBytes * j + first + k)] * 255) % 256;
        for (int32_t ch = 0; ch < 4; ++ch) ASSERT_EQ(small[static_cast<size_t>((16 * j + k) * 4 + ch)], v) << g << " " << j << " " << k;
      }
    for (int32_t y = 0; y < 32; ++y)
      for (int32_t x = 0; x < 32; ++x)
        for (int32_t ch = 0; ch < 4; ++ch)
          ASSERT_EQ(large[static_cast<size_t>((32 * y + x) * 4 + ch)],
                    small[static_cast<size_t>((16 * (y / 2) + x / 2) * 4 + ch)])
              << g << " " << y << " " << x;
    first += widths[g] + 1;
  }
  EXPECT_EQ(Rec().images[0][(16 * 5 + 1) * 4], 253);
}

// --- the text drawers -------------------------------------------------------------------

class GlyphText : public testing::Test {
 protected:
  void SetUp() override {
    apptest::InstallGLRecorder();
    Build(FontSet(DrawerWidths()));
    ASSERT_EQ(Glyphs.GlyphCount, 44);
    Rec().calls.clear();
  }
};

using TextDrawer = void (*)(const ShortString&, float, float);

TEST_F(GlyphText, OneQuadPerGlyphAndNothingElse) {
  struct Case {
    TextDrawer draw;
    GLuint texture;
    const char* far;
  } cases[] = {{DrawText16, Tex16(0), "26"}, {DrawText32, Tex32(0), "42"}};
  for (const auto& c : cases) {
    Rec().calls.clear();
    c.draw("a", 10, 10);
    std::vector<std::string> expected = {"bind " + std::to_string(c.texture),
                                         "begin 0x7",
                                         "tc 0 1",
                                         "v 10 10",
                                         "tc 1 1",
                                         std::string("v ") + c.far + " 10",
                                         "tc 1 0",
                                         std::string("v ") + c.far + " " + c.far,
                                         "tc 0 0",
                                         std::string("v 10 ") + c.far,
                                         "end"};
    EXPECT_EQ(Rec().calls, expected);
  }
}

TEST_F(GlyphText, AdvanceOfEachKindOfCharacter) {
  // Glyph 1 ("b") is 4 columns wide, glyph 43 (the colon) 6.
  struct Case {
    TextDrawer draw;
    char c;
    float advance;
    GLuint texture;  // 0: no glyph drawn
  } cases[] = {
      {DrawText16, 'B', 5, Tex16(1)},  {DrawText16, ':', 7, Tex16(43)}, {DrawText16, ' ', 4, 0},
      {DrawText16, '#', 4, 0},         {DrawText16, '\xE9', 4, 0},      {DrawText32, 'b', 10, Tex32(1)},
      {DrawText32, 'B', 8, 0},         {DrawText32, ':', 14, Tex32(43)}, {DrawText32, ' ', 8, 0},
      {DrawText32, '#', 8, 0},
  };
  for (const auto& c : cases) {
    Rec().calls.clear();
    c.draw(ShortString(std::string(1, c.c) + "a"), 100, 50);
    auto quads = Quads();
    ASSERT_EQ(quads.size(), c.texture ? 2u : 1u) << c.c;
    if (c.texture) {
      EXPECT_EQ(quads[0].texture, c.texture) << c.c;
    }
    EXPECT_FLOAT_EQ(quads.back().x, 100 + c.advance) << c.c;
    EXPECT_FLOAT_EQ(quads.back().y, 50) << c.c;
  }
}

TEST_F(GlyphText, CentredOnX) {
  struct Case {
    TextDrawer draw;
    const char* text;
    std::vector<float> xs;
  } cases[] = {
      {DrawText16Centered, "aB", {640 - 4.5f, 640 - 0.5f}},        // 4 + 5: half a unit to the left
      {DrawText16Centered, "a :", {640 - 7.5f, 640 + 0.5f}},       // 4 + 4 + 7
      {DrawText32Centered, "aB:", {640 - 15, 640 + 1}},            // 8 + an 8-unit gap + 14
  };
  for (const auto& c : cases) {
    Rec().calls.clear();
    c.draw(c.text, 640, 300);
    auto quads = Quads();
    ASSERT_EQ(quads.size(), c.xs.size()) << c.text;
    for (size_t i = 0; i < quads.size(); ++i) EXPECT_FLOAT_EQ(quads[i].x, c.xs[i]) << c.text << " " << i;
  }
  Rec().calls.clear();
  DrawText16Centered("", 640, 300);
  DrawText32Centered("", 640, 300);
  EXPECT_TRUE(Rec().calls.empty());
}

// --- the scrollers ----------------------------------------------------------------------

class Scroller : public GlyphText {
 protected:
  void SetText(const std::string& text) {
    text_.assign(text.begin(), text.end());
    Glyphs.ScrollText = text_.data();
    Glyphs.ScrollLength = static_cast<int64_t>(text_.size());
  }
  void TearDown() override {
    Glyphs.ScrollText = nullptr;
    Glyphs.ScrollLength = 0;
  }
  std::vector<uint8_t> text_;
};

using ScrollDrawer = void (*)(float, float, float);

// A start from which the short lines below lie wholly inside the drawing
// space (from the main screen's 1280 they would lie wholly outside it).
constexpr float kOnScreenStart = 1200;

TEST_F(Scroller, ShiftIsTheRoundedOffsetModuloTheWidth) {
  // The colon, the line break and "#" take no room: 4 + 4 + 5 + 4 = 17 units.
  SetText("a: b\nA#");
  struct Case {
    ScrollDrawer draw;
    float offset;
    float shift;
  } cases[] = {
      {DrawScroller16, 0, 0},     {DrawScroller16, 17, 0},   {DrawScroller16, 18, 1},  {DrawScroller16, 2.5f, 2},
      {DrawScroller16, 3.5f, 4},  {DrawScroller16, 16.5f, 16}, {DrawScroller16, -0.5f, 0}, {DrawScroller16, -20, -3},
      {DrawScroller32, 0, 0},     {DrawScroller32, 34, 0},   {DrawScroller32, 35, 1},  {DrawScroller32, 4.5f, 4},
  };
  for (const auto& c : cases) {
    Rec().calls.clear();
    c.draw(kOnScreenStart, 84, c.offset);
    bool large = c.draw == DrawScroller32;
    std::vector<float> xs = large ? std::vector<float>{0, 16, 26} : std::vector<float>{0, 8, 13};
    auto quads = Quads();
    ASSERT_EQ(quads.size(), 3u) << c.offset;
    for (size_t i = 0; i < 3; ++i) {
      EXPECT_FLOAT_EQ(quads[i].x, kOnScreenStart + xs[i] - c.shift) << large << " " << c.offset << " " << i;
      EXPECT_FLOAT_EQ(quads[i].y, 84);
    }
    EXPECT_EQ(quads[0].texture, large ? Tex32(0) : Tex16(0));
    EXPECT_EQ(quads[2].texture, large ? Tex32(0) : Tex16(0));  // the capital has the small letter's glyph
  }
}

TEST_F(Scroller, NothingWithoutWidth) {
  SetText("\n#::\r");
  DrawScroller16(1280, 84, 5);
  DrawScroller32(1280, 88, 5);
  SetText("");
  DrawScroller16(1280, 84, 5);
  Glyphs.ScrollText = nullptr;
  Glyphs.ScrollLength = 5;
  DrawScroller32(1280, 88, 5);
  EXPECT_TRUE(Rec().calls.empty());
}

TEST_F(Scroller, OffsetsOutOfRangeStayDefined) {
  SetText("a b");  // 4 + 4 + 5 = 13 units
  const float inf = std::numeric_limits<float>::infinity();
  for (float offset : {1e30f, -1e30f, inf, -inf, std::numeric_limits<float>::quiet_NaN(), 2147483648.0f}) {
    Rec().calls.clear();
    DrawScroller16(kOnScreenStart, 84, offset);
    auto quads = Quads();
    ASSERT_EQ(quads.size(), 2u) << offset;
    EXPECT_GT(quads[0].x, kOnScreenStart - 13) << offset;
    EXPECT_LT(quads[0].x, kOnScreenStart + 13) << offset;
    EXPECT_FLOAT_EQ(quads[1].x - quads[0].x, 8) << offset;
  }
  Rec().calls.clear();
  DrawScroller16(kOnScreenStart, 84, std::numeric_limits<float>::quiet_NaN());
  EXPECT_FLOAT_EQ(Quads()[0].x, kOnScreenStart);
}

// A line many screens long, drawn from the main screen's right edge at
// offsets that put its start, middle, end and wrap on screen: the calls are
// exactly those of the glyphs that reach into 0 to 1280, each as the text
// drawer makes it, and the glyphs outside make none.
TEST_F(Scroller, DrawsOnlyTheGlyphsInTheDrawingSpace) {
  std::string text;
  for (int i = 0; text.size() < 3000; ++i) text += std::string("the quick brown fox 0123456789 ") + (i % 3 ? "#\n" : "");
  SetText(text);
  struct Size {
    ScrollDrawer scroll;
    TextDrawer single;
    int32_t scale;
  } sizes[] = {{DrawScroller16, DrawText16, 1}, {DrawScroller32, DrawText32, 2}};
  for (const auto& size : sizes) {
    // The model of the line: each glyph's place before the shift.
    std::vector<std::pair<char, int64_t>> glyphs;
    int64_t width = 0;
    for (char c : text) {
      int32_t n = GlyphIndex(static_cast<uint8_t>(c), true, false);
      if (n >= 0) {
        glyphs.emplace_back(c, width);
        width += size.scale * (Glyphs.GlyphWidth[n] + 1);
      } else if (c == ' ') {
        width += 4 * size.scale;
      }
    }
    ASSERT_GT(width, 10 * 1280);
    for (int64_t shift : {int64_t{0}, int64_t{16}, int64_t{1300}, width / 2 + 7, width - 700, width - 1}) {
      Rec().calls.clear();
      for (const auto& [c, at] : glyphs) {
        const auto x = static_cast<float>(1280 + at - shift);
        if (x + static_cast<float>(16 * size.scale) > 0 && x < 1280) size.single(std::string(1, c), x, 84);
      }
      const std::vector<std::string> expected = Rec().calls;
      Rec().calls.clear();
      size.scroll(1280, 84, static_cast<float>(shift));
      EXPECT_EQ(Rec().calls, expected) << size.scale << " " << shift;
      // The narrowest glyph advances 4 units a scale: no more fit in.
      EXPECT_LE(Rec().Count("begin"), static_cast<size_t>((1280 + 16 * size.scale) / (4 * size.scale) + 1));
      if (shift >= 1300) {
        EXPECT_GT(Rec().Count("begin"), 10u) << shift;
      }
    }
    // A glyph reaching in by a unit at either edge is drawn; one that only
    // touches an edge is not.
    SetText("a");
    for (const auto& [start, drawn] : std::vector<std::pair<float, bool>>{
             {1279, true}, {1280, false}, {static_cast<float>(1 - 16 * size.scale), true},
             {static_cast<float>(-16 * size.scale), false}}) {
      Rec().calls.clear();
      size.scroll(start, 84, 0);
      EXPECT_EQ(Rec().Count("begin"), drawn ? 1u : 0u) << size.scale << " " << start;
    }
    SetText(text);
  }
}

// --- a set with fewer glyphs or rows than the drawers use --------------------------------

TEST_F(Scroller, ShortSetDrawsOnlyTheGlyphsItHas) {
  // Textures of the full set are still about; the short set must not use them.
  Build(FontSet({3, 4, 5}));
  ASSERT_EQ(Glyphs.GlyphCount, 3);
  Rec().calls.clear();
  DrawText16("d:a", 100, 50);  // "d" and the colon lie beyond the set: 4 units each
  auto quads = Quads();
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_EQ(quads[0].texture, Tex16(0));
  EXPECT_FLOAT_EQ(quads[0].x, 108);

  SetText("d a");  // 0 + 4 + 4 = 8 units
  Rec().calls.clear();
  DrawScroller32(kOnScreenStart, 84, 0);
  quads = Quads();
  ASSERT_EQ(quads.size(), 1u);
  EXPECT_EQ(quads[0].texture, Tex32(0));
  EXPECT_FLOAT_EQ(quads[0].x, kOnScreenStart + 8);

  // Eight rows are no set at all: every byte of it is within reach of the
  // sanitizer, and nothing is drawn from it.
  Build(FontSet({3, 4, 5}, kGlyphRows - 1));
  EXPECT_EQ(Glyphs.GlyphCount, 0);
  Rec().calls.clear();
  DrawText16("abc", 100, 50);
  DrawText32Centered("abc", 100, 50);
  SetText("a b");
  DrawScroller16(1280, 84, 3);
  EXPECT_TRUE(Rec().With("bind").empty());
  EXPECT_TRUE(Rec().With("begin").empty());
}

// --- the debug font ---------------------------------------------------------------------

TEST(DebugFont, TexelsFollowTheBitmap) {
  apptest::InstallGLRecorder();
  Rec().keepImages = true;
  BuildDebugFontTexture();
  ASSERT_EQ(Rec().With("image"), std::vector<std::string>{"image 0 1 64x64 0x1909 data"});
  const auto& texels = Rec().images.at(0);
  ASSERT_EQ(texels.size(), 4096u);
  for (int32_t y = 0; y < 36; ++y)
    for (int32_t x = 0; x < 64; ++x) {
      bool set = (DebugFontBitmap[8 * y + x / 8] >> (x % 8)) & 1;
      ASSERT_EQ(texels[static_cast<size_t>(64 * y + x)], set ? 255 : 0) << x << " " << y;
    }
}

TEST(DebugFont, CodesOutsideTheFontDrawTheBlank) {
  apptest::InstallGLRecorder();
  DebugFontChar(' ', true, 0.5f, 0.25f);
  auto blank = Rec().calls;
  for (char c : {'\0', '\x1F', '\x80', '\xFF'}) {
    Rec().calls.clear();
    DebugFontChar(c, true, 0.5f, 0.25f);
    EXPECT_EQ(Rec().calls, blank) << int(c);
  }
  Rec().calls.clear();
  DebugFontChar('\x7F', true, 0.5f, 0.25f);  // the last cell is still in the font
  EXPECT_EQ(Rec().With("tc ")[0], "tc 0.9375 0.46875");
}

TEST(DebugFont, RawTextStepsOneCellWidth) {
  apptest::InstallGLRecorder();
  DebugFontText("ab", true, 0.5f, 0.25f);
  auto v = Rec().With("v ");
  ASSERT_EQ(v.size(), 8u);
  EXPECT_EQ(v[0], "v 0.5 0.25");
  EXPECT_EQ(v[4], "v 0.51 0.25");
}

}  // namespace
