// The WINDOW widget and the event router, over headless windows of the real
// window manager and the recording GL.
#include <string>
#include <vector>

#include "testsupport/widget/spy.h"
#include "testsupport/widget/widget.h"

namespace {

using namespace wdgtest;

std::vector<std::string>& Heard() {
  static std::vector<std::string> heard;
  return heard;
}

// Writes down what reached a user callback: "type", "type/action" for a
// window event, "type@x,y" for a mouse event.
int32_t Listen(widget_t*, wm_event_t* e) {
  std::string what = std::to_string(e->type);
  if (e->type == WM_EVENT_WINDOW) what += "/" + std::to_string(e->conf.action);
  if (e->type == WM_EVENT_MOUSE) what += "@" + std::to_string(e->mouse.x) + "," + std::to_string(e->mouse.y);
  Heard().push_back(what);
  return 0;
}

class WindowTest : public WidgetTest {
 protected:
  void TearDown() override {
    if (set) wdgUnload(set);
    WidgetTest::TearDown();
  }
  widget_t* LoadWindow(const std::string& xml) {
    set = Load(xml);
    return set ? wdgFindKind(set, WDG_KIND_WINDOW) : nullptr;
  }
  void Unload() {
    wdgUnload(set);
    set = nullptr;
  }
  // Shows a dialog whose WINDOW tells Listen what it hears from the start.
  widget_t* ShowListened(const std::string& xml) {
    widget_t* w = LoadWindow(xml);
    if (!w) return nullptr;
    Heard().clear();
    wdgSetCallback(w, Listen);
    wdgShowAll(set);
    return w;
  }
  // Shows a dialog whose WINDOW has the image "bg.tga"; the image's node.
  TM_Node_t* ShowBackground(const std::string& xml) {
    AddImage("bg.tga", tlfix::SimpleTga(4, 2, 32));
    window = LoadWindow(xml);
    if (!window) return nullptr;
    wdgShowAll(set);
    return tmFind("bg.tga");
  }
  SYS_List_p set = nullptr;
  widget_t* window = nullptr;
};

std::string Colour(uint32_t rgba) {
  float c[4];
  wdgColorFromBytes(static_cast<int32_t>(rgba >> 24), static_cast<int32_t>(rgba >> 16), static_cast<int32_t>(rgba >> 8),
                    static_cast<int32_t>(rgba), c);
  return Num(c[0]) + " " + Num(c[1]) + " " + Num(c[2]) + " " + Num(c[3]);
}

size_t IndexOf(const std::string& line) {
  for (size_t i = 0; i < Calls().size(); ++i)
    if (Calls()[i] == line) return i;
  return Calls().size();
}

bool IsVisible(HWND hwnd) { return (static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & WS_VISIBLE) != 0; }

int WindowCount() {
  int n = 0;
  for (SYS_List_p node = wmState.windows; node; node = node->next) ++n;
  return n;
}

// --- on a display ---------------------------------------------------------------------------------
// Real windows and the real GL, in a child of their own: the other tests of
// this program run over headless windows and the recorder.

// A 2 x 2 image of one colour, stored blue, green, red, alpha.
tlfix::Bytes OneColourImage(uint8_t r, uint8_t g, uint8_t b) {
  tlfix::TgaSpec spec;
  spec.width = 2;
  spec.height = 2;
  spec.bits = 32;
  for (int i = 0; i < 4; ++i) spec.pixels.insert(spec.pixels.end(), {b, g, r, 0xFF});
  return tlfix::Tga(spec);
}

// The pixel at the middle of the current window's back buffer, as 0xRRGGBB.
uint32_t MiddlePixel(const widget_t* window) {
  uint8_t p[4] = {};
  wmGL.glReadPixels(window->width / 2, window->height / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}

TEST(WindowOnDisplay, DialogsDrawInSharedContextsAndComeBackInTheirWindow) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  qt::ExpectPassesInChild([] {
    static qt::Args args{"\\bin\\widget_test"};
    ASSERT_EQ(SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr), 0);
    plat::SetHeadlessWindows(false);
    ASSERT_EQ(wmInit(), 0);
    tlfix::UseMemFiles().files["bg.tga"] = OneColourImage(0x40, 0x80, 0xC0);
    txOptions(TX_OPT_ORDER, 1);
    tmInit();
    wdgInit();

    SYS_List_p tinted = wdgLoad(WDG_SOURCE_TEXT, R"(<WINDOW TITLE="a" BG="bg.tga" FGCOLOR="FFFFFFFF"/>)");
    SYS_List_p black = wdgLoad(WDG_SOURCE_TEXT, R"(<WINDOW TITLE="b" BG="bg.tga"/>)");
    SYS_List_p plain = wdgLoad(WDG_SOURCE_TEXT, R"(<WINDOW TITLE="c" WIDTH="320" HEIGHT="200"/>)");
    ASSERT_TRUE(tinted && black && plain);
    widget_t* a = wdgFindKind(tinted, WDG_KIND_WINDOW);
    widget_t* b = wdgFindKind(black, WDG_KIND_WINDOW);
    widget_t* c = wdgFindKind(plain, WDG_KIND_WINDOW);
    EXPECT_EQ(wdgShowAll(tinted), 0);
    EXPECT_EQ(wdgShowAll(black), 0);
    EXPECT_EQ(wdgShowAll(plain), 0);
    ASSERT_NE(a->window->glContext, nullptr);
    RECT client{};
    GetClientRect(c->window->hwnd, &client);
    EXPECT_EQ(client.right - client.left, 320);
    EXPECT_EQ(client.bottom - client.top, 200);

    // Each frame is drawn into the window's own context: the image tinted
    // white shows as it is, tinted with the default FC it is black, and a
    // window without image is cleared with its background colour.
    wdgRedraw(a);
    EXPECT_EQ(MiddlePixel(a), 0x4080C0u);
    wdgRedraw(b);
    EXPECT_EQ(MiddlePixel(b), 0x000000u);
    wdgRedraw(c);
    EXPECT_EQ(MiddlePixel(c), 0x212B3Bu);
    EXPECT_EQ(wmGL.glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The image was uploaded once, in the first window's context, and is a
    // texture in the last one's too.
    TM_Node_t* node = tmFind("bg.tga");
    ASSERT_NE(node, nullptr);
    wmMakeCurrent(c->window);
    EXPECT_TRUE(wmGL.glIsTexture(node->texture));

    HWND first = a->window->hwnd;
    wdgHideAll(tinted);
    wdgShowAll(tinted);
    EXPECT_EQ(a->window->hwnd, first);
    wdgRedraw(a);
    EXPECT_EQ(MiddlePixel(a), 0x4080C0u) << "the texture outlives a hide";

    wdgUnload(tinted);
    EXPECT_NE(tmFind("bg.tga"), nullptr) << "the other window still uses the image";
    wdgUnload(black);
    EXPECT_EQ(tmFind("bg.tga"), nullptr);
    wdgUnload(plain);
    EXPECT_EQ(wmState.windows, nullptr);
    tmDone();
  });
}

// --- init ---------------------------------------------------------------------------------------

struct Placement {
  const char* xml;
  int32_t x, y, width, height;
};

TEST_F(WindowTest, InitPlacesTheWindowAndCentresWhatIsNotGiven) {
  const Placement cases[] = {
      {"<WINDOW/>", 640, 300, 640, 480},
      {"<WINDOW X=\"0\"/>", 0, 300, 640, 480},
      {"<WINDOW Y=\"0\"/>", 640, 0, 640, 480},
      {"<WINDOW X=\"-1\" Y=\"20\"/>", 640, 20, 640, 480},
      {"<WINDOW WIDTH=\"800\" HEIGHT=\"600\"/>", 560, 240, 800, 600},
      {"<WINDOW X=\"5\" Y=\"6\" WIDTH=\"7\" HEIGHT=\"8\"/>", 5, 6, 7, 8},
      {"<WINDOW WIDTH=\"1921\" HEIGHT=\"1081\"/>", 0, 0, 1921, 1081},  // the quotient truncates toward zero
      {"<WINDOW WIDTH=\"-2147483648\" HEIGHT=\"2147483647\"/>", 1073742784, -1073741283, INT32_MIN, INT32_MAX},
  };
  for (const Placement& c : cases) {
    SCOPED_TRACE(c.xml);
    widget_t* w = LoadWindow(c.xml);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->x, c.x);
    EXPECT_EQ(w->y, c.y);
    EXPECT_EQ(w->width, c.width);
    EXPECT_EQ(w->height, c.height);
    ASSERT_NE(w->window, nullptr);
    EXPECT_EQ(w->window->x, c.x);
    EXPECT_EQ(w->window->y, c.y);
    EXPECT_EQ(w->window->width, c.width);
    EXPECT_EQ(w->window->height, c.height);
    EXPECT_EQ(w->window->hwnd, nullptr) << "the operating-system window waits for the show";
    Unload();
  }
}

