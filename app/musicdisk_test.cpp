#include "app/musicdisk.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/appshell.h"
#include "app/extract.h"
#include "app/glyphs.h"
#include "app/playback.h"
#include "app/slides.h"
#include "testsupport/app/events.h"
#include "testsupport/app/gl.h"
#include "testsupport/app/program.h"
#include "engine/draw.h"
#include "engine/particles.h"
#include "framework/base/main.h"
#include "framework/base/time.h"
#include "testsupport/tl/fixtures.h"
#include "framework/wm/wm_internal.h"
#include "testsupport/bass/ogg.h"
#include "testsupport/bass/wave.h"
#include "platform/kernel.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/random.h"
#include "units/sysunit.h"
#include "units/texmgr.h"
#include "units/txunit.h"

using namespace apptest;

namespace {

TEST(Letterbox, ViewportAndMouseForTheOfferedSizes) {
  struct Case {
    int32_t height, bar;
  } cases[] = {{720, 0}, {800, 40}, {1024, 152}};
  for (const auto& c : cases) {
    int32_t view = LetterboxHeight(1280);
    EXPECT_EQ(view, 720);
    EXPECT_EQ(LetterboxBar(c.height, view), c.bar);
    // The top row of the picture is y 720, clamped to 719; its bottom row 1.
    EXPECT_EQ(VirtualY(c.bar, c.height, view), 719);
    EXPECT_EQ(VirtualY(c.bar + 1, c.height, view), 719);
    EXPECT_EQ(VirtualY(c.bar + 719, c.height, view), 1);
    EXPECT_EQ(VirtualY(c.bar + 360, c.height, view), 360);
    // Clicks in the bars land on the nearest edge.
    EXPECT_EQ(VirtualY(0, c.height, view), 719);
    EXPECT_EQ(VirtualY(c.height - 1, c.height, view), c.bar ? 0 : 1);
  }
  EXPECT_EQ(LetterboxHeight(1000), 562);  // 562.5: halves go to the even neighbour
  EXPECT_EQ(LetterboxHeight(1016), 572);  // 571.5
  EXPECT_EQ(LetterboxHeight(800), 450);
  EXPECT_EQ(LetterboxBar(600, 450), 75);
  EXPECT_EQ(LetterboxBar(451, 450), 0);  // cut toward zero
}

TEST(FramesPerSecond, Figure) {
  EXPECT_EQ(FpsFigure(10, 200), "50.00");
  EXPECT_EQ(FpsFigure(7, 300), "23.33");
  EXPECT_EQ(FpsFigure(1, 201), "4.98");
  EXPECT_EQ(FpsFigure(0, 200), "0.00");
  EXPECT_EQ(FpsFigure(5, 0), "0.00");
}

TEST(LoadingRing, TicksLitByStep) {
  auto lit = [](int32_t step) {
    int n = 0;
    for (int32_t i = 0; i < 200; ++i) n += LoadingTickLit(i, step);
    return n;
  };
  EXPECT_EQ(lit(1), 5);  // 3.6 rounds to 4: ticks 0 to 4
  EXPECT_EQ(lit(55), 199);
  EXPECT_EQ(lit(56), 200);
  EXPECT_EQ(lit(58), 200);
}

TEST(ShuffleOrder, FixedPermutation) {
  RandSeedSet(0);
  BuildShuffleOrder();
  const uint8_t expected[19] = {2, 3, 4, 8, 6, 1, 5, 9, 16, 0, 13, 14, 11, 7, 18, 12, 10, 15, 17};
  EXPECT_EQ(std::vector<uint8_t>(Playback.ShuffleOrder, Playback.ShuffleOrder + 19),
            std::vector<uint8_t>(expected, expected + 19));
  RandSeedSet(1234);
  for (int i = 0; i < 100; ++i) {
    int32_t r = Random(19);
    EXPECT_GE(r, 0);
    EXPECT_LT(r, 19);
  }
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(Random(-1), 0);  // n + 1 is used for a negative n
}

// --- the frame loop over fakes ------------------------------------------------------

uint32_t fakeNow = 1000;
DWORD FakeClock() { return fakeNow; }

std::vector<std::string> drawn;
int escapes[4] = {};
int32_t switchFrom0 = -1, switchFrom2 = -1;
void Draw0() {
  drawn.push_back("0");
  if (switchFrom0 >= 0) Disk.ScreenState = switchFrom0;
}
// What the main screen's stand-in saw of the mouse in each frame.
std::vector<std::pair<int32_t, bool>> mouseSeen;
void Draw1() {
  drawn.push_back("1");
  mouseSeen.emplace_back(Disk.MouseHeld, Disk.MouseClicked);
}
void Draw2() {
  drawn.push_back("2");
  if (switchFrom2 >= 0) Disk.ScreenState = switchFrom2;
}
void Draw3() { drawn.push_back("3"); }
void Escape0() { ++escapes[0]; }
void Escape1() { ++escapes[1]; }
void Escape2() { ++escapes[2]; }
void Escape3() { ++escapes[3]; }

void Press(int action, int code) {
  wm_event_t e = apptest::KeyEvent(action, code);
  AppWindowEvent(&e);
}
void Mouse(int x, int y, int left) {
  wm_event_t e = apptest::MouseEvent(x, y, left);
  AppWindowEvent(&e);
}

class FrameLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    apptest::InstallGLRecorder();
    plat::SetClockHook(FakeClock);
    fakeNow = 1000;
    SYS_TimerReset();
    ScreenDraw[0] = Draw0;
    ScreenDraw[1] = Draw1;
    ScreenDraw[2] = Draw2;
    ScreenDraw[3] = Draw3;
    ScreenEscape[0] = Escape0;
    ScreenEscape[1] = Escape1;
    ScreenEscape[2] = Escape2;
    ScreenEscape[3] = Escape3;
    drawn.clear();
    std::fill(std::begin(escapes), std::end(escapes), 0);
    switchFrom0 = switchFrom2 = -1;
    Disk.WindowWidth = 1280;
    Disk.WindowHeight = 720;
    Disk.ScreenState = 0;
    Disk.ScreenStart = 0;
    Shell.AppLastKey = Disk.PreviousKey = 0;
    Shell.AppMouseButton = Disk.MouseHeld = 0;
    Shell.AppMousePressed = 0;
    Disk.MouseClicked = false;
    mouseSeen.clear();
    Shell.AppMouseX = Shell.AppMouseY = 0;
    Disk.DebugOverlay = 0;
    Disk.FrameCount = Disk.FpsTime = 0;
    Shell.CfgVSync = 1;
    Shell.AppWindow = nullptr;
  }
  void TearDown() override { plat::SetClockHook(nullptr); }
  void Frame(uint32_t advance = 10) {
    fakeNow += advance;
    MusicDiskFrame();
  }
};

