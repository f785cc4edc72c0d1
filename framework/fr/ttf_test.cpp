#include "framework/fr/ttf.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/z.h"
#include "framework/base/mem.h"
#include "testsupport/fr/fr.h"
#include "testsupport/testsupport.h"

namespace {

using frtest::Target;

struct InkBox {
  int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
  bool empty() const { return right < 0; }
};

InkBox FindInk(const Target& t) {
  InkBox box;
  const txBitmap& b = *const_cast<Target&>(t).bitmap();
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)
      if (t.pixel(x, y)[0] != 0) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.top = std::min(box.top, y);
        box.bottom = std::max(box.bottom, y);
      }
  return box;
}


// The bytes of the DejaVu face, with readers of its big-endian numbers and
// of where its tables start.
struct FaceBytes {
  std::vector<uint8_t> font;
  FaceBytes() {
    const std::string file = qt::ReadFile(frtest::kDejaVu);
    font.assign(file.begin(), file.end());
  }
  uint32_t be16(size_t at) const { return static_cast<uint32_t>(font[at] << 8 | font[at + 1]); }
  uint32_t be32(size_t at) const { return be16(at) << 16 | be16(at + 2); }
  size_t table(const char* tag) const {
    for (uint32_t i = 0; i < be16(4); ++i)
      if (std::memcmp(&font[12 + 16 * i], tag, 4) == 0) return be32(12 + 16 * i + 8);
    return 0;
  }
};

// Registers a copy of the bytes as a new face of that name; the registry
// owns the copy from then on, or it is freed when the face is refused.
int AddFaceCopy(const char* name, const std::vector<uint8_t>& bytes) {
  auto* buffer = static_cast<uint8_t*>(SYS_MemGet(bytes.size()));
  if (!buffer) return -1;
  std::memcpy(buffer, bytes.data(), bytes.size());
  const int result = ftAddFace(name, buffer, static_cast<int32_t>(bytes.size()));
  if (result != 0) SYS_MemFree(buffer);
  return result;
}

// The DejaVu face with the outline of one character damaged: its glyph
// claims more contours than its bytes hold, so FreeType refuses to load it.
std::vector<uint8_t> FaceWithBrokenGlyph(char broken) {
  FaceBytes bytes;
  std::vector<uint8_t>& font = bytes.font;
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  EXPECT_EQ(FT_Init_FreeType(&library), 0);
  EXPECT_EQ(FT_New_Memory_Face(library, font.data(), static_cast<FT_Long>(font.size()), 0, &face), 0);
  const FT_UInt gi = FT_Get_Char_Index(face, static_cast<FT_ULong>(broken));
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  const size_t loca = bytes.table("loca"), glyf = bytes.table("glyf");
  const bool longOffsets = bytes.be16(bytes.table("head") + 50) != 0;
  const size_t at = glyf + (longOffsets ? bytes.be32(loca + 4 * gi) : 2 * bytes.be16(loca + 2 * gi));
  font[at] = 0x0F;  // numberOfContours 0x0FFE: far more than the glyph holds
  font[at + 1] = 0xFE;
  return font;
}

class TrueTypeRender : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(ftInit(), 0);
    ASSERT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  }
  void TearDown() override {
    if (font_) ftFreeFont(font_);
    ftDone();
  }
  FR_Font_t* Font(int encoding, uint32_t colour, int halign, int valign, int size) {
    if (font_) ftFreeFont(font_);
    font_ = ftNewFont(encoding, colour, halign, valign);
    EXPECT_NE(font_, nullptr);
    EXPECT_EQ(ftSetFont(font_, frtest::kDejaVu, size, 100, 0), 0);
    return font_;
  }
  // Renders and checks that nothing was written outside the bitmap.
  void Render(Target& t, const std::string& text, int* width = nullptr, int* height = nullptr) {
    ASSERT_EQ(ftRender(font_, t.bitmap(), text.c_str(), width, height), 0);
    EXPECT_TRUE(t.fencesIntact());
  }

 private:
  FR_Font_t* font_ = nullptr;
};

