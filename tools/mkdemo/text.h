// Text for the demo data: anti-aliased masks for titles and credits with
// FreeType, and the 9-row glyph set the disk draws all its texts with.
#pragma once
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdint>
#include <string>
#include <vector>

#include "tools/mkdemo/canvas.h"

namespace mkdemo {

class Face {
 public:
  explicit Face(const std::string& path);
  ~Face();
  Face(const Face&) = delete;
  Face& operator=(const Face&) = delete;

  bool ok() const { return face_ != nullptr; }
  // One line of text at a pixel size; the mask is cut to the ink's height
  // band of the face (ascender to descender) and spaced letters by tracking.
  Mask Render(const std::string& text, int pixelSize, int tracking = 0) const;

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
};

// The characters of the glyph set, in glyph order.
inline constexpr char kGlyphChars[] = "abcdefghijklmnopqrstuvwxyz.,-0123456789!?@*:";
inline constexpr int kGlyphCount = 44;
inline constexpr int kFontsetStride = 301;
inline constexpr int kFontsetRows = 9;

// True for the characters that have a glyph when drawn with the 16-pixel
// drawers (letters of either case and the 18 others), the blank included
// because it moves the pen.
bool IsGlyphText(char c);

// "fontset.dat": 9 rows of 301 bytes; pixel bytes 0/1, separators 2 in row 0.
// Drawn by hand rather than rasterised from the dialog face: at nine rows a
// scaled outline loses the dots of i and j and the hook of f.
std::vector<uint8_t> BuildFontset();

// Column widths of the glyphs in a glyph-set image, from its separators.
std::vector<int> FontsetWidths(const std::vector<uint8_t>& fontset);

}  // namespace mkdemo
