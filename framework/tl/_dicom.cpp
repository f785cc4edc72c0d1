// The DICOM filter.
#include "framework/tl/_dicom.h"

#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/filterutil.h"

namespace {

using namespace tlfilter;

constexpr int64_t kPreamble = 128;
constexpr int64_t kFirstElement = 132;
constexpr uint32_t kUndefined = 0xFFFFFFFFu;
constexpr int kMaxNesting = 16;


// Value representations whose length is 32 bits after two reserved bytes.
bool LongVR(const uint8_t* vr) {
  static const char* const kLong[] = {"OB", "OD", "OF", "OL", "OV", "OW", "SQ", "SV", "UC", "UN", "UR", "UT", "UV"};
  for (const char* l : kLong)
    if (vr[0] == l[0] && vr[1] == l[1]) return true;
  return false;
}

bool IsVR(const uint8_t* vr) { return vr[0] >= 'A' && vr[0] <= 'Z' && vr[1] >= 'A' && vr[1] <= 'Z'; }

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
  Walker(const uint8_t* buffer, int64_t length) : buf_(buffer), len_(length) {}

  // Reads the element header at pos. Items and delimiters (group 0xFFFE)
  // carry no VR. False when the header does not fit or has no valid VR.
  bool Header(int64_t pos, Element& e) const {
    if (pos < 0 || len_ - pos < 8) return false;
    e.group = U16(buf_ + pos);
    e.element = U16(buf_ + pos + 2);
    const uint8_t* vr = buf_ + pos + 4;
    if (e.group == 0xFFFE) {
      e.length = U32(buf_ + pos + 4);
      e.valueAt = pos + 8;
      return true;
    }
    if (!IsVR(vr)) return false;  // implicit-VR data is not read
    if (LongVR(vr)) {
      if (len_ - pos < 12) return false;
      e.length = U32(buf_ + pos + 8);
      e.valueAt = pos + 12;
    } else {
      e.length = U16(buf_ + pos + 6);
      e.valueAt = pos + 8;
    }
    return true;
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
    if (e.length > len_ - e.valueAt) return -1;
    return e.valueAt + e.length;
  }

  int32_t Value16(const Element& e) const { return e.length >= 2 ? U16(buf_ + e.valueAt) : 0; }

 private:
  const uint8_t* buf_;
  int64_t len_;
};

// Collects the image attributes of the top level; returns 0 or an error code.
int Walk(const uint8_t* buffer, int64_t length, Image& img) {
  Walker w(buffer, length);
  int64_t pos = kFirstElement;
  while (pos < length) {
    Element e;
    if (!w.Header(pos, e)) return img.pixelsAt >= 0 ? 0 : TX_ERR_FORMAT;
    if (e.group == 0x7FE0 && e.element == 0x0010) {
      // Encapsulated (compressed) pixel data come with an undefined length.
      if (e.length == kUndefined) return TX_ERR_DEPTH;
      if (e.length > length - e.valueAt) return TX_ERR_SHORT;
      img.pixelsAt = e.valueAt;
      img.pixelBytes = e.length;
    } else if (e.group == 0x0028 && e.length != kUndefined && e.length <= length - e.valueAt) {
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
  if (!buffer || length < kFirstElement) return TX_ERR_FORMAT;
  for (int64_t i = 0; i < kPreamble; ++i)
    if (buffer[i] != 0) return TX_ERR_FORMAT;
  return std::memcmp(buffer + kPreamble, "DICM", 4) == 0 ? 0 : TX_ERR_FORMAT;
}

txBitmap* dicomRead(const uint8_t* buffer, int64_t length) {
  errClear();
  if (!buffer || length < kFirstElement) return Fail(nullptr, TX_ERR_SHORT);
  Image img;
  int code = Walk(buffer, length, img);
  if (code != 0) return Fail(nullptr, code);
  // Without pixel data there is no image.
  if (img.pixelsAt < 0) return Fail(nullptr, TX_ERR_SHORT);
  if (img.rows <= 0 || img.columns <= 0) return Fail(nullptr, TX_ERR_FORMAT);
  // One byte per sample, one or three samples, interleaved.
  if (img.bitsAllocated != 8 || (img.samples != 1 && img.samples != 3) || img.planar != 0)
    return Fail(nullptr, TX_ERR_DEPTH);
  int64_t bytes = static_cast<int64_t>(img.rows) * img.columns * img.samples;
  if (bytes > img.pixelBytes) return Fail(nullptr, TX_ERR_SHORT);
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
  b->data[0] = static_cast<uint8_t*>(SYS_MemGet(static_cast<size_t>(bytes)));
  if (!b->data[0]) return Fail(b, ERR_NOMEM);
  std::memcpy(b->data[0], buffer + img.pixelsAt, static_cast<size_t>(bytes));
  return b;
}
