#include "app/screens.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <algorithm>
#include <map>
#include <thread>
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "app/appshell.h"
#include "app/ife.h"
#include "app/musicdisk.h"
#include "app/playback.h"
#include "app/slides.h"
#include "testsupport/app/gl.h"
#include "framework/base/main.h"
#include "framework/base/time.h"
#include "testsupport/bass/ogg.h"
#include "platform/kernel.h"
#include "testsupport/testsupport.h"
#include "units/random.h"

using apptest::Rec;

namespace {

// --- layer sets that tell when they were drawn ------------------------------------------

// A set of one layer whose centre moves one unit right per unit of time, so
// the translation it draws with is the time it was drawn at; the texture
// tells the sets apart.
struct ClockSet {
  ife_layer layer;
  ife_keys keys[2];
};

enum SetId {
  kPreIntro = 9001, kIntro0, kIntro1, kIntro2, kIntro3, kIntro4, kBlackFade, kMainBkg, kBonusBkg,
  kBalMely, kBalKozep, kBalMagas, kJobbMely, kJobbKozep, kJobbMagas, kKeret, kGui, kEndScroll, kEnd2, kHighlight,
};

void MakeClock(ife_interface& set, SetId id) {
  static std::map<int, ClockSet> storage;
  ClockSet& c = storage[id];
  c.keys[0] = {0, 0, 0, 0, 0, 10, 10, 255, 255, 255, 255};
  c.keys[1] = {1000000, 1000000, 0, 0, 0, 10, 10, 255, 255, 255, 255};
  c.layer.texture_name = "clock.tga";
  c.layer.texture = id;
  c.layer.key_count = 2;
  c.layer.blend_mode = 0;
  c.layer.keys = c.keys;
  set = {1, 0, &c.layer};
}

void MakeClocks(void) {
  MakeClock(Disk.LayersPreIntro, kPreIntro);
  for (int i = 0; i < 5; ++i) MakeClock(Disk.LayersIntro[i], static_cast<SetId>(kIntro0 + i));
  MakeClock(Disk.LayersBlackFade, kBlackFade);
  MakeClock(Disk.LayersMainBkg, kMainBkg);
  MakeClock(Disk.LayersBonusBkg, kBonusBkg);
  MakeClock(Disk.LayersLeftLow, kBalMely);
  MakeClock(Disk.LayersLeftMid, kBalKozep);
  MakeClock(Disk.LayersLeftHigh, kBalMagas);
  MakeClock(Disk.LayersRightLow, kJobbMely);
  MakeClock(Disk.LayersRightMid, kJobbKozep);
  MakeClock(Disk.LayersRightHigh, kJobbMagas);
  MakeClock(Disk.LayersFrame, kKeret);
  MakeClock(Disk.LayersButtons, kGui);
  MakeClock(Disk.LayersEndScroll, kEndScroll);
  MakeClock(Disk.LayersEndOverlay, kEnd2);
  MakeClock(Disk.LayersHighlight, kHighlight);
}

// The sets drawn since the recorder was cleared, with their times.
std::vector<std::pair<int, std::string>> SetsDrawn() {
  std::vector<std::pair<int, std::string>> out;
  int pending = 0;
  for (const auto& c : Rec().calls) {
    if (c.rfind("bind ", 0) == 0) {
      int t = std::atoi(c.c_str() + 5);
      pending = t >= kPreIntro && t <= kHighlight ? t : 0;
    } else if (pending && c.rfind("translate ", 0) == 0) {
      out.emplace_back(pending, c.substr(10, c.find(' ', 10) - 10));
      pending = 0;
    }
  }
  return out;
}

std::string TimeOf(int set) {
  for (const auto& [id, time] : SetsDrawn())
    if (id == set) return time;
  return "-";
}

// --- the disk over small files, the null audio device and a fake clock -------------------

uint32_t fakeNow = 100000;
DWORD FakeClock() { return fakeNow; }

void SetText(uint8_t (&field)[256], const std::string& text) {
  field[0] = static_cast<uint8_t>(text.size());
  std::memcpy(field + 1, text.data(), text.size());
}

// The demo's columns: 0-2, 3-10 and 11-18; record 20, a bonus track, also
// names a column.
void FillTracks(void) {
  std::memset(Playback.Tracks, 0, sizeof Playback.Tracks);
  for (int i = 0; i < kTrackCount; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d.ogg", i + 1);
    SetText(Playback.Tracks[i].OggName, name);
    SetText(Playback.Tracks[i].Line1, "artist");
    SetText(Playback.Tracks[i].Line2, "title");
    SetText(Playback.Tracks[i].Line3, "remixed");
    Playback.Tracks[i].Column = static_cast<uint8_t>(i < 3 ? 1 : i < 11 ? 2 : i < 19 ? 3 : 0);
  }
  Playback.Tracks[20].Column = 2;
}

// Runs the body in a child with the disk's state in place: pieces of a few
// seconds as "01.ogg" ... "28.ogg" and "end.ogg" in the current folder,
// audio on the null device, the recording GL, layer sets that tell their
// times and a clock that moves only when told.
void InDisk(const std::function<void()>& body) {
  qt::TempDir dir;
  const auto tone = bass_test::StereoTone(4.0, 440.0, 0.5f, 0.5f);
  const std::string image(tone.begin(), tone.end());
  for (int i = 1; i <= kTrackCount; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "%02d.ogg", i);
    ASSERT_TRUE(qt::WriteFile(dir / name, image));
  }
  ASSERT_TRUE(qt::WriteFile(dir / "end.ogg", image));
  ASSERT_TRUE(qt::WriteFile(dir / "bad.ogg", "this is no music"));
  qt::ExpectPassesInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (!BASS_Init(-1, 44100, 0, nullptr, nullptr)) _exit(3);
    apptest::InstallGLRecorder();
    plat::SetClockHook(FakeClock);
    SYS_TimerReset();
    MakeClocks();
    FillTracks();
    RandSeedSet(0);
    BuildShuffleOrder();
    SlideShow.PhotoCount = 27;
    Disk.WindowWidth = 1280;
    Disk.WindowHeight = 720;
    body();
  });
}