TEST_F(TrueTypeRender, CentredWordSitsOnTheMiddleColumn) {
  Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_CENTRE, FR_VALIGN_CENTRE, 16);
  Target t(512, 64, 32);
  int width = 0, height = 0;
  Render(t, "HI", &width, &height);
  const InkBox ink = FindInk(t);
  ASSERT_FALSE(ink.empty());
  EXPECT_NEAR((ink.left + ink.right) / 2.0, 256.0, 2.0);
  EXPECT_NEAR(width, ink.right - ink.left + 1, 4);
  // "HI" has no descenders: the reported height is the ink's.
  EXPECT_NEAR(height, ink.bottom - ink.top + 1, 1);
}

TEST_F(TrueTypeRender, VerticalAlignmentPlacesTheLine) {
  const int size = 24;
  InkBox boxes[3];
  const int valigns[3] = {FR_VALIGN_TOP, FR_VALIGN_CENTRE, FR_VALIGN_BOTTOM};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(valigns[i]);
    Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, valigns[i], size);
    Target t(512, 64, 32);
    Render(t, "HI");
    boxes[i] = FindInk(t);
    ASSERT_FALSE(boxes[i].empty());
  }
  // Top: the tallest glyph's rows start at the first row.
  EXPECT_LE(boxes[0].top, 1);
  EXPECT_LT(boxes[0].top, boxes[1].top);
  EXPECT_LT(boxes[1].top, boxes[2].top);
  // Bottom: the line (taller than the em, shorter than two) ends at the last
  // row; centred, it starts half as far down.
  const int shift = boxes[2].top - boxes[0].top;
  EXPECT_LE(boxes[2].bottom, 63);
  EXPECT_GT(shift, 64 - 2 * size);
  EXPECT_LT(shift, 64 - size);
  EXPECT_EQ(boxes[1].top - boxes[0].top, shift / 2);
  for (const InkBox& b : boxes) EXPECT_EQ(b.bottom - b.top, boxes[0].bottom - boxes[0].top);
}

TEST_F(TrueTypeRender, GlyphsAreClippedOnAllFourSides) {
  struct Case {
    const char* what;
    int width, height, bits;
    int halign, valign, x, y;
    const char* text;
  };
  const Case cases[] = {
      {"wider than the bitmap, left", 61, 20, 32, FR_HALIGN_LEFT, FR_VALIGN_TOP, 0, 0, "Wide words overflow"},
      {"wider than the bitmap, right", 61, 20, 24, FR_HALIGN_RIGHT, FR_VALIGN_TOP, 0, 0, "Wide words overflow"},
      {"wider than the bitmap, centred", 33, 7, 8, FR_HALIGN_CENTRE, FR_VALIGN_CENTRE, 0, 0, "Wide words overflow"},
      {"above and left", 40, 30, 32, -1, -1, -9, -25, "Hg'"},
      {"below and right", 40, 30, 24, -1, -1, 30, 20, "Hg'"},
      {"a lone apostrophe in a tiny bitmap", 3, 3, 8, FR_HALIGN_CENTRE, FR_VALIGN_BOTTOM, 0, 0, "'"},
      {"far away", 40, 30, 32, -1, -1, 2000000000, -2000000000, "Hg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FR_Font_t* font = Font(FR_ENC_LATIN1, 0xFFFFFFFFu, c.halign, c.valign, 32);
    if (c.halign < 0) {
      ASSERT_EQ(ftSetPosition(font, c.x, c.y), 0);
    }
    Target t(c.width, c.height, c.bits);
    Render(t, c.text);
  }
}

TEST_F(TrueTypeRender, ClippedTextStillReachesTheEdge) {
  Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP, 32);
  Target t(61, 40, 32);
  Render(t, "MMMMMMMM");
  const InkBox ink = FindInk(t);
  EXPECT_EQ(ink.left, 0);
  EXPECT_EQ(ink.right, 60);
}

