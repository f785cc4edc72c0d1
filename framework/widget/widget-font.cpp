// The FONT widget: loads a font file and makes a font that other widgets
// name by their FONTID. It is never drawn.
#include "framework/base/log.h"
#include "framework/widget/display_kinds.h"
#include "framework/widget/widget_internal.h"

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
    SYS_DbgMessage(SYS_DBG_MSG, "[widget][font][%s:%d:%s()]  ! not enough memory for font.\n",
                   SYS_LOGPOS_AS("widget_init"));
    return -1;
  }
  SYS_DbgMessage(SYS_DBG_MSG,
                 "[widget][font][%s:%d:%s()]  - new widget: %s (%d) : %s id: %d bold: %d italic: %d encoding: %d\n",
                 SYS_LOGPOS_AS("widget_init"), kTag, w->kind, wdgLogText(w->name), w->id, w->style.font_bold,
                 w->style.font_italic, w->style.font_encoding);
  if (path)
    SYS_DbgMessage(SYS_DBG_MSG, "[widget][font][%s:%d:%s()]    - font file: %s\n", SYS_LOGPOS_AS("widget_init"), path);
  return 0;
}

// The font is freed with the widget's other belongings when its set is
// unloaded; widgets that took it by FONTID only point at it.
int widget_font_event(widget_t*, wm_event_t*) { return 0; }
