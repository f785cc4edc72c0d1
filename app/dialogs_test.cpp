// The configuration dialog and the message box: what their callbacks make
// of each event, and the settings and log lines of a start with the switch
// "default" over fake display-mode lists.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/appshell.h"
#include "app/musicdisk.h"
#include "testsupport/app/events.h"
#include "testsupport/app/program.h"
#include "framework/base/file.h"
#include "framework/base/main.h"
#include "platform/rtl.h"
#include "units/sysunit.h"
#include "platform/display.h"
#include "testsupport/testsupport.h"

namespace {

using apptest::KeyEvent;
using apptest::MouseEvent;
using apptest::WindowEvent;

// A widget of the given ID and check state, as a callback receives it.
widget_t Item(int32_t id, int32_t value = 0) {
  widget_t w{};
  w.id = id;
  w.value_int = value;
  return w;
}

struct Settings {
  int32_t result, width, height, fullscreen, vsync, nosound, quality;
  bool operator==(const Settings&) const = default;
};
std::ostream& operator<<(std::ostream& o, const Settings& s) {
  return o << "result " << s.result << " " << s.width << "x" << s.height << " fs " << s.fullscreen << " vsync "
           << s.vsync << " nosound " << s.nosound << " quality " << s.quality;
}

constexpr Settings kStart{kDialogRunning, 1280, 720, 1, 1, 0, 0};

void Apply(const Settings& s) {
  Shell.DialogResult = s.result;
  Shell.CfgWidth = s.width;
  Shell.CfgHeight = s.height;
  Shell.CfgFullscreen = s.fullscreen;
  Shell.CfgVSync = s.vsync;
  Shell.CfgNoSound = s.nosound;
  Shell.CfgTextureQuality = s.quality;
}

Settings Current() {
  return {Shell.DialogResult, Shell.CfgWidth, Shell.CfgHeight, Shell.CfgFullscreen,
          Shell.CfgVSync,     Shell.CfgNoSound, Shell.CfgTextureQuality};
}

TEST(ConfigDialogEvent, WhatEachEventDoes) {
  const wm_event_t held = MouseEvent(10, 10, 1);
  const wm_event_t free = MouseEvent(10, 10, 0);
  struct Case {
    const char* what;
    widget_t item;
    wm_event_t event;
    Settings after;
  } cases[] = {
      {"close request", Item(1), WindowEvent(WM_CONF_CLOSE), {kDialogQuit, 1280, 720, 1, 1, 0, 0}},
      {"resize", Item(1), WindowEvent(12, 5, 5), kStart},
      {"Escape pressed", Item(1), KeyEvent(WM_KEY_DOWN, 1), kStart},
      {"Escape released", Item(1), KeyEvent(WM_KEY_UP, 1), {kDialogQuit, 1280, 720, 1, 1, 0, 0}},
      {"Enter pressed", Item(1), KeyEvent(WM_KEY_DOWN, 51), kStart},
      {"Enter released", Item(1000), KeyEvent(WM_KEY_UP, 51), {kDialogStart, 1280, 720, 1, 1, 0, 0}},
      {"another key released", Item(23), KeyEvent(WM_KEY_UP, 30), kStart},
      {"quit held", Item(23), held, {kDialogQuit, 1280, 720, 1, 1, 0, 0}},
      {"quit not held", Item(23), free, kStart},
      {"start held", Item(1000), held, {kDialogStart, 1280, 720, 1, 1, 0, 0}},
      {"start not held", Item(1000), free, kStart},
      {"1280 x 800", Item(102), held, {kDialogRunning, 1280, 800, 1, 1, 0, 0}},
      {"1280 x 1024", Item(103), held, {kDialogRunning, 1280, 1024, 1, 1, 0, 0}},
      {"1280 x 720", Item(101), held, kStart},
      {"size not held", Item(103), free, kStart},
      {"no sound ticked", Item(120, 1), held, {kDialogRunning, 1280, 720, 1, 1, 1, 0}},
      {"vsync unticked", Item(121, 0), held, {kDialogRunning, 1280, 720, 1, 0, 0, 0}},
      {"windowed ticked", Item(122, 1), held, {kDialogRunning, 1280, 720, 0, 1, 0, 0}},
      {"windowed unticked", Item(122, 0), held, kStart},
      {"quality radio", Item(117, 1), held, kStart},
      {"the window's own ID", Item(1), held, kStart},
      {"a draw event", Item(1000), [] {
         wm_event_t e{};
         e.type = 3;
         return e;
       }(),
       kStart},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    Apply(kStart);
    EXPECT_EQ(ConfigDialogEvent(&c.item, &c.event), 0);
    EXPECT_EQ(Current(), c.after);
  }
  // A close request goes on to the mouse step: a held button there counts.
  Apply(kStart);
  widget_t windowed = Item(122, 1);
  wm_event_t closeHeld = WindowEvent(WM_CONF_CLOSE);
  closeHeld.mouse.left = 1;
  ConfigDialogEvent(&windowed, &closeHeld);
  EXPECT_EQ(Current(), (Settings{kDialogQuit, 1280, 720, 0, 1, 0, 0}));
  EXPECT_EQ(ConfigDialogEvent(nullptr, &closeHeld), 0);
  EXPECT_EQ(ConfigDialogEvent(&windowed, nullptr), 0);
}

TEST(MessageBoxEvent, WhatDismissesTheBox) {
  struct Case {
    const char* what;
    int32_t id;
    wm_event_t event;
    int32_t result;
  } cases[] = {
      {"close request", 1, WindowEvent(WM_CONF_CLOSE), kDialogStart},
      {"Escape released", 1, KeyEvent(WM_KEY_UP, 1), kDialogStart},
      {"Enter released", 1, KeyEvent(WM_KEY_UP, 51), kDialogStart},
      {"Escape pressed", 1, KeyEvent(WM_KEY_DOWN, 1), kDialogRunning},
      {"Enter pressed on the button", 23, KeyEvent(WM_KEY_DOWN, 51), kDialogRunning},
      {"another key", 1, KeyEvent(WM_KEY_UP, 30), kDialogRunning},
      {"button held", 23, MouseEvent(3, 3, 1), kDialogStart},
      {"button moved over", 23, MouseEvent(3, 3, 0), kDialogRunning},
      {"text held", 100, MouseEvent(3, 3, 1), kDialogRunning},
      {"window held", 1, MouseEvent(3, 3, 1), kDialogRunning},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    Shell.DialogResult = kDialogRunning;
    widget_t w = Item(c.id);
    EXPECT_EQ(MessageBoxEvent(&w, &c.event), 0);
    EXPECT_EQ(Shell.DialogResult, c.result);
  }
}

// --- the switch "default" ---------------------------------------------------------------

class FakeModes : public plat::DisplayBackend {
 public:
  explicit FakeModes(std::vector<plat::DisplayMode> modes) : modes_(std::move(modes)) {}
  bool Current(plat::DisplayMode& m) override {
    m = {1920, 1080, 32, 60};
    return true;
  }
  bool Mode(DWORD index, plat::DisplayMode& m) override {
    if (index >= modes_.size()) return false;
    m = modes_[index];
    return true;
  }
  LONG Change(const plat::DisplayMode&, bool) override { return DISP_CHANGE_FAILED; }
  LONG Restore() override { return DISP_CHANGE_SUCCESSFUL; }

