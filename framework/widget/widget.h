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
// Main thread only; user callbacks run inside wdgProcess.
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

// The first sequence number handed out; every matching tag of every load
// takes the next one, so no two widgets of a run share a number (and so no
// two text textures share a name).
#define WDG_SEQ_FIRST 100000001

// Sizes of the text bitmaps.
#define WDG_TEXT_BITMAP_WIDTH 512   // BUTTON, CHECKBOX, RADIOBUTTON, PROGRESS
#define WDG_TEXT_BITMAP_HEIGHT 64
#define WDG_MAX_BITMAP_SIDE 8192  // a LABEL's WIDTH or HEIGHT beyond this fails its init

// Filter mode of text textures (TM_MODE_LINEAR).
#define WDG_TEXT_FILTER 1

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

typedef int (*widget_init_t)(widget_t* widget, int count, char** names, char** values);
typedef int (*widget_event_t)(widget_t* widget, wm_event_t* event);

struct widget_kind_t {
  const char* tag;
  int32_t kind;
  widget_init_t init;    // 0, or -1 with the last error set
  widget_event_t event;  // result ignored by callers
};

// The kind rows in kind-number order, ended by a null row.
extern const widget_kind_t* const wdgKinds[WDG_KIND_COUNT + 1];

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

// --- attributes, styles and drawing (utils.cpp) ------------------------------------------------

struct widget_keyword_t {
  const char* name;
  int32_t value;
};

// Attribute keyword identifiers.
enum {
  WDG_ATTR_WIDTH = 1, WDG_ATTR_HEIGHT = 2, WDG_ATTR_X = 3, WDG_ATTR_Y = 4, WDG_ATTR_TITLE = 5,
  WDG_ATTR_ID = 6, WDG_ATTR_FULLSCREEN = 7, WDG_ATTR_BGCOLOR = 8, WDG_ATTR_BGFILTER = 9, WDG_ATTR_BG = 10,
  WDG_ATTR_SRC = 11, WDG_ATTR_ASPECT = 12, WDG_ATTR_FGCOLOR = 13, WDG_ATTR_X2 = 14, WDG_ATTR_Y2 = 15,
  WDG_ATTR_DEPTH = 16, WDG_ATTR_OCOLOR = 17, WDG_ATTR_COLOR = 18, WDG_ATTR_NAME = 19, WDG_ATTR_SIZE = 20,
  WDG_ATTR_BOLD = 21, WDG_ATTR_ITALIC = 22, WDG_ATTR_FONTID = 23, WDG_ATTR_ENCODING = 24,
  WDG_ATTR_FONTNAME = 25, WDG_ATTR_WID = 26, WDG_ATTR_GCOLOR = 27, WDG_ATTR_GID = 28, WDG_ATTR_STYLE = 29,
  WDG_ATTR_VALUE = 30, WDG_ATTR_RESIZEABLE = 31, WDG_ATTR_DND = 32,
};
// STYLE keyword identifiers.
enum {
  WDG_STYLE_BAC = 0, WDG_STYLE_BTC = 1, WDG_STYLE_BBC = 2, WDG_STYLE_BLC = 3, WDG_STYLE_BRC = 4,
  WDG_STYLE_FC = 5, WDG_STYLE_BC = 6, WDG_STYLE_TC = 7, WDG_STYLE_OC = 8, WDG_STYLE_FONT_SIZE = 10,
  WDG_STYLE_FONT_BOLD = 11, WDG_STYLE_FONT_ITALIC = 12, WDG_STYLE_FONT_ENCODING = 13,
  WDG_STYLE_FONT_PATH = 14, WDG_STYLE_TEXT_VALIGN = 15, WDG_STYLE_TEXT_HALIGN = 16,
  WDG_STYLE_BACKGROUND = 17, WDG_STYLE_BORDER = 18, WDG_STYLE_ONMOUSE = 19,
};

// The keyword tables, each ended by a null name.
extern const widget_keyword_t wdgAttributeKeywords[];
extern const widget_keyword_t wdgStyleKeywords[];
extern const widget_keyword_t wdgEncodingNames[];
extern const widget_keyword_t wdgAlignNames[];
extern const widget_keyword_t wdgFilterNames[];

int wdgProcessParams(const widget_keyword_t* table, widget_t* widget, int count, char** names, char** values,
                     int strict);
int wdgParseParams(widget_t* widget, int count, char** names, char** values, int strict);
// The STYLE keywords of a STYLE's tag, in order; names that are none are
// skipped. The alignments are written only when their keyword is present.
int wdgParseStyleParams(widget_t* widget, int count, char** names, char** values, int32_t* halign,
                        int32_t* valign);
int32_t wdgFindKeyword(const widget_keyword_t* table, const char* text);
int32_t wdgParseBool(const char* text);
int32_t wdgParseEncoding(const char* text);
int32_t wdgParseAlign(const char* text);
// A colour text (hexadecimal RRGGBBAA, strtoul-like, saturating at 32 bits)
// into four floats.
void wdgParseColor(const char* text, float colour[4]);
void wdgColorFromBytes(int32_t r, int32_t g, int32_t b, int32_t a, float colour[4]);
uint32_t wdgColorToInt(const float colour[4]);
uint32_t wdgColorToPixel(const float colour[4]);
void wdgFillBitmap(void* pixels, int64_t size, const float colour[4]);
// The kind's default style block (all zero for IMG, FONT, GROUP and STYLE).
void wdgDefaultStyle(int32_t kind, widget_style_t* style);

