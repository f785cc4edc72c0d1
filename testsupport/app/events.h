// Test helper: the window manager's event records the application shell's
// callback receives, made by hand.
#pragma once
#include "units/wmunit.h"

namespace apptest {

inline wm_event_t KeyEvent(int action, int code) {
  wm_event_t e{};
  e.type = WM_EVENT_KEY;
  e.key.action = action;
  e.key.code = code;
  return e;
}

inline wm_event_t MouseEvent(int x, int y, int left) {
  wm_event_t e{};
  e.type = WM_EVENT_MOUSE;
  e.mouse.x = x;
  e.mouse.y = y;
  e.mouse.left = left;
  return e;
}

inline wm_event_t WindowEvent(int action, int width = 0, int height = 0) {
  wm_event_t e{};
  e.type = WM_EVENT_WINDOW;
  e.conf.action = action;
  e.conf.width = width;
  e.conf.height = height;
  return e;
}

}  // namespace apptest