TEST_F(WindowTest, InitSetsTitleRouterAndResizable) {
  widget_t* w = LoadWindow("<WINDOW TITLE=\"Setup\" RESIZEABLE=\"yes\" DND=\"1\" FULLSCREEN=\"1\"/>");
  ASSERT_NE(w, nullptr);
  EXPECT_STREQ(w->window->title, "Setup");
  EXPECT_EQ(w->window->callback, &wdgRouteEvent);
  EXPECT_EQ(w->window->resizable, 1);
  EXPECT_EQ(w->fullscreen, 1);
  EXPECT_EQ(w->dnd, 1);
  EXPECT_EQ(w->kind, WDG_KIND_WINDOW);
  Unload();

  w = LoadWindow("<WINDOW/>");
  ASSERT_NE(w, nullptr);
  ASSERT_NE(w->window->title, nullptr) << "a window without TITLE gets an empty title";
  EXPECT_STREQ(w->window->title, "");
  EXPECT_EQ(w->window->resizable, 0);
  Unload();

  // RESIZEABLE alone decides the frame; DND has no say in it.
  const std::pair<const char*, int32_t> flags[] = {
      {"<WINDOW RESIZEABLE=\"1\" DND=\"0\"/>", 1},
      {"<WINDOW RESIZEABLE=\"0\" DND=\"1\"/>", 0},
  };
  for (const auto& [xml, resizable] : flags) {
    SCOPED_TRACE(xml);
    w = LoadWindow(xml);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->window->resizable, resizable);
    Unload();
  }
}

