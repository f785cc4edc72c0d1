// The widget toolkit: small dialogs described in XML. One document becomes
// one widget set, a list of widgets in document order whose first WINDOW
// owns an operating-system window with a GL context; the application shows
// the set, runs one dialog frame at a time (wdgProcess) and hides it again.
// Every widget has a kind (one of twelve), the attributes of its tag, a
// style, and an optional user callback through which the application hears
// of clicks and keys.
//
// Ownership, in one place:
// - A set owns its widgets; wdgUnload releases them, their textures before
//   the window whose context drew them.
// - title, name, src, bg, value_str and members are the widget's own tracked
//   copies; setting one frees the copy it replaces.
// - A text bitmap (LABEL, text BUTTON, CHECKBOX, RADIOBUTTON, PROGRESS) is
//   the widget's until it is first handed to the texture cache under the
//   widget's `name`; from then on it is the cache's, and the widget only
//   renders into it and has the cache upload it again. An IMG's `bitmap` is
//   always the cache's (the image of its `src`).
// - The style's `font` and `font_path` are shared by every widget that
//   copied the style block; only the widget that made them (owned_font,
//   owned_font_path) frees them.
// - Images named by src and bg are counted per widget, so an image file
//   shared by several widgets stays cached until its last user is destroyed.
//
// Main thread only; user callbacks run inside wdgProcess. What the kinds
// share among themselves is in widget_internal.h, not for applications.
#pragma once
#include <cstdint>

#include "framework/base/list.h"
#include "framework/fr/FR.h"
#include "framework/tl/TL.h"
#include "framework/wm/wm.h"

// Kind numbers.
#define WDG_KIND_WINDOW 0
#define WDG_KIND_BUTTON 1
#define WDG_KIND_IMG 2
#define WDG_KIND_FRAME 3
#define WDG_KIND_LINE 4
#define WDG_KIND_LABEL 5
#define WDG_KIND_FONT 6
#define WDG_KIND_GROUP 7
#define WDG_KIND_CHECKBOX 8
#define WDG_KIND_RADIOBUTTON 9
#define WDG_KIND_STYLE 10
#define WDG_KIND_PROGRESS 11
#define WDG_KIND_COUNT 12

// Event types the toolkit sends its widgets itself, besides the window
// manager's key, mouse and window events (WM_EVENT_*). Each comes in a
// zero-filled record with only the type set.
#define WDG_EVENT_DRAW 3
#define WDG_EVENT_DESTROY 5  // release what the widget owns
#define WDG_EVENT_SHOW 6     // load textures, render text
#define WDG_EVENT_HIDE 7
#define WDG_EVENT_ENABLE 8
#define WDG_EVENT_DISABLE 9
#define WDG_EVENT_CHANGED 10  // text, position, size or colour changed: render again

// Source types of wdgLoad.
#define WDG_SOURCE_TEXT 0  // the XML text itself
#define WDG_SOURCE_FILE 1  // a file name of the file layer

struct widget_style_t {
  float btc[4], bbc[4], blc[4], brc[4];  // border colours: top, bottom, left, right (RGBA 0..1)
  float fc[4];                           // foreground: lines, bars, ticks, image tint
  float bc[4];                           // background
  float oc[4];                           // background while the mouse is over the widget
  float tc[4];                           // text
  int32_t font_size;
  int32_t font_bold;
  int32_t font_italic;
  int32_t font_encoding;  // FR_ENC_*, -1 for an unknown name
  char* font_path;        // shared; see owned_font_path
  FR_Font_t* font;        // shared; see owned_font
  int32_t background;     // draw the background quad
  int32_t border;         // draw the border
  int32_t onmouse;        // draw the background while hovered even without `background`
};

struct widget_t;
struct widget_kind_t;

// The user callback; its result is ignored.
typedef int32_t (*widget_callback_t)(widget_t* widget, wm_event_t* event);