void SetElapsed(int32_t e) {
  Disk.ScreenStart = static_cast<int32_t>(SYS_TimerGet()) - e;
  Disk.ElapsedMs = e;
}

void Point(int32_t x, int32_t y, bool click = false) {
  Disk.VirtualMouseX = x;
  Disk.VirtualMouseY = y;
  Disk.MouseClicked = click;
}

// A press in one frame and the frame after it, through the frame loop: the
// screens see the click in the second frame.
void ClickThroughTheLoop(int32_t x, int32_t y) {
  Shell.AppMouseX = x;
  Shell.AppMouseY = 720 - y;
  Shell.AppMouseButton = 1;
  MusicDiskFrame();
  Shell.AppMouseButton = 0;
  Rec().calls.clear();
  fakeNow += 10;
  MusicDiskFrame();
}

// --- intro and screen changes ------------------------------------------------------------

TEST(IntroScreen, Timeline) {
  InDisk([] {
    struct Step {
      int32_t e;
      std::vector<std::pair<int, std::string>> drawn;
    } steps[] = {
        {0, {{kPreIntro, "0"}}},
        {8726, {{kPreIntro, "999.885"}}},
        {8727, {{kIntro0, "0"}}},
        {26181, {{kIntro2, "0"}}},
        {43635, {{kIntro3, "8727"}}},
        {52362, {{kIntro4, "8726"}}},
        {52363, {{kIntro4, "8727"}, {kBlackFade, "0"}}},
        {54500, {{kIntro4, "10864"}, {kBlackFade, "1068.5"}}},
    };
    for (const auto& s : steps) {
      Rec().calls.clear();
      Disk.ScreenState = 0;
      SetElapsed(s.e);
      DrawIntroScreen();
      EXPECT_EQ(SetsDrawn(), s.drawn) << s.e;
      EXPECT_EQ(Disk.ScreenState, 0) << s.e;
    }
    EXPECT_EQ(Playback.MusicStream, 0u);
    SetElapsed(54501);
    DrawIntroScreen();
    EXPECT_EQ(Disk.ScreenState, 1);
    EXPECT_EQ(Playback.CurrentTrack, 0);
    EXPECT_NE(Playback.MusicStream, 0u);
    EXPECT_EQ(Disk.ElapsedMs, 0);  // the main screen's clock
    EXPECT_EQ(Disk.ScreenStart, static_cast<int32_t>(SYS_TimerGet()));
    EXPECT_EQ(SlideShow.NextSlideTime, 10000);
    EXPECT_EQ(SlideShow.GameOverTime, -20000);
  });
}

