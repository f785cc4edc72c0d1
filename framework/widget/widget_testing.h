// Shared pieces of the widget toolkit's tests: the GL recorder of
// widget_glrec.h in the framework's GL table, headless windows of the real
// window manager on a 1920 x 1080 desktop, an in-memory image store, and
// synthetic window events.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/base/main.h"
#include "framework/fr/FR.h"
#include "framework/tl/TM.h"
#include "framework/tl/tlfixtures.h"
#include "framework/tl/tlmemfiles.h"
#include "framework/widget/widget.h"
#include "framework/widget/widget_glrec.h"
#include "framework/wm/wm_internal.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"

namespace wdgtest {

// A widget test: the base library started once per process, the window
// manager over headless windows (a window is made at show, its GL context
// cannot be), the recorders in the GL table, an empty image store, a fresh
// texture cache and font renderer, and the toolkit started. TearDown checks
// that no tracked block outlived the test.
class WidgetTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool started = false;
    if (!started) {
      static qt::Args args{"\\bin\\widget_test"};
      SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
      plat::SetHeadlessWindows(true);
      ASSERT_EQ(wmInit(), 0);
      started = true;
    }
    wmState.desktopWidth = 1920;
    wmState.desktopHeight = 1080;
  }
  void SetUp() override {
    InstallRecorder();
    files = &tlfix::UseMemFiles();
    txOptions(TX_OPT_QUALITY, 0);
    txOptions(TX_OPT_ORDER, 1);  // as the dialog engine sets it
    tmDone();
    tmInit();
    ftDone();
    ftInit();
    wdgInit();
    blocksBefore = tlfix::TrackedBlocks().size();
  }
  void TearDown() override {
    tmDone();
    ftDone();
    EXPECT_EQ(tlfix::TrackedBlocks().size(), blocksBefore) << "no tracked block outlives the test";
  }
  // Loads a dialog from text; the set, or null.
  SYS_List_p Load(const std::string& xml) { return wdgLoad(WDG_SOURCE_TEXT, xml.c_str()); }
  void AddImage(const std::string& name, const tlfix::Bytes& bytes) { files->files[name] = bytes; }

  tlfix::MemFiles* files = nullptr;
  size_t blocksBefore = 0;
};

// Widgets of a set in order.
inline std::vector<widget_t*> Widgets(SYS_List_p set) {
  std::vector<widget_t*> out;
  for (SYS_List_p n = set; n; n = n->next) out.push_back(static_cast<widget_t*>(n->data));
  return out;
}

// Synthetic window events.
inline wm_event_t Mouse(wm_window_t* window, int32_t x, int32_t y, int32_t action, int32_t left) {
  wm_event_t e{};
  e.type = WM_EVENT_MOUSE;
  e.window = window;
  e.mouse.action = action;
  e.mouse.left = left;
  e.mouse.x = x;
  e.mouse.y = y;
  return e;
}
inline wm_event_t Move(wm_window_t* window, int32_t x, int32_t y, int32_t left = 0) {
  return Mouse(window, x, y, 0, left);
}
inline wm_event_t Press(wm_window_t* window, int32_t x, int32_t y) { return Mouse(window, x, y, 1, 1); }
inline wm_event_t Release(wm_window_t* window, int32_t x, int32_t y) { return Mouse(window, x, y, 4, 0); }
inline wm_event_t Key(wm_window_t* window, int32_t code, int32_t action) {
  wm_event_t e{};
  e.type = WM_EVENT_KEY;
  e.window = window;
  e.key.action = action;
  e.key.code = code;
  return e;
}
inline wm_event_t Close(wm_window_t* window) {
  wm_event_t e{};
  e.type = WM_EVENT_WINDOW;
  e.window = window;
  e.conf.action = WM_CONF_CLOSE;
  return e;
}

// Routes one event as the window manager would.
inline void Route(wm_event_t e) { wdgRouteEvent(&e); }

}  // namespace wdgtest
