// The FONT widget: loads a font file and makes a font that other widgets
// name by their FONTID. It is never drawn.
#include "framework/base/log.h"
#include "framework/widget/widget.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFFFFu;
constexpr int32_t kWeightBold = 800;
constexpr int32_t kWeightRegular = 100;
constexpr const char* kTag = "FONT";

const char* Shown(const char* text) { return text ? text : "(null)"; }

// A size left out (0) would render at FreeType's smallest size, one pixel,
// which shows nothing: such fonts take the renderer's default size.
int32_t RenderSize(int32_t size) { return size > 0 ? size : FR_DEFAULT_SIZE; }

// The face is looked up by NAME, so NAME has to be the path the face was
// loaded from; any other name leaves the font without a face and its texts
// blank.
int MakeFont(widget_t* w) {
  FR_Font_t* font = ftNewFont(w->style.font_encoding, kWhite, FR_HALIGN_LEFT, FR_VALIGN_TOP);
  if (!font) {
    SYS_DbgMessage(SYS_DBG_MSG, "[widget][font][%s:%d:%s()]  ! not enough memory for font.\n",
                   SYS_LOGPOS_AS("widget_init"));
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  w->owned_font = font;
  w->style.font = font;
  const widget_style_t& s = w->style;
  ftSetFont(font, w->name ? w->name : "", RenderSize(s.font_size), s.font_bold ? kWeightBold : kWeightRegular,
            s.font_italic);
  return 0;
}

}  // namespace

int widget_font_init(widget_t* w, int count, char** names, char** values) {
  w->kind = WDG_KIND_FONT;
  wdgDefaultStyle(w->kind, &w->style);
  if (wdgParseParams(w, count, names, values, 1) != 0) return -1;
  const char* path = w->style.font_path;
  // A font file that cannot be read fails this widget only; the widgets
  // naming it then fail in turn, and the rest of the dialog still loads.
  if (path && ftLoadFace(path) != 0) {
    SYS_ErrKeeper keep;
    SYS_DbgMessage(SYS_DBG_MSG, "[widget][font][%s:%d:%s()]  ! cannot load font: %s\n", SYS_LOGPOS_AS("widget_init"),
                   path);
    return -1;
  }
  if (MakeFont(w) != 0) return -1;
  SYS_DbgMessage(SYS_DBG_MSG,
                 "[widget][font][%s:%d:%s()]  - new widget: %s (%d) : %s id: %d bold: %d italic: %d encoding: %d\n",
                 SYS_LOGPOS_AS("widget_init"), kTag, w->kind, Shown(w->name), w->id, w->style.font_bold,
                 w->style.font_italic, w->style.font_encoding);
  if (path) SYS_DbgMessage(SYS_DBG_MSG, "[widget][font][%s:%d:%s()]    - font file: %s\n", SYS_LOGPOS_AS("widget_init"), path);
  return 0;
}

// The font is freed with the widget's other belongings when its set is
// unloaded; widgets that took it by FONTID only point at it.
int widget_font_event(widget_t*, wm_event_t*) { return 0; }
