// Test fixtures of the sound system: Ogg Vorbis tones made by libvorbisenc,
// damaged copies of them, packed archives holding them, and counts of what a
// test may leave behind (open files, tracked blocks).
#pragma once
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "testsupport/base/file-pack.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/bass/ogg.h"
#include "testsupport/testsupport.h"

namespace fsstest {

using Bytes = std::vector<uint8_t>;

// An Ogg Vorbis image of a sine of `hz` with the given amplitude (0 to 1) on
// every channel, seconds x rate frames long (rounded).
inline Bytes ToneOgg(int channels, long rate, double seconds, double hz, float amplitude) {
  const long frames = std::lround(seconds * static_cast<double>(rate));
  return bass_test::EncodeOgg(channels, rate, frames, [=](long i, int) {
    const double v = std::sin(2.0 * std::numbers::pi * hz * static_cast<double>(i) / static_cast<double>(rate));
    return static_cast<float>(v) * amplitude;
  });
}

inline std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

inline bool WriteBytes(const std::string& path, const Bytes& bytes) { return qt::WriteFile(path, AsText(bytes)); }

inline bool WriteTone(const std::string& path, int channels, long rate, double seconds, double hz,
                      float amplitude) {
  const Bytes ogg = ToneOgg(channels, rate, seconds, hz, amplitude);
  return !ogg.empty() && WriteBytes(path, ogg);
}

// A packed archive ("QRNP") holding the items, written to path; its entries
// are named as the file layer looks them up ("\" between folder names).
inline bool WriteArchive(const std::string& path, const std::vector<packtest::Item>& items) {
  return qt::WriteFile(path, packtest::Archive(items));
}

// Where each page of an Ogg image starts and how long it is.
struct OggPage {
  size_t offset;
  size_t length;
};

inline std::vector<OggPage> OggPages(const Bytes& ogg) {
  constexpr size_t kHeader = 27;  // up to and with the segment count
  std::vector<OggPage> pages;
  size_t at = 0;
  while (at + kHeader <= ogg.size() && std::equal(ogg.begin() + at, ogg.begin() + at + 4, "OggS")) {
    const size_t segments = ogg[at + kHeader - 1];
    if (at + kHeader + segments > ogg.size()) break;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += ogg[at + kHeader + i];
    const size_t length = kHeader + segments + body;
    if (at + length > ogg.size()) break;
    pages.push_back({at, length});
    at += length;
  }
  return pages;
}

// The image without one of its pages: the decoder finds a gap in the data
// there.
inline Bytes WithoutPage(const Bytes& ogg, const OggPage& page) {
  Bytes out(ogg.begin(), ogg.begin() + static_cast<std::ptrdiff_t>(page.offset));
  out.insert(out.end(), ogg.begin() + static_cast<std::ptrdiff_t>(page.offset + page.length), ogg.end());
  return out;
}

// The process's open file descriptors.
inline size_t OpenFiles() {
  size_t n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
  return n;
}

// The live tracked blocks, one "file:line -> n bytes" entry each.
inline std::vector<std::string> TrackedBlocks() { return tlfix::TrackedBlocks(); }

}  // namespace fsstest