TEST_F(TrueTypeRender, TextWithoutInkIsZeroRowsHigh) {
  Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP, 20);
  Target t(64, 32, 32);
  int width = -1, height = -1;
  Render(t, "   ", &width, &height);
  EXPECT_GT(width, 0);
  EXPECT_EQ(height, 0);
  EXPECT_TRUE(FindInk(t).empty());
}

// A glyph larger than any real one (a damaged face, or an absurd size) is
// drawn empty instead of being rendered into gigabytes; a normal glyph of
// the same line still draws.
TEST_F(TrueTypeRender, OversizedGlyphsDrawEmpty) {
  Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP, 9000);
  Target t(64, 32, 32);
  int width = -1, height = -1;
  Render(t, "H", &width, &height);
  EXPECT_EQ(height, 0);
  EXPECT_TRUE(FindInk(t).empty());
  Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP, 3000);
  Target big(64, 64, 32);
  Render(big, "H");
  EXPECT_FALSE(FindInk(big).empty());
}

// The bound is on the outline's own extent: at 5392 px the outline of "l" is
// 4096 rows high and draws although the bitmap it renders to has a row more;
// at 5393 px it is 4097 rows high and draws empty.
TEST_F(TrueTypeRender, TheGlyphBoundIsTheOutlinesOwnHeight) {
  struct Case {
    int size;
    bool draws;
  };
  for (const Case& c : {Case{5392, true}, Case{5393, false}}) {
    SCOPED_TRACE(c.size);
    Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP, c.size);
    Target t(64, 64, 8);
    Render(t, "l");
    EXPECT_EQ(!FindInk(t).empty(), c.draws);
  }
}

TEST_F(TrueTypeRender, ColourBlendsByTheGlyphsCoverage) {
  const int W = 96, H = 40;
  Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP, 28);
  Target grey(W, H, 8);
  Render(grey, "Qa%");
  // White at full alpha onto a zero 8-bit bitmap leaves exactly the coverage.
  const std::vector<uint8_t> coverage = grey.pixels();
  ASSERT_TRUE(std::any_of(coverage.begin(), coverage.end(), [](uint8_t s) { return s > 0 && s < 255; }));

  struct Case {
    const char* what;
    uint32_t colour;
    int bits;
    uint8_t background;
  };
  const Case cases[] = {
      {"half alpha white, 32 bits", 0xFFFFFF80u, 32, 0},
      {"colour over grey, 32 bits", 0x80402010u, 32, 100},
      {"opaque colour, 24 bits", 0x20C0F0FFu, 24, 7},
      {"8 bits get red only", 0x40FFFFFFu, 8, 0},
      {"8 bits without red stay", 0x00FFFFFFu, 8, 33},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Font(FR_ENC_LATIN1, c.colour, FR_HALIGN_LEFT, FR_VALIGN_TOP, 28);
    Target t(W, H, c.bits, c.background);
    Render(t, "Qa%");
    const int rgb[3] = {static_cast<int>(c.colour >> 24), static_cast<int>((c.colour >> 16) & 0xFF),
                        static_cast<int>((c.colour >> 8) & 0xFF)};
    const int A = c.colour & 0xFF;
    const int bpp = c.bits / 8;
    int mismatches = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const int s = coverage[static_cast<size_t>(y) * W + x];
        const int N = s * A / 255, O = 255 - N;
        const uint8_t* p = t.pixel(x, y);
        for (int k = 0; k < std::min(bpp, 3); ++k)
          if (p[k] != (s ? (rgb[k] * N + c.background * O) / 255 : c.background)) ++mismatches;
        if (bpp == 4 && p[3] != (s ? (c.background * O + N * 255) / 255 : c.background)) ++mismatches;
      }
    EXPECT_EQ(mismatches, 0);
  }
  // The alpha byte of FFFFFF80 is floor(s * 128 / 255).
  Font(FR_ENC_LATIN1, 0xFFFFFF80u, FR_HALIGN_LEFT, FR_VALIGN_TOP, 28);
  Target half(W, H, 32);
  Render(half, "Qa%");
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) ASSERT_EQ(half.pixel(x, y)[3], coverage[static_cast<size_t>(y) * W + x] * 128 / 255);
}

