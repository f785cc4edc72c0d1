// Inside the widget toolkit: what its kinds share (the kind table, the
// attribute and style keywords, the drawing and ownership helpers, the
// event routing) and the kinds' own entry points. The folder's sources, its
// tests and its fuzz target include it; an application needs widget.h only.
#pragma once
#include <cstdint>

#include "framework/widget/widget.h"

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