TEST_F(FrameLoop, ScreensAreTestedInARow) {
  switchFrom0 = 1;  // the intro ends during its frame: main is drawn in it too
  Frame();
  EXPECT_EQ(drawn, (std::vector<std::string>{"0", "1"}));
  drawn.clear();
  Disk.ScreenState = 2;
  switchFrom2 = 1;  // bonus to main: main shows from the next frame on
  Frame();
  EXPECT_EQ(drawn, (std::vector<std::string>{"2"}));
  drawn.clear();
  Frame();
  EXPECT_EQ(drawn, (std::vector<std::string>{"1"}));
  drawn.clear();
  Disk.ScreenState = 3;
  Frame();
  Disk.ScreenState = 7;  // no such screen: nothing is drawn, nothing breaks
  Frame();
  EXPECT_EQ(drawn, (std::vector<std::string>{"3"}));
}

TEST_F(FrameLoop, EscapeCountsOnlyAfterAFrameWithoutKeys) {
  Disk.ScreenState = 3;
  Press(WM_KEY_DOWN, 1);
  Frame();
  EXPECT_EQ(escapes[3], 1);
  Press(WM_KEY_UP, 1);  // the release of the same key, one frame later
  Frame();
  EXPECT_EQ(escapes[3], 1);
  Press(WM_KEY_DOWN, 1);  // held: the repeat follows a frame with a key
  Frame();
  EXPECT_EQ(escapes[3], 1);
  Frame();  // a frame without keys
  Press(WM_KEY_DOWN, 1);
  Frame();
  EXPECT_EQ(escapes[3], 2);
  Frame();
  Press(WM_KEY_DOWN, 30);  // another key is no Escape
  Frame();
  EXPECT_EQ(escapes[3], 2);
  EXPECT_EQ(escapes[0] + escapes[1] + escapes[2], 0);
  EXPECT_EQ(Shell.AppLastKey, 0);  // cleared at the end of every frame
}

