// Widget sets: loading a dialog from XML into a list of widgets, the
// operations on a whole set (show, hide, draw, one dialog frame, unload),
// the lookups, and the per-widget operations and colour setters.
#include "framework/widget/widget.h"

#include <cstring>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/xml.h"
#include "framework/widget/widget_internal.h"
#include "platform/ascii.h"

#define WIDGET_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget]", __VA_ARGS__)

namespace {

const widget_kind_t kWindowKind{"WINDOW", WDG_KIND_WINDOW, widget_window_init, widget_window_event};
const widget_kind_t kButtonKind{"BUTTON", WDG_KIND_BUTTON, widget_button_init, widget_button_event};
const widget_kind_t kImgKind{"IMG", WDG_KIND_IMG, widget_img_init, widget_img_event};
const widget_kind_t kFrameKind{"FRAME", WDG_KIND_FRAME, widget_frame_init, widget_frame_event};
const widget_kind_t kLineKind{"LINE", WDG_KIND_LINE, widget_line_init, widget_line_event};
const widget_kind_t kLabelKind{"LABEL", WDG_KIND_LABEL, widget_label_init, widget_label_event};
const widget_kind_t kFontKind{"FONT", WDG_KIND_FONT, widget_font_init, widget_font_event};
const widget_kind_t kGroupKind{"GROUP", WDG_KIND_GROUP, widget_group_init, widget_group_event};
const widget_kind_t kCheckboxKind{"CHECKBOX", WDG_KIND_CHECKBOX, widget_checkbox_init, widget_checkbox_event};
const widget_kind_t kRadioKind{"RADIOBUTTON", WDG_KIND_RADIOBUTTON, widget_radiobutton_init,
                               widget_radiobutton_event};
const widget_kind_t kStyleKind{"STYLE", WDG_KIND_STYLE, widget_style_init, widget_style_event};
const widget_kind_t kProgressKind{"PROGRESS", WDG_KIND_PROGRESS, widget_progress_init, widget_progress_event};

// The next sequence number. It never goes back, so widgets of sets loaded
// at the same time never share a texture name.
int32_t nextSeq = WDG_SEQ_FIRST;

// What one wdgLoad builds, kept in the parser's user pointer so that a load
// started from inside another (an error shown while a dialog loads) keeps
// its own.
struct LoadState {
  SYS_List_p set = nullptr;
};

widget_t* WidgetOf(SYS_List_p node) { return node ? static_cast<widget_t*>(node->data) : nullptr; }

int32_t KindOf(const widget_t* w) { return w->kind_row ? w->kind_row->kind : w->kind; }

widget_t* FirstWindow(SYS_List_p set) {
  for (SYS_List_p n = set; n; n = n->next)
    if (widget_t* w = WidgetOf(n); w && KindOf(w) == WDG_KIND_WINDOW) return w;
  return nullptr;
}

int BadArgument() {
  errSetLastError(ERR_BADARG);
  return -1;
}

// Releases what the widget still holds and the record: after its kind's
// destroy event, or when its init failed (it may have made things first) or
// it could not join its set.
void Discard(widget_t* w) {
  if (w->window) wmDestroyWindow(w->window);
  w->window = nullptr;
  wdgFreeOwned(w);
  SYS_MemFree(w);
}

const widget_kind_t* KindOfTag(const char* tag) {
  for (const widget_kind_t* const* row = wdgKinds; *row; ++row)
    if (SYS_AsciiEqualNoCase((*row)->tag, tag)) return *row;
  return nullptr;
}

int XML_open(SYS_XML_t* xml, const char* name, int count, char** names, char** values) {
  auto* state = static_cast<LoadState*>(xml->user_data);
  const widget_kind_t* row = name ? KindOfTag(name) : nullptr;
  if (!state || !row) return 0;
  auto* w = static_cast<widget_t*>(SYS_MemGet(sizeof(widget_t)));
  if (!w) {
    errSetLastError(ERR_NOMEM);
    return 0;
  }
  std::memset(static_cast<void*>(w), 0, sizeof *w);
  widget_t* window = FirstWindow(state->set);
  w->set_window = window ? window->window : nullptr;
  w->kind_row = row;
  w->set = state->set;
  w->seq = nextSeq++;
  if (row->init(w, count, names, values) != 0) {
    WIDGET_LOG(SYS_DBG_MSG, "  ! error in initialization: %s\n", row->tag);
    SYS_ErrKeeper keep;
    Discard(w);
    return 0;
  }
  SYS_List_p head = SYS_ListAddLast(state->set, w);
  if (!head) {
    // The set stays as it was; only this widget is lost.
    wdgSendEvent(w, WDG_EVENT_DESTROY);
    Discard(w);
    errSetLastError(ERR_NOMEM);
    return 0;
  }
  state->set = head;
  w->set = head;
  return 0;
}

int IgnoreContent(SYS_XML_t*, const char*, int, char**, char**, const char*) { return 0; }
int IgnoreClose(SYS_XML_t*, const char*) { return 0; }

void SendToAll(SYS_List_p set, int32_t type) {
  for (SYS_List_p n = set; n; n = n->next) wdgSendEvent(WidgetOf(n), type);
}

// Sets a flag, then tells the widget's kind.
int FlagAndSend(widget_t* w, int32_t widget_t::*flag, int32_t value, int32_t type) {
  errClear();
  if (!w) return BadArgument();
  w->*flag = value;
  wdgSendEvent(w, type);
  return 0;
}

int SetColourText(widget_t* w, float (widget_style_t::*colour)[4], const char* text) {
  errClear();
  if (!w || !text) return BadArgument();
  wdgParseColor(text, w->style.*colour);
  return wdgChanged(w);
}

int SetColourBytes(widget_t* w, float (widget_style_t::*colour)[4], int32_t r, int32_t g, int32_t b, int32_t a) {
  errClear();
  if (!w) return BadArgument();
  wdgColorFromBytes(r, g, b, a, w->style.*colour);
  return wdgChanged(w);
}

}  // namespace