TEST_F(WindowTest, InitTakesTheWindowStyle) {
  widget_t* w = LoadWindow("<WINDOW/>");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(wdgColorToInt(w->style.bc), 0x212B3BFFu);
  EXPECT_EQ(wdgColorToInt(w->style.fc), 0x00000000u);
  EXPECT_EQ(w->style.background, 1);
  EXPECT_EQ(w->style.border, 0);
}

TEST_F(WindowTest, AFailedInitLeavesNoWindowBehind) {
  const int before = WindowCount();
  set = Load("<WINDOW BOGUS=\"1\"/><LINE/>");
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(wdgFindKind(set, WDG_KIND_WINDOW), nullptr);
  EXPECT_EQ(WindowCount(), before);
}

// --- routing ------------------------------------------------------------------------------------

TEST_F(WindowTest, TheRouterHandsOneRecordToEveryWidgetInOrder) {
  widget_t* w = LoadWindow("<WINDOW/><LINE/><FRAME/><LABEL WIDTH=\"64\" HEIGHT=\"16\"/>");
  ASSERT_NE(w, nullptr);
  SpyOn(set);
  wm_event_t e = Move(w->window, 30, 40);
  wdgRouteEvent(&e);
  EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"0:1", "1:1", "2:1", "3:1"}));
  for (const SpiedEvent& s : Spied()) EXPECT_EQ(s.record, &e) << "every widget sees the same record";
}