TEST_F(FrameLoop, MouseMappingAndClickEdge) {
  Disk.WindowHeight = 1024;
  Mouse(400, 152, 1);
  Frame();
  EXPECT_EQ(Disk.VirtualMouseX, 400);
  EXPECT_EQ(Disk.VirtualMouseY, 719);
  EXPECT_TRUE(Disk.MouseClicked);
  EXPECT_EQ(Rec().With("viewport")[1], "viewport 0 152 1280 720");
  Mouse(1500, 1000, 1);  // held, in the lower bar, x is not clamped
  Frame();
  EXPECT_FALSE(Disk.MouseClicked);
  EXPECT_EQ(Disk.VirtualMouseX, 1500);
  EXPECT_EQ(Disk.VirtualMouseY, 0);
  Mouse(10, 500, 0);
  Frame();
  EXPECT_FALSE(Disk.MouseClicked);
  EXPECT_EQ(Disk.VirtualMouseY, 372);
  Mouse(10, 500, 1);
  Frame();
  EXPECT_TRUE(Disk.MouseClicked);
}

// Press and release delivered by one pump of real window messages: the
// screens of the frame after the one that read them see one click, held for
// that frame only, at the press's place.
TEST_F(FrameLoop, QuickClickWithinOnePumpIsSeen) {
  plat::SetHeadlessWindows(true);
  ASSERT_EQ(wmInit(), 0);
  wm_window_t* w = wmNewWindow(0, 0, 1280, 720);
  ASSERT_NE(w, nullptr);
  wmOptions(w, WM_OPT_CALLBACK, reinterpret_cast<intptr_t>(&AppWindowEvent));
  wmShowWindow(w);  // makes the window and its queue; no GL context without a display
  ASSERT_NE(w->hwnd, nullptr);
  wmPumpMessages();
  auto click = [&](UINT message, int x, int y) { PostMessageA(w->hwnd, message, 0, MAKELPARAM(x, y)); };

  Disk.ScreenState = 1;
  click(WM_LBUTTONDOWN, 400, 300);
  click(WM_LBUTTONUP, 400, 300);
  Frame();  // its pump delivers both
  EXPECT_EQ(Shell.AppMouseButton, 0);
  Frame();  // reads the mouse
  Frame();
  Frame();
  EXPECT_EQ(mouseSeen, (std::vector<std::pair<int32_t, bool>>{{0, false}, {0, false}, {1, true}, {0, false}}));
  EXPECT_EQ(Disk.VirtualMouseX, 400);
  EXPECT_EQ(Disk.VirtualMouseY, 420);

  // Held over a frame, then released and pressed again within one pump:
  // the second press is a click of its own.
  mouseSeen.clear();
  click(WM_LBUTTONDOWN, 10, 10);
  Frame();
  Frame();
  click(WM_LBUTTONUP, 10, 10);
  click(WM_LBUTTONDOWN, 10, 10);
  Frame();
  Frame();
  Frame();
  EXPECT_EQ(mouseSeen,
            (std::vector<std::pair<int32_t, bool>>{{0, false}, {0, false}, {1, true}, {1, false}, {1, true}}));

  wmDestroyWindow(w);
  plat::SetHeadlessWindows(false);
}

