// The WINDOW widget and the event router. The WINDOW owns its set's window:
// the record from init on, the operating-system window and its GL context
// from the first show. Its draw event opens every frame of the set, so the
// projection it leaves behind is the one all later widgets draw in.
#include "framework/base/log.h"
#include "framework/tl/TM.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_WINDOW_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][window]", __VA_ARGS__)
#define WIDGET_WINDOW_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][window]", fn, __VA_ARGS__)

namespace {

constexpr int32_t kDefaultWidth = 640;
constexpr int32_t kDefaultHeight = 480;
constexpr int32_t kCentred = -1;  // an X or Y of -1 (or none) centres on the desktop

// The window manager never sends type 4, but the WINDOW hands it on like
// its own events should some source make one.
constexpr int32_t kEventUnused = 4;

constexpr GLdouble kDepthNear = -10.0;
constexpr GLdouble kDepthFar = 10.0;

int32_t DesktopOption(uint32_t option) { return static_cast<int32_t>(wmOptions(nullptr, option, 0)); }

int32_t WindowOption(const widget_t* w, uint32_t option) {
  return static_cast<int32_t>(wmOptions(w->window, option, 0));
}

// The set a window carries, or null: a null window has no user pointer to
// ask for (the window manager would answer -1).
SYS_List_p SetOf(wm_window_t* window) {
  if (!window) return nullptr;
  return reinterpret_cast<SYS_List_p>(wmOptions(window, WM_OPT_GET_USERDATA, 0));
}

// Wide enough for any size an attribute can give; the half always fits.
int32_t Centred(uint32_t desktopOption, int32_t size) {
  return static_cast<int32_t>((int64_t{DesktopOption(desktopOption)} - size) / 2);
}

void Centre(widget_t* w) {
  if (w->x == kCentred) w->x = Centred(WM_OPT_DESKTOP_WIDTH, w->width);
  if (w->y == kCentred) w->y = Centred(WM_OPT_DESKTOP_HEIGHT, w->height);
}

void CallBack(widget_t* w, wm_event_t* e) {
  if (w->callback) w->callback(w, e);
}

// Key, mouse and window events reach the WINDOW's callback as they came.
int PassOn(widget_t* w, wm_event_t* e) {
  CallBack(w, e);
  return 1;
}

// The fixed GL state every widget of the frame starts from.
void ResetState() {
  wmGL.glDisable(GL_LIGHTING);
  wmGL.glDisable(GL_TEXTURE_2D);
  wmGL.glDisable(GL_BLEND);
  wmGL.glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  wmGL.glEnable(GL_LINE_SMOOTH);
  wmGL.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  wmGL.glLineWidth(1.0f);
  wmGL.glShadeModel(GL_SMOOTH);
  wmGL.glDisable(GL_DEPTH_TEST);
}

// The background image over the whole client area, its first row at the
// top, tinted with fc. Nothing when the image could not be loaded.
bool ImageCached(const char* file) {
  SYS_ErrKeeper keep;  // a missing image is no error of the frame's
  return file && tmFind(file);
}

void DrawBackgroundImage(widget_t* w, int32_t cw, int32_t ch) {
  if (!ImageCached(w->bg)) return;
  wmGL.glEnable(GL_TEXTURE_2D);
  tmBind(w->bg);
  wmGL.glColor4fv(w->style.fc);
  wmGL.glBegin(GL_QUADS);
  wmGL.glTexCoord2f(0.0f, 0.0f);
  wmGL.glVertex2i(0, ch);
  wmGL.glTexCoord2f(0.0f, 1.0f);
  wmGL.glVertex2i(0, 0);
  wmGL.glTexCoord2f(1.0f, 1.0f);
  wmGL.glVertex2i(cw, 0);
  wmGL.glTexCoord2f(1.0f, 0.0f);
  wmGL.glVertex2i(cw, ch);
  wmGL.glEnd();
}

// Opens the frame: the viewport keeps the size of the attributes while the
// projection follows the client area, and the matrix mode stays on the
// projection for the widgets that draw after the WINDOW.
void SetUpFrame(widget_t* w) {
  wmMakeCurrent(w->window);
  wmGL.glViewport(0, 0, w->width, w->height);
  const float* bc = w->style.bc;
  wmGL.glClearColor(bc[0], bc[1], bc[2], bc[3]);
  wmGL.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  ResetState();
  const int32_t cw = WindowOption(w, WM_OPT_WIDTH);
  const int32_t ch = WindowOption(w, WM_OPT_HEIGHT);
  wmGL.glMatrixMode(GL_PROJECTION);
  wmGL.glLoadIdentity();
  wmGL.glOrtho(0.0, cw, 0.0, ch, kDepthNear, kDepthFar);
  DrawBackgroundImage(w, cw, ch);
}

int Draw(widget_t* w, wm_event_t* e) {
  if (!w->visible) return 0;
  SetUpFrame(w);
  CallBack(w, e);
  return 1;
}

// fn: the event function, which the log lines name.
int Show(widget_t* w, wm_event_t* e, const char* fn) {
  if (!w->visible) return 0;
  WIDGET_WINDOW_LOG_AS(SYS_DBG_MSG, fn, "  - show window.\n");
  // A window shown before comes back with its context; the window manager
  // makes no second one.
  wmShowWindow(w->window);
  WIDGET_WINDOW_LOG_AS(SYS_DBG_MSG, fn, "  - load texutre.\n");
  if (w->bg) wdgAcquireImage(w, w->bg, w->bg_filter);
  return Draw(w, e);
}

int Hide(widget_t* w, const char* fn) {
  WIDGET_WINDOW_LOG_AS(SYS_DBG_MSG, fn, "  ! hide window (%s).\n", wdgLogText(w->title));
  wmHideWindow(w->window);
  return 0;
}

// The background texture goes while the context that made it still lives;
// then the window. The strings are freed with the rest of the widget.
int Destroy(widget_t* w) {
  wdgReleaseImage(w);
  if (w->window) wmDestroyWindow(w->window);
  w->window = nullptr;
  return 0;
}

}  // namespace

