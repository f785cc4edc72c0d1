#include "framework/tl/converters.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/testsupport.h"

namespace {

// A one-level bitmap of the given depth holding the given bytes.
txBitmap* Make(int w, int h, int bits, const std::vector<uint8_t>& bytes) {
  int kind = bits == 32 ? 2 : bits == 8 ? 3 : 0;
  txBitmap* b = txCreateDummy(kind, w, h);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(static_cast<size_t>(b->sizes[0]), bytes.size());
  std::memcpy(b->data[0], bytes.data(), bytes.size());
  b->type = 0;
  b->subtype = bits == 24 ? 0 : bits == 32 ? 2 : 3;
  return b;
}

std::vector<uint8_t> Level0(const txBitmap* b) { return {b->data[0], b->data[0] + b->sizes[0]}; }

TEST(Converters, DepthRoundTrips) {
  std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6};
  txBitmap* b = Make(2, 1, 24, rgb);
  ASSERT_EQ(tx24to32(b), 0);
  EXPECT_EQ(b->bits, 32);
  EXPECT_EQ(b->subtype, 2);  // four channels now
  EXPECT_EQ(Level0(b), (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
  ASSERT_EQ(tx32to24(b), 0);
  EXPECT_EQ(b->bits, 24);
  EXPECT_EQ(b->subtype, 0);
  EXPECT_EQ(Level0(b), rgb);

  txBitmap* third = Make(2, 1, 24, rgb);
  ASSERT_EQ(tx24to8(third, 2), 0);  // the last of the three channels
  EXPECT_EQ(Level0(third), (std::vector<uint8_t>{3, 6}));
  txFree(&third);

  ASSERT_EQ(tx24to8(b, 1), 0);
  EXPECT_EQ(b->bits, 8);
  EXPECT_EQ(b->subtype, 3);
  EXPECT_EQ(Level0(b), (std::vector<uint8_t>{2, 5}));
  ASSERT_EQ(tx8to24(b), 0);
  EXPECT_EQ(b->subtype, 0);
  EXPECT_EQ(Level0(b), (std::vector<uint8_t>{2, 2, 2, 5, 5, 5}));
  txFree(&b);
}

TEST(Converters, OtherDepthsAreLeftAloneOrRefused) {
  txBitmap* grey = Make(2, 1, 8, {9, 8});
  EXPECT_EQ(tx32to24(grey), 0);
  EXPECT_EQ(tx24to32(grey), 0);
  EXPECT_EQ(Level0(grey), (std::vector<uint8_t>{9, 8}));
  EXPECT_EQ(tx24to8(grey, 0), -1);
  EXPECT_EQ(errGetLastError(), 1004);
  EXPECT_EQ(txIntensity(grey, 1), nullptr);
  EXPECT_EQ(errGetLastError(), 1004);
  txFree(&grey);

  txBitmap* rgba = Make(1, 1, 32, {1, 2, 3, 4});
  EXPECT_EQ(tx24to8(rgba, 0), -1);
  EXPECT_EQ(errGetLastError(), 1004);
  EXPECT_EQ(tx8to24(rgba), -1);
  EXPECT_EQ(errGetLastError(), 1004);
  txFree(&rgba);

  txBitmap* rgb = Make(1, 1, 24, {1, 2, 3});
  EXPECT_EQ(tx24to8(rgb, 3), -1);  // there are three channels
  EXPECT_EQ(errGetLastError(), 10);
  EXPECT_EQ(tx24to8(rgb, -1), -1);
  txFree(&rgb);
  EXPECT_EQ(txIntensity(nullptr, 0), nullptr);
  EXPECT_EQ(errGetLastError(), 1000);
}

TEST(Converters, IntensityWeightsStoredBytes) {
  txBitmap* red = Make(1, 1, 24, {255, 0, 0});
  txBitmap* w = txIntensity(red, 1);
  txBitmap* u = txIntensity(red, 0);
  ASSERT_TRUE(w && u);
  EXPECT_EQ(w->data[0][0], 76);
  EXPECT_EQ(u->data[0][0], 85);
  EXPECT_EQ(w->bits, 8);
  EXPECT_EQ(w->subtype, 3);
  EXPECT_EQ(red->bits, 24);  // the source stays as it was
  txFree(&w);
  txFree(&u);
  txFree(&red);

  txBitmap* rgba = Make(2, 1, 32, {0, 255, 0, 9, 30, 60, 90, 9});
  txBitmap* i = txIntensity(rgba, 0);
  ASSERT_NE(i, nullptr);
  EXPECT_EQ(Level0(i), (std::vector<uint8_t>{85, 60}));
  txFree(&i);
  txFree(&rgba);
}

TEST(Converters, PaletteAndInvert) {
  uint8_t palette[256 * 4] = {};
  palette[4 * 7] = 10, palette[4 * 7 + 1] = 20, palette[4 * 7 + 2] = 30, palette[4 * 7 + 3] = 99;
  uint8_t indices[2] = {7, 0};
  uint8_t out[6];
  txExpandPalette(indices, out, 2, palette);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 6), (std::vector<uint8_t>{10, 20, 30, 0, 0, 0}));