TEST_F(TrueTypeRender, EncodingsDrawTheSameGlyph) {
  struct Case {
    const char* what;
    int encoding;
    std::string text;
  };
  const Case eAcute[] = {
      {"Latin-1 E9", FR_ENC_LATIN1, "\xE9"},
      {"Latin-2 E9", FR_ENC_LATIN2, "\xE9"},
      {"UTF-8 C3 A9", FR_ENC_UTF8, "\xC3\xA9"},
      {"UCS-2 00 E9", FR_ENC_UCS2, std::string("\x00\xE9\x00\x00", 4)},
  };
  auto draw = [&](int encoding, const std::string& text) {
    Font(encoding, 0xFFFFFFFFu, FR_HALIGN_CENTRE, FR_VALIGN_CENTRE, 30);
    Target t(48, 48, 8);
    Render(t, text);
    return t.pixels();
  };
  const std::vector<uint8_t> reference = draw(FR_ENC_LATIN1, "\xE9");
  EXPECT_NE(reference, draw(FR_ENC_LATIN1, "e"));
  EXPECT_NE(reference, draw(FR_ENC_UCS2, std::string("\x00\x00", 2)));
  for (const Case& c : eAcute) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(draw(c.encoding, c.text), reference);
  }
  // Each byte that starts or continues no valid UTF-8 sequence draws one
  // replacement character.
  for (const std::string bad : {"\xFF", "\xC3", "\x80", "\xC0\xAF", "\xED\xA0\x80"}) {
    SCOPED_TRACE(bad.size());
    std::string replacements;
    for (size_t i = 0; i < bad.size(); ++i) replacements += std::string("\xFF\xFD", 2);
    EXPECT_EQ(draw(FR_ENC_UTF8, bad), draw(FR_ENC_UCS2, replacements + std::string("\x00\x00", 2)));
  }
}

FT_Bitmap GlyphBitmap(unsigned rows, unsigned width, int pitch, uint8_t* buffer, unsigned char mode) {
  FT_Bitmap glyph{};
  glyph.rows = rows;
  glyph.width = width;
  glyph.pitch = pitch;
  glyph.buffer = buffer;
  glyph.num_grays = mode == FT_PIXEL_MODE_GRAY ? 256 : 2;
  glyph.pixel_mode = mode;
  return glyph;
}

// Glyph bitmaps as FreeType may hand them over: rows padded beyond their
// width, stored bottom-up, or one bit per pixel from an embedded strike.
TEST(GlyphBlend, RowsAreReadWithTheirPitchAndPixelMode) {
  // The expected ink of a 10 x 3 glyph: an "L" with a dot.
  const char* shape[3] = {"X........X", "X.........", "XXXXXXX..."};
  std::vector<uint8_t> gray(3 * 12, 0x77);  // padding bytes that must never be drawn
  std::vector<uint8_t> flipped(3 * 12, 0x77);
  std::vector<uint8_t> mono(3 * 4, 0xFF);
  for (int r = 0; r < 3; ++r) {
    for (int k = 0; k < 10; ++k) {
      const bool ink = shape[r][k] == 'X';
      gray[r * 12 + k] = ink ? 255 : 0;
      flipped[(2 - r) * 12 + k] = ink ? 255 : 0;
    }
    mono[r * 4] = 0;
    mono[r * 4 + 1] = 0x3F;  // the pixels past the width are set on purpose
    for (int k = 0; k < 10; ++k)
      if (shape[r][k] == 'X') mono[r * 4 + k / 8] |= static_cast<uint8_t>(0x80 >> (k % 8));
  }
  struct Case {
    const char* what;
    unsigned char mode;
    int pitch;
    std::vector<uint8_t>* bytes;
  };
  const Case cases[] = {
      {"grey, padded rows", FT_PIXEL_MODE_GRAY, 12, &gray},
      {"grey, bottom-up rows", FT_PIXEL_MODE_GRAY, -12, &flipped},
      {"mono, padded rows", FT_PIXEL_MODE_MONO, 4, &mono},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FT_Bitmap glyph = GlyphBitmap(3, 10, c.pitch, c.bytes->data(), c.mode);
    Target t(14, 5, 8);
    FR_BlendGlyph(t.bitmap(), 2, 1, &glyph, 0xFFFFFFFFu);
    EXPECT_TRUE(t.fencesIntact());
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 14; ++x) {
        const bool inside = y >= 1 && y < 4 && x >= 2 && x < 12;
        const bool ink = inside && shape[y - 1][x - 2] == 'X';
        EXPECT_EQ(t.pixel(x, y)[0], ink ? 255 : 0) << x << "," << y;
      }
    // Half off every side at once: only the overlap is drawn.
    Target small(4, 2, 32);
    FR_BlendGlyph(small.bitmap(), -6, -1, &glyph, 0xFFFFFFFFu);
    EXPECT_TRUE(small.fencesIntact());
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 4; ++x) EXPECT_EQ(small.pixel(x, y)[0], shape[y + 1][x + 6] == 'X' ? 255 : 0) << x << "," << y;
  }
}

