// Shared pieces of the font renderer's tests: the DejaVu face and a target
// bitmap fenced by canary bytes on both sides.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "framework/fr/FR.h"

namespace frtest {

inline constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
inline constexpr uint8_t kCanary = 0xA5;
inline constexpr size_t kFence = 64;

class Target {
 public:
  Target(int width, int height, int bits, uint8_t background = 0)
      : bytes_(static_cast<size_t>(width) * height * (bits / 8)),
        store_(bytes_ + 2 * kFence, kCanary) {
    std::memset(store_.data() + kFence, background, bytes_);
    bitmap_.type = TX_TYPE_RGB;
    bitmap_.subtype = bits == 32 ? TX_SUB_32 : bits == 8 ? TX_SUB_GREY : TX_SUB_24;
    bitmap_.width = width;
    bitmap_.height = height;
    bitmap_.bits = bits;
    bitmap_.levels = 1;
    bitmap_.sizes[0] = static_cast<int32_t>(bytes_);
    bitmap_.data[0] = store_.data() + kFence;
  }
  txBitmap* bitmap() { return &bitmap_; }
  const uint8_t* pixel(int x, int y) const {
    return bitmap_.data[0] + (static_cast<size_t>(y) * bitmap_.width + x) * (bitmap_.bits / 8);
  }
  std::vector<uint8_t> pixels() const { return {bitmap_.data[0], bitmap_.data[0] + bytes_}; }
  bool fencesIntact() const {
    for (size_t i = 0; i < kFence; ++i)
      if (store_[i] != kCanary || store_[kFence + bytes_ + i] != kCanary) return false;
    return true;
  }

 private:
  size_t bytes_;
  std::vector<uint8_t> store_;
  txBitmap bitmap_{};
};

}  // namespace frtest
