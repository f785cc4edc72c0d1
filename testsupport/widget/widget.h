// Shared pieces of the widget toolkit's tests: the GL recorder and the
// synthetic window events of testsupport/widget/glrec.h, headless windows of the real
// window manager on a 1920 x 1080 desktop, and an in-memory image store.
#pragma once
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/base/main.h"
#include "framework/fr/FR.h"
#include "framework/tl/TM.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "framework/widget/widget_internal.h"
#include "testsupport/widget/glrec.h"
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

}  // namespace wdgtest
