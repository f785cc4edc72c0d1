// Loads arbitrary bytes as a dialog over the recording GL and headless
// windows of the real window manager, and runs it as an application would:
// show, a few mouse and key events at every widget, a frame, a change of
// every widget's text and colour after the frame, another frame, hide,
// unload. Whatever the document says, no widget may read or write outside
// what it owns, and unloading must give back every texture.
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/base/main.h"
#include "framework/fr/FR.h"
#include "framework/tl/TM.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "framework/widget/widget.h"
#include "testsupport/widget/glrec.h"
#include "framework/wm/wm_internal.h"
#include "platform/window.h"

namespace {

using namespace wdgtest;

constexpr size_t kMaxInput = 1 << 16;
constexpr int kMaxTargets = 64;  // widgets that get mouse events, so that one input stays quick
constexpr int32_t kKeyEscape = 1;

volatile int32_t sink;

int32_t Listen(widget_t* w, wm_event_t* e) {
  sink = sink + e->type + (w ? w->kind : 0);
  return 0;
}

bool StartOnce() {
  static bool started = [] {
    static char arg0[] = "\\bin\\widget_fuzz";
    static char* argv[] = {arg0, nullptr};
    if (SYS_BaseInit(nullptr, 1, argv, nullptr) != 0) return false;
    plat::SetHeadlessWindows(true);
    if (wmInit() != 0) return false;
    wmState.desktopWidth = 1920;
    wmState.desktopHeight = 1080;
    tlfix::MemFiles& files = tlfix::UseMemFiles();
    files.files["bg.tga"] = tlfix::SimpleTga(8, 4, 32);
    files.files["img.tga"] = tlfix::SimpleTga(16, 64, 24, 3);
    txOptions(TX_OPT_ORDER, 1);
    wdgInit();
    return true;
  }();
  return started;
}

int32_t Middle(int32_t from, int32_t size) { return static_cast<int32_t>((int64_t{from} * 2 + size) / 2); }

// Move in, press, move while held, release: what a click does.
void ClickAt(wm_window_t* window, const widget_t* w) {
  const int32_t x = Middle(w->x, w->width), y = Middle(w->y, w->height);
  Route(Move(window, x, y));
  Route(Press(window, x, y));
  Route(Move(window, x, y, 1));
  Route(Release(window, x, y));
}

void Run(SYS_List_p set) {
  wdgSetCallbackAll(set, Listen);
  wdgShowAll(set);
  widget_t* windowWidget = wdgFindKind(set, WDG_KIND_WINDOW);
  wm_window_t* window = windowWidget ? windowWidget->window : nullptr;
  int targets = 0;
  for (SYS_List_p n = set; n && targets < kMaxTargets; n = n->next, ++targets)
    ClickAt(window, static_cast<widget_t*>(n->data));
  Route(Key(window, kKeyEscape, WM_KEY_DOWN));
  Route(Key(window, kKeyEscape, WM_KEY_UP));
  wdgDrawAll(set);
  for (SYS_List_p n = set; n; n = n->next) {
    auto* w = static_cast<widget_t*>(n->data);
    wdgSetTitle(w, "changed after a frame");
    wdgSetTCi(w, 10, 20, 30, 255);
  }
  wdgProcess(set);
  wdgHideAll(set);
  wdgDrawAll(set);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput || !StartOnce()) return 0;
  InstallRecorder();
  tmInit();
  ftInit();
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (SYS_List_p set = wdgLoad(WDG_SOURCE_TEXT, text.c_str())) {
    Run(set);
    wdgUnload(set);
  }
  tmDone();
  ftDone();
  Calls().clear();
  return 0;
}