// A glyph FreeType could not fill keeps its size but has no buffer; one
// whose rows are shorter than its width cannot be read either.
TEST(GlyphBlend, UnreadableGlyphsDrawNothing) {
  std::vector<uint8_t> bytes(8, 0xFF);
  struct Case {
    const char* what;
    uint8_t* buffer;
    int pitch;
    unsigned char mode;
  };
  const Case cases[] = {
      {"no buffer", nullptr, 4000, FT_PIXEL_MODE_GRAY},
      {"grey rows shorter than the width", bytes.data(), 2, FT_PIXEL_MODE_GRAY},
      {"mono rows shorter than the width", bytes.data(), -1, FT_PIXEL_MODE_MONO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const FT_Bitmap glyph = GlyphBitmap(4, 4000, c.pitch, c.buffer, c.mode);
    Target t(8, 8, 24);
    FR_BlendGlyph(t.bitmap(), 0, 0, &glyph, 0xFFFFFFFFu);
    EXPECT_TRUE(t.fencesIntact());
    EXPECT_TRUE(FindInk(t).empty());
  }
}

// A glyph of levels 0 to maxLevel, stored as FreeType stores its pixel mode
// (grey bytes, or bits for mono), rows padded to the pitch, top-down for a
// positive pitch and bottom-up for a negative one.
struct StoredGlyph {
  std::vector<uint8_t> bytes;
  FT_Bitmap bitmap{};
};

StoredGlyph StoreGlyph(const std::vector<std::vector<int>>& levels, unsigned char mode, int grays, int pitch) {
  StoredGlyph g;
  const auto rows = static_cast<unsigned>(levels.size()), width = static_cast<unsigned>(levels[0].size());
  const int stride = pitch < 0 ? -pitch : pitch;
  g.bytes.assign(static_cast<size_t>(stride) * rows, 0x5A);  // padding that must never be drawn
  for (unsigned r = 0; r < rows; ++r) {
    uint8_t* row = g.bytes.data() + static_cast<size_t>(pitch < 0 ? rows - 1 - r : r) * stride;
    if (mode == FT_PIXEL_MODE_MONO) std::memset(row, 0, (width + 7) / 8);
    for (unsigned k = 0; k < width; ++k) {
      if (mode == FT_PIXEL_MODE_MONO) {
        if (levels[r][k]) row[k / 8] |= static_cast<uint8_t>(0x80 >> (k % 8));
      } else {
        row[k] = static_cast<uint8_t>(levels[r][k]);
      }
    }
  }
  g.bitmap = GlyphBitmap(rows, width, pitch, g.bytes.data(), mode);
  g.bitmap.num_grays = static_cast<unsigned short>(grays);
  return g;
}

// The blend of one glyph pixel of coverage s (0 to 255) onto a pixel.
void BlendByTheFormula(uint8_t* p, int bpp, uint32_t colour, int s) {
  const int ink[3] = {static_cast<int>(colour >> 24), static_cast<int>((colour >> 16) & 0xFF),
                      static_cast<int>((colour >> 8) & 0xFF)};
  const int N = s * static_cast<int>(colour & 0xFF) / 255, O = 255 - N;
  for (int k = 0; k < std::min(bpp, 3); ++k) p[k] = static_cast<uint8_t>((ink[k] * N + p[k] * O) / 255);
  if (bpp == 4) p[3] = static_cast<uint8_t>((p[3] * O + N * 255) / 255);
}

// Every pixel mode onto every target depth, placed inside and across each
// edge, against the blend written out pixel by pixel.
TEST(GlyphBlend, EveryPixelModeAndDepthBlendsByTheFormula) {
  constexpr int kRows = 7, kWidth = 13;
  struct Mode {
    const char* what;
    unsigned char mode;
    int grays;  // the levels the stored values run to
    int pitch;
  };
  const Mode modes[] = {
      {"grey, 256 levels", FT_PIXEL_MODE_GRAY, 256, 16},
      {"grey, 256 levels, bottom-up", FT_PIXEL_MODE_GRAY, 256, -13},
      {"grey, 16 levels", FT_PIXEL_MODE_GRAY, 16, 14},
      {"grey, 1 level counts as 256", FT_PIXEL_MODE_GRAY, 1, 13},
      {"mono", FT_PIXEL_MODE_MONO, 2, 2},
      {"mono, bottom-up, padded", FT_PIXEL_MODE_MONO, 2, -3},
      {"LCD carries no single coverage", FT_PIXEL_MODE_LCD, 256, 13},
  };
  struct Place {
    int left, top;
  };
  const Place places[] = {{3, 2}, {-4, 1}, {2, -3}, {20, 4}, {5, 9}, {-6, -5}, {19, 10}};
  const uint32_t colours[] = {0xFFFFFFFFu, 0x80402010u, 0x20C0F0FFu, 0x12345600u};
  for (const Mode& m : modes) {
    std::vector<std::vector<int>> levels(kRows, std::vector<int>(kWidth));
    const int top = m.grays < 2 ? 255 : m.grays - 1;
    for (int r = 0; r < kRows; ++r)
      for (int k = 0; k < kWidth; ++k) levels[r][k] = (r * 37 + k * 11) % 5 == 0 ? 0 : (r * 29 + k * 17) % (top + 1);
    const StoredGlyph glyph = StoreGlyph(levels, m.mode, m.grays, m.pitch);
    for (const int bits : {8, 24, 32})
      for (const Place& at : places)
        for (const uint32_t colour : colours) {
          SCOPED_TRACE(testing::Message() << m.what << ", " << bits << " bits at " << at.left << "," << at.top
                                          << ", colour " << std::hex << colour);
          const int W = 24, H = 12, bpp = bits / 8;
          Target t(W, H, bits);
          std::vector<uint8_t> want(static_cast<size_t>(W) * H * bpp);
          for (size_t i = 0; i < want.size(); ++i) want[i] = static_cast<uint8_t>(i * 7 + 3);
          std::memcpy(t.bitmap()->data[0], want.data(), want.size());
          for (int r = 0; r < kRows; ++r)
            for (int k = 0; k < kWidth; ++k) {
              const int x = at.left + k, y = at.top + r;
              if (x < 0 || x >= W || y < 0 || y >= H || m.mode == FT_PIXEL_MODE_LCD) continue;
              const int level = levels[r][k];
              const int s = m.mode == FT_PIXEL_MODE_MONO ? (level ? 255 : 0) : top == 255 ? level : level * 255 / top;
              if (s) BlendByTheFormula(&want[(static_cast<size_t>(y) * W + x) * bpp], bpp, colour, s);
            }
          FR_BlendGlyph(t.bitmap(), at.left, at.top, &glyph.bitmap, colour);
          EXPECT_TRUE(t.fencesIntact());
          EXPECT_TRUE(t.pixels() == want);
        }
  }
}

TEST_F(TrueTypeRender, KerningNarrowsAPair) {
  FR_Font_t* font = Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP, 40);
  if (!font->face->kerning) GTEST_SKIP() << "the face carries no kerning table";
  auto inkWidth = [&](const char* text) {
    Target fresh(256, 64, 8);
    Render(fresh, text);
    const InkBox ink = FindInk(fresh);
    return ink.right - ink.left;
  };
  const int kerned = inkWidth("AV");
  font->face->kerning = 0;
  const int plain = inkWidth("AV");
  font->face->kerning = 1;
  EXPECT_LT(kerned, plain);
}


