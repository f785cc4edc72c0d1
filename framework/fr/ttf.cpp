// The TrueType backend: FreeType opens the faces from their memory buffers
// and rasterises the glyphs; the blending into the caller's bitmap is ours.
#include "framework/fr/ttf.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/base/iconv.h"
#include "framework/base/log.h"

const FR_Handler_t FR_HandlerTTF = {"TTF", FR_Init, FR_Done, FR_AddFontFace, FR_Render};

namespace {

FT_Library library = nullptr;

#define TTF_LOG(...)                                                      \
  do {                                                                    \
    if (frDebug()) SYS_LOG_TAGGED(SYS_DBG_MSG, "[fr][ttf]", __VA_ARGS__); \
  } while (0)
#define TTF_LOG_AS(fn, ...)                                                      \
  do {                                                                           \
    if (frDebug()) SYS_LOG_TAGGED_AS(SYS_DBG_MSG, "[fr][ttf]", fn, __VA_ARGS__); \
  } while (0)

constexpr uint32_t kReplacement = 0xFFFD;
constexpr int kSupportedKinds = 3;  // type and subtype both lie in 0..3
constexpr double kHeightPerSize = 0.7654320987654321;
constexpr int kDefaultPpemHeight = 16;
constexpr int kLineMargin = 5;
// A glyph wider or higher than this many pixels comes only from a damaged
// face: rendering it would take gigabytes.
constexpr int64_t kMaxGlyphSide = 4096;
// Room set aside per glyph for its rows: a glyph of a 16 px text takes about
// 150 bytes, so a caption's line seldom has to grow its store. A longer text
// grows it as it goes rather than reserving in advance for every character.
constexpr size_t kStoreBytesPerGlyph = 256;
constexpr size_t kStoreGlyphsReserved = 4096;

// Style and face flag bits as the registry records them.
constexpr FT_Long kStyleItalic = 1 << 0;
constexpr FT_Long kStyleBold = 1 << 1;
constexpr FT_Long kFaceScalable = 1 << 0;
constexpr FT_Long kFaceFixedWidth = 1 << 2;
constexpr FT_Long kFaceKerning = 1 << 6;

// One character of the text being rendered.
struct FR_Glyph_t {
  int left = 0;     // bitmap left bearing, pixels
  int kerning = 0;  // pixels, against the character before
  int top = 0;      // rows above the baseline
  int advance = 0;  // horizontal advance minus left
  FT_Bitmap bitmap{};  // the glyph's coverage; its rows lie in the line's store
  size_t offset = 0;   // where in the store
};

// The coverage of every glyph of a line. FreeType's glyph slot holds one
// glyph at a time, and no glyph is placed before the whole line is measured,
// so each glyph's rows are kept here, one buffer for the line, while the
// slot keeps (and reuses) its own.
class GlyphStore {
 public:
  explicit GlyphStore(size_t glyphs) {
    bytes_.reserve(std::min(glyphs, kStoreGlyphsReserved) * kStoreBytesPerGlyph);
    kept_.reserve(glyphs);
  }
  void keep(FR_Glyph_t& g, const FT_Bitmap& rendered) {
    g.bitmap = rendered;
    g.bitmap.buffer = nullptr;
    if (!rendered.buffer) return;  // nothing was filled in: it draws nothing
    const auto rowBytes = static_cast<size_t>(std::abs(static_cast<int64_t>(rendered.pitch)));
    const size_t bytes = static_cast<size_t>(rendered.rows) * rowBytes;
    g.offset = bytes_.size();
    bytes_.insert(bytes_.end(), rendered.buffer, rendered.buffer + bytes);
    kept_.push_back(&g);
  }
  // Points every kept glyph at its rows, once the store has stopped growing.
  void settle() {
    for (FR_Glyph_t* g : kept_) g->bitmap.buffer = bytes_.data() + g->offset;
  }