TEST(ScreenChanges, EscapeOnEachScreen) {
  InDisk([] {
    // Escape during the intro: track 0 and the first photo's full 10 seconds.
    Disk.ScreenState = 0;
    SetElapsed(30000);
    Shell.AppLastKey = 1;
    Disk.PreviousKey = 0;
    Rec().calls.clear();
    MusicDiskFrame();
    EXPECT_EQ(Disk.ScreenState, 1);
    EXPECT_EQ(Playback.CurrentTrack, 0);
    EXPECT_EQ(SlideShow.NextSlideTime, 10000);
    EXPECT_EQ(SlideShow.GameOverTime, -20000);
    const HSTREAM stream = Playback.MusicStream;
    for (int32_t screen : {1, 2}) {
      Disk.ScreenState = screen;
      ScreenEscape[screen]();
      EXPECT_EQ(Disk.ScreenState, screen);
      EXPECT_EQ(Shell.AppQuit, 0);
      EXPECT_EQ(Playback.MusicStream, stream);
    }
    ScreenEscape[3]();
    EXPECT_EQ(Shell.AppQuit, 1);
  });
}

TEST(ScreenChanges, ANewScreenIsDrawnOnItsOwnClock) {
  InDisk([] {
    Disk.ScreenState = 1;
    SetElapsed(5000);
    EnterMainScreen();
    SetElapsed(5000);
    // The end button: the end screen follows in the same frame, at its own 0.
    ClickThroughTheLoop(1250, 700);
    EXPECT_EQ(Disk.ScreenState, 3);
    EXPECT_EQ(TimeOf(kMainBkg), "0");
    EXPECT_EQ(TimeOf(kEnd2), "0");
    EXPECT_EQ(TimeOf(kEndScroll), "500");
    // The bonus button, likewise.
    Disk.ScreenState = 1;
    SetElapsed(5000);
    ClickThroughTheLoop(1180, 530);
    EXPECT_EQ(Disk.ScreenState, 2);
    EXPECT_EQ(Playback.CurrentBonus, 0);
    EXPECT_EQ(TimeOf(kBonusBkg), "0");
    EXPECT_EQ(Disk.ElapsedMs, 0);
    // Back to the main menu: a drawn main track, the main screen from the
    // next frame on.
    RandSeedSet(42);
    const int32_t expected = Random(19);
    RandSeedSet(42);
    fakeNow += 3000;
    ClickThroughTheLoop(640, 110);
    EXPECT_EQ(Disk.ScreenState, 1);
    EXPECT_EQ(Playback.CurrentTrack, expected);
    EXPECT_EQ(TimeOf(kMainBkg), "-");
    EXPECT_EQ(SlideShow.GameOverTime, -20000);
    EXPECT_EQ(SlideShow.NextSlideTime, Disk.ElapsedMs + 10000);
  });
}

// --- the main screen -------------------------------------------------------------------------

