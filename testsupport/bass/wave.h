// Test helper: what OpenAL Soft's wave writer put into its file, and how
// strongly a tone sounds in it.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace bass_test {

// The first `data` chunk of a RIFF WAVE file, with its sample format.
struct WaveData {
  int channels = 0;
  int bits = 0;
  bool isFloat = false;
  std::string samples;

  size_t Frames() const { return channels && bits ? samples.size() / (static_cast<size_t>(channels) * (bits / 8)) : 0; }
  // Sample `channel` of `frame` in -1 to 1.
  double At(size_t frame, int channel) const {
    const size_t width = static_cast<size_t>(bits / 8);
    const char* p = samples.data() + (frame * static_cast<size_t>(channels) + static_cast<size_t>(channel)) * width;
    if (isFloat) {
      float f;
      std::memcpy(&f, p, 4);
      return f;
    }
    int16_t s;
    std::memcpy(&s, p, 2);
    return s / 32768.0;
  }
};

inline WaveData ReadWave(const std::string& file) {
  WaveData w;
  size_t at = 12;
  while (at + 8 <= file.size()) {
    uint32_t size = 0;
    std::memcpy(&size, file.data() + at + 4, 4);
    const std::string id = file.substr(at, 4);
    const size_t body = at + 8;
    if (id == "fmt " && body + 16 <= file.size()) {
      uint16_t tag = 0, ch = 0, bits = 0;
      std::memcpy(&tag, file.data() + body, 2);
      std::memcpy(&ch, file.data() + body + 2, 2);
      std::memcpy(&bits, file.data() + body + 14, 2);
      if (tag == 0xfffe && body + 26 <= file.size()) std::memcpy(&tag, file.data() + body + 24, 2);
      w.channels = ch;
      w.bits = bits;
      w.isFloat = tag == 3;
    } else if (id == "data") {
      // A writer that was not closed leaves the size open; take the rest.
      w.samples = file.substr(body, std::min<size_t>(size, file.size() - body));
      break;
    }
    at = body + size + (size & 1);
  }
  return w;
}

// The amplitude of a sine of `hz` in the left channel of frames first to
// first + count - 1 (a Goertzel filter), as a fraction of the peak the
// stretch's loudness would give a pure tone: near 1 when that tone is all
// there is, small when it is absent.
inline double ToneShare(const WaveData& w, size_t first, size_t count, double hz, double rate = 44100) {
  if (count == 0 || first + count > w.Frames()) return 0;
  const double k = 2 * std::cos(2 * std::numbers::pi * hz / rate);
  double s1 = 0, s2 = 0, energy = 0;
  for (size_t i = 0; i < count; ++i) {
    const double x = w.At(first + i, 0);
    energy += x * x;
    const double s0 = x + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
  const double amplitude = 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(count);
  const double rms = std::sqrt(energy / static_cast<double>(count));
  return rms > 0 ? amplitude / (rms * std::numbers::sqrt2) : 0;
}

}  // namespace bass_test
