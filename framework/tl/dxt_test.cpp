#include "framework/tl/dxt.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "framework/base/log.h"
#include "testsupport/tl/dxtfixtures.h"

using dxtfix::All;
using dxtfix::Bytes;
using dxtfix::Cat;

namespace {

constexpr uint16_t kWhite = 0xFFFF, kBlack = 0x0000, kBlue = 0x001F, kRed = 0xF800;

int DecodeAs(uint32_t fourcc, const Bytes& blocks, uint8_t* pixels, int32_t w, int32_t h, int32_t bits) {
  return dxt::FormatOf(fourcc)->decode(blocks.data(), pixels, w, h, bits);
}

// One 4 x 4 block decoded; the pixel (x, y) of the result.
struct Golden {
  const char* what;
  uint32_t fourcc;
  Bytes block;
  int bits;
  int x, y;
  std::array<int, 4> rgba;  // alpha -1: not written (24 bits)
};

TEST(DxtDecode, GoldenBlocks) {
  std::array<int, 16> twoThenThree = All(2);
  twoThenThree[5] = 3;
  std::array<int, 16> alphas = All(0);
  alphas[1] = 15;
  alphas[6] = 7;
  std::array<int, 16> alphaIndex = All(2);
  alphaIndex[0] = 7;
  alphaIndex[9] = 6;
  alphaIndex[15] = 1;
  const Bytes opaque3 = dxtfix::Dxt3AlphaPart(All(15));
  const Bytes redWithAlphas = Cat(dxtfix::Dxt3AlphaPart(alphas), dxtfix::ColourPart(kRed, kRed, All(0)));
  // Blue DXT5 blocks whose alpha end points are a0 and a1, indexed by alphaIndex.
  auto blueWithAlphas = [&](int a0, int a1) {
    return Cat(dxtfix::Dxt5AlphaPart(a0, a1, alphaIndex), dxtfix::ColourPart(kBlue, kBlue, All(0)));
  };
  const Golden cases[] = {
      // Shift-only expansion: white is 248, 252, 248.
      {"DXT1 white", dxtfix::kDXT1, dxtfix::ColourPart(kWhite, kBlack, All(0)), 24, 0, 0, {248, 252, 248, -1}},
      {"DXT1 four colours, index 2", dxtfix::kDXT1, dxtfix::ColourPart(kWhite, kBlack, All(2)), 32, 3, 3,
       {165, 168, 165, 255}},
      {"DXT1 four colours, index 3", dxtfix::kDXT1, dxtfix::ColourPart(kWhite, kBlack, All(3)), 32, 1, 2,
       {83, 84, 83, 255}},
      {"DXT1 three colours, index 2 is the mean", dxtfix::kDXT1, dxtfix::ColourPart(kBlue, kRed, twoThenThree), 24,
       0, 0, {124, 0, 124, -1}},
      {"DXT1 three colours, index 3 is black with alpha 0", dxtfix::kDXT1,
       dxtfix::ColourPart(kBlue, kRed, twoThenThree), 32, 1, 1, {0, 0, 0, 0}},
      {"DXT1 index 3 at 24 bits is black", dxtfix::kDXT1, dxtfix::ColourPart(kBlue, kRed, twoThenThree), 24, 1, 1,
       {0, 0, 0, -1}},
      {"DXT3 keeps four colours when c0 <= c1", dxtfix::kDXT3,
       Cat(opaque3, dxtfix::ColourPart(kBlack, kWhite, All(3))), 32, 2, 0, {165, 168, 165, 255}},
      {"DXT3 alpha 15 is 255", dxtfix::kDXT3, redWithAlphas, 32, 1, 0, {248, 0, 0, 255}},
      {"DXT3 alpha 7 is 119", dxtfix::kDXT3, redWithAlphas, 32, 2, 1, {248, 0, 0, 119}},
      {"DXT3 alpha 0", dxtfix::kDXT3, redWithAlphas, 32, 0, 0, {248, 0, 0, 0}},
      {"DXT5 (255, 0) index 7 is 36", dxtfix::kDXT5, blueWithAlphas(255, 0), 32, 0, 0, {0, 0, 248, 36}},
      {"DXT5 (255, 0) index 2", dxtfix::kDXT5, blueWithAlphas(255, 0), 32, 1, 0, {0, 0, 248, 219}},
      {"DXT5 (255, 0) index 1 is a1", dxtfix::kDXT5, blueWithAlphas(255, 0), 32, 3, 3, {0, 0, 248, 0}},
      {"DXT5 (0, 255) index 6 is 0", dxtfix::kDXT5, blueWithAlphas(0, 255), 32, 1, 2, {0, 0, 248, 0}},
      {"DXT5 (0, 255) index 7 is 255", dxtfix::kDXT5, blueWithAlphas(0, 255), 32, 0, 0, {0, 0, 248, 255}},
      {"DXT5 (0, 255) index 2", dxtfix::kDXT5, blueWithAlphas(0, 255), 32, 2, 2, {0, 0, 248, 51}},
      // Equal end points are the six-value case: indices 6 and 7 stay 0 and 255.
      {"DXT5 (90, 90) index 6 is 0", dxtfix::kDXT5, blueWithAlphas(90, 90), 32, 1, 2, {0, 0, 248, 0}},
      {"DXT5 (90, 90) index 7 is 255", dxtfix::kDXT5, blueWithAlphas(90, 90), 32, 0, 0, {0, 0, 248, 255}},
      {"DXT5 at 24 bits drops the alpha", dxtfix::kDXT5,
       Cat(dxtfix::Dxt5AlphaPart(0, 255, alphaIndex), dxtfix::ColourPart(kWhite, kBlack, All(1))), 24, 0, 0,
       {0, 0, 0, -1}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(static_cast<int64_t>(c.block.size()), dxtfix::BlockBytes(c.fourcc));
    const int step = c.bits / 8;
    std::vector<uint8_t> pixels(16 * step, 0xCD);
    ASSERT_EQ(DecodeAs(c.fourcc, c.block, pixels.data(), 4, 4, c.bits), 0);
    const uint8_t* p = pixels.data() + (4 * c.y + c.x) * step;
    EXPECT_EQ(p[0], c.rgba[0]);
    EXPECT_EQ(p[1], c.rgba[1]);
    EXPECT_EQ(p[2], c.rgba[2]);
    if (c.rgba[3] >= 0) {
      EXPECT_EQ(p[3], c.rgba[3]);
    }
  }
}

// Each block a solid colour of its own (c0 = its number); the image must
// show block (x / 4, y / 4) at pixel (x, y) and write nothing else.
TEST(DxtDecode, WritesOnlyItsOwnPixels) {
  struct Case {
    uint32_t fourcc;
    int32_t w, h, bits;
  };
  const Case cases[] = {{dxtfix::kDXT3, 2, 2, 32}, {dxtfix::kDXT1, 2, 2, 24}, {dxtfix::kDXT1, 1, 1, 32},
                        {dxtfix::kDXT5, 5, 3, 32}, {dxtfix::kDXT1, 9, 6, 24}, {dxtfix::kDXT5, 8, 4, 24}};
  constexpr size_t kCanary = 64;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << dxt::NameOf(c.fourcc) << " " << c.w << "x" << c.h << " " << c.bits);
    const int across = (c.w + 3) / 4, down = (c.h + 3) / 4;
    Bytes blocks;
    for (int k = 0; k < across * down; ++k) {
      uint16_t colour = static_cast<uint16_t>(0x0841 * (k + 1));
      Bytes colourPart = dxtfix::ColourPart(colour, colour, All(0));
      if (c.fourcc == dxtfix::kDXT1) blocks = Cat(blocks, colourPart);
      else blocks = Cat(Cat(blocks, Bytes(8, 0xFF)), colourPart);  // alpha 255 in both layouts
    }
    const size_t step = static_cast<size_t>(c.bits / 8), bytes = static_cast<size_t>(c.w * c.h) * step;
    std::vector<uint8_t> buffer(kCanary + bytes + kCanary, 0xCD);
    uint8_t* pixels = buffer.data() + kCanary;
    ASSERT_EQ(DecodeAs(c.fourcc, blocks, pixels, c.w, c.h, c.bits), 0);
    for (size_t i = 0; i < kCanary; ++i) {
      ASSERT_EQ(buffer[i], 0xCD) << "before, at " << i;
      ASSERT_EQ(buffer[kCanary + bytes + i], 0xCD) << "after, at " << i;
    }
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) {
        uint16_t colour = static_cast<uint16_t>(0x0841 * ((y / 4) * across + x / 4 + 1));
        const uint8_t* p = pixels + (static_cast<size_t>(y * c.w + x)) * step;
        ASSERT_EQ(p[0], (colour >> 11) << 3) << x << "," << y;
        ASSERT_EQ(p[1], ((colour >> 5) & 63) << 2) << x << "," << y;
        ASSERT_EQ(p[2], (colour & 31) << 3) << x << "," << y;
        if (step == 4) {
          ASSERT_EQ(p[3], 255) << x << "," << y;
        }
      }
  }
}