TEST(MainScreen, ButtonsHitBoxesAndHoverTimes) {
  struct Expected {
    int32_t left, right, bottom, top, hover;
  } table[6] = {
      {1163, 1194, 520, 547, 20},  {1233, 1264, 670, 719, 150}, {1233, 1264, 600, 660, 250},
      {1233, 1264, 511, 573, 350}, {750, 770, 280, 308, 450},   {1126, 1146, 280, 308, 550},
  };
  for (int i = 0; i < 6; ++i) {
    const ScreenButton& b = MainButtons[i];
    const Expected& e = table[i];
    EXPECT_EQ(b.hoverTime, e.hover);
    EXPECT_TRUE(ButtonHovered(b, e.left + 1, e.bottom + 1)) << i;
    EXPECT_TRUE(ButtonHovered(b, e.right - 1, e.top - 1)) << i;
    EXPECT_FALSE(ButtonHovered(b, e.left, e.bottom + 1)) << i;  // every bound is strict
    EXPECT_FALSE(ButtonHovered(b, e.right, e.bottom + 1)) << i;
    EXPECT_FALSE(ButtonHovered(b, e.left + 1, e.bottom)) << i;
    EXPECT_FALSE(ButtonHovered(b, e.left + 1, e.top)) << i;
  }
  InDisk([&table] {
    Disk.ScreenState = 1;
    EnterMainScreen();
    for (const auto& e : table) {
      Rec().calls.clear();
      Point((e.left + e.right) / 2, (e.bottom + e.top) / 2);
      DrawMainScreen();
      EXPECT_EQ(TimeOf(kGui), std::to_string(e.hover));
    }
    Rec().calls.clear();
    Point(10, 10);
    DrawMainScreen();
    EXPECT_EQ(TimeOf(kGui), "0");
    EXPECT_EQ(Screens.HoverTime, 0);
  });
}

TEST(MainScreen, ButtonActions) {
  InDisk([] {
    Disk.ScreenState = 1;
    EnterMainScreen();
    SetElapsed(3000);
    Point(1250, 540, true);  // shuffle
    DrawMainScreen();
    EXPECT_TRUE(Playback.ShuffleOn);
    DrawMainScreen();  // still clicked in this made-up frame: toggles back
    EXPECT_FALSE(Playback.ShuffleOn);
    Point(1250, 630, true);  // puzzle
    DrawMainScreen();
    EXPECT_TRUE(SlideShow.PuzzleOn);
    EXPECT_EQ(SlideShow.PuzzleSteps, 0);
    EXPECT_EQ(SlideShow.NextSlideTime, 13000);
    EXPECT_EQ(SlideShow.GameOverTime, 3000 - 20000);
    EXPECT_FALSE(PuzzleSolved());
    Point(1250, 630, true);
    DrawMainScreen();
    EXPECT_FALSE(SlideShow.PuzzleOn);
    SlideShow.SlideIndex = 0;
    Point(760, 290, true);  // previous photo from the first: the last
    DrawMainScreen();
    EXPECT_EQ(SlideShow.SlideIndex, 26);
    EXPECT_EQ(SlideShow.NextSlideTime, 12000);
    Point(1136, 290, true);  // next photo from the last: the first
    DrawMainScreen();
    EXPECT_EQ(SlideShow.SlideIndex, 0);
  });
}

TEST(MainScreen, TrackListBandsAndClicks) {
  InDisk([] {
    Disk.ScreenState = 1;
    EnterMainScreen();
    Playback.CurrentTrack = 4;  // column 2, second row: y0 550
    Rec().calls.clear();
    Point(500, 560);  // over record 12: column 3, second row
    DrawMainScreen();
    EXPECT_EQ(Screens.HighlightGroup, 1);
    EXPECT_EQ(TimeOf(kHighlight), "100");
    auto has = [](const std::vector<std::string>& quad) {
      const auto& calls = Rec().calls;
      for (size_t i = 0; i + quad.size() <= calls.size(); ++i)
        if (std::equal(quad.begin(), quad.end(), calls.begin() + static_cast<std::ptrdiff_t>(i))) return true;
      return false;
    };
    // The black band under the playing row, the faint one under the mouse.
    EXPECT_TRUE(has({"color 0 0 0 1", "begin 0x7", "v 242 535", "v 432 535", "v 432 572", "v 242 572", "end"}));
    EXPECT_TRUE(has({"begin 0x7", "v 443 535", "v 633 535", "v 633 572", "v 443 572", "end"}));
    const HSTREAM before = Playback.MusicStream;
    Point(500, 560, true);
    DrawMainScreen();
    EXPECT_EQ(Playback.CurrentTrack, 12);
    EXPECT_NE(Playback.MusicStream, before);
    // A click on the playing row starts it again.
    const HSTREAM again = Playback.MusicStream;
    DrawMainScreen();
    EXPECT_EQ(Playback.CurrentTrack, 12);
    EXPECT_NE(Playback.MusicStream, again);
    // Record 20 names column 2 but is a bonus track: it has no row (it
    // would have been the ninth, at y0 200).
    Point(300, 210, true);
    Rec().calls.clear();
    DrawMainScreen();
    EXPECT_EQ(Playback.CurrentTrack, 12);
    EXPECT_EQ(TimeOf(kHighlight), "200");
  });
}

