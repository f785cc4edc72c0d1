// The LINE widget: one straight segment in the foreground colour.
#include "framework/base/log.h"
#include "framework/base/numconv.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_LINE_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][line]", __VA_ARGS__)
#define WIDGET_LINE_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][line]", fn, __VA_ARGS__)

namespace {

constexpr float kDefaultDepth = 1.0f;
constexpr const char* kTag = "LINE";

// GL height of a window row; counted in doubles so that no attribute value
// can overflow it.
double GlRow(int32_t windowHeight, int32_t y) { return static_cast<double>(windowHeight) - y; }

void DrawLine(const widget_t* w) {
  const int32_t H = wdgWindowHeight(w);
  wmGL.glDisable(GL_TEXTURE_2D);
  wmGL.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  wmGL.glLineWidth(w->depth);
  wmGL.glColor4fv(w->style.fc);
  wmGL.glBegin(GL_LINES);
  wmGL.glVertex2d(w->x, GlRow(H, w->y));
  wmGL.glVertex2d(w->x2, GlRow(H, w->y2));
  wmGL.glEnd();
}

}  // namespace

int widget_line_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_LINE;
  w->depth = kDefaultDepth;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  WIDGET_LINE_LOG_AS(SYS_DBG_MSG, "widget_init", "  - new widget: %s (%d) : %d, %d %d, %d %s\n", kTag, w->kind, w->x,
                     w->y, w->x2, w->y2, SYS_FormatFixed6(w->depth).c_str());
  return 0;
}

int widget_line_event(widget_t* w, wm_event_t* e) {
  if (!w || !e) return 0;
  if (e->type == WDG_EVENT_DRAW && w->visible) DrawLine(w);
  return 0;
}
