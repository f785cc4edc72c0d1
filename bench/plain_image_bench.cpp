// Loading a 2048 x 2048 image of each plain format (PNM, TGA, BMP, DICOM)
// through txLoad, with the loader's colour order set to the file's own,
// against the least any loader must do: fread the file into a new block and
// memcpy its pixels into another. The loader should cost at most 1.4 times
// that. PNG and JPEG through txLoad are set against stb_image decoding the
// same fread buffer; those ratios are stated, with no goal.
//
// The two sides of a ratio run in turns, one load each, so that a busy
// moment of the machine weighs on both alike; the ratio is that of the
// medians. The files are made by this program (and the loader's own
// writers) in a temporary folder that is removed at the end.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include "framework/base/bytes.h"
#include "framework/base/log.h"
#include "framework/tl/TL.h"
#include "bench/benchutil.h"

namespace {

using bench::ReadWhole;
using bench::Median;

constexpr int kSide = 2048;
constexpr int kRounds = 15;  // at least 7
constexpr double kGoal = 1.4;

using Bytes = std::vector<uint8_t>;

std::string folder;

// Gradients and fine detail, so PNG and JPEG have work to do; the plain
// formats take the bytes as they are.
uint8_t Sample(int x, int y, int channel) {
  switch (channel) {
    case 0: return static_cast<uint8_t>(x / 8);
    case 1: return static_cast<uint8_t>(y / 8);
    case 2: return static_cast<uint8_t>((x ^ y) & 0x3F);
    default: return static_cast<uint8_t>(x + y);
  }
}

Bytes Pixels(int channels) {
  Bytes p(static_cast<size_t>(kSide) * kSide * channels);
  size_t i = 0;
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      for (int c = 0; c < channels; ++c) p[i++] = Sample(x, y, c);
  return p;
}

bool WriteFile(const std::string& path, const Bytes& header, const Bytes& pixels) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(header.data(), 1, header.size(), f) == header.size() &&
            std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
  return std::fclose(f) == 0 && ok;
}

// A 32-bit TGA stored bottom row first (descriptor bit 5 clear), as most
// painting programs write it.
Bytes TgaHeader32BottomUp() {
  SYS_ByteWriter w;
  w.u8(0);
  w.u8(0);
  w.u8(2);
  for (int i = 0; i < 9; ++i) w.u8(0);
  w.u16(kSide);
  w.u16(kSide);
  w.u8(32);
  w.u8(0x08);  // 8 alpha bits, bottom row first
  return w.release();
}

// A bottom-up 24-bit BMP; 2048 pixels of 3 bytes need no row padding.
Bytes BmpHeader24() {
  const uint32_t pixelBytes = uint32_t{kSide} * kSide * 3;
  SYS_ByteWriter w;
  w.u8('B');
  w.u8('M');
  w.u32(54 + pixelBytes);
  w.u32(0);
  w.u32(54);
  w.u32(40);
  w.u32(kSide);
  w.u32(kSide);
  w.u16(1);
  w.u16(24);
  w.u32(0);
  w.u32(pixelBytes);
  w.u32(2835);
  w.u32(2835);
  w.u32(0);
  w.u32(0);
  return w.release();
}

void DicomShort(SYS_ByteWriter& w, uint16_t group, uint16_t element, const char* vr, uint16_t value) {
  w.u16(group);
  w.u16(element);
  w.u8(static_cast<uint8_t>(vr[0]));
  w.u8(static_cast<uint8_t>(vr[1]));
  w.u16(2);
  w.u16(value);
}

// An explicit-VR little-endian DICOM file with three 8-bit samples a pixel;
// the pixel element's value follows the returned header.
Bytes DicomHeaderRgb() {
  SYS_ByteWriter w;
  for (int i = 0; i < 128; ++i) w.u8(0);
  for (char c : std::string("DICM")) w.u8(static_cast<uint8_t>(c));
  w.u16(0x0002);
  w.u16(0x0001);
  w.u8('O');
  w.u8('B');
  w.u16(0);
  w.u32(2);
  w.u8(0);
  w.u8(1);
  DicomShort(w, 0x0028, 0x0002, "US", 3);
  DicomShort(w, 0x0028, 0x0010, "US", kSide);
  DicomShort(w, 0x0028, 0x0011, "US", kSide);
  DicomShort(w, 0x0028, 0x0100, "US", 8);
  w.u16(0x7FE0);
  w.u16(0x0010);
  w.u8('O');
  w.u8('B');
  w.u16(0);
  w.u32(uint32_t{kSide} * kSide * 3);
  return w.release();
}


struct Case {
  const char* label;
  std::string path;
  int32_t order;       // the file's own colour order, given to the loader
  size_t pixelsAt;     // where the reference's memcpy starts
  size_t pixelBytes;   // and how much it copies
  bool decoded;        // PNG or JPEG: the reference decodes with stb_image
};

// fread of the whole file into a new block, then a new block for the
// pixels, filled by memcpy; both released, as a load's caller would.
void FreadAndCopy(const Case& c) {
  FILE* f = std::fopen(c.path.c_str(), "rb");
  if (!f) std::abort();
  std::fseek(f, 0, SEEK_END);
  const size_t size = static_cast<size_t>(std::ftell(f));
  std::fseek(f, 0, SEEK_SET);
  auto* file = static_cast<uint8_t*>(std::malloc(size));
  if (!file || std::fread(file, 1, size, f) != size) std::abort();
  std::fclose(f);
  auto* pixels = static_cast<uint8_t*>(std::malloc(c.pixelBytes));
  if (!pixels) std::abort();
  std::memcpy(pixels, file + c.pixelsAt, c.pixelBytes);
  std::free(file);
  asm volatile("" : : "r"(pixels) : "memory");
  std::free(pixels);
}

