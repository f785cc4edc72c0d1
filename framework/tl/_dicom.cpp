// The DICOM filter.
#include "framework/tl/_dicom.h"

#include <string_view>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"
#include "framework/tl/layout.h"

namespace {

using namespace tlfilter;

constexpr int64_t kPreamble = 128;
constexpr int64_t kFirstElement = 132;
constexpr uint32_t kUndefined = 0xFFFFFFFFu;
constexpr int kMaxNesting = 16;


// Value representations whose length is 32 bits after two reserved bytes.
bool LongVR(std::string_view vr) {
  static constexpr std::string_view kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ",
                                               "SV", "UC", "UN", "UR", "UT", "UV"};
  for (std::string_view l : kLong)
    if (vr == l) return true;
  return false;
}

bool IsVR(std::string_view vr) {
  return vr.size() == 2 && vr[0] >= 'A' && vr[0] <= 'Z' && vr[1] >= 'A' && vr[1] <= 'Z';
}

struct Element {
  uint16_t group, element;
  int64_t valueAt;
  uint32_t length;  // kUndefined for sequences ended by a delimiter
};

struct Image {
  int32_t samples = 0, rows = 0, columns = 0;
  int32_t bitsAllocated = 8, planar = 0;
  int64_t pixelsAt = -1, pixelBytes = 0;
};

class Walker {
 public:
  explicit Walker(SYS_ByteReader bytes) : bytes_(bytes) {}

  // Reads the element header at pos. Items and delimiters (group 0xFFFE)
  // carry no VR. False when the header does not fit or has no valid VR.
  bool Header(int64_t pos, Element& e) const {
    SYS_ByteReader r = bytes_;
    if (pos < 0 || !r.seek(static_cast<uint64_t>(pos))) return false;
    e.group = r.u16();
    e.element = r.u16();
    if (e.group == 0xFFFE) {
      e.length = r.u32();
      e.valueAt = static_cast<int64_t>(r.offset());
      return r.ok();
    }
    std::string_view vr = r.text(2);
    if (!IsVR(vr)) return false;  // implicit-VR data is not read
    if (LongVR(vr)) {
      r.skip(2);  // reserved
      e.length = r.u32();
    } else {
      e.length = r.u16();
    }
    e.valueAt = static_cast<int64_t>(r.offset());
    return r.ok();
  }

  // Skips the content of an undefined-length sequence or item: its elements
  // up to the delimiter that ends it. Returns the position after the
  // delimiter, or -1 when the data end first or nest too deep.
  int64_t SkipUndefined(int64_t pos, uint16_t delimiter, int depth) const {
    if (depth > kMaxNesting) return -1;
    for (;;) {
      Element e;
      if (!Header(pos, e)) return -1;
      if (e.group == 0xFFFE && e.element == delimiter) return e.valueAt;
      pos = Next(e, depth + 1);
      if (pos < 0) return -1;
    }
  }

  // The position after an element's value, or -1.
  int64_t Next(const Element& e, int depth) const {
    if (e.length == kUndefined) {
      uint16_t delimiter = e.group == 0xFFFE && e.element == 0xE000 ? 0xE00D : 0xE0DD;
      return SkipUndefined(e.valueAt, delimiter, depth);
    }
    if (!Holds(e)) return -1;
    return e.valueAt + e.length;
  }

  // Whether the element's whole value lies inside the data.
  bool Holds(const Element& e) const {
    SYS_ByteReader r = bytes_;
    return r.seek(static_cast<uint64_t>(e.valueAt)) && r.has(e.length);
  }

  int32_t Value16(const Element& e) const {
    uint16_t value = 0;
    return e.length >= 2 && SYS_ByteReader::U16At(bytes_.bytes(), static_cast<uint64_t>(e.valueAt), value) ? value : 0;
  }

 private:
  SYS_ByteReader bytes_;
};

