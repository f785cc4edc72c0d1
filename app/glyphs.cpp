#include "app/glyphs.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "units/gltexture.h"
#include "units/glunit.h"

using namespace qgl;

GlyphsState Glyphs;

// 36 rows of 64 pixels, 8 bytes a row, the leftmost pixel in the lowest
// bit: the characters 32 to 127 in cells of 4 x 6, 16 cells a row. Small
// letters share the capitals' cells' shapes.
const uint8_t DebugFontBitmap[288] = {
    0x20, 0x55, 0x56, 0x22, 0x14, 0x00, 0x00, 0x40,
    0x20, 0x75, 0x43, 0x25, 0x22, 0x25, 0x00, 0x40,
    0x20, 0x50, 0x22, 0x02, 0x22, 0x72, 0x70, 0x20,
    0x00, 0x70, 0x16, 0x05, 0x22, 0x25, 0x02, 0x10,
    0x20, 0x50, 0x53, 0x06, 0x14, 0x00, 0x01, 0x12,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x27, 0x77, 0x75, 0x77, 0x77, 0x00, 0x04, 0x71,
    0x35, 0x44, 0x15, 0x41, 0x55, 0x22, 0x72, 0x42,
    0x25, 0x67, 0x77, 0x27, 0x77, 0x00, 0x01, 0x64,
    0x25, 0x41, 0x44, 0x25, 0x45, 0x22, 0x72, 0x02,
    0x77, 0x77, 0x74, 0x27, 0x77, 0x10, 0x04, 0x21,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x22, 0x63, 0x73, 0x67, 0x75, 0x54, 0x51, 0x23,
    0x55, 0x15, 0x15, 0x11, 0x25, 0x54, 0x71, 0x55,
    0x77, 0x13, 0x35, 0x53, 0x27, 0x34, 0x71, 0x55,
    0x51, 0x15, 0x15, 0x51, 0x25, 0x55, 0x51, 0x55,
    0x56, 0x63, 0x73, 0x61, 0x75, 0x52, 0x57, 0x25,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x23, 0x63, 0x57, 0x55, 0x55, 0x67, 0x31, 0x02,
    0x55, 0x15, 0x52, 0x55, 0x55, 0x24, 0x21, 0x05,
    0x53, 0x23, 0x52, 0x75, 0x22, 0x22, 0x22, 0x00,
    0x31, 0x45, 0x52, 0x75, 0x25, 0x21, 0x24, 0x00,
    0x61, 0x35, 0x72, 0x52, 0x25, 0x67, 0x34, 0x70,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x21, 0x63, 0x73, 0x67, 0x75, 0x54, 0x51, 0x23,
    0x52, 0x15, 0x15, 0x11, 0x25, 0x54, 0x71, 0x55,
    0x70, 0x13, 0x35, 0x53, 0x27, 0x34, 0x71, 0x55,
    0x50, 0x15, 0x15, 0x51, 0x25, 0x55, 0x51, 0x55,
    0x50, 0x63, 0x73, 0x61, 0x75, 0x52, 0x57, 0x25,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x23, 0x63, 0x57, 0x55, 0x55, 0x47, 0x12, 0x00,
    0x55, 0x15, 0x52, 0x55, 0x55, 0x24, 0x22, 0x03,
    0x53, 0x23, 0x52, 0x75, 0x22, 0x32, 0x62, 0x04,
    0x31, 0x45, 0x52, 0x75, 0x25, 0x21, 0x22, 0x00,
    0x61, 0x35, 0x72, 0x52, 0x25, 0x47, 0x12, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
};

namespace {

int32_t NewTexture(GLsizei size, GLint components, GLenum format, GLenum filter, const void* pixels) {
  return static_cast<int32_t>(
      NewTexture2D(size, size, components, format, static_cast<GLint>(filter), TextureWrap::ClampToEdge, pixels));
}

// One glyph of columns first to first + width - 1 in both sizes.
void MakeGlyph(const uint8_t* data, int32_t first, int32_t width, int32_t slot) {
  uint8_t small[16 * 16 * 4] = {};
  uint8_t large[32 * 32 * 4] = {};
  int32_t used = width < 16 ? width : 16;
  for (int32_t j = 0; j < kGlyphRows; ++j)
    for (int32_t k = 0; k < used; ++k) {
      auto v = static_cast<uint8_t>((data[kGlyphRowBytes * j + first + k] * 255) % 256);
      std::memset(small + (16 * j + k) * 4, v, 4);
    }
  for (int32_t j = 0; j < 16; ++j)
    for (int32_t k = 0; k < 16; ++k)
      for (int32_t dy = 0; dy < 2; ++dy)
        for (int32_t dx = 0; dx < 2; ++dx)
          std::memcpy(large + (32 * (2 * j + dy) + 2 * k + dx) * 4, small + (16 * j + k) * 4, 4);
  glEnable(GL_TEXTURE_2D);
  Glyphs.GlyphTex16[slot] = NewTexture(16, 4, GL_RGBA, GL_NEAREST, small);
  Glyphs.GlyphTex32[slot] = NewTexture(32, 4, GL_RGBA, GL_NEAREST, large);
  Glyphs.GlyphWidth[slot] = static_cast<uint8_t>(used);
}

}  // namespace