// The exact pixels of rendered lines, one checksum a case: every target
// depth, colour and alignment, kerned pairs and glyphs cut at each edge.
// Any change to where a glyph lands or how it blends changes a checksum.
TEST_F(TrueTypeRender, RenderedPixelsAreExactlyThese) {
  constexpr const char* kParagraph = "Sphinx of black quartz, judge my vow; AVAWAY Ty.";
  struct Case {
    const char* what;
    int bits, width, height, size;
    uint32_t colour;
    uint8_t background;
    int halign, valign, x, y;  // x and y count where halign is -1
    const char* text;
    int textWidth, textHeight;
    uint32_t crc;
  };
  const Case cases[] = {
      {"paragraph, 32 bits, white",
       32, 420, 24, 16, 0xFFFFFFFFu, 0, FR_HALIGN_LEFT, FR_VALIGN_TOP, 0, 0, kParagraph, 391, 32, 0xD538DA8Cu},
      {"paragraph, 32 bits, half alpha over grey",
       32, 420, 24, 16, 0x80402010u, 100, FR_HALIGN_CENTRE, FR_VALIGN_CENTRE, 0, 0, kParagraph, 391, 32, 0xC3C637E0u},
      {"paragraph, 24 bits, opaque colour",
       24, 420, 24, 16, 0x20C0F0FFu, 7, FR_HALIGN_RIGHT, FR_VALIGN_BOTTOM, 0, 0, kParagraph, 391, 32, 0x403A4F70u},
      {"paragraph, 8 bits, red only",
       8, 420, 24, 16, 0x40FFFFFFu, 9, FR_HALIGN_CENTRE, FR_VALIGN_TOP, 0, 0, kParagraph, 391, 32, 0xE3914D06u},
      {"kerned pairs, 8 bits",
       8, 256, 64, 40, 0xFFFFFFFFu, 0, FR_HALIGN_LEFT, FR_VALIGN_CENTRE, 0, 0, "AVATAR Wa To", 294, 37, 0x5A3BBCF4u},
      {"cut at the left edge", 32, 40, 30, 32, 0xFFC08040u, 3, -1, -1, -9, 0, "Hg'", 52, 32, 0x3F9B969Au},
      {"cut at the top edge", 24, 40, 30, 32, 0xFFC08040u, 3, -1, -1, 2, -25, "Hg'", 52, 32, 0x79A58FE2u},
      {"cut at the right edge", 32, 40, 30, 32, 0xFFC08040u, 3, -1, -1, 30, 0, "Hg'", 52, 32, 0xB557AB34u},
      {"cut at the bottom edge", 8, 40, 30, 32, 0xFFC08040u, 3, -1, -1, 2, 20, "Hg'", 52, 32, 0x08B53609u},
      {"wider than the bitmap, centred",
       32, 33, 9, 16, 0xFFFFFFFFu, 0, FR_HALIGN_CENTRE, FR_VALIGN_CENTRE, 0, 0, "Wide words overflow", 158, 19,
       0x6FB1773Cu},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FR_Font_t* font = Font(FR_ENC_LATIN1, c.colour, c.halign, c.valign, c.size);
    if (c.halign < 0) {
      ASSERT_EQ(ftSetPosition(font, c.x, c.y), 0);
    }
    Target t(c.width, c.height, c.bits, c.background);
    int width = -1, height = -1;
    Render(t, c.text, &width, &height);
    const std::vector<uint8_t> pixels = t.pixels();
    const auto crc = static_cast<uint32_t>(SYS_ZCrc32(pixels.data(), static_cast<uint32_t>(pixels.size())));
    EXPECT_EQ(width, c.textWidth);
    EXPECT_EQ(height, c.textHeight);
    EXPECT_EQ(crc, c.crc);
  }
}