 private:
  std::vector<plat::DisplayMode> modes_;
};

// A configuration dialog with every item, the check boxes and the quality
// radio buttons set as given.
std::string ConfigXml(int windowed, int vsync, int nosound, int quality) {
  std::string xml = "<WINDOW ID=\"1\" TITLE=\"setup\" WIDTH=\"300\" HEIGHT=\"200\"/>\n";
  for (int id : {101, 102, 103})
    xml += "<RADIOBUTTON ID=\"" + std::to_string(id) + "\" GID=\"1\" WIDTH=\"90\" HEIGHT=\"20\" TITLE=\"size\"" +
           (id == 101 ? " VALUE=\"1\"" : "") + "/>\n";
  for (int id : {115, 116, 117})
    xml += "<RADIOBUTTON ID=\"" + std::to_string(id) + "\" GID=\"2\" WIDTH=\"90\" HEIGHT=\"20\" TITLE=\"q\" VALUE=\"" +
           (id - 115 == quality ? "1" : "0") + "\"/>\n";
  const std::pair<int, int> boxes[] = {{120, nosound}, {121, vsync}, {122, windowed}};
  for (const auto& [id, value] : boxes)
    xml += "<CHECKBOX ID=\"" + std::to_string(id) + "\" WIDTH=\"90\" HEIGHT=\"20\" TITLE=\"c\" VALUE=\"" +
           std::to_string(value) + "\"/>\n";
  xml += "<BUTTON ID=\"1000\" WIDTH=\"60\" HEIGHT=\"20\" TITLE=\"Start\"/>\n";
  xml += "<BUTTON ID=\"23\" WIDTH=\"60\" HEIGHT=\"20\" TITLE=\"Quit\"/>\n";
  return xml;
}

constexpr char kMessageBoxXml[] =
    "<WINDOW ID=\"1\" TITLE=\"box\" WIDTH=\"300\" HEIGHT=\"100\"/>\n"
    "<LABEL ID=\"100\" WIDTH=\"280\" HEIGHT=\"20\" COLOR=\"FFFFFFFF\"/>\n"
    "<BUTTON ID=\"23\" WIDTH=\"60\" HEIGHT=\"20\" TITLE=\"OK\"/>\n";

// The [cfg] lines of the log.
std::vector<std::string> CfgLines(const std::string& log) {
  std::vector<std::string> out;
  for (const std::string& line : qt::SplitLines(log))
    if (line.rfind("[cfg]", 0) == 0) out.push_back(line);
  return out;
}

TEST(ConfigDialogDefault, SettingsAndLogOverModeLists) {
  struct Case {
    const char* what;
    std::vector<plat::DisplayMode> modes;
    std::string xml;
    std::vector<std::string> lines;
    const char* items;  // the size items afterwards: e enabled, d disabled, with their text grey
  } cases[] = {
      {"no modes",
       {},
       ConfigXml(0, 1, 0, 0),
       {"[cfg] ! no available video modes?", "[cfg] width: 1280", "[cfg] height: 720", "[cfg] windowed: false",
        "[cfg] vsync on", "[cfg] sound on", "[cfg] texture quality high"},
       "d100 d100 d100"},
      {"each size at two rates, other depths passed over",
       {{1280, 720, 32, 60},
        {1280, 720, 32, 75},
        {1280, 1024, 16, 60},
        {1024, 768, 32, 60},
        {1280, 800, 32, 60},
        {1280, 800, 32, 75}},
       ConfigXml(1, 0, 1, 1),
       {"[cfg] yep.", "[cfg] - 1280x720 32bits", "[cfg] - 1280x720 32bits", "[cfg] - 1024x768 32bits",
        "[cfg] - 1280x800 32bits", "[cfg] - 1280x800 32bits", "[cfg] width: 1280", "[cfg] height: 720",
        "[cfg] windowed: true", "[cfg] vsync off", "[cfg] nosound", "[cfg] texture quality medium"},
       "e228 e228 d100"},
      {"only 1280 x 1024, low quality",
       {{1280, 1024, 32, 0}},
       ConfigXml(0, 1, 0, 2),
       {"[cfg] yep.", "[cfg] - 1280x1024 32bits", "[cfg] width: 1280", "[cfg] height: 720", "[cfg] windowed: false",
        "[cfg] vsync on", "[cfg] sound on", "[cfg] texture quality low"},
       "d100 d100 e228"},
      // An item the description lacks counts as unchecked: read as its
      // lookup's -1 it would be checked, a plainly wrong result (no sound,
      // windowed, from items that are not there).
      {"no check boxes, no items at all",
       {{1280, 720, 32, 60}},
       "<WINDOW ID=\"1\" TITLE=\"setup\" WIDTH=\"300\" HEIGHT=\"200\"/>\n",
       {"[cfg] yep.", "[cfg] - 1280x720 32bits", "[cfg] width: 1280", "[cfg] height: 720", "[cfg] windowed: false",
        "[cfg] vsync off", "[cfg] sound on", "[cfg] texture quality high"},
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qt::TempDir dir;
    ASSERT_TRUE(qt::WriteFile(dir / "cfg.xml", c.xml));
    ASSERT_TRUE(qt::WriteFile(dir / "msgbox.xml", kMessageBoxXml));
    auto r = qt::RunInChild([&] {
      qt::ChangeDir cd(dir.path());
      qt::Args args{"\\bin\\prog", "-default", "-v"};
      SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
      FakeModes modes(c.modes);
      plat::SetDisplayBackend(&modes);
      AppShellUnitInit();
      Shell.CfgTextureQuality = 0;
      CHILD_CHECK(ConfigDialog() == 0);
      std::string items;
      for (int id : {101, 102, 103}) {
        const widget_t* w = wdgFind(Shell.CfgDialogSet, id);
        if (!w) continue;
        items += (items.empty() ? "" : " ") + std::string(w->disabled ? "d" : "e") +
                 std::to_string(static_cast<int>(w->style.tc[0] * 255.0f + 0.5f));
      }
      std::printf("%s\n", items.c_str());
      plat::SetDisplayBackend(nullptr);
    });
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(CfgLines(qt::ReadFile(dir / "debug.log")), c.lines);
    EXPECT_EQ(r.out, std::string(c.items) + "\n");
  }
}

// --- the program, under an X server of the test's own -------------------------------------

namespace program {

using namespace apptest;

constexpr char kSetupTitle[] = "Zentrove Remix Competition 2 Musicdisk - setup";
constexpr char kBoxTitle[] = "Zentrove Remix Competition 2 Musicdisk - error";
constexpr char kDiskTitle[] = "Zentrove Remix Competition 2 Musicdisk";
// Centres of the buttons in the demo data's dialogs (window pixels).
constexpr int kStartX = 278, kStartY = 303;
constexpr int kQuitX = 374, kQuitY = 303;
constexpr int kWindowedX = 114, kWindowedY = 223;
constexpr int kOkX = 578, kOkY = 119;
constexpr int kWatchdogSeconds = 240;

bool AtOnce() { return true; }

size_t Occurrences(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Lets the window draw a few frames before it is photographed or clicked.
void LetItDraw() { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); }

class DialogProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!qt::FileExists(MUSICDISK_ARCHIVE)) GTEST_SKIP() << "kelm.dat has not been built";
    ASSERT_TRUE(server_.running()) << "no X server of our own";
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr);
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }
  // Starts the program without "default" and waits until its setup dialog
  // has drawn; the dialog, or 0 after a recorded failure.
  Window OpenTheDialog() {
    child_ = Launch(dir_, true, "null", {"-v"});
    guard_ = std::make_unique<ChildGuard>(child_);
    const Window setup = WaitForWindow(display_, kSetupTitle, child_, 60, AtOnce);
    if (!child_ || !setup) {
      ADD_FAILURE() << "no dialog: " << qt::ReadFile(dir_ / "stderr.txt");
      return 0;
    }
    LetItDraw();
    return setup;
  }
  // Presses the dialog's start button; the disk's window must come, 1280 x
  // 720 at the given place, and closing it must end the program with 0.
  void StartAndExpectTheWindowAt(Window setup, int x, int y) {
    ClickWindowAt(setup, kStartX, kStartY);
    const Window disk = WaitForWindow(display_, kDiskTitle, child_, 60, AtOnce);
    ASSERT_NE(disk, 0u) << "no window after the start button: " << qt::ReadFile(dir_ / "stderr.txt");
    XWindowAttributes a{};
    ASSERT_TRUE(XGetWindowAttributes(display_, disk, &a));
    EXPECT_EQ(a.width, 1280);
    EXPECT_EQ(a.height, 720);
    EXPECT_EQ(a.x, x);
    EXPECT_EQ(a.y, y);
    SendClose(display_, disk);
    EXPECT_EQ(Ended(60), 0) << qt::ReadFile(dir_ / "stderr.txt");
  }
  void ExpectQuitting(const std::function<void(Window)>& quit);
  // The program's exit code; it is gone afterwards.
  int Ended(int seconds) {
    const int code = WaitFor(child_, seconds);
    child_ = 0;
    return code;
  }

  qt::Watchdog dog_{kWatchdogSeconds};
  qt::OwnXServer server_;
  qt::TempDir dir_;
  Display* display_ = nullptr;
  pid_t child_ = 0;
  std::unique_ptr<ChildGuard> guard_;
};

