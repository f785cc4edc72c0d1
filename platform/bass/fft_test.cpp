#include "platform/bass/fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr size_t kFrames = bass::Spectrum::kFrames;
constexpr size_t kBins = bass::Spectrum::kBins;

// Interleaved 16-bit frames of a sine on each channel (amplitude 0 = silent).
std::vector<int16_t> Sines(int channels, double hz, std::vector<double> amplitude) {
  std::vector<int16_t> frames(kFrames * static_cast<size_t>(channels));
  for (size_t n = 0; n < kFrames; ++n)
    for (int c = 0; c < channels; ++c) {
      const double v = std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(n) / 44100.0);
      frames[n * channels + c] = static_cast<int16_t>(std::lround(v * amplitude[c] * 32767.0));
    }
  return frames;
}

size_t PeakBin(const std::vector<float>& values, size_t offset, size_t stride) {
  size_t best = 0;
  for (size_t k = 1; k < kBins; ++k)
    if (values[offset + k * stride] > values[offset + best * stride]) best = k;
  return best;
}

TEST(Spectrum, FullScaleSineAtABinCentreReadsOne) {
  bass::Spectrum spectrum;
  for (size_t bin : {1u, 12u, 100u, 255u}) {
    const double hz = static_cast<double>(bin) * 44100.0 / kFrames;
    std::vector<float> out(kBins, -1.0f);
    spectrum.Analyse(Sines(1, hz, {1.0}), 1, 0, out);
    EXPECT_NEAR(out[bin], 1.0f, 0.001f) << "bin " << bin;
    // Hann keeps the energy in the bin and its two neighbours.
    for (size_t k = 0; k < kBins; ++k) {
      if (k + 1 < bin || k > bin + 1) {
        EXPECT_LT(out[k], 0.001f) << "bin " << bin << " k " << k;
      }
    }
  }
}

TEST(Spectrum, ChannelsStayApartInTheInterleavedLayout) {
  bass::Spectrum spectrum;
  const auto frames = Sines(2, 1000.0, {0.5, 0.0});
  std::vector<float> out(2 * kBins, -1.0f);
  spectrum.Analyse(frames, 2, 0, out, 2);
  spectrum.Analyse(frames, 2, 1, std::span<float>(out).subspan(1), 2);
  const size_t peak = PeakBin(out, 0, 2);
  EXPECT_GE(peak, 11u);
  EXPECT_LE(peak, 12u);
  EXPECT_GT(out[2 * peak], 0.25f);
  for (size_t k = 0; k < kBins; ++k) EXPECT_EQ(out[2 * k + 1], 0.0f) << k;
}

TEST(Spectrum, MixAndMonoAndSilence) {
  bass::Spectrum spectrum;
  const double hz = 40 * 44100.0 / kFrames;
  std::vector<float> out(kBins);
  // The mix of a full-scale left and a silent right is half scale.
  spectrum.Analyse(Sines(2, hz, {1.0, 0.0}), 2, -1, out);
  EXPECT_NEAR(out[40], 0.5f, 0.001f);
  // A mono frame set answers for its right side as well.
  spectrum.Analyse(Sines(1, hz, {1.0}), 1, 1, out);
  EXPECT_NEAR(out[40], 1.0f, 0.001f);
  std::vector<int16_t> silence(kFrames * 2, 0);
  spectrum.Analyse(silence, 2, 0, out);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](float v) { return v == 0.0f; }));
  // Too few frames count as silence past their end rather than being over-read.
  std::vector<int16_t> shortInput(10, 1000);
  spectrum.Analyse(shortInput, 2, 0, out);
  EXPECT_LT(out[100], 0.01f);
}

}  // namespace
