// The PROGRESS widget (placeholder until the kind is built: reads its attributes, draws nothing).
#include "framework/widget/widget.h"

int widget_progress_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_PROGRESS;
  wdgDefaultStyle(w->kind, &w->style);
  return wdgParseParams(w, count, names, values, 1);
}

int widget_progress_event(widget_t*, wm_event_t*) { return 0; }
