// The PNM filter.
#include "framework/tl/_pnm.h"

#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"
#include "framework/tl/layout.h"

#define TL_PNM_LOG(level, ...) SYS_LOG_TAGGED(level, "[TL][pnm]", __VA_ARGS__)
#define TL_PNM_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[TL][pnm]", fn, __VA_ARGS__)

namespace {

using namespace tlfilter;

constexpr size_t kMaxLine = 127;  // header lines other than comments
const char* const kComment = "Created by Quarnel's PNM output filter";

// Walks the header line by line inside the buffer.
class HeaderLines {
 public:
  explicit HeaderLines(SYS_ByteReader& r) : r_(r) {}
  // The next line that is not a comment, without its "\n". False when the
  // buffer ends first or the line is too long.
  bool Next(std::string_view& line) {
    for (;;) {
      std::span<const uint8_t> rest = r_.bytes().subspan(static_cast<size_t>(r_.offset()));
      const void* end = rest.empty() ? nullptr : std::memchr(rest.data(), '\n', rest.size());
      if (!end) return false;
      std::string_view l = r_.text(static_cast<uint64_t>(static_cast<const uint8_t*>(end) - rest.data()));
      r_.skip(1);
      if (!l.empty() && l[0] == '#') continue;
      if (l.size() > kMaxLine) return false;
      line = l;
      return true;
    }
  }

 private:
  SYS_ByteReader& r_;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A decimal number as "%d" reads it: blanks, a sign, digits. A number
// outside the 32-bit range is no number.
bool ScanNumber(std::string_view& text, int64_t& value) {
  while (!text.empty() && IsBlank(text[0])) text.remove_prefix(1);
  bool negative = !text.empty() && text[0] == '-';
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
  size_t n = 0;
  int64_t v = 0;
  for (; n < text.size() && text[n] >= '0' && text[n] <= '9'; ++n) {
    v = v * 10 + (text[n] - '0');
    if (v > INT32_MAX + int64_t{1}) return false;
  }
  if (n == 0) return false;
  text.remove_prefix(n);
  value = negative ? -v : v;
  return value >= INT32_MIN && value <= INT32_MAX;
}

// "%d %d": two numbers, whatever follows them on the line.
bool ParseSize(std::string_view line, int64_t& width, int64_t& height) {
  return ScanNumber(line, width) && ScanNumber(line, height);
}

// The verbose lines of `fn`, the reader.
void LogRead(const txBitmap* b, const char* fn) {
  if (!txVerbose()) return;
  TL_PNM_LOG_AS(SYS_DBG_MSG, fn, " PNM: %s\n", txCurrentName());
  TL_PNM_LOG_AS(SYS_DBG_MSG, fn, "  size: %dx%d bits: %d\n", b->width, b->height, b->bits);
  TL_PNM_LOG_AS(SYS_DBG_MSG, fn, "  imagesize[0]: %lu\n", static_cast<unsigned long>(b->sizes[0]));
}

}  // namespace

int pnmDetect(const uint8_t* buffer, int64_t length) {
  SYS_ByteReader colour = ReaderOf(buffer, length), grey = colour;
  return colour.expect("P6\n") || grey.expect("P5\n") ? 0 : TX_ERR_FORMAT;
}

txBitmap* pnmRead(const uint8_t* buffer, int64_t length) {
  txLayout own = txReaderLayout;
  return pnmReadAs(buffer, length, own);
}

txBitmap* pnmReadAs(const uint8_t* buffer, int64_t length, txLayout& layout) {
  errClear();
  if (!buffer || length <= 0) return Fail(nullptr, TX_ERR_FORMAT);
  SYS_ByteReader r = ReaderOf(buffer, length);
  HeaderLines lines(r);
  std::string_view magic, size, maxval;
  if (!lines.Next(magic) || magic.size() != 2 || magic[0] != 'P' || magic[1] < '1' || magic[1] > '6')
    return Fail(nullptr, TX_ERR_FORMAT);
  if (magic[1] != '5' && magic[1] != '6') return Fail(nullptr, TX_ERR_FORMAT);
  int64_t width = 0, height = 0;
  if (!lines.Next(size) || !ParseSize(size, width, height)) return Fail(nullptr, TX_ERR_FORMAT);
  // A negative side would make a bitmap whose level size and rows disagree.
  if (width < 0 || height < 0) return Fail(nullptr, TX_ERR_FORMAT);
  // The maximum value follows the size line; only one byte per sample (255)
  // is read, anything else (16-bit samples among them) is refused.
  if (!lines.Next(maxval) || maxval != "255") return Fail(nullptr, TX_ERR_FORMAT);

  bool colour = magic[1] == '6';
  int32_t bits = colour ? 24 : 8;
  // Sides whose product 64 bits cannot count cannot be in the buffer either.
  if (height != 0 && width > INT64_MAX / (bits / 8) / height) return Fail(nullptr, TX_ERR_SHORT);
  int64_t bytes = width * height * (bits / 8);
  // An image without pixels gets no block.
  if (bytes == 0) return Fail(nullptr, ERR_NOMEM);
  // The samples follow the "255" line directly.
  if (!r.has(static_cast<uint64_t>(bytes))) return Fail(nullptr, TX_ERR_SHORT);
  if (bytes > INT32_MAX) return Fail(nullptr, ERR_NOMEM);

  txBitmap* b = txNewBitmap();
  if (!b) return Fail(nullptr, ERR_NOMEM);
  b->type = TX_TYPE_BGR;
  b->subtype = colour ? TX_SUB_24 : TX_SUB_GREY;
  b->width = static_cast<int32_t>(width);
  b->height = static_cast<int32_t>(height);
  b->bits = bits;
  b->sizes[0] = static_cast<int32_t>(bytes);
  // The file's R, G, B samples become the readers' common B, G, R order
  // unless the load wants them as they are.
  const txStoredPixels stored{r.take(static_cast<uint64_t>(bytes)).data(), width * (bits / 8), false,
                              colour ? TX_TYPE_RGB : TX_TYPE_BGR};
  if (!txFillLevel(b, stored, layout)) return Fail(b, ERR_NOMEM);
  LogRead(b, "pnmRead");  // the reader's name, whichever entry was taken
  return b;
}

namespace {

int WriteFail(int code) {
  errSetLastError(code);
  return -1;
}

bool Put(SYS_File_p f, const void* bytes, int64_t length) { return SYS_FileWrite(f, bytes, length) == 0; }

// PNM stores R, G, B: bytes in B, G, R order are exchanged through a row
// buffer; the bitmap itself is not changed.
bool PutSamples(SYS_File_p f, const txBitmap* b, bool swap) {
  int64_t step = b->bits / 8, rowBytes = static_cast<int64_t>(b->width) * step;
  if (!swap) return Put(f, b->data[0], rowBytes * b->height);
  auto* row = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(rowBytes)));
  if (!row) return false;
  bool ok = true;
  for (int64_t y = 0; y < b->height && ok; ++y) {
    const uint8_t* src = b->data[0] + y * rowBytes;
    for (int64_t k = 0; k < rowBytes; k += 3) {
      row[k] = src[k + 2];
      row[k + 1] = src[k + 1];
      row[k + 2] = src[k];
    }
    ok = Put(f, row, rowBytes);
  }
  SYS_MemFree(row);
  return ok;
}

}  // namespace