TEST_F(FrameLoop, FramesPerSecondSwapIntervalAndCounters) {
  DrawUnit.TrianglesDrawn = DrawUnit.ObjectsDrawn = ParticlesUnit.ParticlesDrawn = 9;
  for (int i = 0; i < 20; ++i) Frame(10);
  EXPECT_EQ(DrawUnit.TrianglesDrawn + DrawUnit.ObjectsDrawn + ParticlesUnit.ParticlesDrawn, 0);
  EXPECT_EQ(Disk.FpsString, "100.00");
  EXPECT_EQ(Disk.FpsText, "FPS : [100.00]");
  EXPECT_EQ(Rec().swapIntervals, std::vector<int>(20, 1));
  Shell.CfgVSync = 0;
  Frame();
  EXPECT_EQ(Rec().swapIntervals.back(), 0);
  // A new screen starts its clock again: the next figure is counted on it,
  // not over the span from the old screen's last figure.
  Disk.ScreenStart = SYS_TimerGet();
  for (int i = 0; i < 10; ++i) Frame(25);
  EXPECT_EQ(Disk.FpsString, "40.00");
  qgl::wglSwapIntervalEXT = nullptr;
  size_t before = Rec().swapIntervals.size();
  Frame();
  EXPECT_EQ(Rec().swapIntervals.size(), before);
}

TEST_F(FrameLoop, DebugOverlay) {
  Disk.DebugOverlay = 1;
  Glyphs.DebugFontTexture = 33;
  Disk.ScreenStart = static_cast<int32_t>(SYS_TimerGet()) - 990;
  Frame(10);
  EXPECT_EQ(Disk.ElapsedMs, 1000);
  ShortString text = ShortString("1000 frame : 25 ") + Disk.FpsText;
  EXPECT_EQ(Rec().Count("begin 0x7"), text.size());
  EXPECT_EQ(Rec().Count("bind 33"), 1u);
  // The first cell is column 1, row 1 of the grid: the top left corner.
  auto v = Rec().With("v ");
  ASSERT_FALSE(v.empty());
  EXPECT_EQ(v[0], "v -0.99 0.98");
  EXPECT_EQ(Rec().With("tc ")[0], "tc 0.0625 0.09375");  // "1" is cell 17
}

// --- the loading phase over a folder of small files --------------------------------------

std::string Layer(const char* texture) {
  return std::string("1\n0\n") + texture + "\n-\n-\n1\n1\n0 640 360 0 0 10 10 255 255 255 255\n";
}