const widget_kind_t* const wdgKinds[WDG_KIND_COUNT + 1] = {
    &kWindowKind, &kButtonKind, &kImgKind,   &kFrameKind, &kLineKind,  &kLabelKind,    &kFontKind,
    &kGroupKind,  &kCheckboxKind, &kRadioKind, &kStyleKind, &kProgressKind, nullptr,
};

// --- sets -------------------------------------------------------------------------------------

int wdgInit(void) {
  errClear();
  return 0;
}

SYS_List_p wdgLoad(int sourceType, const char* source) {
  errClear();
  SYS_XML_t* xml = SYS_XMLOpen(sourceType, source);
  if (!xml) return nullptr;
  LoadState state;
  SYS_XMLSetCB(xml, XML_open, IgnoreContent, IgnoreClose, &state);
  int parsed = SYS_XMLParse(xml);
  int parseError = errPeekLastError();
  SYS_XMLClose(xml);
  widget_t* window = FirstWindow(state.set);
  if (window && window->window) wmOptions(window->window, WM_OPT_SET_USERDATA, reinterpret_cast<intptr_t>(state.set));
  if (!window)
    errSetLastError(ERR_NOTLISTED);
  else if (parsed != 0)
    errSetLastError(parseError);
  return state.set;
}

int wdgUnload(SYS_List_p set) {
  errClear();
  if (!set) return BadArgument();
  WIDGET_LOG(SYS_DBG_MSG, "  - unload widget set.\n");
  widget_t* window = FirstWindow(set);
  if (window && window->window) {
    // Events of the window's own destruction must not reach widgets being
    // freed; the textures go while the context that made them is current.
    wmOptions(window->window, WM_OPT_SET_USERDATA, 0);
    wmMakeCurrent(window->window);
  }
  for (SYS_List_p n = set; n; n = n->next)
    if (widget_t* w = WidgetOf(n); w && KindOf(w) != WDG_KIND_WINDOW) wdgSendEvent(w, WDG_EVENT_DESTROY);
  for (SYS_List_p n = set; n; n = n->next)
    if (widget_t* w = WidgetOf(n); w && KindOf(w) == WDG_KIND_WINDOW) wdgSendEvent(w, WDG_EVENT_DESTROY);
  for (SYS_List_p n = set; n; n = n->next) {
    if (widget_t* w = WidgetOf(n)) Discard(w);
    n->data = nullptr;
  }
  SYS_ListRemove(set);
  errClear();
  return 0;
}

int wdgShowAll(SYS_List_p set) {
  errClear();
  if (!set) return BadArgument();
  for (SYS_List_p n = set; n; n = n->next) {
    if (widget_t* w = WidgetOf(n)) {
      w->visible = 1;
      wdgSendEvent(w, WDG_EVENT_SHOW);
    }
  }
  return wdgDrawAll(set);
}

int wdgHideAll(SYS_List_p set) {
  errClear();
  if (!set) return BadArgument();
  for (SYS_List_p n = set; n; n = n->next) {
    if (widget_t* w = WidgetOf(n)) {
      w->visible = 0;
      wdgSendEvent(w, WDG_EVENT_HIDE);
    }
  }
  return 0;
}

int wdgDrawAll(SYS_List_p set) {
  errClear();
  if (!set) return BadArgument();
  widget_t* window = FirstWindow(set);
  wm_window_t* target = window ? window->window : nullptr;
  if (target) wmMakeCurrent(target);
  SendToAll(set, WDG_EVENT_DRAW);
  // The frame goes to the window whose context it was drawn in.
  if (target) wmSwapBuffers(target);
  if (!window) errSetLastError(ERR_NOTLISTED);
  return 0;
}

int wdgProcess(SYS_List_p set) {
  errClear();
  if (!set) return BadArgument();
  wmPumpMessages();
  return wdgDrawAll(set);
}

