// The widget toolkit's GL recorder and synthetic window events, for its
// tests and its fuzz target (so without gtest): the framework's GL table
// filled with the texture recorders of glrecorder.h plus the drawing calls
// the widgets make, each call one text line.
//
// Recorded lines, one per call:
//   "begin 0x7" "end" "vertex 10 20" "texcoord 0 0.25" "color 1 0 0 0.5"
//   "enable 0xDE1" "disable 0xBE2" "blend 0x300 0x301" "hint 0xC52 0x1102"
//   "linewidth 1" "shade 0x1D01" "matrix 0x1701" "identity"
//   "ortho 0 800 0 600 -10 10" "viewport 0 0 640 480" "clearcolor 0.13 0.17 0.23 1"
//   "clear 0x4100", and the texture lines of glrecorder.h ("gen 1",
//   "bind 0xDE1 1", "delete 1", "image 0 4 512x64 0x1908", ...).
// Numbers are printed with %g.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"
#include "framework/wm/glrecorder.h"

namespace wdgtest {

using glrec::rec;

inline std::string Num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}
inline void Put(const std::string& line) { rec.calls.push_back(line); }

inline void Begin(GLenum mode) { Put("begin " + glrec::Hex(mode)); }
inline void End() { Put("end"); }
inline void Vertex2f(GLfloat x, GLfloat y) { Put("vertex " + Num(x) + " " + Num(y)); }
inline void Vertex2i(GLint x, GLint y) { Put("vertex " + Num(x) + " " + Num(y)); }
inline void Vertex2d(GLdouble x, GLdouble y) { Put("vertex " + Num(x) + " " + Num(y)); }
inline void TexCoord2f(GLfloat s, GLfloat t) { Put("texcoord " + Num(s) + " " + Num(t)); }
inline void Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  Put("color " + Num(r) + " " + Num(g) + " " + Num(b) + " " + Num(a));
}
inline void Color4fv(const GLfloat* c) { Color4f(c[0], c[1], c[2], c[3]); }
inline void BlendFunc(GLenum s, GLenum d) { Put("blend " + glrec::Hex(s) + " " + glrec::Hex(d)); }
inline void Hint(GLenum t, GLenum m) { Put("hint " + glrec::Hex(t) + " " + glrec::Hex(m)); }
inline void LineWidth(GLfloat w) { Put("linewidth " + Num(w)); }
inline void ShadeModel(GLenum m) { Put("shade " + glrec::Hex(m)); }
inline void MatrixMode(GLenum m) { Put("matrix " + glrec::Hex(m)); }
inline void LoadIdentity() { Put("identity"); }
inline void Ortho(GLdouble l, GLdouble r, GLdouble b, GLdouble t, GLdouble n, GLdouble f) {
  Put("ortho " + Num(l) + " " + Num(r) + " " + Num(b) + " " + Num(t) + " " + Num(n) + " " + Num(f));
}
inline void Viewport(GLint x, GLint y, GLsizei w, GLsizei h) {
  Put("viewport " + Num(x) + " " + Num(y) + " " + Num(w) + " " + Num(h));
}
inline void ClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) {
  Put("clearcolor " + Num(r) + " " + Num(g) + " " + Num(b) + " " + Num(a));
}
inline void Clear(GLbitfield m) { Put("clear " + glrec::Hex(m)); }

// Fills the framework's tables with the recorders; every other entry is null.
inline void InstallRecorder() {
  glrec::InstallTextureRecorder(wmGL, wmGLU);
  wmGL.glBegin = Begin;
  wmGL.glEnd = End;
  wmGL.glVertex2f = Vertex2f;
  wmGL.glVertex2i = Vertex2i;
  wmGL.glVertex2d = Vertex2d;
  wmGL.glTexCoord2f = TexCoord2f;
  wmGL.glColor4f = Color4f;
  wmGL.glColor4fv = Color4fv;
  wmGL.glBlendFunc = BlendFunc;
  wmGL.glHint = Hint;
  wmGL.glLineWidth = LineWidth;
  wmGL.glShadeModel = ShadeModel;
  wmGL.glMatrixMode = MatrixMode;
  wmGL.glLoadIdentity = LoadIdentity;
  wmGL.glOrtho = Ortho;
  wmGL.glViewport = Viewport;
  wmGL.glClearColor = ClearColor;
  wmGL.glClear = Clear;
}

inline std::vector<std::string>& Calls() { return rec.calls; }

// The recorded lines from the first one that starts with `first` on.
inline std::vector<std::string> CallsFrom(const std::string& first) {
  for (size_t i = 0; i < rec.calls.size(); ++i)
    if (rec.calls[i].rfind(first, 0) == 0) return {rec.calls.begin() + static_cast<long>(i), rec.calls.end()};
  return {};
}

inline size_t CountCalls(const std::string& prefix) {
  size_t n = 0;
  for (const auto& c : rec.calls) n += c.rfind(prefix, 0) == 0;
  return n;
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