TEST(LoadingPhaseRun, FiftyEightFramesInOrder) {
  qt::TempDir dir;
  const char* layerFiles[] = {"v_blur.ife", "h_blur.ife", "blackfade.ife", "whitefade.ife", "intro00.ife",
                              "intro01.ife", "intro02.ife", "intro03.ife", "intro04.ife", "main_bkg.ife",
                              "bonus_bkg.ife", "bal_mely.ife", "bal_kozep.ife", "bal_magas.ife", "jobb_mely.ife",
                              "jobb_kozep.ife", "jobb_magas.ife", "keret.ife", "preintro.ife", "endscroll.ife",
                              "end2.ife", "highlight.ife"};
  for (const char* f : layerFiles) ASSERT_TRUE(qt::WriteFile(dir / f, Layer("BUF0.JPG")));
  ASSERT_TRUE(qt::WriteFile(dir / "loading.ife", Layer("ring.tga")));
  ASSERT_TRUE(qt::WriteFile(dir / "gui.ife", Layer("buttons.tga")));
  auto tga = tlfix::SimpleTga(4, 4, 24);
  std::string image(tga.begin(), tga.end());
  for (const char* f : {"ring.tga", "buttons.tga", "eq.tga", "volume.tga", "swscroll.tga"})
    ASSERT_TRUE(qt::WriteFile(dir / f, image));
  for (int i = 1; i <= 27; ++i) ASSERT_TRUE(qt::WriteFile(dir / (std::string(i < 10 ? "0" : "") + std::to_string(i) + ".tga"), image));
  ASSERT_TRUE(qt::WriteFile(dir / "scroll.txt", "hello scroll"));
  std::string glyphs(301 * 9, '\0');
  glyphs[3] = 2;  // two glyphs, 3 and 5 columns wide
  glyphs[9] = 2;
  glyphs[301 * 4 + 1] = 1;
  ASSERT_TRUE(qt::WriteFile(dir / "fontset.dat", glyphs));

  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    apptest::InstallGLRecorder();
    RandSeedSet(0);  // the generator as the program starts with it
    glMaxTextureSize = 2048;
    TextureLoaderUnitInit();
    TextureManagerUnitInit();
    RunInits();
    Shell.CfgTextureQuality = 0;
    LoadingPhase();
    std::vector<int> litPerFrame;
    for (const auto& c : Rec().calls) {
      if (c == "linewidth 2") litPerFrame.push_back(0);
      if (c == "color3 0.5 0.5 0.5") ++litPerFrame.back();
    }
    std::printf("steps %d frames %zu lit1 %d lit55 %d lit56 %d lit58 %d\n", Disk.LoadingStep, litPerFrame.size(),
                litPerFrame[0], litPerFrame[54], litPerFrame[55], litPerFrame[57]);
    int guiNode = -1, ringNodes = 0;
    for (int i = 0; i < kTextureNodes; ++i) {
      if (txNodes[i].free) continue;
      if (txNodes[i].name == "buttons.tga") guiNode = i;
      if (txNodes[i].name == "ring.tga") ++ringNodes;
    }
    std::printf("gui mode %d ring in table %d\n", guiNode >= 0 ? txNodes[guiNode].mode : -1, ringNodes);
    std::printf("buffers %d %d %d %d zero %zu layer %d\n", Ife.ife_buffers[0] == Disk.BufferTextures[0],
                Ife.ife_buffers[3] == Disk.BufferTextures[3], Ife.ife_buffers[4], Disk.BufferTextures[0] != 0,
                Rec().textureBytesSeen, Disk.LayersVBlur.layers[0].texture == Disk.BufferTextures[0]);
    std::printf("photos %d %d captions %d \"%s\" scroll %lld glyphs %d %d %d\n", SlideShow.PhotoCount,
                SlideShow.Photos[26] != 0, SlideShow.Captions[26].size() > 0, SlideShow.Captions[0].data(),
                static_cast<long long>(Glyphs.ScrollLength), Glyphs.GlyphCount, Glyphs.GlyphWidth[0],
                Glyphs.GlyphWidth[1]);
    std::printf("puzzle %d %d shuffle %d\n", SlideShow.PuzzleBoard[4][0], SlideShow.PuzzleBoard[0][3],
                Playback.ShuffleOrder[0]);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto lines = qt::SplitLines(r.out);
  ASSERT_EQ(lines.size(), 5u) << r.out;
  EXPECT_EQ(lines[0], "steps 58 frames 58 lit1 5 lit55 199 lit56 200 lit58 200");
  // The loading screen's texture was forgotten by the table after its load.
  EXPECT_EQ(lines[1], "gui mode 0 ring in table 0");
  // The buffers are zero-filled images of their own; the layers that name
  // them were loaded after them.
  EXPECT_EQ(lines[2].substr(0, 19), "buffers 1 1 0 1 zer");
  EXPECT_NE(lines[2].find("layer 1"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[3], "photos 27 1 captions 1 \"quarn scene news on screen\" scroll 12 glyphs 2 3 5");
  EXPECT_EQ(lines[4], "puzzle -1 15 shuffle 2");
}

TEST(TrackTable, ShortAndLongFiles) {
  qt::TempDir dir;
  std::string one(1025, '\0');
  one[768] = 6;
  std::memcpy(&one[769], "01.ogg", 6);
  one[1024] = 2;
  ASSERT_TRUE(qt::WriteFile(dir / "tracks.dat", one));
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    std::memset(Playback.Tracks, 0x55, sizeof Playback.Tracks);
    std::memset(Playback.Tracks, 0, sizeof Playback.Tracks);
    ReadTrackTable();
    std::printf("%s %d %d\n", TrackText(Playback.Tracks[0].OggName).data(), Playback.Tracks[0].Column,
                Playback.Tracks[1].Column);
    std::string many(1025 * 30, '\x03');
    FILE* f = std::fopen("tracks.dat", "wb");
    std::fwrite(many.data(), 1, many.size(), f);
    std::fclose(f);
    static uint8_t guard[2048];
    std::memset(guard, 0, sizeof guard);
    ReadTrackTable();  // only the 28 records are read
    std::printf("%d\n", Playback.Tracks[27].Column);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "01.ogg 2 0\n3\n");
}

