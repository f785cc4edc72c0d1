// Text rendering for the demo data with FreeType: anti-aliased masks for
// titles and credits, and the 9-row glyph set the disk draws all its texts
// with.
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
  // The glyph of one character as a 1-bit image with its bearing.
  struct Bits {
    int width = 0, height = 0, left = 0, top = 0;
    std::vector<uint8_t> on;  // 0 or 1, row 0 at the top
  };
  Bits RenderMono(char c, int pixelSize) const;

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
std::vector<uint8_t> BuildFontset(const Face& face);

// Column widths of the glyphs in a glyph-set image, from its separators.
std::vector<int> FontsetWidths(const std::vector<uint8_t>& fontset);

}  // namespace mkdemo