TEST_F(WindowTest, WhatOneWidgetChangesInTheRecordTheNextOneSees) {
  widget_t* w = LoadWindow("<WINDOW/><LINE/>");
  ASSERT_NE(w, nullptr);
  SpyOn(set);
  wdgSetCallback(w, [](widget_t*, wm_event_t* e) -> int32_t {
    e->mouse.x = 7;
    return 0;
  });
  Route(Move(w->window, 30, 40));
  ASSERT_EQ(Spied().size(), 2u);
  EXPECT_EQ(Spied()[1].x, 7);
}

TEST_F(WindowTest, EventsOfAWindowWithoutASetReachNobody) {
  widget_t* w = LoadWindow("<WINDOW/><LINE/>");
  ASSERT_NE(w, nullptr);
  SpyOn(set);
  wm_event_t none = Move(nullptr, 1, 1);
  EXPECT_EQ(wdgRouteEvent(&none), 0);
  EXPECT_EQ(wdgRouteEvent(nullptr), 0);
  wmOptions(w->window, WM_OPT_SET_USERDATA, 0);
  Route(Move(w->window, 1, 1));
  EXPECT_TRUE(Spied().empty());
  wmOptions(w->window, WM_OPT_SET_USERDATA, reinterpret_cast<intptr_t>(set));
}

TEST_F(WindowTest, TheCallbackHearsKeysMouseCloseDrawAndShow) {
  widget_t* w = ShowListened("<WINDOW/><LINE/>");
  ASSERT_NE(w, nullptr);
  Route(Key(w->window, 1, WM_KEY_DOWN));
  Route(Press(w->window, 600, 470));
  Route(Close(w->window));
  wdgDrawAll(set);
  // Changes, enabling and disabling are the toolkit's own business.
  wdgChanged(w);
  wdgDisable(w);
  wdgEnable(w);
  EXPECT_EQ(Heard(), (std::vector<std::string>{"6", "3", "0", "1@600,470", "2/5", "3"}));
}

TEST_F(WindowTest, EventsPostedToTheWindowReachTheCallbackThroughTheWindowManager) {
  widget_t* w = ShowListened("<WINDOW/>");
  ASSERT_NE(w, nullptr);
  ASSERT_NE(w->window->hwnd, nullptr);
  Heard().clear();
  PostMessageA(w->window->hwnd, WM_LBUTTONDOWN, 0, MAKELPARAM(12, 34));
  PostMessageA(w->window->hwnd, WM_CLOSE, 0, 0);
  EXPECT_EQ(wdgProcess(set), 0);
  EXPECT_EQ(Heard(), (std::vector<std::string>{"1@12,34", "2/5", "3"}));
}

TEST_F(WindowTest, AHiddenSetNeitherDrawsNorHearsDraws) {
  widget_t* w = LoadWindow("<WINDOW/><FRAME/><LINE/>");
  ASSERT_NE(w, nullptr);
  wdgSetCallbackAll(set, Listen);
  wdgDrawAll(set);  // never shown
  wdgShowAll(set);
  wdgHideAll(set);
  Heard().clear();
  Calls().clear();
  wdgDrawAll(set);
  wdgRedraw(w);
  EXPECT_TRUE(Heard().empty());
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(w->window->hwnd != nullptr, true) << "hiding keeps the window for the next show";
}

// --- the frame ----------------------------------------------------------------------------------