// fread of the whole file, then stb_image decodes it from memory.
void FreadAndStb(const Case& c) {
  Bytes file = ReadWhole(c.path);
  int w = 0, h = 0, n = 0;
  stbi_uc* pixels = stbi_load_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &n, 0);
  if (!pixels) std::abort();
  asm volatile("" : : "r"(pixels) : "memory");
  stbi_image_free(pixels);
}

void ThroughLoader(const Case& c) {
  txOptions(TX_OPT_ORDER, c.order);
  txBitmap* b = txLoad(c.path.c_str());
  if (!b) std::abort();
  asm volatile("" : : "r"(b->data[0]) : "memory");
  txFree(&b);
}

double Milliseconds(void (*run)(const Case&), const Case& c) {
  auto start = std::chrono::steady_clock::now();
  run(c);
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}


void Measure(const Case& c) {
  void (*reference)(const Case&) = c.decoded ? FreadAndStb : FreadAndCopy;
  // One of each first, unmeasured: page cache and allocator warm.
  ThroughLoader(c);
  reference(c);
  std::vector<double> ours, theirs;
  for (int i = 0; i < kRounds; ++i) {
    ours.push_back(Milliseconds(ThroughLoader, c));
    theirs.push_back(Milliseconds(reference, c));
  }
  const double a = Median(ours), b = Median(theirs);
  if (c.decoded)
    std::printf("%-22s txLoad %7.2f ms, fread + stb_image %7.2f ms: ratio %.2fx (stated, no goal)\n", c.label, a, b,
                a / b);
  else
    std::printf("%-22s txLoad %7.2f ms, fread + memcpy %7.2f ms: ratio %.2fx (goal <= %.1fx)\n", c.label, a, b, a / b,
                kGoal);
}

// Writes the pictures and returns what to measure; nothing when a file
// cannot be written.
std::vector<Case> Prepare() {
  char name[] = "/tmp/plain-image-bench-XXXXXX";
  if (!mkdtemp(name)) return {};
  folder = name;
  txInit(nullptr);
  const Bytes rgb = Pixels(3), rgba = Pixels(4);
  const size_t rgbBytes = rgb.size();

  std::vector<Case> cases;
  // PNM stores R, G, B; the loader's writer swaps a B, G, R bitmap out.
  txBitmap* picture = txCreateDummy(0, kSide, kSide);
  std::memcpy(picture->data[0], rgb.data(), rgbBytes);
  picture->type = TX_TYPE_RGB;
  const std::string pnm = folder + "/picture.ppm", tga24 = folder + "/picture24.tga", png = folder + "/picture.png",
                    jpeg = folder + "/picture.jpg";
  bool ok = txSave(txFilterPNM.id, pnm.c_str(), picture) == 0 && txSave(txFilterPNG.id, png.c_str(), picture) == 0 &&
            txSave(txFilterJPEG.id, jpeg.c_str(), picture) == 0;
  picture->type = TX_TYPE_BGR;
  ok = ok && txSave(txFilterTGA.id, tga24.c_str(), picture) == 0;
  txFree(&picture);
  const std::string tga32 = folder + "/picture32.tga", bmp = folder + "/picture.bmp", dcm = folder + "/picture.dcm";
  const Bytes tgaHeader = TgaHeader32BottomUp(), bmpHeader = BmpHeader24(), dcmHeader = DicomHeaderRgb();
  ok = ok && WriteFile(tga32, tgaHeader, rgba) && WriteFile(bmp, bmpHeader, rgb) && WriteFile(dcm, dcmHeader, rgb);
  if (!ok) return {};
  const size_t tgaComment = std::strlen(reinterpret_cast<const char*>(txFilterTGA.param1));
  const size_t pnmAt = ReadWhole(pnm).size() - rgbBytes;
  cases.push_back({"PNM (P6)", pnm, TX_TYPE_RGB, pnmAt, rgbBytes, false});
  cases.push_back({"TGA 24-bit top-down", tga24, TX_TYPE_BGR, 18 + tgaComment, rgbBytes, false});
  cases.push_back({"TGA 32-bit bottom-up", tga32, TX_TYPE_BGR, tgaHeader.size(), rgba.size(), false});
  cases.push_back({"BMP 24-bit bottom-up", bmp, TX_TYPE_BGR, bmpHeader.size(), rgbBytes, false});
  cases.push_back({"DICOM RGB", dcm, TX_TYPE_RGB, dcmHeader.size(), rgbBytes, false});
  cases.push_back({"PNG", png, TX_TYPE_RGB, 0, 0, true});
  cases.push_back({"JPEG", jpeg, TX_TYPE_RGB, 0, 0, true});
  return cases;
}

}  // namespace

int main() {
  std::vector<Case> cases = Prepare();
  if (cases.empty()) {
    std::fprintf(stderr, "plain_image_bench: cannot write the pictures to %s (error %d)\n", folder.c_str(),
                 errGetLastError());
    return 1;
  }
  std::printf("%dx%d, the median of %d rounds each, loader and reference in turns\n", kSide, kSide, kRounds);
  for (const Case& c : cases) Measure(c);
  for (const Case& c : cases) std::remove(c.path.c_str());
  rmdir(folder.c_str());
  return 0;
}