TEST(MainScreen, TheNextTrackFollowsTheEnd) {
  InDisk([] {
    Disk.ScreenState = 1;
    EnterMainScreen();
    Point(0, 0);
    Playback.CurrentTrack = 18;
    PlayRecord(18);
    BASS_ChannelStop(Playback.MusicStream);
    DrawMainScreen();
    EXPECT_EQ(Playback.CurrentTrack, 0);
    Playback.ShuffleOn = true;
    Playback.CurrentTrack = 17;
    BASS_ChannelStop(Playback.MusicStream);
    DrawMainScreen();
    EXPECT_EQ(Playback.CurrentTrack, 2);
    DrawMainScreen();  // playing: nothing changes
    EXPECT_EQ(Playback.CurrentTrack, 2);
    // A piece that cannot be played is not loaded again every frame.
    Playback.ShuffleOn = false;
    Playback.CurrentTrack = 5;
    SetText(Playback.Tracks[6].OggName, "bad.ogg");
    BASS_ChannelStop(Playback.MusicStream);
    DrawMainScreen();
    EXPECT_EQ(Playback.CurrentTrack, 6);
    EXPECT_EQ(Playback.MusicStream, 0u);
    DrawMainScreen();
    DrawMainScreen();
    EXPECT_EQ(Playback.CurrentTrack, 6);
  });
}

TEST(MainScreen, TheSpectrumSetsTheLayerTimesAndMeters) {
  InDisk([] {
    Disk.ScreenState = 1;
    EnterMainScreen();  // a 440 Hz tone: bin 5 of both channels
    // The analysis takes the 512 frames audible now: wait until more than
    // that has played (44100 Hz, four bytes a frame).
    constexpr QWORD kPlayedEnough = 4 * 4096;
    ASSERT_TRUE(qt::WaitUntil(
        [] {
          const QWORD at = BASS_ChannelGetPosition(Playback.MusicStream);
          return at != static_cast<QWORD>(-1) && at > kPlayedEnough;
        },
        std::chrono::seconds(20)));
    Rec().calls.clear();
    DrawSpectrum();
    auto time = [](float v) { return apptest::Num(v); };
    EXPECT_EQ(TimeOf(kBalMely), time(250 * SpectrumSum(0, 1, 2)));
    EXPECT_EQ(TimeOf(kBalKozep), time(150 * SpectrumSum(0, 2, 41)));
    EXPECT_EQ(TimeOf(kBalMagas), time(60 * SpectrumSum(0, 42, 251)));
    EXPECT_EQ(TimeOf(kJobbMely), time(250 * SpectrumSum(1, 1, 2)));
    EXPECT_EQ(TimeOf(kJobbKozep), time(150 * SpectrumSum(1, 2, 41)));
    EXPECT_EQ(TimeOf(kJobbMagas), time(60 * SpectrumSum(1, 42, 251)));
    EXPECT_GT(SpectrumSum(0, 2, 41), 0.3f);  // the tone is heard in the middle band
    EXPECT_GT(MeterBlocks(0, 2), 0);         // bins 3 to 6
    // Each meter block is one 8 x 8 quad at its band's height, the left
    // ones growing left from 633, the right ones right from 645.
    size_t blocks = 0;
    for (int band = 1; band <= 7; ++band) blocks += static_cast<size_t>(MeterBlocks(0, band) + MeterBlocks(1, band));
    EXPECT_EQ(Rec().Count("begin"), 6 + blocks);
    std::vector<std::string> firstCorners;  // of each block
    for (size_t i = 0; i + 2 < Rec().calls.size(); ++i)
      if (Rec().calls[i] == "begin 0x7" && Rec().calls[i + 2].rfind("v 6", 0) == 0)
        firstCorners.push_back(Rec().calls[i + 2]);
    for (int band = 1; band <= 7; ++band) {
      const std::string y = std::to_string(7 + 8 * band);
      auto count = [&](const std::string& corner) {
        return std::count(firstCorners.begin(), firstCorners.end(), corner);
      };
      EXPECT_EQ(count("v 633 " + y), MeterBlocks(0, band) > 0 ? 1 : 0) << band;
      EXPECT_EQ(count("v 645 " + y), MeterBlocks(1, band) > 0 ? 1 : 0) << band;
      if (MeterBlocks(0, band) > 1) {
        EXPECT_EQ(count("v 629 " + y), 1) << band;
      }
    }
  });
}