// A walk stops at the 1 x 1 level, which the longer side decides: a strip
// of 8 x 2 has 8 x 2, 4 x 1, 2 x 1 and 1 x 1.
TEST(DxtPlan, LevelsEndWhereTheLongerSideReachesOne) {
  txOptions(TX_OPT_QUALITY, 0);
  struct Case {
    int32_t width, height;
    int64_t declared;
    int count;
  } cases[] = {{8, 2, 13, 4}, {2, 8, 13, 4}, {8, 8, 13, 4}, {8, 2, 3, 3}, {1, 1, 5, 1}, {4096, 1, 20, 13}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.declared << " declared");
    dxt::Plan plan;
    ASSERT_EQ(dxt::MakePlan(dxtfix::kDXT1, c.width, c.height, c.declared, false, plan), 0);
    EXPECT_EQ(plan.count, c.count);
  }
}

TEST(DxtDecode, BadArgumentsAreRefused) {
  Bytes block(16, 0);
  uint8_t pixels[64] = {};
  struct Case {
    const char* what;
    const uint8_t* blocks;
    uint8_t* pixels;
    int32_t w, h, bits;
  };
  const Case cases[] = {{"no blocks", nullptr, pixels, 4, 4, 32},
                        {"no pixels", block.data(), nullptr, 4, 4, 32},
                        {"width 0", block.data(), pixels, 0, 4, 32},
                        {"negative height", block.data(), pixels, 4, -4, 32},
                        {"16 bits", block.data(), pixels, 4, 4, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(dxt1Decompress(c.blocks, c.pixels, c.w, c.h, c.bits), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(dxt5Decompress(c.blocks, c.pixels, c.w, c.h, c.bits), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
  }
}

}  // namespace