// Height of the set's window's client area (0 without a window), and the
// widget's top edge in the GL frame: H - y.
int32_t wdgWindowHeight(const widget_t* widget);
int32_t wdgTop(const widget_t* widget);
void wdgDrawBackground(widget_t* widget);
void wdgDrawBorder(widget_t* widget);
void wdgDrawText(int32_t x, int32_t y, widget_t* widget);
// One textured quad between two columns and two rows, the texture's (0, 0)
// at the top left and (s, t) at the bottom right.
void wdgTexturedQuad(double left, double top, double right, double bottom, float s, float t);

// Shared pieces of the kinds.
// Replaces *field with a tracked copy of text (null frees it): 0, or -1 with
// code 5 (the old copy then stays).
int wdgSetString(char** field, const char* text);
// Whether the mouse of the event lies strictly inside the widget.
int wdgMouseInside(const widget_t* widget, const wm_event_t* event);
// The font of FONTID (or the style block's when FONTID is 0); -1 with code
// 10 when no widget has that ID.
int wdgResolveFont(widget_t* widget, FR_Font_t** font);
// A 32-bit bitmap for the widget's text: -1 with code 10 for a side outside
// 1..WDG_MAX_BITMAP_SIDE, 5 when out of memory.
int wdgMakeTextBitmap(widget_t* widget, int32_t width, int32_t height);
// Clears the text bitmap to zero bytes (nothing without a bitmap).
void wdgClearText(widget_t* widget);
// Renders `title` (or the given text when not null) with the font into the
// text bitmap as it stands, setting text_width and text_height (0 x 0 for
// an empty text, no title, no font or no bitmap). 0, or -1 with the font
// renderer's code.
int wdgRenderText(widget_t* widget, FR_Font_t* font, const char* text);
// Hands the text bitmap to the texture cache as the texture `name`, or has
// the cache upload it again when it holds it already. Never frees it.
int wdgUploadText(widget_t* widget);
// Removes the texture `name` with the text bitmap, or frees the bitmap
// when the cache never had it. Leaves `bitmap` null.
void wdgReleaseText(widget_t* widget);
// Counts the widget as a user of the image file and loads it into the cache
// (tmLoad); the image's bitmap, or null with the cache's code when the file
// cannot be loaded.
txBitmap* wdgAcquireImage(widget_t* widget, const char* file, int32_t mode);
// Ends the widget's use of the image it acquired; the last user removes the
// texture.
void wdgReleaseImage(widget_t* widget);
// Frees whatever the widget still owns (run by wdgUnload after the destroy
// events): strings, members, its own font and font path, its text bitmap
// when the cache does not hold it, its use of an image.
void wdgFreeOwned(widget_t* widget);

// A text for a "%s" of a log line: "(null)" for a null one.
inline const char* wdgLogText(const char* text) { return text ? text : "(null)"; }

// Sends one toolkit event (a zero-filled record with only the type) to the
// widget's kind.
int wdgSendEvent(widget_t* widget, int32_t type);

// --- event routing and the WINDOW (widget-window.cpp) ---------------------------------------

int32_t wdgRouteEvent(wm_event_t* event);

// --- the kinds' functions ----------------------------------------------------------------------

int widget_window_init(widget_t* w, int count, char** names, char** values);
int widget_window_event(widget_t* w, wm_event_t* e);
int widget_button_init(widget_t* w, int count, char** names, char** values);
int widget_button_event(widget_t* w, wm_event_t* e);
int widget_img_init(widget_t* w, int count, char** names, char** values);
int widget_img_event(widget_t* w, wm_event_t* e);
int widget_frame_init(widget_t* w, int count, char** names, char** values);
int widget_frame_event(widget_t* w, wm_event_t* e);
int widget_line_init(widget_t* w, int count, char** names, char** values);
int widget_line_event(widget_t* w, wm_event_t* e);
int widget_label_init(widget_t* w, int count, char** names, char** values);
int widget_label_event(widget_t* w, wm_event_t* e);
int widget_font_init(widget_t* w, int count, char** names, char** values);
int widget_font_event(widget_t* w, wm_event_t* e);
int widget_group_init(widget_t* w, int count, char** names, char** values);
int widget_group_event(widget_t* w, wm_event_t* e);
int widget_checkbox_init(widget_t* w, int count, char** names, char** values);
int widget_checkbox_event(widget_t* w, wm_event_t* e);
int widget_radiobutton_init(widget_t* w, int count, char** names, char** values);
int widget_radiobutton_event(widget_t* w, wm_event_t* e);
int widget_style_init(widget_t* w, int count, char** names, char** values);
int widget_style_event(widget_t* w, wm_event_t* e);
int widget_progress_init(widget_t* w, int count, char** names, char** values);
int widget_progress_event(widget_t* w, wm_event_t* e);
