#include "platform/bass/decoder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "testsupport/bass/ogg.h"
#include "testsupport/testsupport.h"

namespace {

TEST(Decoder, DecodesAWholeImageFromMemory) {
  const auto image = bass_test::StereoTone(0.5, 440.0, 0.5f, 0.25f);
  ASSERT_GT(image.size(), 100u);
  auto dec = bass::Decoder::Open(image);
  ASSERT_TRUE(dec);
  EXPECT_EQ(dec->Channels(), 2);
  EXPECT_EQ(dec->Rate(), 44100u);
  EXPECT_EQ(dec->TotalFrames(), 22050u);
  std::vector<int16_t> pcm(4000 * 2);
  size_t total = 0;
  int peakLeft = 0, peakRight = 0;
  while (size_t n = dec->Read(pcm)) {
    total += n;
    for (size_t i = 0; i < n; ++i) {
      peakLeft = std::max(peakLeft, std::abs(int{pcm[2 * i]}));
      peakRight = std::max(peakRight, std::abs(int{pcm[2 * i + 1]}));
    }
  }
  EXPECT_EQ(total, 22050u);
  EXPECT_NEAR(peakLeft, 16384, 1500);
  EXPECT_NEAR(peakRight, 8192, 1500);
  // Seeking back gives the same frames again.
  ASSERT_TRUE(dec->Seek(22000));
  EXPECT_EQ(dec->Read(pcm), 50u);
}

TEST(Decoder, MonoAndOtherRates) {
  const auto image = bass_test::EncodeOgg(1, 22050, 11025, [](long i, int) { return (i % 50) / 100.0f; });
  auto dec = bass::Decoder::Open(image);
  ASSERT_TRUE(dec);
  EXPECT_EQ(dec->Channels(), 1);
  EXPECT_EQ(dec->Rate(), 22050u);
  EXPECT_EQ(dec->TotalFrames(), 11025u);
}

TEST(Decoder, BrokenImagesFailOrEndCleanly) {
  const auto good = bass_test::StereoTone(0.3, 440.0, 0.5f, 0.5f);
  EXPECT_FALSE(bass::Decoder::Open({}));
  std::vector<uint8_t> noise(5000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919u >> 3);
  EXPECT_FALSE(bass::Decoder::Open(noise));
  // Cut in the headers, or in the audio: either no decoder, or one that
  // ends without reading past the bytes it was given.
  for (size_t cut : {20ul, 200ul, 3000ul, good.size() / 2, good.size() - 1}) {
    std::vector<uint8_t> part(good.begin(), good.begin() + static_cast<long>(cut));
    auto dec = bass::Decoder::Open(part);
    if (!dec) continue;
    std::vector<int16_t> pcm(2048 * 2);
    size_t total = 0;
    while (size_t n = dec->Read(pcm)) total += n;
    EXPECT_LE(total, 44100u * 3 / 10) << cut;
  }
  // Damaged audio pages: decoding goes on or stops, within bounds.
  std::vector<uint8_t> damaged = good;
  for (size_t i = good.size() / 3; i < good.size(); i += 97) damaged[i] ^= 0x5a;
  if (auto dec = bass::Decoder::Open(damaged)) {
    std::vector<int16_t> pcm(2048 * 2);
    while (dec->Read(pcm) != 0) {
    }
  }
}

// Seeds for the decoder's fuzz target: stereo, mono at another rate, and a
// very short stream. With QUARN_WRITE_SEEDS naming the fuzz corpus folder
// they are (re)written into its "ogg" folder.
TEST(Decoder, FuzzSeedsDecode) {
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> seeds = {
      {"stereo.ogg", bass_test::StereoTone(0.2, 1000.0, 0.5f, 0.1f)},
      {"mono22k.ogg", bass_test::EncodeOgg(1, 22050, 3000, [](long i, int) { return (i % 40) / 80.0f; })},
      {"tiny.ogg", bass_test::StereoTone(0.001, 440.0, 0.5f, 0.5f)},
  };
  const char* out = std::getenv("QUARN_WRITE_SEEDS");
  for (const auto& [name, bytes] : seeds) {
    auto dec = bass::Decoder::Open(bytes);
    ASSERT_TRUE(dec) << name;
    std::vector<int16_t> pcm(2048 * 2);
    EXPECT_GT(dec->Read(pcm), 0u) << name;
    if (out != nullptr) {
      const std::string dir = std::string(out) + "/ogg";
      mkdir(dir.c_str(), 0755);
      ASSERT_TRUE(qt::WriteFile(dir + "/" + name, std::string(bytes.begin(), bytes.end())));
    }
  }
}

}  // namespace
