#include "tools/mkdemo/text.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace mkdemo {

Face::Face(const std::string& path) {
  if (FT_Init_FreeType(&library_) != 0) {
    library_ = nullptr;
    return;
  }
  if (FT_New_Face(library_, path.c_str(), 0, &face_) != 0) face_ = nullptr;
}

Face::~Face() {
  if (face_) FT_Done_Face(face_);
  if (library_) FT_Done_FreeType(library_);
}

Mask Face::Render(const std::string& text, int pixelSize, int tracking) const {
  Mask mask;
  if (!face_) return mask;
  FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelSize));
  const int ascender = static_cast<int>(face_->size->metrics.ascender >> 6);
  const int descender = static_cast<int>(-(face_->size->metrics.descender >> 6));
  // First pass measures the pen travel, the second draws.
  for (int pass = 0; pass < 2; ++pass) {
    int pen = 0;
    FT_UInt previous = 0;
    for (unsigned char c : text) {
      const FT_UInt index = FT_Get_Char_Index(face_, c);
      if (previous && index && FT_HAS_KERNING(face_)) {
        FT_Vector kern;
        if (FT_Get_Kerning(face_, previous, index, FT_KERNING_DEFAULT, &kern) == 0)
          pen += static_cast<int>(kern.x >> 6);
      }
      if (FT_Load_Glyph(face_, index, FT_LOAD_RENDER) != 0) continue;
      const FT_GlyphSlot slot = face_->glyph;
      if (pass == 1) {
        const FT_Bitmap& bm = slot->bitmap;
        for (unsigned r = 0; r < bm.rows; ++r)
          for (unsigned k = 0; k < bm.width; ++k) {
            const int x = pen + slot->bitmap_left + static_cast<int>(k);
            const int y = ascender - slot->bitmap_top + static_cast<int>(r);
            if (x < 0 || y < 0 || x >= mask.width || y >= mask.height) continue;
            uint8_t& d = mask.cover[static_cast<size_t>(y) * mask.width + x];
            d = std::max(d, bm.buffer[r * bm.pitch + k]);
          }
      }
      pen += static_cast<int>(slot->advance.x >> 6) + tracking;
      previous = index;
    }
    if (pass == 0) {
      mask.width = std::max(1, pen + 2);
      mask.height = ascender + descender;
      mask.cover.assign(static_cast<size_t>(mask.width) * mask.height, 0);
    }
  }
  return mask;
}

Face::Bits Face::RenderMono(char c, int pixelSize) const {
  Bits bits;
  if (!face_) return bits;
  FT_Set_Pixel_Sizes(face_, 0, static_cast<FT_UInt>(pixelSize));
  const FT_UInt index = FT_Get_Char_Index(face_, static_cast<unsigned char>(c));
  if (FT_Load_Glyph(face_, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) != 0) return bits;
  const FT_GlyphSlot slot = face_->glyph;
  const FT_Bitmap& bm = slot->bitmap;
  bits.width = static_cast<int>(bm.width);
  bits.height = static_cast<int>(bm.rows);
  bits.left = slot->bitmap_left;
  bits.top = slot->bitmap_top;
  bits.on.assign(static_cast<size_t>(bits.width) * bits.height, 0);
  for (int r = 0; r < bits.height; ++r)
    for (int k = 0; k < bits.width; ++k) {
      const uint8_t byte = bm.buffer[r * bm.pitch + k / 8];
      bits.on[static_cast<size_t>(r) * bits.width + k] = (byte >> (7 - k % 8)) & 1;
    }
  return bits;
}

bool IsGlyphText(char c) {
  if (c == ' ') return true;
  if (c >= 'A' && c <= 'Z') return true;
  return std::strchr(kGlyphChars, c) != nullptr && c != '\0';
}

namespace {

constexpr int kMaxGlyphWidth = 16;
// Row 0 searched for separators spans columns 0 to 296.
constexpr int kSearchedColumns = 297;

struct Placed {
  Face::Bits bits;
  int width = 0;
};

struct Layout {
  std::vector<Placed> glyphs;
  int baseline = 0;  // first row below the baseline
};

// The glyphs at one size, or an empty layout when they do not fit the
// searched columns or the 9 rows: the x-height with two rows of ascender above
// it, and the descenders. Taller ascenders lose their top rows; a larger
// x-height reads better at these sizes than full ascenders.
Layout LayOut(const Face& face, int pixelSize) {
  Layout layout;
  const int xHeight = face.RenderMono('x', pixelSize).height;
  int below = 0, total = 0;
  for (int n = 0; n < kGlyphCount; ++n) {
    Placed p;
    p.bits = face.RenderMono(kGlyphChars[n], pixelSize);
    p.width = std::clamp(p.bits.width, 1, kMaxGlyphWidth);
    below = std::max(below, p.bits.height - p.bits.top);
    total += p.width + 1;
    layout.glyphs.push_back(std::move(p));
  }
  if (xHeight + 2 + below > kFontsetRows || total > kSearchedColumns) layout.glyphs.clear();
  layout.baseline = kFontsetRows - below;
  return layout;
}

}  // namespace

std::vector<uint8_t> BuildFontset(const Face& face) {
  // The largest size whose glyphs fit; failing that the smallest, cut to fit.
  Layout layout;
  for (int size = 12; size >= 6 && layout.glyphs.empty(); --size) layout = LayOut(face, size);
  if (layout.glyphs.empty()) {
    layout = LayOut(face, 6);
    layout.baseline = kFontsetRows - 2;
  }
  std::vector<uint8_t> image(static_cast<size_t>(kFontsetStride) * kFontsetRows, 0);
  int column = 0;
  for (const Placed& g : layout.glyphs) {
    if (column + g.width >= kSearchedColumns) break;
    const int topRow = layout.baseline - g.bits.top;
    for (int r = 0; r < g.bits.height; ++r)
      for (int k = 0; k < std::min(g.bits.width, g.width); ++k) {
        const int row = topRow + r;
        if (row < 0 || row >= kFontsetRows) continue;
        if (g.bits.on[static_cast<size_t>(r) * g.bits.width + k])
          image[static_cast<size_t>(row) * kFontsetStride + column + k] = 1;
      }
    column += g.width;
    image[column] = 2;  // separator in row 0, the column after the glyph
    ++column;
  }
  return image;
}

std::vector<int> FontsetWidths(const std::vector<uint8_t>& fontset) {
  std::vector<int> widths;
  int start = 0;
  for (int i = 0; i < kSearchedColumns && i < static_cast<int>(fontset.size()); ++i)
    if (fontset[i] == 2) {
      widths.push_back(i - start);
      start = i + 1;
    }
  return widths;
}

}  // namespace mkdemo
