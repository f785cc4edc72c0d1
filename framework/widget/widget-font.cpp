// The FONT widget: loads a font file and makes a font that other widgets
// name by their FONTID. It is never drawn.
#include "framework/base/log.h"
#include "framework/widget/display_kinds.h"
#include "framework/widget/widget_internal.h"

#define WIDGET_FONT_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][font]", __VA_ARGS__)
#define WIDGET_FONT_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][font]", fn, __VA_ARGS__)

namespace {

constexpr const char* kTag = "FONT";

}  // namespace

int widget_font_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_FONT;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  const char* path = w->style.font_path;
  // Whether the file loads is not looked at: a file that cannot be opened
  // has been reported to the error callback by the file layer, and the font
  // made below then has no face, so the widgets naming it show no text.
  if (path) ftLoadFace(path);
  // The face is looked up by NAME, so NAME has to be the path it was loaded
  // from; any other name gives a font without a face.
  if (wdgkind::MakeOwnedFont(w, w->name, FR_HALIGN_LEFT, FR_VALIGN_TOP) != 0) {
    SYS_ErrKeeper keep;
    WIDGET_FONT_LOG_AS(SYS_DBG_MSG, "widget_init", "  ! not enough memory for font.\n");
    return -1;
  }
  WIDGET_FONT_LOG_AS(SYS_DBG_MSG, "widget_init",
                     "  - new widget: %s (%d) : %s id: %d bold: %d italic: %d encoding: %d\n", kTag, w->kind,
                     wdgLogText(w->name), w->id, w->style.font_bold, w->style.font_italic, w->style.font_encoding);
  if (path) WIDGET_FONT_LOG_AS(SYS_DBG_MSG, "widget_init", "    - font file: %s\n", path);
  return 0;
}

// The font is freed with the widget's other belongings when its set is
// unloaded; widgets that took it by FONTID only point at it.
int widget_font_event(widget_t*, wm_event_t*) { return 0; }
