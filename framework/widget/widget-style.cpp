// The STYLE widget: a reusable style block (colours, flags and a font)
// that later widgets copy with their STYLE attribute. It is never drawn.
#include "framework/base/log.h"
#include "framework/widget/widget.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr int32_t kWeightBold = 800;
constexpr int32_t kWeightRegular = 100;
constexpr const char* kTag = "STYLE";

const char* Shown(const char* text) { return text ? text : "(null)"; }

int32_t RenderSize(int32_t size) { return size > 0 ? size : FR_DEFAULT_SIZE; }

// The STYLE's face is found by its file path. A file that cannot be read
// leaves the font without a face (its texts blank) but keeps the style, so
// the widgets that copy it still load.
int MakeFont(widget_t* w, int32_t halign, int32_t valign) {
  const widget_style_t& s = w->style;
  if (ftLoadFace(s.font_path) != 0)
    SYS_DbgMessage(SYS_DBG_MSG, "[widget][style][%s:%d:%s()]  ! cannot load font: %s\n", SYS_LOGPOS_AS("widget_init"),
                   s.font_path);
  FR_Font_t* font = ftNewFont(s.font_encoding, kWhite, halign, valign);
  if (!font) {
    SYS_DbgMessage(SYS_DBG_MSG, "[widget][style][%s:%d:%s()]  ! not enough memory for font.\n",
                   SYS_LOGPOS_AS("widget_init"));
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  // A font copied in with another STYLE's block stays that STYLE's.
  w->owned_font = font;
  w->style.font = font;
  ftSetFont(font, s.font_path, RenderSize(s.font_size), s.font_bold ? kWeightBold : kWeightRegular, s.font_italic);
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
  SYS_DbgMessage(SYS_DBG_MSG, "[widget][style][%s:%d:%s()]  - new widget: %s (%d) : %s id: %d\n",
                 SYS_LOGPOS_AS("widget_init"), kTag, w->kind, Shown(w->style.font_path), w->id);
  return 0;
}

// The font and the path are freed with the widget's other belongings when
// its set is unloaded; the widgets that copied the block only point at them.
int widget_style_event(widget_t*, wm_event_t*) { return 0; }
