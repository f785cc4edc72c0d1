// The glyph set of "fontset.dat" turned into textures, the scroll text, and
// the built-in 4 x 6 font of the debug overlay.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

constexpr int kGlyphSlots = 81;
constexpr int kGlyphRowBytes = 301;
constexpr int kGlyphRows = 9;

// The unit's state: the glyph textures and widths, the loaded glyph set
// and scroll text, and the debug font's texture.
struct GlyphsState {
  int32_t GlyphTex16[kGlyphSlots] = {};
  int32_t GlyphTex32[kGlyphSlots] = {};
  uint8_t GlyphWidth[kGlyphSlots] = {};
  int32_t GlyphCount = 0;
  uint8_t* ScrollText = nullptr;
  int64_t ScrollLength = 0;
  uint8_t* GlyphSetData = nullptr;
  int64_t GlyphSetSize = 0;
  int32_t DebugFontTexture = 0;
};
extern GlyphsState Glyphs;

extern const uint8_t DebugFontBitmap[288];

// One texture per glyph of the set in both sizes. A set smaller than its
// nine rows makes no glyphs; more than 81 glyphs, or a glyph wider than 16
// columns, are cut to what the tables and textures hold.
void BuildGlyphTextures(const uint8_t* data, int64_t size);
int32_t DebugFontPixel(int32_t index, int32_t bit);
void BuildDebugFontTexture(void);
// The glyph of a character, or -1: letters (capitals only when asked),
// ". , - 0-9 ! ? @ *", and the colon only when asked.
int32_t GlyphIndex(uint8_t character, bool capitals, bool colon);

// Text in the glyph set. The 16-pixel drawers map capitals and the colon and
// move 4 units over a character without glyph; the 32-pixel ones map no
// capitals and move 8. Each character is one quad with its own texture;
// colour, blending and 2D texturing are the caller's.
void DrawText16(const ShortString& text, float x, float y);
void DrawText16Centered(const ShortString& text, float x, float y);
void DrawText32(const ShortString& text, float x, float y);
void DrawText32Centered(const ShortString& text, float x, float y);
// The whole scroll text as one line from startX, moved left by the offset
// (rounded, modulo the line's width). No colon; only a blank moves the pen
// without a glyph. Glyphs wholly outside the 1280-unit drawing space are
// not drawn.
void DrawScroller16(float startX, float y, float offset);
void DrawScroller32(float startX, float y, float offset);

// raw: a and b are the cell's corner in device coordinates; otherwise a
// counts columns of 0.01 from the left, b rows of 0.02 from the top.
void DebugFontChar(char character, bool raw, float a, float b);
void DebugFontText(const ShortString& text, bool raw, float a, float b);