// Collects the image attributes of the top level; returns 0 or an error code.
int Walk(SYS_ByteReader bytes, Image& img) {
  Walker w(bytes);
  int64_t length = static_cast<int64_t>(bytes.size());
  int64_t pos = kFirstElement;
  while (pos < length) {
    Element e;
    if (!w.Header(pos, e)) return img.pixelsAt >= 0 ? 0 : TX_ERR_FORMAT;
    if (e.group == 0x7FE0 && e.element == 0x0010) {
      // Encapsulated (compressed) pixel data come with an undefined length.
      if (e.length == kUndefined) return TX_ERR_DEPTH;
      if (!w.Holds(e)) return TX_ERR_SHORT;
      img.pixelsAt = e.valueAt;
      img.pixelBytes = e.length;
    } else if (e.group == 0x0028 && e.length != kUndefined && w.Holds(e)) {
      switch (e.element) {
        case 0x0002: img.samples = w.Value16(e); break;
        case 0x0006: img.planar = w.Value16(e); break;
        case 0x0010: img.rows = w.Value16(e); break;
        case 0x0011: img.columns = w.Value16(e); break;
        case 0x0100: img.bitsAllocated = w.Value16(e); break;
        default: break;
      }
    }
    int64_t next = w.Next(e, 0);
    if (next < 0) return img.pixelsAt >= 0 ? 0 : TX_ERR_SHORT;
    pos = next;
  }
  return 0;
}

}  // namespace

int dicomDetect(const uint8_t* buffer, int64_t length) {
  SYS_ByteReader r = ReaderOf(buffer, length);
  for (uint8_t b : r.take(kPreamble))
    if (b != 0) return TX_ERR_FORMAT;
  return r.expect("DICM") ? 0 : TX_ERR_FORMAT;
}

txBitmap* dicomRead(const uint8_t* buffer, int64_t length) {
  txLayout own = txReaderLayout;
  return dicomReadAs(buffer, length, own);
}

txBitmap* dicomReadAs(const uint8_t* buffer, int64_t length, txLayout& layout) {
  errClear();
  if (!buffer || length < kFirstElement) return Fail(nullptr, TX_ERR_SHORT);
  SYS_ByteReader r = ReaderOf(buffer, length);
  Image img;
  int code = Walk(r, img);
  if (code != 0) return Fail(nullptr, code);
  // Without pixel data there is no image.
  if (img.pixelsAt < 0) return Fail(nullptr, TX_ERR_SHORT);
  if (img.rows <= 0 || img.columns <= 0) return Fail(nullptr, TX_ERR_FORMAT);
  // One byte per sample, at least one sample, interleaved.
  if (img.bitsAllocated != 8 || img.samples < 1 || img.planar != 0) return Fail(nullptr, TX_ERR_DEPTH);
  // Level 0 is the whole pixel element, which must hold the image.
  int64_t bytes = img.pixelBytes;
  if (static_cast<int64_t>(img.rows) * img.columns * img.samples > bytes) return Fail(nullptr, TX_ERR_SHORT);
  if (bytes > INT32_MAX) return Fail(nullptr, ERR_NOMEM);

  txBitmap* b = txNewBitmap();
  if (!b) return Fail(nullptr, ERR_NOMEM);
  b->bits = img.samples * 8;
  // Colour samples are stored R, G, B.
  b->type = img.samples == 3 ? TX_TYPE_RGB : TX_TYPE_BGR;
  b->subtype = b->bits == 8 ? TX_SUB_GREY : TX_SUB_OTHER;
  b->width = img.columns;
  b->height = img.rows;
  b->sizes[0] = static_cast<int32_t>(bytes);
  // The walk has checked that the whole pixel element lies in the file.
  if (!r.seek(static_cast<uint64_t>(img.pixelsAt))) return Fail(b, TX_ERR_SHORT);
  const txStoredPixels stored{r.take(static_cast<uint64_t>(bytes)).data(),
                              static_cast<int64_t>(img.columns) * img.samples, false, b->type};
  if (!r.ok() || !txFillLevel(b, stored, layout)) return Fail(b, r.ok() ? ERR_NOMEM : TX_ERR_SHORT);
  return b;
}