// A glyph the face cannot load draws nothing and takes no room: FreeType
// empties the glyph slot before it loads, so a failed load leaves an empty
// outline of no advance there, never the glyph before it, and the rest of
// the line draws as if the character were not in it.
TEST_F(TrueTypeRender, AGlyphThatFailsToLoadDrawsNothingAndTakesNoRoom) {
  const char* kBrokenName = "dejavu, 'o' broken";
  ASSERT_EQ(AddFaceCopy(kBrokenName, FaceWithBrokenGlyph('o')), 0);
  FR_Font_t* broken = ftNewFont(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_CENTRE, FR_VALIGN_TOP);
  ASSERT_NE(broken, nullptr);
  ASSERT_EQ(ftSetFont(broken, kBrokenName, 24, 100, 0), 0);
  FR_Font_t* sound = Font(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_CENTRE, FR_VALIGN_TOP, 24);
  struct Case {
    const char* withBroken;
    const char* without;
  };
  for (const Case& c : {Case{"HoH", "HH"}, Case{"HooH", "HH"}, Case{"Ho", "H"}, Case{"o", ""}}) {
    Target got(128, 40, 32), want(128, 40, 32);
    int gotWidth = -1, gotHeight = -1, wantWidth = -1, wantHeight = -1;
    EXPECT_EQ(ftRender(broken, got.bitmap(), c.withBroken, &gotWidth, &gotHeight), 0) << c.withBroken;
    if (*c.without) {
      EXPECT_EQ(ftRender(sound, want.bitmap(), c.without, &wantWidth, &wantHeight), 0);
      EXPECT_EQ(gotWidth, wantWidth) << c.withBroken;
      EXPECT_EQ(gotHeight, wantHeight) << c.withBroken;
    } else {
      EXPECT_EQ(gotWidth, 0);
    }
    EXPECT_TRUE(got.pixels() == want.pixels()) << c.withBroken << " draws other pixels than " << c.without;
    EXPECT_TRUE(got.fencesIntact());
  }
  ftFreeFont(broken);
}