std::vector<std::string> FrameSetUp(const std::string& viewport, const std::string& clear, const std::string& ortho) {
  return {"makecurrent",
          viewport,
          "clearcolor " + clear,
          "clear 0x4100",
          "disable 0xB50",
          "disable 0xDE1",
          "disable 0xBE2",
          "blend 0x302 0x303",
          "enable 0xB20",
          "hint 0xC52 0x1102",
          "linewidth 1",
          "shade 0x1D01",
          "disable 0xB71",
          "matrix 0x1701",
          "identity",
          ortho};
}

TEST_F(WindowTest, TheDrawSetsUpTheFrameAndTheProjectionFollowsTheClientSize) {
  widget_t* w = LoadWindow("<WINDOW RESIZEABLE=\"1\" BGCOLOR=\"10203040\"/>");
  ASSERT_NE(w, nullptr);
  wdgShowAll(set);
  FakeContext context(w->window);
  // The window was made bigger: the client size follows, the attributes stay.
  w->window->width = 800;
  w->window->height = 600;
  Calls().clear();
  wdgRedraw(w);
  EXPECT_EQ(Calls(), FrameSetUp("viewport 0 0 640 480", Colour(0x10203040), "ortho 0 800 0 600 -10 10"));
  Unload();
}

TEST_F(WindowTest, ShowAllMakesTheWindowThenDrawsOnePass) {
  widget_t* w = LoadWindow("<WINDOW/><LINE/><FRAME/>");
  ASSERT_NE(w, nullptr);
  SpyOn(set);
  wdgShowAll(set);
  ASSERT_NE(w->window->hwnd, nullptr);
  EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"0:6", "1:6", "2:6", "0:3", "1:3", "2:3"}))
      << "the show event of the WINDOW draws its frame, the pass then draws every widget once";
  EXPECT_EQ(CountCalls("viewport"), 2u);
}

struct BackgroundCase {
  const char* fc;  // FGCOLOR, or null for the default
  std::string colour;
};

TEST_F(WindowTest, TheBackgroundImageCoversTheClientAreaTintedWithFc) {
  const BackgroundCase cases[] = {
      {nullptr, "color 0 0 0 0"},  // the default FC draws black, since blending is off
      {"FFFFFFFF", "color 1 1 1 1"},
      {"FF000080", "color " + Colour(0xFF000080)},
  };
  for (const BackgroundCase& c : cases) {
    SCOPED_TRACE(c.colour);
    std::string xml = "<WINDOW BG=\"bg.tga\"";
    if (c.fc) xml += std::string(" FGCOLOR=\"") + c.fc + "\"";
    TM_Node_t* node = ShowBackground(xml + "/>");
    ASSERT_NE(node, nullptr);
    window->window->width = 800;
    window->window->height = 600;
    Calls().clear();
    wdgRedraw(window);
    // The cache's bind enables texturing once more.
    const std::vector<std::string> quad = {
        "enable 0xDE1",   "enable 0xDE1", "bind 0xDE1 " + std::to_string(node->texture),
        c.colour,         "begin 0x7",    "texcoord 0 0",
        "vertex 0 600",   "texcoord 0 1", "vertex 0 0",
        "texcoord 1 1",   "vertex 800 0", "texcoord 1 0",
        "vertex 800 600", "end"};
    EXPECT_EQ(CallsFrom("enable 0xDE1"), quad);
    Unload();
    EXPECT_EQ(tmFind("bg.tga"), nullptr) << "the window's image leaves the cache with it";
  }
}

TEST_F(WindowTest, TheBackgroundFilterIsTheTexturesMode) {
  TM_Node_t* node = ShowBackground("<WINDOW BG=\"bg.tga\" BGFILTER=\"nearest\"/>");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->mode, TM_MODE_NEAREST);
}