// The application's view of a widget: its first eleven fields.
struct widget_item_t {
  SYS_List_p set;              // the set's head node (null while the first widget is being made)
  const widget_kind_t* kind_row;
  wm_window_t* set_window;     // the window of the set's first WINDOW made before this widget
  wm_window_t* window;         // WINDOW only: its own window
  int32_t resizeable;
  int32_t dnd;
  int32_t gid;                 // radio group
  int32_t id;                  // how the application finds the widget
  char* name;                  // the text texture's name for the text kinds
  char* title;                 // window title or widget text
  int32_t kind;                // WDG_KIND_*
};

struct widget_t : widget_item_t {
  char* src;  // image file
  char* bg;   // a WINDOW's background image
  int32_t bg_filter;
  int32_t x, y;    // top-left corner in window pixels, y downward
  int32_t x2, y2;  // a LINE's second end
  int32_t seq;     // sequence number
  int32_t width, height;
  int32_t text_width, text_height;  // of the rendered text
  float aspect;
  float depth;  // line width
  int32_t member_count;
  int32_t* members;  // GROUP: member IDs
  int32_t visible;
  int32_t hover;
  int32_t fullscreen;
  int32_t disabled;
  int32_t pressed;
  int32_t value_int;
  float value_float;
  char* value_str;
  widget_style_t style;
  int32_t font_id;
  txBitmap* bitmap;  // text bitmap, or an IMG's image (the cache's)
  widget_callback_t callback;
  // What the widget made itself and frees when it is destroyed, as opposed
  // to what its style block shares with other widgets.
  FR_Font_t* owned_font;
  char* owned_font_path;
};

// --- sets -------------------------------------------------------------------------------------

int wdgInit(void);
SYS_List_p wdgLoad(int sourceType, const char* source);
int wdgUnload(SYS_List_p set);
int wdgShowAll(SYS_List_p set);
int wdgHideAll(SYS_List_p set);
int wdgDrawAll(SYS_List_p set);
int wdgProcess(SYS_List_p set);
widget_t* wdgFind(SYS_List_p set, int32_t id);
widget_t* wdgFindKind(SYS_List_p set, int32_t kind);
int wdgSetCallbackAll(SYS_List_p set, widget_callback_t callback);

// --- one widget -------------------------------------------------------------------------------

int wdgChanged(widget_t* widget);
int wdgSetTitle(widget_t* widget, const char* text);
int wdgSetSrc(widget_t* widget, const char* text);
int wdgGetPos(widget_t* widget, int32_t* x, int32_t* y);
int wdgGetSize(widget_t* widget, int32_t* width, int32_t* height);
int wdgSetPos(widget_t* widget, int32_t x, int32_t y);
int wdgSetSize(widget_t* widget, int32_t width, int32_t height);
int wdgSetCallback(widget_t* widget, widget_callback_t callback);
int wdgShow(widget_t* widget);
int wdgHide(widget_t* widget);
int wdgEnable(widget_t* widget);
int wdgDisable(widget_t* widget);
int wdgRedraw(widget_t* widget);
int32_t wdgGetValue(widget_t* widget);
float wdgGetValueFloat(widget_t* widget);
const char* wdgGetValueStr(widget_t* widget);

// Colour setters: the text form reads one hexadecimal number RRGGBBAA, the
// integer form four components of which the low 8 bits count.
int wdgSetFC(widget_t* widget, const char* colour);
int wdgSetBC(widget_t* widget, const char* colour);
int wdgSetOC(widget_t* widget, const char* colour);
int wdgSetTC(widget_t* widget, const char* colour);
int wdgSetBTC(widget_t* widget, const char* colour);
int wdgSetBBC(widget_t* widget, const char* colour);
int wdgSetBLC(widget_t* widget, const char* colour);
int wdgSetBRC(widget_t* widget, const char* colour);
int wdgSetFCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
int wdgSetBCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
int wdgSetOCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
int wdgSetTCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
int wdgSetBTCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
int wdgSetBBCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
int wdgSetBLCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
int wdgSetBRCi(widget_t* widget, int32_t r, int32_t g, int32_t b, int32_t a);