// A face's bold and italic flags come each from its own bit of the style
// flags, which FreeType takes from the selection bits of the OS/2 table
// (bit 5 bold, bit 0 italic).
TEST_F(TrueTypeRender, BoldAndItalicFlagsComeFromTheirOwnStyleBits) {
  constexpr size_t kSelectionAt = 62;  // fsSelection within the OS/2 table
  struct Case {
    const char* name;
    uint16_t selection;
    int bold, italic;
  };
  for (const Case& c : {Case{"dejavu regular", 0x40, 0, 0}, Case{"dejavu bold", 0x20, 1, 0},
                        Case{"dejavu italic", 0x01, 0, 1}, Case{"dejavu bold italic", 0x21, 1, 1}}) {
    FaceBytes bytes;
    const size_t os2 = bytes.table("OS/2");
    ASSERT_NE(os2, 0u);
    bytes.font[os2 + kSelectionAt] = static_cast<uint8_t>(c.selection >> 8);
    bytes.font[os2 + kSelectionAt + 1] = static_cast<uint8_t>(c.selection);
    ASSERT_EQ(AddFaceCopy(c.name, bytes.font), 0) << c.name;
    const FR_Face_t* face = ftFindFace(c.name);
    ASSERT_NE(face, nullptr) << c.name;
    EXPECT_EQ(face->bold, c.bold) << c.name;
    EXPECT_EQ(face->italic, c.italic) << c.name;
  }
}

}  // namespace
