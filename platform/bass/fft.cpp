#include "platform/bass/fft.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bass {
namespace {

// The periodic Hann window sums to kFrames / 2, so a sine of amplitude A
// centred on a bin yields a coefficient of A * kFrames / 4 there.
constexpr float kMagnitudeScale = 4.0f / static_cast<float>(Spectrum::kFrames);
constexpr float kSampleScale = 1.0f / 32768.0f;

}  // namespace

Spectrum::Spectrum()
    : window_(kFrames), input_(kFrames), output_(kBins + 1) {
  for (size_t n = 0; n < kFrames; ++n) {
    const double phase = 2.0 * std::numbers::pi * static_cast<double>(n) / kFrames;
    window_[n] = static_cast<float>(0.5 * (1.0 - std::cos(phase)));
  }
  size_t bytes = 0;
  kiss_fftr_alloc(static_cast<int>(kFrames), 0, nullptr, &bytes);
  state_.resize((bytes + sizeof(std::max_align_t) - 1) / sizeof(std::max_align_t));
  cfg_ = kiss_fftr_alloc(static_cast<int>(kFrames), 0, state_.data(), &bytes);
}

void Spectrum::Analyse(std::span<const int16_t> frames, int channels, int channel,
                       std::span<float> out, size_t stride) {
  const size_t width = channels > 0 ? static_cast<size_t>(channels) : 1;
  // A mono stream answers for both of its sides.
  const bool mix = channel < 0;
  const size_t pick = mix ? 0 : std::min(static_cast<size_t>(channel), width - 1);
  for (size_t n = 0; n < kFrames; ++n) {
    float v = 0.0f;
    const size_t at = n * width;
    if (at + width <= frames.size()) {
      if (mix) {
        for (size_t c = 0; c < width; ++c) v += frames[at + c];
        v /= static_cast<float>(width);
      } else {
        v = frames[at + pick];
      }
    }
    input_[n] = v * kSampleScale * window_[n];
  }
  kiss_fftr(cfg_, input_.data(), output_.data());
  for (size_t k = 0; k < kBins && k * stride < out.size(); ++k)
    out[k * stride] = std::hypot(output_[k].r, output_[k].i) * kMagnitudeScale;
}

}  // namespace bass