int32_t wdgRouteEvent(wm_event_t* event) {
  if (!event) return 0;
  // Every widget sees the same record, so what one widget changes in it is
  // what the widgets after it see.
  for (SYS_List_p node = SetOf(event->window); node; node = node->next) {
    auto* w = static_cast<widget_t*>(node->data);
    if (w && w->kind_row && w->kind_row->event) w->kind_row->event(w, event);
  }
  return 0;
}

int widget_window_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_WINDOW;
  w->x = kCentred;
  w->y = kCentred;
  w->width = kDefaultWidth;
  w->height = kDefaultHeight;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  Centre(w);
  w->window = wmNewWindow(w->x, w->y, w->width, w->height);
  if (!w->window) return -1;
  wmOptions(w->window, WM_OPT_TITLE, reinterpret_cast<intptr_t>(w->title ? w->title : ""));
  wmOptions(w->window, WM_OPT_CALLBACK, reinterpret_cast<intptr_t>(&wdgRouteEvent));
  wmOptions(w->window, WM_OPT_RESIZABLE, w->resizeable);
  wmOptions(w->window, WM_OPT_DND, w->dnd);
  WIDGET_WINDOW_LOG(SYS_DBG_MSG, "  - new widget: WINDOW (%d) : %d, %d %dx%d (%d)\n", w->id, w->x, w->y, w->width,
                    w->height, w->fullscreen);
  return 0;
}

int widget_window_event(widget_t* w, wm_event_t* e) {
  if (!w || !e) return 0;
  switch (e->type) {
    case WM_EVENT_KEY:
    case WM_EVENT_MOUSE:
    case WM_EVENT_WINDOW:
    case kEventUnused: return PassOn(w, e);
    case WDG_EVENT_DRAW: return Draw(w, e);
    case WDG_EVENT_DESTROY: return Destroy(w);
    case WDG_EVENT_SHOW: return Show(w, e, __func__);
    case WDG_EVENT_HIDE: return Hide(w, __func__);
    default: return 0;  // enable, disable and changed do not reach the window
  }
}
