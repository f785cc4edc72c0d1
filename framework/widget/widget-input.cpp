// The mouse rule and the text set-up shared by the input kinds.
#include "framework/widget/widget-input.h"

#include <cstdio>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/numconv.h"

namespace {

void PressFromLeft(widget_t* widget, const wm_event_t* event) {
  if (event->mouse.left) widget->pressed = 1;
}

}  // namespace

int wdgInputMouse(widget_t* widget, wm_event_t* event, int resetPressed, wdg_mouse_action_t action) {
  if (!widget->visible || widget->disabled) return 0;
  widget->hover = 0;
  if (resetPressed) widget->pressed = 0;
  if (!wdgMouseInside(widget, event)) return 0;
  widget->hover = 1;
  action(widget, event);
  if (widget->callback) widget->callback(widget, event);
  return 1;
}

int wdgPressMouse(widget_t* widget, wm_event_t* event) { return wdgInputMouse(widget, event, 1, PressFromLeft); }

int wdgSetUpLabel(widget_t* widget, const char* logTag, const char* file, int line) {
  if (wdgResolveFont(widget, &widget->style.font) != 0) {
    SYS_DbgMessage(SYS_DBG_MSG, "[widget][%s][%s:%d:%s()]  ! requested font do not be there.\n", logTag, file, line,
                   "widget_init");
    SYS_MemFree(widget->title);
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (wdgMakeTextBitmap(widget, WDG_TEXT_BITMAP_WIDTH, WDG_TEXT_BITMAP_HEIGHT) != 0) return -1;
  // A text the font cannot render leaves a blank label; the widget itself
  // still works.
  wdgRenderText(widget, widget->style.font, nullptr);
  char name[32];
  std::snprintf(name, sizeof name, "label-%d", widget->seq);
  return wdgSetString(&widget->name, name);
}

void wdgRenderLabelAgain(widget_t* widget) {
  if (!widget->bitmap) return;
  wdgClearText(widget);
  wdgRenderText(widget, widget->style.font, nullptr);
}

int32_t wdgClamp32(int64_t value) { return SYS_TruncInt32(static_cast<double>(value)); }

int32_t wdgCentredX(int32_t start, int32_t outer, int32_t inner, int32_t offset) {
  return wdgClamp32(int64_t{start} + (int64_t{outer} - inner) / 2 + offset);
}

int32_t wdgCentredY(int32_t top, int32_t outer, int32_t inner, int32_t offset) {
  return wdgClamp32(int64_t{top} - (int64_t{outer} - inner) / 2 + offset);
}
