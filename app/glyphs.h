// The glyph set of "fontset.dat" turned into textures, the scroll text, and
// the built-in 4 x 6 font of the debug overlay.
#pragma once
#include <cstdint>

#include "units/shortstr.h"

constexpr int kGlyphSlots = 81;
constexpr int kGlyphRowBytes = 301;
constexpr int kGlyphRows = 9;

extern int32_t GlyphTex16[kGlyphSlots];
extern int32_t GlyphTex32[kGlyphSlots];
extern uint8_t GlyphWidth[kGlyphSlots];
extern int32_t GlyphCount;
extern uint8_t* ScrollText;
extern int64_t ScrollLength;
extern uint8_t* GlyphSetData;
extern int64_t GlyphSetSize;

extern const uint8_t DebugFontBitmap[288];
extern int32_t DebugFontTexture;

// One texture per glyph of the set in both sizes. A set smaller than its
// nine rows makes no glyphs; more than 81 glyphs, or a glyph wider than 16
// columns, are cut to what the tables and textures hold.
void BuildGlyphTextures(const uint8_t* data, int64_t size);
int32_t DebugFontPixel(int32_t index, int32_t bit);
void BuildDebugFontTexture(void);
// raw: a and b are the cell's corner in device coordinates; otherwise a
// counts columns of 0.01 from the left, b rows of 0.02 from the top.
void DebugFontChar(char character, bool raw, float a, float b);
void DebugFontText(const ShortString& text, bool raw, float a, float b);
