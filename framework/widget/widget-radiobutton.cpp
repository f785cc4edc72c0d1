// The RADIOBUTTON widget: a check box whose buttons of one GID exclude each
// other. It draws, renders and handles events as CHECKBOX does.
#include "framework/base/log.h"
#include "framework/widget/widget-input.h"

#define WIDGET_RADIOBUTTON_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][radiobutton]", __VA_ARGS__)
#define WIDGET_RADIOBUTTON_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][radiobutton]", fn, __VA_ARGS__)

namespace {

// Unchecks every radio button of the widget's group in its set, then checks
// the widget. While the widget is being made its set holds only the widgets
// before it, so of several checked buttons in a document the last one wins.
void Select(widget_t* w) {
  for (SYS_List_p at = w->set; at; at = at->next) {
    auto* other = static_cast<widget_t*>(at->data);
    if (other && other->kind == WDG_KIND_RADIOBUTTON && other->gid == w->gid) other->value_int = 0;
  }
  w->value_int = 1;
}

void SelectOnPress(widget_t* w, const wm_event_t* e) {
  if (e->mouse.left) Select(w);
}

}  // namespace

int widget_radiobutton_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_RADIOBUTTON;
  w->aspect = 1.0f;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  if (wdgSetUpLabel(w, "radiobutton", SYS_SrcName(__FILE__), __LINE__) != 0) return -1;
  if (w->value_int) Select(w);
  WIDGET_RADIOBUTTON_LOG_AS(SYS_DBG_MSG, "widget_init", "  - new widget: %s (%d) : %d, %d, %d %dx%d '%s'\n",
                            wdgKinds[WDG_KIND_RADIOBUTTON]->tag, w->kind, w->x, w->y, w->seq, w->width, w->height,
                            wdgLogText(w->title));
  return 0;
}

int widget_radiobutton_event(widget_t* w, wm_event_t* e) { return wdgTickBoxEvent(w, e, SelectOnPress); }
