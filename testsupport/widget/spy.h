// Test support: which events reach which widget, in what order. A spied
// widget's kind row is swapped for a copy whose event function writes the
// widget and the event down and then hands the event on to the real kind,
// so the widget keeps behaving as before. And a stand-in GL context for a
// headless window, so that making it current and releasing it show up
// among the recorded GL lines.
#pragma once
#include <string>
#include <vector>

#include "framework/widget/widget_internal.h"
#include "testsupport/widget/glrec.h"
#include "framework/wm/wm_internal.h"

namespace wdgtest {

struct SpiedEvent {
  widget_t* widget;
  int32_t type;
  wm_event_t* record;  // the record the widget was handed
  int32_t x, y;        // its mouse position as the widget saw it
};

inline std::vector<SpiedEvent>& Spied() {
  static std::vector<SpiedEvent> events;
  return events;
}

inline int SpyEvent(widget_t* w, wm_event_t* e) {
  Spied().push_back({w, e->type, e, e->mouse.x, e->mouse.y});
  return wdgKinds[w->kind_row->kind]->event(w, e);
}

inline const widget_kind_t* SpyRow(int32_t kind) {
  static widget_kind_t rows[WDG_KIND_COUNT];
  rows[kind] = *wdgKinds[kind];
  rows[kind].event = SpyEvent;
  return &rows[kind];
}

// Spies on every widget of the set from now on, with an empty record.
inline void SpyOn(SYS_List_p set) {
  Spied().clear();
  for (SYS_List_p n = set; n; n = n->next) {
    auto* w = static_cast<widget_t*>(n->data);
    w->kind_row = SpyRow(w->kind_row->kind);
  }
}

// The event types each widget received, in order, as "index:type" with the
// widget's index among `widgets` (the set's widgets in order; the pointers
// are only compared, so they may be gone).
inline std::vector<std::string> SpiedTypes(const std::vector<widget_t*>& widgets) {
  std::vector<std::string> out;
  for (const SpiedEvent& e : Spied()) {
    size_t index = 0;
    while (index < widgets.size() && widgets[index] != e.widget) ++index;
    out.push_back(std::to_string(index) + ":" + std::to_string(e.type));
  }
  return out;
}

inline std::vector<std::string> SpiedTypes(SYS_List_p set) {
  std::vector<widget_t*> widgets;
  for (SYS_List_p n = set; n; n = n->next) widgets.push_back(static_cast<widget_t*>(n->data));
  return SpiedTypes(widgets);
}

// While it lives, the window has a context of its own: making it current
// records "makecurrent" ("makecurrent none" when released), deleting it
// "deletecontext". Unload the set before it goes out of scope: the context
// is no real one.
class FakeContext {
 public:
  explicit FakeContext(wm_window_t* window) : saved_(wmWGL) {
    wmWGL.wglMakeCurrent = MakeCurrent;
    wmWGL.wglDeleteContext = DeleteContext;
    window->glContext = static_cast<HGLRC>(&token_);
  }
  ~FakeContext() { wmWGL = saved_; }
  FakeContext(const FakeContext&) = delete;
  FakeContext& operator=(const FakeContext&) = delete;

 private:
  static BOOL MakeCurrent(HDC, HGLRC context) {
    Put(context ? "makecurrent" : "makecurrent none");
    return TRUE;
  }
  static BOOL DeleteContext(HGLRC) {
    Put("deletecontext");
    return TRUE;
  }
  wm_wgl_procs_t saved_;
  int token_ = 0;
};

}  // namespace wdgtest
