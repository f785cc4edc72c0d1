// The STYLE widget: a reusable style block (colours, flags and a font)
// that later widgets copy with their STYLE attribute. It is never drawn.
#include "framework/base/log.h"
#include "framework/widget/display_kinds.h"
#include "framework/widget/widget_internal.h"

#define WIDGET_STYLE_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][style]", __VA_ARGS__)
#define WIDGET_STYLE_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][style]", fn, __VA_ARGS__)

namespace {

constexpr const char* kTag = "STYLE";

// The STYLE's face is found by its file path. A file that cannot be read
// leaves the font without a face (its texts blank) but keeps the style, so
// the widgets that copy it still load. A font that came with a copied
// block stays the other STYLE's; this one makes its own.
int MakeFont(widget_t* w, int32_t halign, int32_t valign) {
  const char* path = w->style.font_path;
  if (ftLoadFace(path) != 0) WIDGET_STYLE_LOG_AS(SYS_DBG_MSG, "widget_init", "  ! cannot load font: %s\n", path);
  if (wdgkind::MakeOwnedFont(w, path, halign, valign) != 0) {
    SYS_ErrKeeper keep;
    WIDGET_STYLE_LOG_AS(SYS_DBG_MSG, "widget_init", "  ! not enough memory for font.\n");
    return -1;
  }
  return 0;
}

}  // namespace

int widget_style_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_STYLE;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 0) != 0) return -1;
  w->style.background = 1;
  w->style.border = 1;
  w->style.onmouse = 1;
  int32_t halign = FR_HALIGN_LEFT;
  int32_t valign = FR_VALIGN_TOP;
  if (wdgParseStyleParams(w, count, names, values, &halign, &valign) != 0) return -1;
  if (w->style.font_path && MakeFont(w, halign, valign) != 0) return -1;
  WIDGET_STYLE_LOG_AS(SYS_DBG_MSG, "widget_init", "  - new widget: %s (%d) : %s id: %d\n", kTag, w->kind,
                      wdgLogText(w->style.font_path), w->id);
  return 0;
}

// The font and the path are freed with the widget's other belongings when
// its set is unloaded; the widgets that copied the block only point at them.
int widget_style_event(widget_t*, wm_event_t*) { return 0; }
