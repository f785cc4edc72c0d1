#include "app/playback.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/musicdisk.h"
#include "testsupport/app/gl.h"
#include "units/random.h"

using apptest::Rec;

namespace {

TEST(OrderOfPlay, NextMainTrack) {
  RandSeedSet(0);
  BuildShuffleOrder();
  struct Case {
    int32_t track;
    bool shuffle;
    int32_t next;
  } cases[] = {
      {0, false, 1}, {17, false, 18}, {18, false, 0},  // in order, 18 wraps to 0
      {17, true, 2}, {0, true, 13},   {15, true, 17},  {17, true, 2},
      {19, true, 0}, {-1, true, 0},  // not in the shuffle order: track 0
  };
  for (const auto& c : cases) EXPECT_EQ(NextMainTrack(c.track, c.shuffle), c.next) << c.track << " " << c.shuffle;
  // Shuffle play visits every main track once before it comes round again.
  std::vector<int32_t> seen;
  int32_t t = 2;
  for (int i = 0; i < kMainTracks; ++i) seen.push_back(t = NextMainTrack(t, true));
  std::sort(seen.begin(), seen.end());
  for (int i = 0; i < kMainTracks; ++i) EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

TEST(OrderOfPlay, NoStreamIsNoEnd) {
  Playback.MusicStream = 0;
  EXPECT_FALSE(PieceEnded());
  Playback.CurrentTrack = 5;
  MainTrackEndTest();
  EXPECT_EQ(Playback.CurrentTrack, 5);
}

TEST(PlayTime, Text) {
  EXPECT_EQ(PlayTimeStr(0), "00:00");
  EXPECT_EQ(PlayTimeStr(176399), "00:00");
  EXPECT_EQ(PlayTimeStr(176400 * 61), "01:01");
  EXPECT_EQ(PlayTimeStr(176400 * 187), "03:07");
  EXPECT_EQ(PlayTimeStr(176400u * 6000u), "100:00");
  EXPECT_EQ(PlayTimeStr(0xFFFFFFFFu), "405:47");  // read as unsigned
}

TEST(SpectrumDisplay, SumsAndMeterBlocks) {
  std::fill(std::begin(Playback.Spectrum), std::end(Playback.Spectrum), 0.0f);
  // Left bins 1 and 2, right bin 2: bin 2 counts in the low and middle sums.
  Playback.Spectrum[2 * 1] = 0.02f;
  Playback.Spectrum[2 * 2] = 0.03f;
  Playback.Spectrum[2 * 2 + 1] = 0.5f;
  Playback.Spectrum[2 * 200 + 1] = 0.125f;
  Playback.Spectrum[2 * 255] = 0.1f;  // the top bin counts in band 7 but not in the high layers
  EXPECT_FLOAT_EQ(SpectrumSum(0, 1, 2), 0.05f);
  EXPECT_FLOAT_EQ(SpectrumSum(0, 2, 41), 0.03f);
  EXPECT_FLOAT_EQ(SpectrumSum(0, 42, 251), 0.0f);
  EXPECT_FLOAT_EQ(SpectrumSum(1, 1, 2), 0.5f);
  EXPECT_FLOAT_EQ(SpectrumSum(1, 42, 251), 0.125f);
  EXPECT_EQ(MeterBlocks(0, 1), 2);   // 50 x 0.05 = 2.5: halves go to the even neighbour
  EXPECT_EQ(MeterBlocks(1, 1), 25);  // 50 x 0.5
  EXPECT_EQ(MeterBlocks(1, 7), 2);   // 20 x 0.125 = 2.5
  EXPECT_EQ(MeterBlocks(0, 7), 2);   // 20 x 0.1
  EXPECT_EQ(MeterBlocks(0, 2), 0);
  EXPECT_EQ(MeterBlocks(0, 0), 0);
  EXPECT_EQ(MeterBlocks(0, 8), 0);
}

TEST(SpectrumDisplay, BarMetersOverlapByHalfABlock) {
  apptest::InstallGLRecorder();
  Playback.EqTexture = 77;
  DrawEqBarRight(3, 645, 15);
  DrawEqBarLeft(2, 633, 63);
  DrawEqBarLeft(0, 633, 63);
  DrawEqBarRight(-4, 645, 63);
  EXPECT_EQ(Rec().Count("begin"), 5u);
  auto v = Rec().With("v ");
  ASSERT_EQ(v.size(), 20u);
  EXPECT_EQ((std::vector<std::string>{v[0], v[1], v[2], v[3]}),
            (std::vector<std::string>{"v 645 15", "v 653 15", "v 653 23", "v 645 23"}));
  EXPECT_EQ(v[4], "v 649 15");
  EXPECT_EQ(v[8], "v 653 15");
  EXPECT_EQ(v[12], "v 633 63");
  EXPECT_EQ(v[16], "v 629 63");
  auto tc = Rec().With("tc ");
  EXPECT_EQ((std::vector<std::string>{tc[0], tc[1], tc[2], tc[3]}),
            (std::vector<std::string>{"tc 0 1", "tc 1 1", "tc 1 0", "tc 0 0"}));
  EXPECT_EQ(Rec().Count("bind 77"), 4u);
}

TEST(SpectrumDisplay, SilenceDrawsTheLayersAtZeroAndNoBlocks) {
  apptest::InstallGLRecorder();
  Playback.MusicStream = 0;
  std::fill(std::begin(Playback.Spectrum), std::end(Playback.Spectrum), 1.0f);
  DrawSpectrum();  // no stream: the library hands back zeros
  EXPECT_TRUE(std::all_of(std::begin(Playback.Spectrum), std::end(Playback.Spectrum), [](float v) { return v == 0; }));
  EXPECT_EQ(Rec().Count("begin"), 0u);
  EXPECT_EQ(Rec().Count("ortho 0 1280 0 720"), 1u);
}

TEST(VolumeBar, LevelAndDragging) {
  struct Hit {
    int32_t x, y;
    int32_t volume;  // -1: the press misses the bar
  } hits[] = {
      {851, 415, 0}, {1065, 415, 100}, {958, 413, 50}, {900, 424, 23},
      {850, 415, -1}, {1066, 415, -1}, {951, 412, -1}, {951, 425, -1},
  };
  for (const auto& h : hits) {
    apptest::InstallGLRecorder();
    BASS_SetVolume(77);
    Disk.MouseHeld = 1;
    Disk.VirtualMouseX = h.x;
    Disk.VirtualMouseY = h.y;
    DrawVolumeBar();
    EXPECT_EQ(static_cast<int32_t>(BASS_GetVolume()), h.volume < 0 ? 77 : h.volume) << h.x << "," << h.y;
  }
  EXPECT_EQ(VolumeAt(851), 0);
  EXPECT_EQ(VolumeAt(1065), 100);  // 99.53 rounds up
  // Released: no change. The level quad shows the volume before the press.
  apptest::InstallGLRecorder();
  BASS_SetVolume(40);
  Disk.MouseHeld = 0;
  Disk.VirtualMouseX = 1000;
  DrawVolumeBar();
  EXPECT_EQ(BASS_GetVolume(), 40u);
  auto v = Rec().With("v ");
  ASSERT_EQ(v.size(), 8u);
  EXPECT_EQ(v[1], "v 1066 413");
  EXPECT_EQ(v[5], "v 937 413");  // 851 + 2.15 x 40
  auto tc = Rec().With("tc ");
  EXPECT_EQ(tc[1], "tc 0.839844 1");
  EXPECT_EQ(tc[5], "tc 0.335938 1");
  EXPECT_EQ(Rec().Count("blend 0x1 0x1"), 1u);
}

}  // namespace