// Escape, with the pointer over the window (the key goes where it is).
void PressEscape(Window w) {
  Xdo("mousemove --window " + std::to_string(w) + " 5 5");
  Xdo("key --window " + std::to_string(w) + " Escape");
}

TEST_F(DialogProgram, StartButtonOpensTheDiskWindow) {
  const Window setup = OpenTheDialog();
  ASSERT_NE(setup, 0u);
  Screenshot(setup, "setup");
  EXPECT_EQ(FindWindow(display_, kDiskTitle, child_), 0u) << "the disk's window came before the start";
  StartAndExpectTheWindowAt(setup, (1920 - 1280) / 2, (1080 - 720) / 2);
  const std::string log = qt::ReadFile(dir_ / "debug.log");
  for (const char* line : {"[cfg] yep.", "[cfg] width: 1280\n", "[cfg] height: 720\n", "[cfg] windowed: true\n",
                           "[cfg] vsync on\n", "[cfg] sound on\n", "[cfg] texture quality high\n", "creatwindow2\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
}

// The test's X server offers no 1280-wide mode, so the display keeps its
// size; the window still covers the top left corner.
TEST_F(DialogProgram, UntickingWindowedStartsFullScreen) {
  const Window setup = OpenTheDialog();
  ASSERT_NE(setup, 0u);
  ClickWindowAt(setup, kWindowedX, kWindowedY);
  StartAndExpectTheWindowAt(setup, 0, 0);
  const std::string log = qt::ReadFile(dir_ / "debug.log");
  EXPECT_NE(log.find("[cfg] windowed: false\n"), std::string::npos);
  EXPECT_NE(log.find("[cfg] width: 1280\n[cfg] height: 720\n"), std::string::npos);
}

// Escape, the quit button and the window's close button each end the
// program at once with 0: no window of the disk, no exit entry.
void DialogProgram::ExpectQuitting(const std::function<void(Window)>& quit) {
  const Window setup = OpenTheDialog();
  ASSERT_NE(setup, 0u);
  quit(setup);
  EXPECT_EQ(Ended(30), 0) << qt::ReadFile(dir_ / "stderr.txt");
  const std::string log = qt::ReadFile(dir_ / "debug.log");
  EXPECT_NE(log.find("creatwindow\n"), std::string::npos);
  EXPECT_EQ(log.find("creatwindow2"), std::string::npos) << "the program went on after the dialog";
  EXPECT_EQ(log.find("[exit]"), std::string::npos);
}

TEST_F(DialogProgram, EscapeEndsTheProgramWithZero) { ExpectQuitting(PressEscape); }

TEST_F(DialogProgram, QuitButtonEndsTheProgramWithZero) {
  ExpectQuitting([](Window setup) { ClickWindowAt(setup, kQuitX, kQuitY); });
}

TEST_F(DialogProgram, ClosingTheDialogEndsTheProgramWithZero) {
  ExpectQuitting([this](Window setup) { SendClose(display_, setup); });
}

// A track file missing from a folder archive: clicking the track shows the
// box with its name, and the box's button ends the program with code 1.
TEST_F(DialogProgram, MissingTrackShowsTheBoxUntilItsButton) {
  FolderArchiveWithout(dir_, "06.ogg");
  const std::string wav = dir_ / "out.wav";
  child_ = Launch(dir_, false, nullptr, {"-default", "-v"}, false);
  guard_ = std::make_unique<ChildGuard>(child_);
  ASSERT_GT(child_, 0);
  const Window disk = WaitForTheFrameLoop(display_, child_, wav);
  ASSERT_NE(child_, 0) << "the program ended early: " << qt::ReadFile(dir_ / "stderr.txt");
  ASSERT_NE(disk, 0u) << "no window";
  PressEscape(disk);  // from the intro to the main screen
  LetItDraw();
  ClickAt(disk, 300, 505);  // the sixth record: third row of the second column
  const Window box = WaitForWindow(display_, kBoxTitle, child_, 30, AtOnce);
  ASSERT_NE(box, 0u) << "no message box: " << qt::ReadFile(dir_ / "stderr.txt");
  LetItDraw();
  Screenshot(box, "msgbox");
  EXPECT_EQ(FindWindow(display_, kDiskTitle, child_), 0u) << "the disk's window is still there";
  EXPECT_NE(qt::ReadFile(dir_ / "debug.log").find("File not found: 06.ogg.\n"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  int status = 0;
  EXPECT_EQ(waitpid(child_, &status, WNOHANG), 0) << "the program did not wait for the box";
  ClickWindowAt(box, kOkX, kOkY);
  EXPECT_EQ(Ended(30), 1) << qt::ReadFile(dir_ / "stderr.txt");
}

// Under test the box answers itself once it has been drawn, noting its
// window's title and its text.
TEST_F(DialogProgram, BoxAnswersForTests) {
  auto r = qt::RunInChild([&] {
    setenv("QUARN_MSGBOX_TEST", "1", 1);
    setenv("QUARN_MSGBOX_LOG", (dir_ / "boxes.txt").c_str(), 1);
    qt::Args args{"/bin/prog"};
    RtlSetArgs(args.argc(), args.argv());
    MusicDiskUnitInits();
    RunInits();
    SYS_FilePackOpen(MUSICDISK_ARCHIVE);
    SYS_FileOpen("nothing.ife", 0);
    std::printf("not reached\n");
  });
  EXPECT_EQ(r.exitCode, 1) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(qt::ReadFile(dir_ / "boxes.txt"), std::string(kBoxTitle) + "|File not found: nothing.ife.\n");
  EXPECT_EQ(r.err, "File not found: nothing.ife.\n");
}

// Without the archive the message box's own description is missing too:
// the message still reaches the user, once, and the program ends with 1.
TEST(DialogProgramWithoutArchive, EndsWithCodeOneAndTheMessage) {
  qt::Watchdog dog(kWatchdogSeconds);
  qt::TempDir dir;
  pid_t child = Launch(dir, false, "null", {"-v"});
  ChildGuard guard{child};
  ASSERT_GT(child, 0);
  const int code = WaitFor(child, 60);
  child = 0;
  const std::string err = qt::ReadFile(dir / "stderr.txt");
  EXPECT_EQ(code, 1) << err;
  EXPECT_EQ(Occurrences(err, "File not found: tracks.dat."), 1u) << err;
  EXPECT_NE(err.find("File not found: msgbox.xml."), std::string::npos) << err;
}

// The dialogs' font missing from the archive: the message box cannot show
// its text, so the platform's box shows "File not found: " with the font's
// name, once, and the program ends with 1, whether the setup dialog was to
// run or not (its font is the first file the dialogs open).
TEST(DialogProgramWithoutTheDialogFont, TheFontsNameReachesTheUser) {
  qt::Watchdog dog(kWatchdogSeconds);
  if (!qt::FileExists(MUSICDISK_ARCHIVE)) GTEST_SKIP() << "kelm.dat has not been built";
  const std::string font = "DejaVuSans.ttf";
  const std::string message = "File not found: " + font + ".";
  for (const std::vector<std::string>& switches : {std::vector<std::string>{"-default", "-v"}, {"-v"}}) {
    SCOPED_TRACE(switches.front());
    qt::TempDir dir;
    FolderArchiveWithout(dir, font);
    pid_t child = Launch(dir, false, "null", switches);
    ChildGuard guard{child};
    ASSERT_GT(child, 0);
    const int code = WaitFor(child, 60);
    child = 0;
    EXPECT_EQ(code, 1) << qt::ReadFile(dir / "stderr.txt");
    EXPECT_EQ(qt::ReadFile(dir / "boxes.txt"), "Error!|" + message + "\n");
    EXPECT_NE(qt::ReadFile(dir / "debug.log").find(message + "\n"), std::string::npos);
  }
}

}  // namespace program

}  // namespace
