// The PROGRESS widget: a bar filled to VALUE (a fraction, 1 for full) with
// the value as a percentage centred over it. The text changes with nothing
// but VALUE, yet it is rendered and uploaded in every frame.
#include <cstdio>

#include "framework/base/log.h"
#include "framework/base/numconv.h"
#include "framework/widget/widget-input.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_PROGRESS_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][progress]", __VA_ARGS__)
#define WIDGET_PROGRESS_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][progress]", fn, __VA_ARGS__)

namespace {

constexpr int32_t kBarInset = 2;     // between the widget's edge and the bar
constexpr int32_t kInnerMargin = 3;  // the bar's full width is WIDTH less this
constexpr int32_t kTextDrop = -2;    // the percentage sits two pixels below centre
constexpr size_t kTextCapacity = 16;
constexpr float kPercent = 100.0f;

// Negative fill counts as none, and more than full as full. Worked in double
// and cut to 32 bits, so no WIDTH or VALUE (NaN included) overflows.
int32_t BarWidth(const widget_t* w) {
  double fill = w->value_float;
  if (fill < 0.0) fill = 0.0;
  double inner = static_cast<double>(w->width) - kInnerMargin;
  if (inner < 0.0) inner = 0.0;
  return SYS_TruncInt32(fill > 1.0 ? inner : inner * fill);
}

void DrawBar(widget_t* w, int32_t b) {
  double left = static_cast<double>(w->x) + kBarInset;
  double right = left + BarWidth(w);
  double top = static_cast<double>(b) - kBarInset, bottom = static_cast<double>(b) - w->height + kBarInset;
  wmGL.glColor4fv(w->style.fc);
  wmGL.glBegin(GL_QUADS);
  wmGL.glVertex2d(left, top);
  wmGL.glVertex2d(left, bottom);
  wmGL.glVertex2d(right, bottom);
  wmGL.glVertex2d(right, top);
  wmGL.glEnd();
}

// The percentage, unclamped, cut to what the buffer holds.
void DrawPercentage(widget_t* w, int32_t b) {
  char text[kTextCapacity];
  std::snprintf(text, sizeof text, "%.1f%%", static_cast<double>(w->value_float * kPercent));
  wdgClearText(w);
  wdgRenderText(w, w->style.font, text);
  wdgDrawText(wdgCentredX(w->x, w->width, w->text_width, 0), wdgCentredY(b, w->height, w->text_height, kTextDrop), w);
}

void Draw(widget_t* w) {
  int32_t b = wdgTop(w);
  wmGL.glDisable(GL_TEXTURE_2D);
  wmGL.glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
  wdgDrawBackground(w);
  wdgDrawBorder(w);
  DrawBar(w, b);
  DrawPercentage(w, b);
}

}  // namespace

int widget_progress_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_PROGRESS;
  w->depth = 1.0f;
  // Named before the attributes are read, so that a NAME attribute wins.
  char name[32];
  std::snprintf(name, sizeof name, "progress-%d", w->seq);
  if (wdgSetString(&w->name, name) != 0) return -1;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  if (wdgMakeTextBitmap(w, WDG_TEXT_BITMAP_WIDTH, WDG_TEXT_BITMAP_HEIGHT) != 0) return -1;
  WIDGET_PROGRESS_LOG_AS(SYS_DBG_MSG, "widget_init", "  - new widget: %s (%d) : %d,%d %d,%d %f\n",
                         wdgKinds[WDG_KIND_PROGRESS]->tag, w->kind, w->x, w->y, w->x2, w->y2,
                         static_cast<double>(w->depth));
  return 0;
}

int widget_progress_event(widget_t* w, wm_event_t* e) {
  switch (e->type) {
    case WM_EVENT_MOUSE:
      return wdgPressMouse(w, e);
    case WDG_EVENT_DRAW:
      if (w->visible) Draw(w);
      return 0;
    case WDG_EVENT_DESTROY:
      wdgReleaseText(w);
      return 0;
    default:
      return 0;
  }
}