// The table is the bytes given, up to the 28 records; a record cut short
// keeps the bytes it has, and everything after them is zero, whatever the
// table held before.
TEST(TrackTable, FromBytes) {
  std::vector<uint8_t> bytes(kTrackRecordSize + 3, 0);
  bytes[768] = 2;
  bytes[769] = 'a';
  bytes[770] = 'b';
  bytes[kTrackRecordSize - 1] = 3;
  bytes[kTrackRecordSize] = 5;  // the next record's first line: its length only
  std::memset(Playback.Tracks, 0x55, sizeof Playback.Tracks);
  TrackTableFromBytes(bytes);
  EXPECT_EQ(TrackText(Playback.Tracks[0].OggName), "ab");
  EXPECT_EQ(Playback.Tracks[0].Column, 3);
  EXPECT_EQ(Playback.Tracks[1].Line1[0], 5);
  EXPECT_EQ(TrackText(Playback.Tracks[1].Line1), std::string(5, '\0'));
  EXPECT_EQ(Playback.Tracks[1].Line1[3], 0);
  EXPECT_EQ(Playback.Tracks[27].Column, 0);
  TrackTableFromBytes({});
  EXPECT_EQ(Playback.Tracks[0].Column, 0);
  std::vector<uint8_t> more(sizeof Playback.Tracks + 100, 7);
  TrackTableFromBytes(more);
  EXPECT_EQ(Playback.Tracks[27].Column, 7);
}

// The name's extension is characters 3 to 6 of the Ogg name; a name of two
// characters or fewer gives none.
TEST(Extraction, NameOfEveryOggNameLength) {
  std::memset(Playback.Tracks, 0, sizeof Playback.Tracks);
  auto set = [](uint8_t(&field)[256], std::string_view text) {
    field[0] = static_cast<uint8_t>(text.size());
    std::memcpy(field + 1, text.data(), text.size());
  };
  set(Playback.Tracks[3].Line1, "a");
  set(Playback.Tracks[3].Line2, "t");
  set(Playback.Tracks[3].Line3, "r");
  const struct {
    const char* ogg;
    const char* name;
  } cases[] = {{"", "05-r-a_t"},         {"x", "05-r-a_t"},          {"xy", "05-r-a_t"},
               {"xyz", "05-r-a_tz"},     {"05.ogg", "05-r-a_t.ogg"}, {"05.oggvorbis", "05-r-a_t.ogg"}};
  for (const auto& c : cases) {
    std::memset(Playback.Tracks[3].OggName, 0, sizeof Playback.Tracks[3].OggName);
    set(Playback.Tracks[3].OggName, c.ogg);
    EXPECT_EQ(ExtractTrackName(3), c.name) << c.ogg;
  }
  std::memset(Playback.Tracks, 0, sizeof Playback.Tracks);
  EXPECT_EQ(ExtractTrackName(0), "02--_");
}