  txBitmap* b = Make(1, 1, 24, {0, 0x0F, 0xFF});
  EXPECT_EQ(txInvert(b), 0);
  EXPECT_EQ(Level0(b), (std::vector<uint8_t>{0xFF, 0xF0, 0}));
  txFree(&b);
}

// Each row: source size, target size, depth, source bytes, expected bytes.
struct ScaleCase {
  int w, h, nw, nh, bits;
  std::vector<uint8_t> in, out;
};

TEST(Converters, ScaleIsABoxFilter) {
  const std::vector<ScaleCase> cases = {
      // 4x4 to 2x2, one byte: each target is the truncated mean of its square.
      {4, 4, 2, 2, 8, {0, 1, 10, 10, 1, 1, 10, 11, 5, 5, 255, 255, 5, 6, 255, 255}, {0, 10, 5, 255}},
      // Same size copies.
      {2, 1, 2, 1, 24, {1, 2, 3, 4, 5, 6}, {1, 2, 3, 4, 5, 6}},
      // 3x3 to 2x2: cells take 2x2, 1x2, 2x1 and 1x1 source pixels.
      {3, 3, 2, 2, 8, {0, 4, 9, 8, 12, 30, 100, 200, 50}, {6, 19, 150, 50}},
      // 2x1 to 1x1 with four channels.
      {2, 1, 1, 1, 32, {10, 20, 30, 40, 11, 21, 31, 41}, {10, 20, 30, 40}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + "->" + std::to_string(c.nw) + "x" +
                 std::to_string(c.nh) + " bits " + std::to_string(c.bits));
    txBitmap* b = Make(c.w, c.h, c.bits, c.in);
    ASSERT_EQ(txScale(b, c.nw, c.nh), 0);
    EXPECT_EQ(b->width, c.nw);
    EXPECT_EQ(b->height, c.nh);
    EXPECT_EQ(b->sizes[0], c.nw * c.nh * c.bits / 8);
    EXPECT_EQ(Level0(b), c.out);
    txFree(&b);
  }
}

TEST(Converters, ScaleClampsAndRefuses) {
  txBitmap* b = Make(3, 1, 8, {3, 6, 9});
  ASSERT_EQ(txScale(b, 0, 0), 0);  // a side of 0 becomes 1
  EXPECT_EQ(b->width, 1);
  EXPECT_EQ(b->height, 1);
  EXPECT_EQ(Level0(b), (std::vector<uint8_t>{6}));
  txFree(&b);

  txBitmap* multi = Make(2, 2, 8, {1, 2, 3, 4});
  multi->levels = 2;
  EXPECT_EQ(txScale(multi, 1, 1), -1);
  EXPECT_EQ(errGetLastError(), 10);
  multi->levels = 1;
  multi->type = 5;  // DXT blocks are no pixels
  EXPECT_EQ(txScale(multi, 1, 1), -1);
  txFree(&multi);

  txBitmap* wide = txCreateDummy(0, 2, 1);
  wide->bits = 16;
  EXPECT_EQ(txScale(wide, 1, 1), -1);
  EXPECT_EQ(errGetLastError(), 1004);
  txFree(&wide);
}

TEST(Converters, ScaleLogsAndNeverEnlarges) {
  qt::TempDir dir;
  std::string log = dir / "debug.log";
  auto r = qt::RunInChild([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgSetFlag(SYS_DBG_ON);
    txBitmap* b = txCreateDummy(0, 8, 8);
    if (txScale(b, 8, 16) != 0 || b->width != 8 || b->height != 8) _exit(2);
    txScale(b, 16, 16);
    txScale(b, 16, 4);
    txScale(b, 4, 4);
    txFree(&b);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto lines = qt::SplitLines(qt::ReadFile(log));
  std::vector<std::string> tails;
  for (const auto& l : lines) tails.push_back(l.substr(l.find("()] ") + 4));
  EXPECT_EQ(tails, (std::vector<std::string>{"!!! --- scale to 8x16", "!!! Scale ... please implement me.",
                                             "!!! --- scale to 16x16", "!!! Magnify ... please implement me.",
                                             "!!! --- scale to 16x4", "!!! Scale ... please implement me.",
                                             "!!! --- scale to 4x4"}));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].rfind("[TL][converters.cpp:", 0), 0u) << lines[0];
}

}  // namespace