widget_t* wdgFind(SYS_List_p set, int32_t id) {
  errClear();
  if (!set) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  for (SYS_List_p n = set; n; n = n->next)
    if (widget_t* w = WidgetOf(n); w && w->id == id) return w;
  errSetLastError(ERR_NOTLISTED);
  return nullptr;
}

widget_t* wdgFindKind(SYS_List_p set, int32_t kind) {
  errClear();
  if (!set) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  for (SYS_List_p n = set; n; n = n->next)
    if (widget_t* w = WidgetOf(n); w && KindOf(w) == kind) return w;
  errSetLastError(ERR_NOTLISTED);
  return nullptr;
}

int wdgSetCallbackAll(SYS_List_p set, widget_callback_t callback) {
  errClear();
  if (!set || !callback) return BadArgument();
  for (SYS_List_p n = set; n; n = n->next)
    if (widget_t* w = WidgetOf(n)) w->callback = callback;
  return 0;
}

// --- one widget -------------------------------------------------------------------------------

int wdgChanged(widget_t* widget) {
  errClear();
  if (!widget || !widget->kind_row) return BadArgument();
  wdgSendEvent(widget, WDG_EVENT_CHANGED);
  return 0;
}

int wdgSetTitle(widget_t* widget, const char* text) {
  errClear();
  if (!widget || !text) return BadArgument();
  if (wdgSetString(&widget->title, text) != 0) return -1;
  return wdgChanged(widget);
}

int wdgSetSrc(widget_t* widget, const char* text) {
  errClear();
  if (!widget || !text) return BadArgument();
  if (wdgSetString(&widget->src, text) != 0) return -1;
  return wdgChanged(widget);
}

int wdgGetPos(widget_t* widget, int32_t* x, int32_t* y) {
  errClear();
  if (!widget) return BadArgument();
  if (x) *x = widget->x;
  if (y) *y = widget->y;
  return 0;
}

int wdgGetSize(widget_t* widget, int32_t* width, int32_t* height) {
  errClear();
  if (!widget) return BadArgument();
  if (width) *width = widget->width;
  if (height) *height = widget->height;
  return 0;
}

int wdgSetPos(widget_t* widget, int32_t x, int32_t y) {
  errClear();
  if (!widget) return BadArgument();
  widget->x = x;
  widget->y = y;
  return wdgChanged(widget);
}

int wdgSetSize(widget_t* widget, int32_t width, int32_t height) {
  errClear();
  if (!widget) return BadArgument();
  widget->width = width;
  widget->height = height;
  return wdgChanged(widget);
}

int wdgSetCallback(widget_t* widget, widget_callback_t callback) {
  errClear();
  if (!widget || !callback) return BadArgument();
  widget->callback = callback;
  return 0;
}

int wdgShow(widget_t* widget) { return FlagAndSend(widget, &widget_t::visible, 1, WDG_EVENT_SHOW); }
int wdgHide(widget_t* widget) { return FlagAndSend(widget, &widget_t::visible, 0, WDG_EVENT_HIDE); }
int wdgEnable(widget_t* widget) { return FlagAndSend(widget, &widget_t::disabled, 0, WDG_EVENT_ENABLE); }
int wdgDisable(widget_t* widget) { return FlagAndSend(widget, &widget_t::disabled, 1, WDG_EVENT_DISABLE); }
int wdgRedraw(widget_t* widget) { return FlagAndSend(widget, &widget_t::disabled, 0, WDG_EVENT_DRAW); }

int32_t wdgGetValue(widget_t* widget) {
  errClear();
  if (!widget) return BadArgument();
  return widget->value_int;
}

float wdgGetValueFloat(widget_t* widget) {
  errClear();
  if (!widget) {
    errSetLastError(ERR_BADARG);
    return -1.0f;
  }
  return widget->value_float;
}

const char* wdgGetValueStr(widget_t* widget) {
  errClear();
  if (!widget) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  return widget->value_str;
}

// --- colour setters -----------------------------------------------------------------------------

int wdgSetFC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::fc, c); }
int wdgSetBC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::bc, c); }
int wdgSetOC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::oc, c); }
int wdgSetTC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::tc, c); }
int wdgSetBTC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::btc, c); }
int wdgSetBBC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::bbc, c); }
int wdgSetBLC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::blc, c); }
int wdgSetBRC(widget_t* w, const char* c) { return SetColourText(w, &widget_style_t::brc, c); }

int wdgSetFCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::fc, r, g, b, a);
}
int wdgSetBCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::bc, r, g, b, a);
}
int wdgSetOCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::oc, r, g, b, a);
}
int wdgSetTCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::tc, r, g, b, a);
}
int wdgSetBTCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::btc, r, g, b, a);
}
int wdgSetBBCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::bbc, r, g, b, a);
}
int wdgSetBLCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::blc, r, g, b, a);
}
int wdgSetBRCi(widget_t* w, int32_t r, int32_t g, int32_t b, int32_t a) {
  return SetColourBytes(w, &widget_style_t::brc, r, g, b, a);
}