TEST(Extraction, CopiesTheMusicWithAPlaylist) {
  qt::TempDir dir;
  for (const char* f : {"intro.ogg", "end.ogg", "folder.jpg", "05.ogg"}) ASSERT_TRUE(qt::WriteFile(dir / f, f));
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    std::memset(Playback.Tracks, 0, sizeof Playback.Tracks);
    for (int i = 0; i < kTrackCount; ++i) {
      auto set = [](uint8_t(&field)[256], const char* text) {
        field[0] = static_cast<uint8_t>(std::strlen(text));
        std::memcpy(field + 1, text, std::strlen(text));
      };
      set(Playback.Tracks[i].Line1, "artist");
      set(Playback.Tracks[i].Line2, "title");
      set(Playback.Tracks[i].Line3, "remixer");
      set(Playback.Tracks[i].OggName, "05.ogg");
    }
    ExtractMusic();
    std::printf("done\n");
    std::fflush(stdout);
    ExtractMusic();  // the folder exists now: the run-time library stops here
  });
  EXPECT_NE(r.exitCode, 0);
  EXPECT_EQ(r.out, "done\n");
  std::string folder = dir / "VA-Zentrove_Remix_compo2-Morrowkin";
  std::string playlist = qt::ReadFile(folder + "/00-VA-Zentrove_Remix_compo2-Morrowkin.m3u");
  auto lines = qt::SplitLines(playlist);
  ASSERT_EQ(lines.size(), 30u);
  EXPECT_EQ(playlist.substr(0, 21), "01-arbolt-intro.ogg\r\n");
  EXPECT_EQ(lines[1].substr(0, 27), "02-remixer-artist_title.ogg");
  EXPECT_EQ(lines[28].substr(0, 3), "29-");
  EXPECT_EQ(lines[29].substr(0, 19), "30-arbolt-outro.ogg");
  EXPECT_EQ(qt::ReadFile(folder + "/29-remixer-artist_title.ogg"), "05.ogg");
  EXPECT_EQ(qt::ReadFile(folder + "/folder.jpg"), "folder.jpg");
  EXPECT_EQ(qt::ReadFile(folder + "/01-arbolt-intro.ogg"), "intro.ogg");
}

// --- the program itself, on the demo archive ---------------------------------------------

// A start that cannot go on ends with a message and code 1, never a hang.
TEST(MusicDiskProgram, FailedStartsEndWithAMessage) {
  if (!qt::FileExists(MUSICDISK_ARCHIVE)) GTEST_SKIP() << "kelm.dat has not been built";
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  {
    qt::TempDir dir;  // no archive: the track table is the first file missing
    EXPECT_EQ(WaitFor(Launch(dir, false), 60), 1) << qt::ReadFile(dir / "stderr.txt");
    EXPECT_NE(qt::ReadFile(dir / "stderr.txt").find("File not found: tracks.dat."), std::string::npos);
    EXPECT_NE(qt::ReadFile(dir / "debug.log").find("File not found: tracks.dat."), std::string::npos);
  }
  {
    qt::TempDir dir;  // no audio device
    EXPECT_EQ(WaitFor(Launch(dir, true, "no-such-backend"), 90), 1) << qt::ReadFile(dir / "stderr.txt");
    EXPECT_NE(qt::ReadFile(dir / "stderr.txt").find("Can't initialize device"), std::string::npos);
  }
}

