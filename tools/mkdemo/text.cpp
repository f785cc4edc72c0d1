#include "tools/mkdemo/text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

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

bool IsGlyphText(char c) {
  if (c == ' ') return true;
  if (c >= 'A' && c <= 'Z') return true;
  return std::strchr(kGlyphChars, c) != nullptr && c != '\0';
}

namespace {

// Row 0 searched for separators spans columns 0 to 296.
constexpr int kSearchedColumns = 297;
constexpr uint8_t kClear = 0, kSet = 1, kSeparator = 2;

// The glyphs as pictures, in glyph order, a few to a bank: '#' is a set
// pixel, '.' a clear one, and a column of blanks parts two glyphs. The rows
// are laid out for the disk's 9-row cell: ascenders and digits from row 0,
// the x-height in rows 2 to 6 (so the dots of i and j stand clear of their
// stems), descenders in row 7 below raised bowls. Row 8 stays clear: the
// disk stacks lines nine units apart, and a clear row keeps descenders off
// the ascenders of the line below. No glyph has an empty first or last
// column, since the drawers put one clear column between glyphs already.
// Every width is odd: a centred text is then an even number of units wide
// and starts on a whole unit, where half a unit would make nearest
// sampling drop or double columns.
using Bank = std::array<std::string_view, kFontsetRows>;
constexpr std::array<Bank, 5> kGlyphBanks = {{
    // a      b      c      d      e      f    g      h      i
    {".....  #....  .....  ....#  .....  .##  .....  #....  #",
     ".....  #....  .....  ....#  .....  .#.  .....  #....  .",
     ".###.  ####.  .####  .####  .###.  ###  .####  ####.  #",
     "....#  #...#  #....  #...#  #...#  .#.  #...#  #...#  #",
     ".####  #...#  #....  #...#  #####  .#.  #...#  #...#  #",
     "#...#  #...#  #....  #...#  #....  .#.  .####  #...#  #",
     ".####  ####.  .####  .####  .####  .#.  ....#  #...#  #",
     ".....  .....  .....  .....  .....  ...  .###.  .....  .",
     ".....  .....  .....  .....  .....  ...  .....  .....  ."},
    // j   k      l    m      n      o      p      q      r
    {"..#  #....  ##.  .....  .....  .....  .....  .....  .....",
     "...  #....  .#.  .....  .....  .....  .....  .....  .....",
     "..#  #...#  .#.  ##.#.  ####.  .###.  ####.  .####  #.##.",
     "..#  #..#.  .#.  #.#.#  #...#  #...#  #...#  #...#  ##..#",
     "..#  ###..  .#.  #.#.#  #...#  #...#  #...#  #...#  #....",
     "..#  #..#.  .#.  #.#.#  #...#  #...#  ####.  .####  #....",
     "..#  #...#  ..#  #.#.#  #...#  .###.  #....  ....#  #....",
     "##.  .....  ...  .....  .....  .....  #....  ....#  .....",
     "...  .....  ...  .....  .....  .....  .....  .....  ....."},
    // s      t    u      v      w      x      y      z
    {".....  ...  .....  .....  .....  .....  .....  .....",
     ".....  .#.  .....  .....  .....  .....  .....  .....",
     ".####  ###  #...#  #...#  #...#  #...#  #...#  #####",
     "#....  .#.  #...#  #...#  #...#  .#.#.  #...#  ...#.",
     ".###.  .#.  #...#  .#.#.  #.#.#  ..#..  #...#  ..#..",
     "....#  .#.  #...#  .#.#.  #.#.#  .#.#.  .####  .#...",
     "####.  ..#  .####  ..#..  .#.#.  #...#  ....#  #####",
     ".....  ...  .....  .....  .....  .....  .###.  .....",
     ".....  ...  .....  .....  .....  .....  .....  ....."},
    // . , -    0      1      2      3      4      5      6
    {".  .  ...  .###.  ..#..  .###.  ####.  ...#.  #####  .###.",
     ".  .  ...  #...#  .##..  #...#  ....#  ..##.  #....  #....",
     ".  .  ...  #...#  #.#..  ....#  ....#  .#.#.  ####.  #....",
     ".  .  ...  #...#  ..#..  ...#.  .###.  #..#.  ....#  ####.",
     ".  .  ###  #...#  ..#..  ..#..  ....#  #####  ....#  #...#",
     ".  .  ...  #...#  ..#..  .#...  ....#  ...#.  #...#  #...#",
     "#  #  ...  .###.  #####  #####  ####.  ...#.  .###.  .###.",
     ".  #  ...  .....  .....  .....  .....  .....  .....  .....",
     ".  .  ...  .....  .....  .....  .....  .....  .....  ....."},
    // 7      8      9    ! ?      @      *      :
    {"#####  .###.  .###.  #  .###.  .###.  .....  .",
     "....#  #...#  #...#  #  #...#  #...#  ..#..  .",
     "...#.  #...#  #...#  #  ....#  #.###  #.#.#  #",
     "..#..  .###.  .####  #  ...#.  #.#.#  .###.  .",
     ".#...  #...#  ....#  #  ..#..  #.###  #.#.#  .",
     ".#...  #...#  ....#  .  .....  #....  ..#..  #",
     ".#...  .###.  .###.  #  ..#..  .####  .....  .",
     ".....  .....  .....  .  .....  .....  .....  .",
     ".....  .....  .....  .  .....  .....  .....  ."},
}};

// A column of a bank that belongs to no glyph.
constexpr bool IsGap(const Bank& bank, size_t column) {
  for (std::string_view row : bank)
    if (column < row.size() && row[column] != ' ') return false;
  return true;
}

// Columns the glyphs and their separators take in the image.
constexpr int SetColumns() {
  int columns = 0;
  for (const Bank& bank : kGlyphBanks)
    for (size_t k = 0; k < bank[0].size(); ++k)
      if (!IsGap(bank, k)) columns += IsGap(bank, k + 1) ? 2 : 1;
  return columns;
}
// The disk looks for separators in the searched columns only, and the
// image rows are no wider.
static_assert(SetColumns() <= kSearchedColumns, "the glyph set is wider than the searched columns");

// Copies the glyphs of one bank into the image from `column` on, each
// followed by its separator; the column after the last separator.
int PlaceBank(const Bank& bank, std::vector<uint8_t>& image, int column) {
  const size_t width = bank[0].size();
  size_t k = 0;
  while (k < width) {
    if (IsGap(bank, k)) {
      ++k;
      continue;
    }
    for (; k < width && !IsGap(bank, k); ++k, ++column)
      for (int row = 0; row < kFontsetRows; ++row)
        if (k < bank[static_cast<size_t>(row)].size() && bank[static_cast<size_t>(row)][k] == '#')
          image[static_cast<size_t>(row) * kFontsetStride + static_cast<size_t>(column)] = kSet;
    image[static_cast<size_t>(column)] = kSeparator;  // row 0, the column after the glyph
    ++column;
  }
  return column;
}

}  // namespace

std::vector<uint8_t> BuildFontset() {
  std::vector<uint8_t> image(static_cast<size_t>(kFontsetStride) * kFontsetRows, kClear);
  int column = 0;
  for (const Bank& bank : kGlyphBanks) column = PlaceBank(bank, image, column);
  return image;
}

std::vector<int> FontsetWidths(const std::vector<uint8_t>& fontset) {
  std::vector<int> widths;
  int start = 0;
  for (int i = 0; i < kSearchedColumns && i < static_cast<int>(fontset.size()); ++i)
    if (fontset[i] == kSeparator) {
      widths.push_back(i - start);
      start = i + 1;
    }
  return widths;
}

}  // namespace mkdemo
