// Decoding a 2048 x 2048 PNG and JPEG through the texture loader against the
// least any reader must do: read the file with stdio and decode it from
// memory with the same library. The loader should cost at most 10 % more;
// the ratios (best of several runs each) are printed after the timings.
//
// The files are written by the loader's own writers into a temporary folder.
#include <benchmark/benchmark.h>
#include <png.h>
#include <unistd.h>

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/tl/TL.h"
#include "bench/benchutil.h"

namespace {

using bench::ReadWhole;

constexpr int kSide = 2048;
constexpr int kBestOf = 21;
constexpr double kGoal = 1.10;

std::string folder, pngPath, jpegPath;

// A picture with gradients and fine detail, so neither format has it easy.
txBitmap* Picture() {
  txBitmap* b = txCreateDummy(0, kSide, kSide);
  b->type = TX_TYPE_RGB;
  uint8_t* p = b->data[0];
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x, p += 3) {
      p[0] = static_cast<uint8_t>(x / 8);
      p[1] = static_cast<uint8_t>(y / 8);
      p[2] = static_cast<uint8_t>((x ^ y) & 0x3F);
    }
  return b;
}

bool Prepare() {
  char name[] = "/tmp/image-bench-XXXXXX";
  if (!mkdtemp(name)) return false;
  folder = name;
  pngPath = folder + "/picture.png";
  jpegPath = folder + "/picture.jpg";
  txInit(nullptr);
  txOptions(TX_OPT_ORDER, TX_TYPE_RGB);  // the libraries' own order: no swap on either side
  txBitmap* b = Picture();
  bool ok = txSave(txFilterPNG.id, pngPath.c_str(), b) == 0 && txSave(txFilterJPEG.id, jpegPath.c_str(), b) == 0;
  txFree(&b);
  return ok;
}

void Cleanup() {
  std::remove(pngPath.c_str());
  std::remove(jpegPath.c_str());
  rmdir(folder.c_str());
}


void ThroughLoader(const std::string& path) {
  txBitmap* b = txLoad(path.c_str());
  if (!b) std::abort();
  benchmark::DoNotOptimize(b->data[0]);
  txFree(&b);
}

struct MemoryFile {
  const uint8_t* data;
  size_t size, at;
};

void FromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* file = static_cast<MemoryFile*>(png_get_io_ptr(png));
  if (count > file->size - file->at) png_error(png, "short file");
  std::copy_n(file->data + file->at, count, out);
  file->at += count;
}

// libpng alone: the same untransformed decode into a new block, as a
// reader that hands out its image must make one.
uint8_t* PngBare(const std::vector<uint8_t>& bytes) {
  MemoryFile file{bytes.data(), bytes.size(), 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) std::abort();
  png_set_read_fn(png, &file, FromMemory);
  png_read_info(png, info);
  const size_t rowBytes = png_get_rowbytes(png, info), height = png_get_image_height(png, info);
  auto* pixels = static_cast<uint8_t*>(std::malloc(rowBytes * height));
  auto* rows = static_cast<png_bytep*>(std::malloc(height * sizeof(png_bytep)));
  for (size_t y = 0; y < height; ++y) rows[y] = pixels + y * rowBytes;
  png_read_image(png, rows);
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::free(rows);
  return pixels;
}

// libjpeg alone: the library's memory source, rows straight into a new block.
uint8_t* JpegBare(const std::vector<uint8_t>& bytes) {
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  jpeg_start_decompress(&info);
  const size_t rowBytes = size_t(info.output_width) * info.output_components;
  auto* pixels = static_cast<uint8_t*>(std::malloc(rowBytes * info.output_height));
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels + info.output_scanline * rowBytes;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return pixels;
}

void PngBareFromFile() {
  uint8_t* pixels = PngBare(ReadWhole(pngPath));
  benchmark::DoNotOptimize(pixels);
  std::free(pixels);
}

void JpegBareFromFile() {
  uint8_t* pixels = JpegBare(ReadWhole(jpegPath));
  benchmark::DoNotOptimize(pixels);
  std::free(pixels);
}

void PngLoaderOnce();
void JpegLoaderOnce();

void PngThroughLoader(benchmark::State& state) {
  for (auto _ : state) PngLoaderOnce();
}
void PngLibraryAlone(benchmark::State& state) {
  for (auto _ : state) PngBareFromFile();
}
void JpegThroughLoader(benchmark::State& state) {
  for (auto _ : state) JpegLoaderOnce();
}
void JpegLibraryAlone(benchmark::State& state) {
  for (auto _ : state) JpegBareFromFile();
}

double Seconds(void (*run)()) {
  auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of several runs of each, taken in turns so that a busy moment of
// the machine weighs on both alike.
double Ratio(void (*loader)(), void (*bare)()) {
  double bestLoader = 1e30, bestBare = 1e30;
  for (int i = 0; i < kBestOf; ++i) {
    bestLoader = std::min(bestLoader, Seconds(loader));
    bestBare = std::min(bestBare, Seconds(bare));
  }
  return bestLoader / bestBare;
}

void PngLoaderOnce() { ThroughLoader(pngPath); }
void JpegLoaderOnce() { ThroughLoader(jpegPath); }

}  // namespace

int main(int argc, char** argv) {
  if (!Prepare()) {
    std::fprintf(stderr, "image_bench: cannot write the pictures to %s (error %d)\n", folder.c_str(),
                 errGetLastError());
    return 1;
  }
  benchmark::RegisterBenchmark("PngThroughLoader", PngThroughLoader)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("PngLibraryAlone", PngLibraryAlone)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("JpegThroughLoader", JpegThroughLoader)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("JpegLibraryAlone", JpegLibraryAlone)->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  const double png = Ratio(PngLoaderOnce, PngBareFromFile);
  const double jpeg = Ratio(JpegLoaderOnce, JpegBareFromFile);
  std::printf("\n%dx%d, best of %d: PNG loader / libpng = %.3f, JPEG loader / libjpeg = %.3f (goal: at most %.2f)\n",
              kSide, kSide, kBestOf, png, jpeg, kGoal);
  benchmark::Shutdown();
  Cleanup();
  return 0;
}