TEST(MusicDiskProgram, StartsOnTheDemoArchiveAndClosesCleanly) {
  if (!qt::FileExists(MUSICDISK_ARCHIVE)) GTEST_SKIP() << "kelm.dat has not been built";
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  qt::TempDir dir;
  std::string wav = dir / "out.wav";
  pid_t child = Launch(dir, true);
  ChildGuard guard{child};
  ASSERT_GT(child, 0);
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  Window w = WaitForTheFrameLoop(d, child, wav);
  ASSERT_NE(child, 0) << "the program ended early: " << qt::ReadFile(dir / "stderr.txt");
  ASSERT_NE(w, 0u) << "no window";
  EXPECT_GT(FileSize(wav), 200000) << "no music written";
  SendClose(d, w);
  int code = WaitFor(child, 30);
  child = 0;
  XCloseDisplay(d);
  EXPECT_EQ(code, 0) << qt::ReadFile(dir / "stderr.txt");

  std::string log = qt::ReadFile(dir / "debug.log");
  for (const char* line : {"[init] call : Window manager ...", "[init] call : GL unit ...", "[init] call : GLU unit ...",
                           "[init] call : Texture loader ...", "[init] --- end", "creatwindow\n", "creatwindow2\n",
                           "[cfg] windowed: true", "[ife] load: loading.ife", "[ife] load: gui.ife",
                           "[ife] load: highlight.ife"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  EXPECT_LT(log.find("[init] --- end"), log.find("creatwindow"));
  EXPECT_LT(log.find("[ife] load: v_blur.ife"), log.find("[ife] load: highlight.ife"));
}

// --- a whole run: intro, main, bonus and end screens -------------------------------------------

// How much of the last half second written is a tone of `hz`.
double ToneNow(const std::string& wav, double hz) {
  const bass_test::WaveData w = bass_test::ReadWave(qt::ReadFile(wav));
  const size_t frames = w.Frames();
  return frames < 22050 ? 0 : bass_test::ToneShare(w, frames - 22050, 22050, hz);
}

// Waits until the tone sounds, or has stopped (or the time is up); its
// share at the end.
double WaitForTone(const std::string& wav, double hz, int seconds, bool sounding = true) {
  double share = sounding ? 0 : 1;
  for (int i = 0; i < seconds * 5 && (sounding ? share < 0.9 : share > 0.5); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    share = ToneNow(wav, hz);
  }
  return share;
}

constexpr int kWholeRunWatchdogSeconds = 240;

TEST(MusicDiskProgram, RunsFromIntroToOutro) {
  if (!qt::FileExists(MUSICDISK_ARCHIVE)) GTEST_SKIP() << "kelm.dat has not been built";
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no display";
  // Well within ctest's limit: a hang ends here, with the program and the
  // X server killed first.
  qt::Watchdog dog(kWholeRunWatchdogSeconds);
  qt::OwnXServer server;
  ASSERT_TRUE(server.running()) << "no X server of our own";
  qt::TempDir dir;
  // Files beside the program come before the archive's: the sixth main
  // track, the first bonus track and the outro become tones that the
  // written audio tells apart.
  struct Tone {
    const char* name;
    double hz, seconds;
  } tones[] = {{"06.ogg", 1500, 30}, {"20.ogg", 2500, 30}, {"end.ogg", 3500, 12}};
  for (const Tone& t : tones) {
    const auto image = bass_test::StereoTone(t.seconds, t.hz, 0.5f, 0.5f);
    ASSERT_TRUE(qt::WriteFile(dir / t.name, std::string(image.begin(), image.end())));
  }
  const std::string wav = dir / "out.wav";
  pid_t child = Launch(dir, true);
  ChildGuard guard{child};
  ASSERT_GT(child, 0);
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  const Window w = WaitForTheFrameLoop(d, child, wav);
  ASSERT_NE(child, 0) << "the program ended early: " << qt::ReadFile(dir / "stderr.txt");
  ASSERT_NE(w, 0u) << "no window";
  XCloseDisplay(d);

  // Escape ends the intro; the main screen plays the first track.
  Xdo("mousemove --window " + std::to_string(w) + " 5 5");
  Xdo("key --window " + std::to_string(w) + " Escape");
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  Screenshot(w, "main");
  // The sixth record is the third row of the second column.
  ClickAt(w, 300, 505);
  EXPECT_GT(WaitForTone(wav, 1500, 20), 0.9) << "the clicked track does not play";
  Screenshot(w, "main-playing");
  ClickAt(w, 1178, 533);  // bonus
  EXPECT_GT(WaitForTone(wav, 2500, 20), 0.9) << "the first bonus track does not play";
  Screenshot(w, "bonus");
  ClickAt(w, 640, 107);  // back to main menu
  EXPECT_LT(WaitForTone(wav, 2500, 20, false), 0.5) << "still the bonus track";
  ClickAt(w, 1248, 695);  // end
  EXPECT_GT(WaitForTone(wav, 3500, 20), 0.9) << "the outro does not play";
  std::this_thread::sleep_for(std::chrono::milliseconds(2000));
  Screenshot(w, "end");
  // The program ends by itself when the outro has played.
  const int code = WaitFor(child, 30);
  child = 0;
  EXPECT_EQ(code, 0) << qt::ReadFile(dir / "stderr.txt");
}

}  // namespace
