// What the window table (window.cpp) and its back ends share. The table
// keeps the Windows side: classes, handles, styles, titles, the message
// queue. A back end gives a window its pixels and its input, through one
// table of functions; each window keeps the back end it was made with, so
// a test that switches to headless windows and back never hands a window to
// the wrong one. Include it only from the window part of platform/.
#pragma once
#include <string>

#include "platform/window.h"

namespace plat::win {

struct Backend;

struct Window {
  HWND handle = nullptr;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  std::string title;
  int x = 0, y = 0;
  InputState input;                      // client size and held keys
  int rootOffsetX = 0, rootOffsetY = 0;  // client origin on the screen, from pointer events
  bool visible = false;
  const Backend* backend = nullptr;
  // The X11 back end's part: the X window (an XID), its colormap, and
  // whether the server has mapped it.
  unsigned long xwin = 0;
  unsigned long colormap = 0;
  bool mapped = false;
};

// One back end. Every function is given a window made by this back end.
struct Backend {
  // Makes the window's native side; false when there can be none (no display).
  bool (*create)(Window& w);
  // Called before the window leaves the table.
  void (*destroy)(Window& w);
  // Maps or unmaps; a shown window is mapped when this returns.
  void (*show)(Window& w, bool show);
  void (*raise)(Window& w);
  void (*focus)(Window& w);
  // The title, the frame (after a style change), the position and size,
  // the cursor (after plat::CursorHidden changed).
  void (*applyTitle)(Window& w);
  void (*applyFrame)(Window& w);
  void (*applyPlacement)(Window& w);
  void (*applyCursor)(Window& w);
  // Sends what the calls above have buffered.
  void (*flush)();
  // Turns pending native input into queued messages (never blocks).
  void (*pump)();
};

const Backend& HeadlessBackend();
const Backend& X11Backend();

// The window table, for the back ends.
Window* Find(HWND handle);
void ForEachWindowDo(void (*visit)(Window& w, void* context), void* context);
void Enqueue(const MSG& message);
// The time stamp of a message made here, in milliseconds.
DWORD NowMs();

template <class Visit>
void ForEachWindow(Visit visit) {
  ForEachWindowDo([](Window& w, void* context) { (*static_cast<Visit*>(context))(w); }, &visit);
}

}  // namespace plat::win