void BuildGlyphTextures(const uint8_t* data, int64_t size) {
  Glyphs.GlyphCount = 0;
  if (!data || size < static_cast<int64_t>(kGlyphRowBytes) * kGlyphRows) return;
  int32_t start = 0;
  for (int32_t i = 0; i <= 296 && Glyphs.GlyphCount < kGlyphSlots; ++i) {
    if (data[i] != 2) continue;
    MakeGlyph(data, start, i - start, Glyphs.GlyphCount);
    ++Glyphs.GlyphCount;
    start = i + 1;
  }
}

int32_t GlyphIndex(uint8_t character, bool capitals, bool colon) {
  if (character >= 'a' && character <= 'z') return character - 'a';
  if (capitals && character >= 'A' && character <= 'Z') return character - 'A';
  if (character >= '0' && character <= '9') return 29 + (character - '0');
  if (colon && character == ':') return 43;
  switch (character) {
    case '.': return 26;
    case ',': return 27;
    case '-': return 28;
    case '!': return 39;
    case '?': return 40;
    case '@': return 41;
    case '*': return 42;
    default: return -1;
  }
}

namespace {

// The 32-pixel glyphs are the 16-pixel ones doubled: positions, sizes and
// advances all scale by the same factor.
constexpr int32_t kSmall = 1;
constexpr int32_t kLarge = 2;

// A glyph the loaded set does not hold counts as no glyph, so a short set
// never draws a texture left from elsewhere.
int32_t LoadedGlyph(uint8_t character, bool capitals, bool colon) {
  int32_t n = GlyphIndex(character, capitals, colon);
  return n >= 0 && n < Glyphs.GlyphCount ? n : -1;
}

int32_t GlyphAdvance(int32_t glyph, int32_t scale) { return scale * (Glyphs.GlyphWidth[glyph] + 1); }

void GlyphQuad(int32_t glyph, int32_t scale, float x, float y) {
  const int32_t* textures = scale == kSmall ? Glyphs.GlyphTex16 : Glyphs.GlyphTex32;
  auto size = static_cast<float>(16 * scale);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(textures[glyph]));
  glBegin(GL_QUADS);
  glTexCoord2f(0.0f, 1.0f);
  glVertex2f(x, y);
  glTexCoord2f(1.0f, 1.0f);
  glVertex2f(x + size, y);
  glTexCoord2f(1.0f, 0.0f);
  glVertex2f(x + size, y + size);
  glTexCoord2f(0.0f, 0.0f);
  glVertex2f(x, y + size);
  glEnd();
}

// Capitals are mapped only at the small size; the colon at both.
int32_t TextGlyph(char character, int32_t scale) {
  return LoadedGlyph(static_cast<uint8_t>(character), scale == kSmall, true);
}

int32_t TextWidth(const ShortString& text, int32_t scale) {
  int32_t width = 0;
  for (unsigned i = 0; i < text.size(); ++i) {
    int32_t n = TextGlyph(text[i], scale);
    width += n >= 0 ? GlyphAdvance(n, scale) : 4 * scale;
  }
  return width;
}

void DrawText(const ShortString& text, float x, float y, int32_t scale) {
  for (unsigned i = 0; i < text.size(); ++i) {
    int32_t n = TextGlyph(text[i], scale);
    if (n < 0) {
      x += static_cast<float>(4 * scale);
      continue;
    }
    GlyphQuad(n, scale, x, y);
    x += static_cast<float>(GlyphAdvance(n, scale));
  }
}

void DrawTextCentered(const ShortString& text, float x, float y, int32_t scale) {
  DrawText(text, x - static_cast<float>(TextWidth(text, scale)) / 2.0f, y, scale);
}

int64_t ScrollBytes(void) { return Glyphs.ScrollText ? std::max<int64_t>(Glyphs.ScrollLength, 0) : 0; }

// Only a blank moves the scroll line without a glyph: line breaks and the
// colon take no room.
int64_t ScrollAdvance(uint8_t character, int32_t glyph, int32_t scale) {
  if (glyph >= 0) return GlyphAdvance(glyph, scale);
  return character == ' ' ? 4 * scale : 0;
}

