// The TrueType backend of the font renderer, over FreeType.
// Kept differences (each mends input handled unsafely, or a crash):
// - glyphs are loaded without FT_LOAD_RENDER and rendered once their size
//   is known: one more than 4096 pixels wide or high is drawn empty (a
//   damaged face or an absurd size would take gigabytes);
// - a target bitmap whose depth or buffer does not fit its size is refused
//   with error 1005, and glyph bitmaps FreeType left without a buffer or
//   with short rows draw nothing;
// - a face whose units per em or ascent and descent are 0 scales without
//   dividing by them (a division by zero).
#pragma once
#include "framework/fr/FR.h"

int FR_Init(void);
int FR_Done(void);
int FR_AddFontFace(FR_Face_t* face);
int FR_Render(FR_Font_t* font, txBitmap* bitmap, const char* text, int* width, int* height);
// Blends one glyph's coverage bitmap in the colour 0xRRGGBBAA into the
// target with its top-left corner at (left, top), clipped to the target.
struct FT_Bitmap_;
void FR_BlendGlyph(txBitmap* target, int64_t left, int64_t top, const FT_Bitmap_* glyph, uint32_t colour);
// Closes the FreeType face of a face record before the registry frees it.
void FR_DropFace(FR_Face_t* face);

extern const FR_Handler_t FR_HandlerTTF;
