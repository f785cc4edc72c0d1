// DXT block decoding throughput on a 2048 x 2048 image: the software path
// that every texture takes when the GL cannot take its blocks.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "framework/tl/dxt.h"

namespace {

constexpr int32_t kSide = 2048;

// Random blocks: every palette mode and index pattern turns up.
std::vector<uint8_t> RandomBlocks(int64_t blockBytes) {
  std::vector<uint8_t> blocks(static_cast<size_t>(dxt::LevelBytes(kSide, kSide, blockBytes)));
  std::mt19937 random(2048);
  for (auto& b : blocks) b = static_cast<uint8_t>(random());
  return blocks;
}

void Decode(benchmark::State& state, uint32_t fourcc, int32_t bits) {
  const dxt::Format& f = *dxt::FormatOf(fourcc);
  std::vector<uint8_t> blocks = RandomBlocks(f.blockBytes);
  std::vector<uint8_t> pixels(static_cast<size_t>(dxt::DecodedBytes(kSide, kSide, bits)));
  for (auto _ : state) {
    f.decode(blocks.data(), pixels.data(), kSide, kSide, bits);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kSide * kSide);  // pixels
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size()));
}

}  // namespace

BENCHMARK_CAPTURE(Decode, DXT1_24bit, dxt::FourCC('D', 'X', 'T', '1'), 24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, DXT1_32bit, dxt::FourCC('D', 'X', 'T', '1'), 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, DXT3, dxt::FourCC('D', 'X', 'T', '3'), 32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Decode, DXT5, dxt::FourCC('D', 'X', 'T', '5'), 32)->Unit(benchmark::kMillisecond);