int64_t ScrollWidth(int32_t scale) {
  int64_t width = 0;
  int64_t bytes = ScrollBytes();
  for (int64_t i = 0; i < bytes; ++i)
    width += ScrollAdvance(Glyphs.ScrollText[i], LoadedGlyph(Glyphs.ScrollText[i], true, false), scale);
  return width;
}

// The offset rounded (halves to even) and taken modulo the line's width.
// NaN and offsets beyond what 64 bits hold are brought into range before the
// conversion, which would otherwise be undefined.
int64_t ScrollShift(float offset, int64_t width) {
  constexpr double kLimit = 4611686018427387904.0;  // 2^62
  double rounded = std::isnan(offset) ? 0.0 : std::nearbyint(static_cast<double>(offset));
  rounded = std::clamp(rounded, -kLimit, kLimit);
  return static_cast<int64_t>(rounded) % width;
}

// The width of the drawing space: a glyph wholly outside 0 to this shows
// nothing, and the scroll line is mostly outside.
constexpr float kDrawingSpaceWidth = 1280.0f;

// Only the glyphs that reach into the drawing space are drawn: the scroll
// text is many screens long, and drawing all of it cost a call per glyph
// per frame for nothing.
void DrawScroller(float startX, float y, float offset, int32_t scale) {
  int64_t width = ScrollWidth(scale);
  if (width == 0) return;
  int64_t shift = ScrollShift(offset, width);
  const auto quadSize = static_cast<float>(16 * scale);
  double pos = startX;
  int64_t bytes = ScrollBytes();
  for (int64_t i = 0; i < bytes; ++i) {
    const auto x = static_cast<float>(pos - static_cast<double>(shift));
    // Advances never go back: every later glyph lies further right.
    if (x >= kDrawingSpaceWidth) break;
    int32_t n = LoadedGlyph(Glyphs.ScrollText[i], true, false);
    if (n >= 0 && x + quadSize > 0.0f) GlyphQuad(n, scale, x, y);
    pos += static_cast<double>(ScrollAdvance(Glyphs.ScrollText[i], n, scale));
  }
}

}  // namespace

void DrawText16(const ShortString& text, float x, float y) { DrawText(text, x, y, kSmall); }
void DrawText16Centered(const ShortString& text, float x, float y) { DrawTextCentered(text, x, y, kSmall); }
void DrawText32(const ShortString& text, float x, float y) { DrawText(text, x, y, kLarge); }
void DrawText32Centered(const ShortString& text, float x, float y) { DrawTextCentered(text, x, y, kLarge); }
void DrawScroller16(float startX, float y, float offset) { DrawScroller(startX, y, offset, kSmall); }
void DrawScroller32(float startX, float y, float offset) { DrawScroller(startX, y, offset, kLarge); }

int32_t DebugFontPixel(int32_t index, int32_t bit) {
  if (index < 0 || index >= 288 || bit < 0 || bit > 7) return 0;
  return (DebugFontBitmap[index] >> bit) & 1 ? 255 : 0;
}

void BuildDebugFontTexture(void) {
  std::vector<uint8_t> pixels(4096, 0);
  for (int32_t i = 0; i < 288; ++i)
    for (int32_t b = 0; b < 8; ++b) pixels[static_cast<size_t>(8 * i + b)] = static_cast<uint8_t>(DebugFontPixel(i, b));
  Glyphs.DebugFontTexture = NewTexture(64, 1, GL_LUMINANCE, GL_NEAREST, pixels.data());
}

void DebugFontChar(char character, bool raw, float a, float b) {
  int32_t c = static_cast<unsigned char>(character) - 32;
  if (c < 0 || c > 95) c = 0;
  float x = raw ? a : a * 0.01f - 1.0f;
  float y = raw ? b : 1.0f - b * 0.02f;
  float s = static_cast<float>(c % 16) * 0.0625f;
  float t = static_cast<float>(c / 16) * 0.09375f;
  glBegin(GL_QUADS);
  glTexCoord2f(s, t);
  glVertex2f(x, y);
  glTexCoord2f(s + 0.0625f, t);
  glVertex2f(x + 0.01f, y);
  glTexCoord2f(s + 0.0625f, t + 0.09375f);
  glVertex2f(x + 0.01f, y - 0.02f);
  glTexCoord2f(s, t + 0.09375f);
  glVertex2f(x, y - 0.02f);
  glEnd();
}

void DebugFontText(const ShortString& text, bool raw, float a, float b) {
  for (unsigned i = 0; i < text.size(); ++i) {
    float step = static_cast<float>(i);
    DebugFontChar(text[i], raw, raw ? a + step * 0.01f : a + step, b);
  }
}
