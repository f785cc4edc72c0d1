// Small image files built byte by byte, for the loader's tests and for the
// seeds of its fuzz targets. Every builder gives the whole file.
#pragma once
#include <cstdint>
#include <cstddef>
#include <string>
#include <vector>

namespace tlfix {

using Bytes = std::vector<uint8_t>;

// A copy in a block of exactly the file's size, so that a reader's step past
// the end is caught by the address sanitizer.
class Exact {
 public:
  Exact(const Bytes& b, size_t length) : bytes_(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(length)) {}
  explicit Exact(const Bytes& b) : Exact(b, b.size()) {}
  const uint8_t* data() const { return bytes_.data(); }
  int64_t size() const { return static_cast<int64_t>(bytes_.size()); }

 private:
  Bytes bytes_;  // built from a range: its block holds exactly the bytes
};

inline void Put16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
inline void PutText(Bytes& b, const std::string& s) {
  for (char c : s) b.push_back(static_cast<uint8_t>(c));
}

// Pixel bytes where every byte differs from its neighbours: byte i = seed + 7i.
inline Bytes Pattern(size_t count, uint8_t seed = 1) {
  Bytes p(count);
  for (size_t i = 0; i < count; ++i) p[i] = static_cast<uint8_t>(seed + 7 * i);
  return p;
}

struct TgaSpec {
  int width = 4, height = 2, bits = 24;
  int imageType = 2;       // 2 true colour, 3 grey, 1 colour-mapped
  bool topFirst = true;    // descriptor bit 5
  std::string id;          // identification field
  int mapLength = 0, mapBits = 24;
  Bytes map;               // mapLength entries of mapBits / 8 bytes
  Bytes pixels;            // as stored in the file
};

inline Bytes Tga(const TgaSpec& s) {
  Bytes b;
  b.push_back(static_cast<uint8_t>(s.id.size()));
  b.push_back(s.mapLength ? 1 : 0);
  b.push_back(static_cast<uint8_t>(s.imageType));
  Put16(b, 0);  // first map entry
  Put16(b, static_cast<uint32_t>(s.mapLength));
  b.push_back(static_cast<uint8_t>(s.mapLength ? s.mapBits : 0));
  Put16(b, 0);
  Put16(b, 0);
  Put16(b, static_cast<uint32_t>(s.width));
  Put16(b, static_cast<uint32_t>(s.height));
  b.push_back(static_cast<uint8_t>(s.bits));
  b.push_back(s.topFirst ? 0x20 : 0x00);
  PutText(b, s.id);
  b.insert(b.end(), s.map.begin(), s.map.end());
  b.insert(b.end(), s.pixels.begin(), s.pixels.end());
  return b;
}

// A true-colour or grey TGA of the given size with Pattern pixels.
inline Bytes SimpleTga(int width, int height, int bits, uint8_t seed = 1, bool topFirst = true) {
  TgaSpec s;
  s.width = width;
  s.height = height;
  s.bits = bits;
  s.imageType = bits == 8 ? 3 : 2;
  s.topFirst = topFirst;
  s.pixels = Pattern(static_cast<size_t>(width) * height * bits / 8, seed);
  return Tga(s);
}

struct BmpSpec {
  int32_t width = 3, height = 2;  // negative height: rows top first
  int bits = 24;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  uint32_t infoSize = 40;
  Bytes palette;      // written between the info header and the pixels
  Bytes rows;         // tightly packed rows in file order; padding is added
  int64_t offBits = -1;  // -1: right after the palette
};

inline Bytes Bmp(const BmpSpec& s) {
  size_t rowBytes = static_cast<size_t>(s.width > 0 ? s.width : 0) * static_cast<size_t>(s.bits) / 8;
  size_t stride = (rowBytes + 3) / 4 * 4;
  size_t rowsInFile = static_cast<size_t>(s.height < 0 ? -s.height : s.height);
  uint32_t headerEnd = 14 + s.infoSize;
  uint32_t off = s.offBits >= 0 ? static_cast<uint32_t>(s.offBits) : headerEnd + static_cast<uint32_t>(s.palette.size());
  Bytes b;
  PutText(b, "BM");
  Put32(b, 0);  // file size, filled below
  Put32(b, 0);
  Put32(b, off);
  Put32(b, s.infoSize);
  Put32(b, static_cast<uint32_t>(s.width));
  Put32(b, static_cast<uint32_t>(s.height));
  Put16(b, 1);
  Put16(b, static_cast<uint32_t>(s.bits));
  Put32(b, s.compression);
  Put32(b, static_cast<uint32_t>(stride * rowsInFile));
  Put32(b, 2835);
  Put32(b, 2835);
  Put32(b, s.coloursUsed);
  Put32(b, 0);
  while (b.size() < headerEnd) b.push_back(0);  // rest of a V4/V5 header
  b.insert(b.end(), s.palette.begin(), s.palette.end());
  while (b.size() < off) b.push_back(0xEE);  // a gap the reader must skip
  for (size_t r = 0; r < rowsInFile; ++r) {
    for (size_t i = 0; i < rowBytes; ++i) b.push_back(r * rowBytes + i < s.rows.size() ? s.rows[r * rowBytes + i] : 0);
    for (size_t i = rowBytes; i < stride; ++i) b.push_back(0xAA);
  }
  uint32_t size = static_cast<uint32_t>(b.size());
  for (int i = 0; i < 4; ++i) b[2 + i] = static_cast<uint8_t>(size >> (8 * i));
  return b;
}

inline Bytes Pnm(const std::string& magic, int width, int height, const std::string& maxval, const Bytes& samples,
                 const std::string& comment = "") {
  Bytes b;
  PutText(b, magic + "\n");
  if (!comment.empty()) PutText(b, "# " + comment + "\n");
  PutText(b, std::to_string(width) + " " + std::to_string(height) + "\n");
  PutText(b, maxval + "\n");
  b.insert(b.end(), samples.begin(), samples.end());
  return b;
}

// DICOM data elements in explicit-VR little-endian encoding.
inline void DicomShort(Bytes& b, uint16_t group, uint16_t element, const char* vr, const Bytes& value) {
  Put16(b, group);
  Put16(b, element);
  b.push_back(static_cast<uint8_t>(vr[0]));
  b.push_back(static_cast<uint8_t>(vr[1]));
  Put16(b, static_cast<uint32_t>(value.size()));
  b.insert(b.end(), value.begin(), value.end());
}
inline void DicomLong(Bytes& b, uint16_t group, uint16_t element, const char* vr, const Bytes& value,
                      uint32_t length) {
  Put16(b, group);
  Put16(b, element);
  b.push_back(static_cast<uint8_t>(vr[0]));
  b.push_back(static_cast<uint8_t>(vr[1]));
  Put16(b, 0);
  Put32(b, length);
  b.insert(b.end(), value.begin(), value.end());
}
inline void DicomLong(Bytes& b, uint16_t group, uint16_t element, const char* vr, const Bytes& value) {
  DicomLong(b, group, element, vr, value, static_cast<uint32_t>(value.size()));
}
inline Bytes U16Value(uint16_t v) {
  Bytes b;
  Put16(b, v);
  return b;
}

struct DicomSpec {
  uint16_t rows = 2, columns = 3, samples = 1;
  int planar = -1;  // the planar configuration element, left out when negative
  Bytes pixels;
  const char* pixelVR = "OB";
  bool withPixels = true;
  bool undefinedSequence = false;  // an SQ of undefined length before the image attributes
};

inline Bytes Dicom(const DicomSpec& s) {
  Bytes b(128, 0);
  PutText(b, "DICM");
  DicomLong(b, 0x0002, 0x0001, "OB", Bytes{0, 1});
  DicomShort(b, 0x0002, 0x0010, "UI", Bytes{'1', '.', '2', '.', '8', 0x00});
  if (s.undefinedSequence) {
    // A sequence holding one item of undefined length, whose rows element
    // must not be taken for the image's.
    DicomLong(b, 0x0008, 0x1140, "SQ", Bytes{}, 0xFFFFFFFFu);
    Put16(b, 0xFFFE);
    Put16(b, 0xE000);
    Put32(b, 0xFFFFFFFFu);
    DicomShort(b, 0x0028, 0x0010, "US", U16Value(999));
    Put16(b, 0xFFFE);
    Put16(b, 0xE00D);
    Put32(b, 0);
    Put16(b, 0xFFFE);
    Put16(b, 0xE0DD);
    Put32(b, 0);
  }
  DicomShort(b, 0x0028, 0x0002, "US", U16Value(s.samples));
  if (s.planar >= 0) DicomShort(b, 0x0028, 0x0006, "US", U16Value(static_cast<uint16_t>(s.planar)));
  DicomShort(b, 0x0028, 0x0010, "US", U16Value(s.rows));
  DicomShort(b, 0x0028, 0x0011, "US", U16Value(s.columns));
  DicomShort(b, 0x0028, 0x0100, "US", U16Value(8));
  if (s.withPixels) DicomLong(b, 0x7FE0, 0x0010, s.pixelVR, s.pixels);
  return b;
}

// The seeds of the fuzz targets: one valid file of each layout the readers
// take. Each names its corpus ("tga", "bmp", "pnm", "dicom").
struct Seed {
  std::string corpus, name;
  Bytes bytes;
};

inline std::vector<Seed> Seeds() {
  std::vector<Seed> seeds;
  seeds.push_back({"tga", "rgb24_top.tga", SimpleTga(5, 3, 24)});
  seeds.push_back({"tga", "rgba32_bottom.tga", SimpleTga(3, 2, 32, 9, false)});
  seeds.push_back({"tga", "grey8.tga", SimpleTga(4, 4, 8)});
  TgaSpec mapped;
  mapped.width = 4;
  mapped.height = 2;
  mapped.bits = 8;
  mapped.imageType = 1;
  mapped.mapLength = 256;
  mapped.map = Pattern(768, 3);
  mapped.pixels = Pattern(8);
  mapped.id = "seed";
  seeds.push_back({"tga", "mapped.tga", Tga(mapped)});

  BmpSpec rgb;
  rgb.width = 3;
  rgb.height = 2;
  rgb.rows = Pattern(18);
  seeds.push_back({"bmp", "rgb24_padded.bmp", Bmp(rgb)});
  BmpSpec topDown = rgb;
  topDown.height = -2;
  topDown.bits = 32;
  topDown.infoSize = 124;
  topDown.rows = Pattern(24);
  seeds.push_back({"bmp", "rgba32_topdown_v5.bmp", Bmp(topDown)});
  BmpSpec pal;
  pal.width = 5;
  pal.height = 2;
  pal.bits = 8;
  pal.coloursUsed = 16;
  pal.palette = Pattern(64, 5);
  pal.rows = Pattern(10);
  seeds.push_back({"bmp", "pal8.bmp", Bmp(pal)});

  seeds.push_back({"pnm", "colour.ppm", Pnm("P6", 3, 2, "255", Pattern(18), "seed")});
  seeds.push_back({"pnm", "grey.pgm", Pnm("P5", 4, 3, "255", Pattern(12))});

  DicomSpec grey;
  grey.pixels = Pattern(6);
  seeds.push_back({"dicom", "grey.dcm", Dicom(grey)});
  DicomSpec colour;
  colour.samples = 3;
  colour.undefinedSequence = true;
  colour.pixels = Pattern(18);
  seeds.push_back({"dicom", "rgb_sequence.dcm", Dicom(colour)});
  return seeds;
}

}  // namespace tlfix
