// Magnitude spectrum of 512 frames: a Hann window, a real FFT, and a scale
// under which a full-scale sine at a bin's centre frequency reads 1.0.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include <kiss_fftr.h>

namespace bass {

class Spectrum {
 public:
  static constexpr size_t kFrames = 512;
  static constexpr size_t kBins = kFrames / 2;

  Spectrum();
  Spectrum(const Spectrum&) = delete;
  Spectrum& operator=(const Spectrum&) = delete;

  // frames holds kFrames interleaved frames of `channels` 16-bit samples.
  // Analyses channel `channel` (the last one when there are fewer), or the
  // mean of all channels when it is -1,
  // and writes bin k to out[k * stride] for k below kBins.
  void Analyse(std::span<const int16_t> frames, int channels, int channel, std::span<float> out,
               size_t stride = 1);

 private:
  std::vector<float> window_;
  std::vector<float> input_;
  std::vector<kiss_fft_cpx> output_;
  std::vector<std::max_align_t> state_;  // kissfft's tables, in our own storage
  kiss_fftr_cfg cfg_ = nullptr;
};

}  // namespace bass
