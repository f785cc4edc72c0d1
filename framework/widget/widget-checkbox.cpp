// The CHECKBOX widget: a tick box with its title beside it. Its state is
// value_int, which the application reads with wdgGetValue. RADIOBUTTON draws
// and renders the same way; the tick box's event function lives here.
#include "framework/base/log.h"
#include "framework/widget/widget-input.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define WIDGET_CHECKBOX_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][checkbox]", __VA_ARGS__)
#define WIDGET_CHECKBOX_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][checkbox]", fn, __VA_ARGS__)

namespace {

// The box, in pixels from the widget's left edge and the box's top row.
constexpr int32_t kBoxSide = 10;
constexpr int32_t kBoxLeft = 5;
constexpr int32_t kInsideInset = 1;
constexpr int32_t kTickLeft = 8, kTickRight = 13, kTickTop = 3, kTickBottom = 8;
constexpr int32_t kTextLeft = 20;
constexpr int32_t kTextDrop = -1;  // the title sits one pixel below centre

// One quad down the left side from y1 to y2, then back up the right side.
void Quad(const float colour[4], double left, double y1, double right, double y2) {
  wmGL.glColor4fv(colour);
  wmGL.glVertex2d(left, y1);
  wmGL.glVertex2d(left, y2);
  wmGL.glVertex2d(right, y2);
  wmGL.glVertex2d(right, y1);
}

void DrawTickBox(widget_t* w) {
  int32_t b = wdgTop(w);
  // The box is centred on the widget's height like the text.
  double top = wdgCentredY(b, w->height, kBoxSide, 0);
  double left = static_cast<double>(w->x) + kBoxLeft;
  wmGL.glDisable(GL_TEXTURE_2D);
  wmGL.glDisable(GL_BLEND);
  wdgDrawBackground(w);
  wdgDrawBorder(w);
  wmGL.glBegin(GL_QUADS);
  Quad(w->style.fc, left, top, left + kBoxSide, top - kBoxSide);
  Quad(w->style.bc, left + kInsideInset, top - kInsideInset, left + kBoxSide - kInsideInset,
       top - kBoxSide + kInsideInset);
  if (w->value_int) {
    double tickLeft = static_cast<double>(w->x) + kTickLeft, tickRight = static_cast<double>(w->x) + kTickRight;
    Quad(w->style.fc, tickLeft, top - kTickBottom, tickRight, top - kTickTop);
  }
  wmGL.glEnd();
  wdgDrawText(wdgClamp32(int64_t{w->x} + kTextLeft), wdgCentredY(b, w->height, w->text_height, kTextDrop), w);
}

// Every mouse event inside with the left button held toggles, so a press
// followed by moves while held toggles once per event.
void Toggle(widget_t* w, const wm_event_t* e) {
  if (e->mouse.left) w->value_int = w->value_int == 0 ? 1 : 0;
}

}  // namespace

int wdgTickBoxEvent(widget_t* w, wm_event_t* e, wdg_mouse_action_t action) {
  switch (e->type) {
    case WM_EVENT_MOUSE:
      return wdgInputMouse(w, e, 0, action);
    case WDG_EVENT_DRAW:
      if (w->visible) DrawTickBox(w);
      return 0;
    case WDG_EVENT_CHANGED:
      // The cache may hold the bitmap already: render into it and let the
      // next draw upload it again.
      wdgRenderLabelAgain(w);
      return 0;
    case WDG_EVENT_DESTROY:
      wdgReleaseText(w);
      return 0;
    default:
      return 0;
  }
}

int widget_checkbox_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_CHECKBOX;
  w->aspect = 1.0f;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  if (wdgSetUpLabel(w, "checkbox", SYS_SrcName(__FILE__), __LINE__) != 0) return -1;
  WIDGET_CHECKBOX_LOG_AS(SYS_DBG_MSG, "widget_init",
                         "  - new widget: %s (%d) : %s %d, %d, %d %dx%d fontid: %d '%s' '%s' "
                         "%dx%d\n",
                         wdgKinds[WDG_KIND_CHECKBOX]->tag, w->kind, wdgLogText(w->bg), w->x, w->y, w->seq, w->width,
                         w->height, w->font_id, wdgLogText(w->title), wdgLogText(w->name), w->text_width,
                         w->text_height);
  return 0;
}

int widget_checkbox_event(widget_t* w, wm_event_t* e) { return wdgTickBoxEvent(w, e, Toggle); }