int pnmWrite(const char* path, txBitmap* bitmap) {
  errClear();
  if (!bitmap) return WriteFail(ERR_BADARG);
  int32_t sub = bitmap->subtype;
  if (sub != TX_SUB_24 && sub != TX_SUB_24_SWAPPED && sub != TX_SUB_GREY) return WriteFail(TX_ERR_FORMAT);
  int32_t bits = sub == TX_SUB_GREY ? 8 : 24;
  int64_t bytes = static_cast<int64_t>(bitmap->width) * bitmap->height * (bits / 8);
  if (bitmap->bits != bits || bitmap->width <= 0 || bitmap->height <= 0 || !bitmap->data[0] ||
      bitmap->sizes[0] < bytes || bitmap->type == TX_TYPE_COMPRESSED)
    return WriteFail(TX_ERR_FORMAT);
  if (txVerbose()) {
    TL_PNM_LOG(SYS_DBG_MSG, " filename ( write ): %s\n", path ? path : "");
    TL_PNM_LOG(SYS_DBG_MSG, "  size: %dx%d\n", bitmap->width, bitmap->height);
    TL_PNM_LOG(SYS_DBG_MSG, "  bits: %d\n", bitmap->bits);
    TL_PNM_LOG(SYS_DBG_MSG, "  imagesize[0]: %u\n", static_cast<unsigned>(bitmap->sizes[0]));
    TL_PNM_LOG(SYS_DBG_MSG, "  comment: %s\n", kComment);
  }
  SYS_File_p f = SYS_FileOpen(path, SYS_FILE_WRITE);
  if (!f) return WriteFail(ERR_CANTCREATE);
  char header[160];
  int n = std::snprintf(header, sizeof header, "%s\n# %s\n%d %d\n255\n", sub == TX_SUB_GREY ? "P5" : "P6", kComment,
                        bitmap->width, bitmap->height);
  // Colour bytes stored B, G, R (type 0) go out swapped; R, G, B as they are.
  bool swap = bits == 24 && bitmap->type != TX_TYPE_RGB;
  bool ok = Put(f, header, n) && PutSamples(f, bitmap, swap);
  SYS_FileClose(f);
  return ok ? 0 : WriteFail(ERR_CANTCREATE);
}