 private:
  std::vector<uint8_t> bytes_;
  std::vector<FR_Glyph_t*> kept_;
};

// One UTF-8 sequence at s[i]: its code point and length, or U+FFFD and 1
// when the byte does not start a valid, shortest-form sequence.
struct Utf8Step {
  uint32_t code;
  int length;
};

Utf8Step DecodeUtf8At(const uint8_t* s, int64_t n, int64_t i) {
  const uint8_t b = s[i];
  if (b < 0x80) return {b, 1};
  int extra = 0;
  uint32_t code = 0, minimum = 0;
  if ((b & 0xE0) == 0xC0) {
    extra = 1;
    code = b & 0x1F;
    minimum = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    extra = 2;
    code = b & 0x0F;
    minimum = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    extra = 3;
    code = b & 0x07;
    minimum = 0x10000;
  } else {
    return {kReplacement, 1};
  }
  if (i + extra >= n) return {kReplacement, 1};
  for (int k = 1; k <= extra; ++k) {
    if ((s[i + k] & 0xC0) != 0x80) return {kReplacement, 1};
    code = (code << 6) | (s[i + k] & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  if (code < minimum || code > 0x10FFFF || surrogate) return {kReplacement, 1};
  return {code, extra + 1};
}

std::vector<uint32_t> DecodeUtf8(const uint8_t* s, int64_t n) {
  std::vector<uint32_t> codes;
  for (int64_t i = 0; i < n;) {
    const Utf8Step step = DecodeUtf8At(s, n, i);
    codes.push_back(step.code);
    i += step.length;
  }
  return codes;
}

std::vector<uint32_t> DecodeUcs2(const uint8_t* s, int64_t n) {
  std::vector<uint32_t> codes;
  for (int64_t i = 0; i + 1 < n; i += 2) codes.push_back(static_cast<uint32_t>(s[i] << 8 | s[i + 1]));
  return codes;
}

// The ISO 8859 encodings go through the conversion tables; a code the
// conversion does not write stays 0 and draws the missing glyph.
std::vector<uint32_t> DecodeTable(int encoding, const char* s, int64_t n) {
  std::vector<uint8_t> ucs2(static_cast<size_t>(n) * 2, 0);
  int written = 0;
  SYS_IConvToUCS(encoding, SYS_CHARSET_UCS2, s, static_cast<int>(n), reinterpret_cast<char*>(ucs2.data()), &written);
  std::vector<uint32_t> codes(static_cast<size_t>(n), 0);
  for (size_t i = 0; i < codes.size(); ++i) codes[i] = static_cast<uint32_t>(ucs2[2 * i] << 8 | ucs2[2 * i + 1]);
  return codes;
}

std::vector<uint32_t> Decode(int encoding, const char* text, int64_t n) {
  const auto* s = reinterpret_cast<const uint8_t*>(text);
  if (encoding == FR_ENC_UTF8) return DecodeUtf8(s, n);
  if (encoding == FR_ENC_UCS2) return DecodeUcs2(s, n);
  return DecodeTable(encoding, text, n);
}

// The pixel scale of the em square for the nominal height h, from the face's
// ascent and descent; 1 when the tables are missing.
long PixelScale(FT_Face face, int h) {
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  auto* hhea = static_cast<TT_HoriHeader*>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  if (!os2) {
    TTF_LOG_AS("calc_ppem_for_height", "  ! Warning: pOS2 table is NULL.\n");
    return 1;
  }
  if (!hhea) {
    TTF_LOG_AS("calc_ppem_for_height", "  ! Warning: pHori table is NULL.\n");
    return 1;
  }
  if (h == 0) h = kDefaultPpemHeight;
  if (h < 0) return -static_cast<long>(h);
  long extent = static_cast<long>(os2->usWinAscent) + os2->usWinDescent;
  if (extent == 0) extent = static_cast<long>(hhea->Ascender) - hhea->Descender;
  // A face with neither metric scales as if its em were the whole line.
  if (extent == 0) return h;
  return static_cast<long>(face->units_per_EM) * h / extent;
}

int ClampToInt(double v) {
  if (!(v > INT_MIN)) return INT_MIN;
  if (!(v < INT_MAX)) return INT_MAX;
  return static_cast<int>(v);
}

// The line height used for vertical alignment.
int LineHeight(FT_Face face, int size) {
  const int h = static_cast<int>(size * kHeightPerSize) + 1;
  const double p = static_cast<double>(PixelScale(face, h));
  if (face->units_per_EM == 0) return ClampToInt(p + 2 + kLineMargin);
  const double em = face->units_per_EM;
  return ClampToInt(std::trunc(face->bbox.yMax / em * p + 1) - std::trunc(face->bbox.yMin / em * p - 1) + kLineMargin);
}

int BytesPerPixel(const txBitmap& b) {
  switch (b.bits) {
    case 8:
    case 24:
    case 32:
      return b.bits / 8;
    default:
      return 0;
  }
}

bool BitmapUsable(const txBitmap& b) {
  if (b.type < 0 || b.type > kSupportedKinds || b.subtype < 0 || b.subtype > kSupportedKinds) return false;
  const int bpp = BytesPerPixel(b);
  if (bpp == 0 || b.width < 0 || b.height < 0 || !b.data[0]) return false;
  const int64_t need = static_cast<int64_t>(b.width) * b.height * bpp;
  return b.sizes[0] >= need;
}

struct Ink {
  int R, G, B, A;
};

Ink InkOf(uint32_t colour) {
  return {static_cast<int>(colour >> 24), static_cast<int>((colour >> 16) & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
          static_cast<int>(colour & 0xFF)};
}

// Blends n pixels of coverage (0 to 255) into consecutive pixels of BPP
// bytes: red alone into grey, red, green and blue into 24 bits, and alpha
// as well into 32. Coverage comes as the glyph's own bytes, or as ints where
// it had to be scaled first. The ink comes by value: behind a reference,
// every byte stored would make the compiler read it again.
template <int BPP, typename Coverage>
void BlendRun(uint8_t* p, const Coverage* coverage, int64_t n, const Ink ink) {
  for (int64_t k = 0; k < n; ++k, p += BPP) {
    const int s = coverage[k];
    if (s == 0) continue;
    const int N = s * ink.A / 255;
    const int O = 255 - N;
    p[0] = static_cast<uint8_t>((ink.R * N + p[0] * O) / 255);
    if constexpr (BPP >= 3) {
      p[1] = static_cast<uint8_t>((ink.G * N + p[1] * O) / 255);
      p[2] = static_cast<uint8_t>((ink.B * N + p[2] * O) / 255);
    }
    if constexpr (BPP == 4) p[3] = static_cast<uint8_t>((p[3] * O + N * 255) / 255);
  }
}

// How a glyph's pixels give coverage, decided once per glyph for the pixel
// modes FreeType may hand back (outlines give grey, embedded strikes may be
// mono or grey of fewer levels).
enum class PixelKind { kGrey256, kGreyLevels, kMono, kNone };

PixelKind KindOf(const FT_Bitmap& bm) {
  switch (bm.pixel_mode) {
    case FT_PIXEL_MODE_GRAY:
      return bm.num_grays == 256 || bm.num_grays < 2 ? PixelKind::kGrey256 : PixelKind::kGreyLevels;
    case FT_PIXEL_MODE_MONO:
      return PixelKind::kMono;
    default:
      return PixelKind::kNone;  // colour and LCD strikes carry no single coverage
  }
}

// The columns [first, last) of a glyph row.
struct Span {
  int64_t first, last;
  int64_t size() const { return last - first; }
};

// The part of a glyph's extent that, placed at `at`, falls on a target side.
Span Visible(int64_t at, int64_t extent, int64_t side) {
  return {std::max<int64_t>(0, -at), std::min<int64_t>(extent, side - at)};
}

// Coverage of the columns of a row that is not read in place: mono bits
// become 0 or 255, grey of fewer levels is scaled to 255.
void ExpandRow(const FT_Bitmap& bm, PixelKind kind, const uint8_t* row, Span columns, int* out) {
  if (kind == PixelKind::kMono) {
    for (int64_t k = columns.first; k < columns.last; ++k) *out++ = (row[k >> 3] >> (7 - (k & 7))) & 1 ? 255 : 0;
    return;
  }
  const int top = bm.num_grays - 1;
  for (int64_t k = columns.first; k < columns.last; ++k) *out++ = row[k] * 255 / top;
}

// FreeType may hand back a glyph whose bitmap it could not fill (no
// buffer), and a row must hold the width it claims.
bool GlyphReadable(const FT_Bitmap& bm) {
  if (!bm.buffer || bm.rows == 0 || bm.width == 0) return false;
  const uint64_t rowBytes = bm.pitch < 0 ? -static_cast<int64_t>(bm.pitch) : bm.pitch;
  const uint64_t need = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (bm.width + 7) / 8 : bm.width;
  return rowBytes >= need;
}

const uint8_t* GlyphRow(const FT_Bitmap& bm, unsigned r) {
  const auto pitch = static_cast<int64_t>(bm.pitch);
  // A negative pitch stores the rows bottom-up.
  const int64_t offset = pitch >= 0 ? static_cast<int64_t>(r) * pitch : static_cast<int64_t>(bm.rows - 1 - r) * -pitch;
  return bm.buffer + offset;
}

int64_t StartColumn(const FR_Font_t& f, int W, int64_t total) {
  switch (f.halign) {
    case FR_HALIGN_LEFT:
      return 0;
    case FR_HALIGN_RIGHT:
      return W - total;
    case FR_HALIGN_CENTRE:
      return (W - total) / 2;
    default:
      return f.x;
  }
}

int64_t StartRow(const FR_Font_t& f, int H, int L) {
  switch (f.valign) {
    case FR_VALIGN_CENTRE:
      return (static_cast<int64_t>(H) - L) / 2;
    case FR_VALIGN_TOP:
      return 0;
    case FR_VALIGN_BOTTOM:
      return static_cast<int64_t>(H) - L;
    default:
      return f.y;
  }
}

// Whether the outline in the slot would render larger than any real glyph.
// Loading has already sized the bitmap the outline renders to, never
// narrower or lower than the outline itself: only an outline whose bitmap
// was sized beyond the bound, or not sized, is measured.
bool OutlineTooLarge(const FT_GlyphSlotRec_& slot) {
  const FT_Bitmap& sized = slot.bitmap;
  if (sized.width > 0 && sized.width <= kMaxGlyphSide && sized.rows > 0 && sized.rows <= kMaxGlyphSide) return false;
  FT_BBox box;
  FT_Outline_Get_CBox(&slot.outline, &box);
  const int64_t width = (static_cast<int64_t>(box.xMax) - box.xMin) / 64;
  const int64_t height = (static_cast<int64_t>(box.yMax) - box.yMin) / 64;
  return width > kMaxGlyphSide || height > kMaxGlyphSide;
}

int TakeGlyph(FT_Face face, FR_Glyph_t& g, GlyphStore& store, const char* text, size_t i, uint32_t code) {
  FT_GlyphSlot slot = face->glyph;
  if (slot->format == FT_GLYPH_FORMAT_OUTLINE && OutlineTooLarge(*slot)) {
    TTF_LOG_AS("FR_Render", "  ! glyph 0x%04x (char '%c') too large, drawn empty.\n", code, text[i]);
    slot->outline.n_points = 0;
    slot->outline.n_contours = 0;
  }
  if (slot->format != FT_GLYPH_FORMAT_BITMAP && FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) {
    TTF_LOG_AS("FR_Render", "  ! FT_Render_Glyph 0x%04x (char '%c') failed.\n", code, text[i]);
    return -1;
  }
  if (slot->format != FT_GLYPH_FORMAT_BITMAP) return -1;
  store.keep(g, slot->bitmap);
  g.left = slot->bitmap_left;
  g.top = slot->bitmap_top;
  g.advance = static_cast<int>(slot->advance.x >> 6) - g.left;
  return 0;
}

template <int BPP>
void BlendRows(txBitmap& target, int64_t left, int64_t top, const FT_Bitmap& bm, PixelKind kind, Span rows,
               Span columns, const Ink& ink) {
  // 256-level grey, what outlines render to, is read where FreeType left it.
  std::vector<int> expanded(kind == PixelKind::kGrey256 ? 0 : static_cast<size_t>(columns.size()));
  for (int64_t r = rows.first; r < rows.last; ++r) {
    const uint8_t* row = GlyphRow(bm, static_cast<unsigned>(r));
    uint8_t* p = target.data[0] + ((top + r) * target.width + left + columns.first) * BPP;
    if (kind == PixelKind::kGrey256) {
      BlendRun<BPP>(p, row + columns.first, columns.size(), ink);
    } else {
      ExpandRow(bm, kind, row, columns, expanded.data());
      BlendRun<BPP>(p, expanded.data(), columns.size(), ink);
    }
  }
}

}  // namespace

void FR_BlendGlyph(txBitmap* bitmap, int64_t left, int64_t top, const FT_Bitmap_* glyph, uint32_t colour) {
  if (!bitmap || !glyph || !BitmapUsable(*bitmap) || !GlyphReadable(*glyph)) return;
  txBitmap& target = *bitmap;
  const FT_Bitmap& bm = *glyph;
  const PixelKind kind = KindOf(bm);
  const Span rows = Visible(top, bm.rows, target.height);
  const Span columns = Visible(left, bm.width, target.width);
  if (kind == PixelKind::kNone || rows.size() <= 0 || columns.size() <= 0) return;
  const Ink ink = InkOf(colour);
  switch (BytesPerPixel(target)) {
    case 1:
      BlendRows<1>(target, left, top, bm, kind, rows, columns, ink);
      break;
    case 3:
      BlendRows<3>(target, left, top, bm, kind, rows, columns, ink);
      break;
    case 4:
      BlendRows<4>(target, left, top, bm, kind, rows, columns, ink);
      break;
  }
}

int FR_Init(void) {
  if (library) return 0;
  if (FT_Init_FreeType(&library) != 0) {
    library = nullptr;
    errSetLastError(ERR_FONTENGINE);
    return -1;
  }
  return 0;
}

int FR_Done(void) {
  if (library) FT_Done_FreeType(library);
  library = nullptr;
  return 0;
}

void FR_DropFace(FR_Face_t* face) {
  if (face->ft_face) FT_Done_Face(face->ft_face);
  face->ft_face = nullptr;
}

int FR_AddFontFace(FR_Face_t* face) {
  FT_Face ft = nullptr;
  if (!library || FT_New_Memory_Face(library, face->buffer, face->size, 0, &ft) != 0) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  face->ft_face = ft;
  face->reserved = 0;
  face->render = FR_Render;
  face->bold = (ft->style_flags & kStyleBold) ? 1 : 0;
  face->italic = (ft->style_flags & kStyleItalic) ? 1 : 0;
  face->scalable = (ft->face_flags & kFaceScalable) ? 1 : 0;
  face->kerning = (ft->face_flags & kFaceKerning) ? 1 : 0;
  TTF_LOG(" New font: '%s' (b: %d i: %d s: %d k: %d)\n", face->name, face->bold, face->italic, face->scalable,
          face->kerning);
  if (ft->face_flags & kFaceFixedWidth) TTF_LOG("  ! added font is fixed width\n");
  TTF_LOG("  - encodings:\n");
  for (FT_Int i = 0; i < ft->num_charmaps; ++i) {
    char tag[4];
    const FT_Encoding encoding = ft->charmaps[i]->encoding;
    std::memcpy(tag, &encoding, sizeof tag);
    TTF_LOG("    - %.4s\n", tag);
  }
  FT_Select_Charmap(ft, FT_ENCODING_UNICODE);
  return 0;
}

int FR_Render(FR_Font_t* font, txBitmap* bitmap, const char* text, int* width, int* height) {
  if (!font || !bitmap || !text || !font->face || !font->face->ft_face) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (!BitmapUsable(*bitmap)) {
    errSetLastError(TX_ERR_WRITETYPE);
    return -1;
  }
  TTF_LOG("  - rendering: %s...\n", text);
  FT_Face face = font->face->ft_face;
  if (font->face->scalable)
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(font->size) * 64, 0, 0);
  else
    TTF_LOG(" !!!! WARNING : unable to set font size.\n");
  const int L = LineHeight(face, font->size);

  const std::vector<uint32_t> codes = Decode(font->encoding, text, frTextBytes(font->encoding, text));
  std::vector<FR_Glyph_t> glyphs(codes.size());
  GlyphStore store(codes.size());
  int minTop = INT_MAX, maxRows = 0;
  int64_t total = 0;
  FT_UInt previous = 0;
  for (size_t i = 0; i < codes.size(); ++i) {
    FR_Glyph_t& g = glyphs[i];
    const FT_UInt gi = FT_Get_Char_Index(face, codes[i]);
    // Rendered by TakeGlyph, once its size is known to be sane. The result
    // is not needed: FreeType empties the slot before loading, so a glyph
    // that fails to load is an empty outline of no advance.
    FT_Load_Glyph(face, gi, FT_LOAD_NO_HINTING);
    if (font->face->kerning && i > 0 && codes[i] != 0 && codes[i - 1] != 0) {
      FT_Vector delta{};
      FT_Get_Kerning(face, previous, gi, FT_KERNING_DEFAULT, &delta);
      g.kerning = static_cast<int>((delta.x + 32) >> 6);
    }
    previous = gi;
    if (TakeGlyph(face, g, store, text, i, codes[i]) != 0) {
      errSetLastError(ERR_BADARG);
      return -1;
    }
    if (g.top != 0 && g.top < minTop) minTop = g.top;
    if (static_cast<int>(g.bitmap.rows) > maxRows) maxRows = static_cast<int>(g.bitmap.rows);
    total += face->glyph->advance.x >> 6;
  }
  store.settle();
  // Without ink there is no top to measure from: the text is 0 rows high.
  const int textHeight = minTop == INT_MAX ? 0 : 2 * maxRows - minTop;
  const int textWidth = static_cast<int>(total);
  if (width) *width = textWidth;
  if (height) *height = textHeight;
  TTF_LOG("  - bitmap size: %dx%d, top: %d\n", textWidth, textHeight, minTop);

  const int64_t x0 = StartColumn(*font, bitmap->width, total);
  const int64_t baseline = StartRow(*font, bitmap->height, L) + maxRows;
  int64_t pen = 0;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    FR_Glyph_t& g = glyphs[i];
    // The first glyph's own left bearing is left out: the first ink sits at x0.
    if (i > 0) pen += g.kerning + g.left;
    FR_BlendGlyph(bitmap, x0 + pen, baseline - g.top, &g.bitmap, font->colour);
    pen += g.advance;
  }
  return 0;
}