// --- the bonus and end screens ----------------------------------------------------------

TEST(BonusScreen, RowsAndTheNextBonusTrack) {
  InDisk([] {
    Disk.ScreenState = 2;
    Playback.CurrentBonus = 2;
    PlayRecord(21);
    Rec().calls.clear();
    Point(600, 340);  // the third row: y0 336, band 332 to 356
    DrawBonusScreen();
    // The playing row's black band: three quads fading out at 450 and 830.
    auto calls = Rec().calls;
    auto at = std::find(calls.begin(), calls.end(), "color 0 0 0 0");
    ASSERT_NE(at, calls.end());
    EXPECT_EQ(*(at + 1), "v 450 332");
    EXPECT_EQ(*(at + 2), "color 0 0 0 1");
    EXPECT_EQ(*(at + 3), "v 500 332");
    Point(600, 340, true);
    DrawBonusScreen();
    EXPECT_EQ(Playback.CurrentBonus, 2);
    Point(600, 310, true);  // the fourth row
    DrawBonusScreen();
    EXPECT_EQ(Playback.CurrentBonus, 3);
    Playback.CurrentBonus = 8;
    Point(0, 0);
    BASS_ChannelStop(Playback.MusicStream);
    DrawBonusScreen();
    EXPECT_EQ(Playback.CurrentBonus, 0);  // after the last bonus track, the first
    EXPECT_EQ(Disk.ScreenState, 2);
  });
}

TEST(EndScreen, CreditsRiseAndTheEndOfTheOutroQuits) {
  InDisk([] {
    Disk.ScreenState = 3;
    ChangeTrack("end.ogg");
    Disk.ScrollerTexture = 55;
    SetElapsed(2300);
    Rec().calls.clear();
    DrawEndScreen();
    EXPECT_EQ(TimeOf(kEndScroll), "500");
    EXPECT_EQ(TimeOf(kEnd2), "41.8182");
    auto v = Rec().With("v ");
    std::vector<std::string> credits;
    for (const auto& c : Rec().calls)
      if (c.rfind("v 128 ", 0) == 0 || c.rfind("v 1152 ", 0) == 0) credits.push_back(c);
    EXPECT_EQ(credits, (std::vector<std::string>{"v 128 100", "v 1152 100", "v 1152 -1948", "v 128 -1948"}));
    EXPECT_EQ(Rec().Count("bind 55"), 1u);
    EXPECT_EQ(Shell.AppQuit, 0);
    BASS_ChannelStop(Playback.MusicStream);
    DrawEndScreen();
    EXPECT_EQ(Shell.AppQuit, 1);
  });
}

}  // namespace
