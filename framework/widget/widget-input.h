// Pieces shared by the kinds that take mouse input (BUTTON, CHECKBOX,
// RADIOBUTTON, PROGRESS): one mouse rule, the text set-up of the labelled
// kinds, and the tick box that CHECKBOX and RADIOBUTTON draw alike.
// Inside the widget library only.
#pragma once
#include <cstdint>

#include "framework/widget/widget_internal.h"

// What a kind does with a mouse event that lies inside the widget, before
// the user callback hears of it.
typedef void (*wdg_mouse_action_t)(widget_t* widget, const wm_event_t* event);

// The mouse rule: nothing while the widget is hidden or disabled (0);
// otherwise hover (and, with resetPressed, pressed) start again from 0, and
// a mouse strictly inside sets hover, runs the action and calls the user
// callback (1). Every mouse event inside counts: moves, presses, releases
// and wheel turns.
int wdgInputMouse(widget_t* widget, wm_event_t* event, int resetPressed, wdg_mouse_action_t action);
// The rule of BUTTON and PROGRESS: pressed while the left button is held
// over the widget.
int wdgPressMouse(widget_t* widget, wm_event_t* event);

// The text of a labelled kind (text BUTTON, CHECKBOX, RADIOBUTTON): the
// font of FONTID into style.font, a WDG_TEXT_BITMAP_WIDTH x
// WDG_TEXT_BITMAP_HEIGHT bitmap with the title rendered into it, and the
// texture name "label-<seq>" in place of any NAME. 0, or -1: code 10 when
// FONTID names no widget (logged under "[widget][<logTag>]" with the kind's
// source position, and the title freed), 5 when out of memory.
int wdgSetUpLabel(widget_t* widget, const char* logTag, const char* file, int line);
// Renders the title again into the cleared text bitmap (nothing without
// one); uploading is left to the caller or the next draw.
void wdgRenderLabelAgain(widget_t* widget);

// The value held inside the 32-bit range.
int32_t wdgClamp32(int64_t value);
// Where a text of size inner starts when centred in a widget of size outer:
// start + (outer - inner) / 2 across, top - (outer - inner) / 2 down (the GL
// frame's y grows upward), plus offset; the quotient is cut toward zero and
// the result held inside the 32-bit range.
int32_t wdgCentredX(int32_t start, int32_t outer, int32_t inner, int32_t offset);
int32_t wdgCentredY(int32_t top, int32_t outer, int32_t inner, int32_t offset);

// The event function of CHECKBOX and RADIOBUTTON, which differ only in what
// a click does.
int wdgTickBoxEvent(widget_t* widget, wm_event_t* event, wdg_mouse_action_t action);