TEST_F(WindowTest, AMissingBackgroundImageDrawsNoQuad) {
  widget_t* w = LoadWindow("<WINDOW BG=\"missing.tga\"/>");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(wdgShowAll(set), 0);
  Calls().clear();
  EXPECT_EQ(wdgDrawAll(set), 0);
  EXPECT_EQ(errGetLastError(), 0);
  EXPECT_EQ(CountCalls("begin"), 0u);
  EXPECT_EQ(CountCalls("enable 0xDE1"), 0u);
  EXPECT_EQ(CountCalls("ortho"), 1u) << "the frame is set up all the same";
}

TEST_F(WindowTest, TheBackgroundTextureGoesBeforeTheWindowsContext) {
  TM_Node_t* node = ShowBackground("<WINDOW BG=\"bg.tga\"/><LINE/>");
  ASSERT_NE(node, nullptr);
  const std::string deleted = "delete " + std::to_string(node->texture);
  {
    FakeContext context(window->window);
    Calls().clear();
    Unload();
  }
  const size_t texture = IndexOf(deleted), contextGone = IndexOf("deletecontext");
  ASSERT_LT(texture, Calls().size());
  ASSERT_LT(contextGone, Calls().size());
  EXPECT_LT(texture, contextGone);
  EXPECT_EQ(IndexOf("makecurrent"), 0u) << "the set's context is current while its widgets are destroyed";
}

TEST_F(WindowTest, AnImageSharedWithAnotherWindowStaysForIt) {
  ASSERT_NE(ShowBackground("<WINDOW BG=\"bg.tga\"/>"), nullptr);
  SYS_List_p other = Load("<WINDOW BG=\"bg.tga\"/>");
  ASSERT_NE(other, nullptr);
  wdgShowAll(other);
  Unload();
  EXPECT_NE(tmFind("bg.tga"), nullptr);
  wdgUnload(other);
  EXPECT_EQ(tmFind("bg.tga"), nullptr);
}

bool HasLine(const std::vector<std::string>& lines, const std::string& part) {
  for (const std::string& line : lines)
    if (qt::Contains(line, part)) return true;
  return false;
}

TEST_F(WindowTest, InitShowAndHideWriteTheirLogLines) {
  qt::TempDir dir;
  const std::string log = dir / "debug.log";
  auto r = qt::RunInChild([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgSetFlag(SYS_DBG_ON);
    widget_t* w = LoadWindow("<WINDOW ID=\"3\" TITLE=\"Bye\" FULLSCREEN=\"1\"/>");
    if (!w) std::_Exit(1);
    wdgShowAll(set);
    wdgHideAll(set);
    Unload();
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<std::string> lines = qt::SplitLines(qt::ReadFile(log));
  const std::string prefix = "[widget][window][widget-window.cpp:";
  for (const std::string& text :
       {std::string("widget_window_init()]  - new widget: WINDOW (3) : 640, 300 640x480 (1)"),
        std::string("widget_window_event()]  - show window."), std::string("widget_window_event()]  - load texutre."),
        std::string("widget_window_event()]  ! hide window (Bye).")}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(HasLine(lines, prefix)) << "the module and file open every line";
    EXPECT_TRUE(HasLine(lines, text));
  }
}

TEST_F(WindowTest, HideHidesTheWindowShowReusesItUnloadDestroysIt) {
  widget_t* w = LoadWindow("<WINDOW TITLE=\"Bye\"/>");
  ASSERT_NE(w, nullptr);
  const int before = WindowCount();
  wdgShowAll(set);
  HWND hwnd = w->window->hwnd;
  ASSERT_NE(hwnd, nullptr);
  EXPECT_TRUE(IsVisible(hwnd));
  wdgHideAll(set);
  EXPECT_FALSE(IsVisible(hwnd));
  wdgShowAll(set);
  EXPECT_EQ(w->window->hwnd, hwnd) << "a window shown again is the one hidden, not a new one";
  EXPECT_TRUE(IsVisible(hwnd));
  EXPECT_EQ(WindowCount(), before);
  Unload();
  EXPECT_EQ(WindowCount(), before - 1);
  EXPECT_FALSE(IsWindow(hwnd));
}

}  // namespace
