// The FRAME widget: a filled rectangle with a border, drawn under the
// source-colour blend so that a frame over other widgets lightens them.
#include "framework/base/log.h"
#include "framework/base/numconv.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_FRAME_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][frame]", __VA_ARGS__)
#define WIDGET_FRAME_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][frame]", fn, __VA_ARGS__)

namespace {

constexpr float kDefaultAspect = 1.0f;
constexpr const char* kTag = "FRAME";

// A frame given only its width takes its height from the aspect.
void FitHeight(widget_t* w) {
  if (w->width != 0 && w->height == 0) w->height = SYS_TruncInt32(static_cast<float>(w->width) * w->aspect);
}

// GL_BLEND is left as the widgets before this one set it: the blend
// function only takes effect while one of them (a LABEL) has left it on.
void DrawFrame(widget_t* w) {
  wmGL.glDisable(GL_TEXTURE_2D);
  wmGL.glBlendFunc(GL_SRC_COLOR, GL_DST_COLOR);
  wdgDrawBackground(w);
  wdgDrawBorder(w);
}

}  // namespace

int widget_frame_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_FRAME;
  w->aspect = kDefaultAspect;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  WIDGET_FRAME_LOG_AS(SYS_DBG_MSG, "widget_init", "  - new widget: %s (%d) : %d, %d, %d %dx%d\n", kTag, w->kind, w->x,
                      w->y, w->seq, w->width, w->height);
  return 0;
}

int widget_frame_event(widget_t* w, wm_event_t* e) {
  if (!w || !e) return 0;
  if (e->type == WDG_EVENT_DRAW && w->visible) DrawFrame(w);
  if (e->type == WDG_EVENT_SHOW) FitHeight(w);
  return 0;
}
