// What every widget kind shares: the attribute reader and its keyword
// tables, the default styles, colour packing, the background, border and
// text drawing, and the helpers that keep the ownership of text bitmaps,
// images and copied strings in one place.
#include <cstring>
#include <map>
#include <string>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/nodestroy.h"
#include "framework/base/numconv.h"
#include "framework/base/str.h"
#include "framework/tl/TM.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"
#include "platform/ascii.h"

#define WIDGET_UTILS_LOG(level, ...) SYS_LOG_TAGGED(level, "[widget][utils]", __VA_ARGS__)
#define WIDGET_UTILS_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[widget][utils]", fn, __VA_ARGS__)

const widget_keyword_t wdgAttributeKeywords[] = {
    {"WIDTH", WDG_ATTR_WIDTH},       {"HEIGHT", WDG_ATTR_HEIGHT},       {"X", WDG_ATTR_X},
    {"Y", WDG_ATTR_Y},               {"TITLE", WDG_ATTR_TITLE},         {"ID", WDG_ATTR_ID},
    {"FULLSCREEN", WDG_ATTR_FULLSCREEN}, {"BGCOLOR", WDG_ATTR_BGCOLOR}, {"FGCOLOR", WDG_ATTR_FGCOLOR},
    {"OCOLOR", WDG_ATTR_OCOLOR},     {"COLOR", WDG_ATTR_COLOR},         {"GCOLOR", WDG_ATTR_GCOLOR},
    {"BGFILTER", WDG_ATTR_BGFILTER}, {"BG", WDG_ATTR_BG},               {"SRC", WDG_ATTR_SRC},
    {"ASPECT", WDG_ATTR_ASPECT},     {"X2", WDG_ATTR_X2},               {"Y2", WDG_ATTR_Y2},
    {"DEPTH", WDG_ATTR_DEPTH},       {"NAME", WDG_ATTR_NAME},           {"SIZE", WDG_ATTR_SIZE},
    {"BOLD", WDG_ATTR_BOLD},         {"ITALIC", WDG_ATTR_ITALIC},       {"FONTID", WDG_ATTR_FONTID},
    {"ENCODING", WDG_ATTR_ENCODING}, {"FONTNAME", WDG_ATTR_FONTNAME},   {"WID", WDG_ATTR_WID},
    {"GID", WDG_ATTR_GID},           {"STYLE", WDG_ATTR_STYLE},         {"VALUE", WDG_ATTR_VALUE},
    {"RESIZEABLE", WDG_ATTR_RESIZEABLE}, {"DND", WDG_ATTR_DND},         {nullptr, 0},
};

const widget_keyword_t wdgStyleKeywords[] = {
    {"BAC", WDG_STYLE_BAC},
    {"BTC", WDG_STYLE_BTC},
    {"BBC", WDG_STYLE_BBC},
    {"BLC", WDG_STYLE_BLC},
    {"BRC", WDG_STYLE_BRC},
    {"FC", WDG_STYLE_FC},
    {"BC", WDG_STYLE_BC},
    {"TC", WDG_STYLE_TC},
    {"OC", WDG_STYLE_OC},
    {"FONT-SIZE", WDG_STYLE_FONT_SIZE},
    {"FONT-BOLD", WDG_STYLE_FONT_BOLD},
    {"FONT-ITALIC", WDG_STYLE_FONT_ITALIC},
    {"FONT-ENCODING", WDG_STYLE_FONT_ENCODING},
    {"FONT-PATH", WDG_STYLE_FONT_PATH},
    {"TEXT-VALIGN", WDG_STYLE_TEXT_VALIGN},
    {"TEXT-HALIGN", WDG_STYLE_TEXT_HALIGN},
    {"BACKGROUND", WDG_STYLE_BACKGROUND},
    {"BORDER", WDG_STYLE_BORDER},
    {"ONMOUSE", WDG_STYLE_ONMOUSE},
    {nullptr, 0},
};

const widget_keyword_t wdgEncodingNames[] = {
    {"UNICODE", FR_ENC_UCS2},     {"UTF8", FR_ENC_UTF8},         {"ISO-8859-1", FR_ENC_LATIN1},
    {"ISO88591", FR_ENC_LATIN1},  {"ISO-8859-2", FR_ENC_LATIN2}, {"ISO88592", FR_ENC_LATIN2},
    {nullptr, 0},
};

const widget_keyword_t wdgAlignNames[] = {
    {"none", -1}, {"top", FR_VALIGN_TOP}, {"bottom", FR_VALIGN_BOTTOM}, {"center", FR_HALIGN_CENTRE},
    {"middle", FR_HALIGN_CENTRE}, {"left", FR_HALIGN_LEFT}, {"right", FR_HALIGN_RIGHT}, {nullptr, 0},
};

const widget_keyword_t wdgFilterNames[] = {
    {"nearest", TM_MODE_NEAREST},
    {"linear", TM_MODE_LINEAR},
    {"mipmap_nearest", TM_MODE_NEAREST_MIPMAP},
    {"mipmap_linear", TM_MODE_LINEAR_MIPMAP},
    {nullptr, 0},
};

namespace {

// The single-precision value nearest to 1/255: a byte b becomes b * kByteToUnit.
constexpr float kByteToUnit = 1.0f / 255.0f;
// txCreateDummy's kind for a 32-bit bitmap.
constexpr int32_t kDummy32Bit = 2;

const char* Text(const char* s) { return s ? s : ""; }

// --- colours ----------------------------------------------------------------------------------

bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// strtoul with base 16, as a 32-bit unsigned long has it: blanks, a sign,
// an optional 0x, digits up to the first other character; too many digits
// saturate at FFFFFFFF; a minus negates.
uint32_t ParseHex32(const char* text) {
  const char* p = Text(text);
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  if (p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && HexDigit(p[2]) >= 0) p += 2;
  uint64_t value = 0;
  bool saturated = false;
  for (; HexDigit(*p) >= 0; ++p) {
    value = value * 16 + static_cast<uint64_t>(HexDigit(*p));
    if (value > UINT32_MAX) {
      saturated = true;
      value = UINT32_MAX;
    }
  }
  if (saturated) return UINT32_MAX;
  auto v = static_cast<uint32_t>(value);
  return negative ? 0u - v : v;
}

uint32_t ToByte(float component) { return static_cast<uint32_t>(SYS_TruncInt32(component * 255.0f)) & 0xFFu; }

bool RgbaOrder() { return txOptions(TX_OPT_GETORDER, 0) != 0; }

// Sets a colour and lets the widget's kind render again (event 10), as the
// colour setters do; a widget without a kind row only takes the colour.
void SetColour(widget_t* w, float* colour, const char* text) {
  wdgParseColor(text, colour);
  wdgSendEvent(w, WDG_EVENT_CHANGED);
}

// --- default styles ---------------------------------------------------------------------------

struct DefaultStyle {
  uint32_t fc, bc, oc, tc;
  int32_t background, border, onmouse;
};

constexpr DefaultStyle kWindowStyle{0x00000000, 0x212B3BFF, 0x00000000, 0x00000000, 1, 0, 0};
constexpr DefaultStyle kLineStyle{0x79818EFF, 0x00000000, 0x00000000, 0x00000000, 0, 0, 0};
constexpr DefaultStyle kFrameStyle{0x79818EFF, 0x334051FF, 0x00000000, 0x00000000, 1, 1, 0};
constexpr DefaultStyle kButtonStyle{0x79818EFF, 0x334051FF, 0x79818EFF, 0xFFFFFFFF, 1, 1, 1};
constexpr DefaultStyle kProgressStyle{0x79818EFF, 0x334051FF, 0x79818EFF, 0xFFFFFFFF, 1, 1, 0};

const DefaultStyle* DefaultOf(int32_t kind) {
  switch (kind) {
    case WDG_KIND_WINDOW: return &kWindowStyle;
    case WDG_KIND_LINE:
    case WDG_KIND_LABEL: return &kLineStyle;
    case WDG_KIND_FRAME: return &kFrameStyle;
    case WDG_KIND_BUTTON:
    case WDG_KIND_CHECKBOX:
    case WDG_KIND_RADIOBUTTON: return &kButtonStyle;
    case WDG_KIND_PROGRESS: return &kProgressStyle;
    default: return nullptr;
  }
}

void UnpackColour(uint32_t rgba, float colour[4]) {
  wdgColorFromBytes(static_cast<int32_t>(rgba >> 24), static_cast<int32_t>(rgba >> 16), static_cast<int32_t>(rgba >> 8),
                    static_cast<int32_t>(rgba), colour);
}

// --- attributes -------------------------------------------------------------------------------

// VALUE: digits only is a whole number, digits and points a real (atof
// reads up to the second point), anything else a string.
int ApplyValue(widget_t* w, const char* text) {
  if (!*text) {
    w->value_int = 0;
    return 0;
  }
  bool point = false;
  for (const char* p = text; *p; ++p) {
    if (*p == '.') {
      point = true;
    } else if (*p < '0' || *p > '9') {
      return wdgSetString(&w->value_str, text);
    }
  }
  if (point)
    w->value_float = static_cast<float>(SYS_ParseReal(text));
  else
    w->value_int = SYS_ParseInt32(text);
  return 0;
}

// FONTNAME and FONT-PATH: the widget's own copy replaces the path of its
// style block; a path the block shares with a STYLE is left to that STYLE.
int ApplyFontPath(widget_t* w, const char* text) {
  char* copy = SYS_StrDup(text);
  if (!copy) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  SYS_MemFree(w->owned_font_path);
  w->owned_font_path = copy;
  w->style.font_path = copy;
  return 0;
}

int CopyStyleOf(widget_t* w, const char* text, const char* fn) {
  widget_t* style = w->set ? wdgFind(w->set, SYS_ParseInt32(text)) : nullptr;
  if (!style || style->kind != WDG_KIND_STYLE) {
    WIDGET_UTILS_LOG_AS(SYS_DBG_MSG, fn, "  ! requested item isn't style.\n");
    errSetLastError(ERR_BADARG);
    return -1;
  }
  w->style = style->style;
  return 0;
}

// Applies one recognised attribute; -1 when it cannot be applied.
int ApplyAttribute(widget_t* w, int32_t id, const char* value, const char* fn) {
  switch (id) {
    case WDG_ATTR_WIDTH: w->width = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_HEIGHT: w->height = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_X: w->x = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_Y: w->y = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_TITLE: return wdgSetString(&w->title, value);
    case WDG_ATTR_ID: w->id = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_FULLSCREEN: w->fullscreen = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_BGCOLOR: SetColour(w, w->style.bc, value); return 0;
    case WDG_ATTR_FGCOLOR: SetColour(w, w->style.fc, value); return 0;
    case WDG_ATTR_OCOLOR: SetColour(w, w->style.oc, value); return 0;
    case WDG_ATTR_COLOR: SetColour(w, w->style.tc, value); return 0;
    case WDG_ATTR_BGFILTER: {
      SYS_ErrKeeper keep;
      int32_t mode = wdgFindKeyword(wdgFilterNames, value);
      w->bg_filter = mode < 0 ? TM_MODE_LINEAR : mode;
      return 0;
    }
    case WDG_ATTR_BG: return wdgSetString(&w->bg, value);
    case WDG_ATTR_SRC: return wdgSetString(&w->src, value);
    case WDG_ATTR_ASPECT: w->aspect = static_cast<float>(SYS_ParseReal(value)); return 0;
    case WDG_ATTR_X2: w->x2 = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_Y2: w->y2 = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_DEPTH: w->depth = static_cast<float>(SYS_ParseReal(value)); return 0;
    case WDG_ATTR_NAME: return wdgSetString(&w->name, value);
    case WDG_ATTR_SIZE: w->style.font_size = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_BOLD: w->style.font_bold = wdgParseBool(value); return 0;
    case WDG_ATTR_ITALIC: w->style.font_italic = wdgParseBool(value); return 0;
    case WDG_ATTR_FONTID: w->font_id = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_ENCODING: w->style.font_encoding = wdgParseEncoding(value); return 0;
    case WDG_ATTR_FONTNAME: return ApplyFontPath(w, value);
    case WDG_ATTR_WID: return 0;  // GROUP reads its members itself
    case WDG_ATTR_GID: w->gid = SYS_ParseInt32(value); return 0;
    case WDG_ATTR_STYLE: return CopyStyleOf(w, value, fn);
    case WDG_ATTR_VALUE: return ApplyValue(w, value);
    case WDG_ATTR_RESIZEABLE: w->resizeable = wdgParseBool(value); return 0;
    case WDG_ATTR_DND: w->dnd = wdgParseBool(value); return 0;
    default: return 0;
  }
}

int ApplyStyleKeyword(widget_t* w, int32_t id, const char* value, int32_t* halign, int32_t* valign) {
  widget_style_t& s = w->style;
  switch (id) {
    case WDG_STYLE_BAC:
      for (float* border : {s.btc, s.bbc, s.blc, s.brc}) wdgParseColor(value, border);
      return 0;
    case WDG_STYLE_BTC: wdgParseColor(value, s.btc); return 0;
    case WDG_STYLE_BBC: wdgParseColor(value, s.bbc); return 0;
    case WDG_STYLE_BLC: wdgParseColor(value, s.blc); return 0;
    case WDG_STYLE_BRC: wdgParseColor(value, s.brc); return 0;
    case WDG_STYLE_FC: wdgParseColor(value, s.fc); return 0;
    case WDG_STYLE_BC: wdgParseColor(value, s.bc); return 0;
    case WDG_STYLE_TC: wdgParseColor(value, s.tc); return 0;
    case WDG_STYLE_OC: wdgParseColor(value, s.oc); return 0;
    case WDG_STYLE_FONT_SIZE: s.font_size = SYS_ParseInt32(value); return 0;
    case WDG_STYLE_FONT_BOLD: s.font_bold = SYS_ParseInt32(value); return 0;
    case WDG_STYLE_FONT_ITALIC: s.font_italic = SYS_ParseInt32(value); return 0;
    case WDG_STYLE_FONT_ENCODING: s.font_encoding = wdgParseEncoding(value); return 0;
    case WDG_STYLE_FONT_PATH: return ApplyFontPath(w, value);
    case WDG_STYLE_TEXT_VALIGN:
      if (valign) *valign = wdgParseAlign(value);
      return 0;
    case WDG_STYLE_TEXT_HALIGN:
      if (halign) *halign = wdgParseAlign(value);
      return 0;
    case WDG_STYLE_BACKGROUND: s.background = wdgParseBool(value); return 0;
    case WDG_STYLE_BORDER: s.border = wdgParseBool(value); return 0;
    case WDG_STYLE_ONMOUSE: s.onmouse = wdgParseBool(value); return 0;
    default: return 0;
  }
}

// --- images -----------------------------------------------------------------------------------

// How many widgets use each image file, and which file each widget uses.
struct ImageUsers {
  std::map<std::string, int> users;
  std::map<const widget_t*, std::string> held;
};
ImageUsers& Images() {
  static SYS_NoDestroy<ImageUsers> images;
  return *images;
}

TM_Node_t* Cached(const char* name) {
  if (!name) return nullptr;
  SYS_ErrKeeper keep;
  return tmFind(name);
}

// --- drawing ----------------------------------------------------------------------------------

void Colour(const float c[4]) { wmGL.glColor4f(c[0], c[1], c[2], c[3]); }
void Vertex(int64_t x, int64_t y) { wmGL.glVertex2f(static_cast<GLfloat>(x), static_cast<GLfloat>(y)); }

int64_t Clamp(int64_t v, int64_t lo, int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }

}  // namespace

// --- keywords and values ------------------------------------------------------------------------

int32_t wdgFindKeyword(const widget_keyword_t* table, const char* text) {
  if (table && text)
    for (const widget_keyword_t* k = table; k->name; ++k)
      if (SYS_AsciiEqualNoCase(k->name, text)) return k->value;
  errSetLastError(ERR_BADARG);
  return -1;
}

int32_t wdgParseBool(const char* text) {
  if (!text) return 0;
  if (std::strcmp(text, "1") == 0) return 1;
  for (const char* yes : {"true", "yes", "on", "enable"})
    if (SYS_AsciiEqualNoCase(yes, text)) return 1;
  return 0;
}

int32_t wdgParseEncoding(const char* text) { return wdgFindKeyword(wdgEncodingNames, text); }

int32_t wdgParseAlign(const char* text) { return wdgFindKeyword(wdgAlignNames, text); }

int wdgProcessParams(const widget_keyword_t* table, widget_t* widget, int count, char** names, char** values,
                     int strict) {
  if (!widget || count < 0 || (count > 0 && (!names || !values))) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    const char* name = Text(names[i]);
    const char* value = Text(values[i]);
    int32_t id = wdgFindKeyword(table, name);
    if (id < 0 || id == WDG_ATTR_GCOLOR) {
      if (!strict) continue;
      WIDGET_UTILS_LOG(SYS_DBG_MSG, "  ! unknown parameter: %s(%s)\n", name, value);
      errSetLastError(ERR_BADARG);
      return -1;
    }
    if (ApplyAttribute(widget, id, value, __func__) != 0) return -1;
  }
  return 0;
}

int wdgParseParams(widget_t* widget, int count, char** names, char** values, int strict) {
  return wdgProcessParams(wdgAttributeKeywords, widget, count, names, values, strict);
}

int wdgParseStyleParams(widget_t* widget, int count, char** names, char** values, int32_t* halign,
                        int32_t* valign) {
  if (!widget || count < 0 || (count > 0 && (!names || !values))) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  for (int i = 0; i < count; ++i) {
    SYS_ErrKeeper keep;  // names that are no STYLE keyword are simply skipped
    int32_t id = wdgFindKeyword(wdgStyleKeywords, Text(names[i]));
    if (id < 0) continue;
    if (ApplyStyleKeyword(widget, id, Text(values[i]), halign, valign) != 0) return -1;
  }
  return 0;
}

// --- colours ------------------------------------------------------------------------------------

void wdgColorFromBytes(int32_t r, int32_t g, int32_t b, int32_t a, float colour[4]) {
  const int32_t bytes[4] = {r, g, b, a};
  for (int i = 0; i < 4; ++i) colour[i] = static_cast<float>(bytes[i] & 0xFF) * kByteToUnit;
}

void wdgParseColor(const char* text, float colour[4]) { UnpackColour(ParseHex32(text), colour); }

uint32_t wdgColorToInt(const float colour[4]) {
  uint32_t r = ToByte(colour[0]), g = ToByte(colour[1]), b = ToByte(colour[2]), a = ToByte(colour[3]);
  return RgbaOrder() ? (r << 24 | g << 16 | b << 8 | a) : (a << 24 | b << 16 | g << 8 | r);
}

uint32_t wdgColorToPixel(const float colour[4]) {
  uint32_t r = ToByte(colour[0]), g = ToByte(colour[1]), b = ToByte(colour[2]), a = ToByte(colour[3]);
  return RgbaOrder() ? (a << 24 | b << 16 | g << 8 | r) : (r << 24 | g << 16 | b << 8 | a);
}

void wdgFillBitmap(void* pixels, int64_t size, const float colour[4]) {
  if (!pixels || size < 4) return;
  uint32_t pixel = wdgColorToPixel(colour);
  auto* p = static_cast<uint8_t*>(pixels);
  for (int64_t i = 0; i < size / 4; ++i) std::memcpy(p + i * 4, &pixel, 4);
}

void wdgDefaultStyle(int32_t kind, widget_style_t* style) {
  if (!style) return;
  *style = widget_style_t{};
  const DefaultStyle* d = DefaultOf(kind);
  if (!d) return;
  UnpackColour(d->fc, style->fc);
  UnpackColour(d->bc, style->bc);
  UnpackColour(d->oc, style->oc);
  UnpackColour(d->tc, style->tc);
  style->background = d->background;
  style->border = d->border;
  style->onmouse = d->onmouse;
}

// --- drawing ------------------------------------------------------------------------------------

int32_t wdgWindowHeight(const widget_t* widget) {
  if (!widget) return 0;
  wm_window_t* window = widget->set_window ? widget->set_window : widget->window;
  if (!window) return 0;
  SYS_ErrKeeper keep;
  return static_cast<int32_t>(wmOptions(window, WM_OPT_HEIGHT, 0));
}

int32_t wdgTop(const widget_t* widget) {
  if (!widget) return 0;
  return static_cast<int32_t>(Clamp(int64_t{wdgWindowHeight(widget)} - widget->y, INT32_MIN, INT32_MAX));
}

void wdgDrawBackground(widget_t* w) {
  if (!w) return;
  const widget_style_t& s = w->style;
  if (!s.background && !(w->hover && s.onmouse)) return;
  int64_t x = w->x, b = wdgTop(w), width = w->width, height = w->height;
  Colour(w->hover ? s.oc : s.bc);
  wmGL.glBegin(GL_QUADS);
  Vertex(x, b);
  Vertex(x, b - height);
  Vertex(x + width, b - height);
  Vertex(x + width, b);
  wmGL.glEnd();
}

void wdgDrawBorder(widget_t* w) {
  if (!w || !w->style.border) return;
  const widget_style_t& s = w->style;
  int64_t x = w->x, b = wdgTop(w), width = w->width, height = w->height;
  wmGL.glBegin(GL_QUADS);
  Colour(s.blc);
  Vertex(x, b);
  Vertex(x + 1, b);
  Vertex(x + 1, b - height + 1);
  Vertex(x, b - height + 1);
  Colour(s.btc);
  Vertex(x, b);
  Vertex(x + width, b);
  Vertex(x + width, b - 1);
  Vertex(x, b - 1);
  Colour(s.brc);
  Vertex(x + width, b);
  Vertex(x + width, b - height + 1);
  Vertex(x + width - 1, b - height + 1);
  Vertex(x + width - 1, b);
  Colour(s.bbc);
  Vertex(x + width, b - height);
  Vertex(x, b - height);
  Vertex(x, b - height + 1);
  Vertex(x + width, b - height + 1);
  wmGL.glEnd();
}

void wdgDrawText(int32_t x, int32_t y, widget_t* w) {
  if (!w || !w->bitmap || w->bitmap->width <= 0 || w->bitmap->height <= 0) return;
  wmGL.glEnable(GL_TEXTURE_2D);
  wmGL.glEnable(GL_BLEND);
  wmGL.glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_COLOR);
  if (wdgUploadText(w) != 0) return;
  // The renderer can report a size beyond the bitmap (a text wider than it,
  // or a height from a line of blanks); the quad never reaches past it.
  const int64_t bw = w->bitmap->width, bh = w->bitmap->height;
  const int64_t tw = Clamp(w->text_width, 0, bw), th = Clamp(w->text_height, 0, bh);
  const float s = static_cast<float>(tw) / static_cast<float>(bw);
  const float t = static_cast<float>(th) / static_cast<float>(bh);
  Colour(w->style.tc);
  wdgTexturedQuad(static_cast<double>(x), static_cast<double>(y), static_cast<double>(x + tw),
                  static_cast<double>(y - th), s, t);
}

void wdgTexturedQuad(double left, double top, double right, double bottom, float s, float t) {
  wmGL.glBegin(GL_QUADS);
  wmGL.glTexCoord2f(0, t);
  wmGL.glVertex2d(left, bottom);
  wmGL.glTexCoord2f(0, 0);
  wmGL.glVertex2d(left, top);
  wmGL.glTexCoord2f(s, 0);
  wmGL.glVertex2d(right, top);
  wmGL.glTexCoord2f(s, t);
  wmGL.glVertex2d(right, bottom);
  wmGL.glEnd();
}

// --- shared pieces of the kinds ---------------------------------------------------------------------

int wdgSetString(char** field, const char* text) {
  if (!field) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  char* copy = nullptr;
  if (text) {
    copy = SYS_StrDup(text);
    if (!copy) {
      errSetLastError(ERR_NOMEM);
      return -1;
    }
  }
  SYS_MemFree(*field);
  *field = copy;
  return 0;
}

int wdgMouseInside(const widget_t* w, const wm_event_t* e) {
  if (!w || !e) return 0;
  const int64_t mx = e->mouse.x, my = e->mouse.y;
  return w->x < mx && mx < int64_t{w->x} + w->width && w->y < my && my < int64_t{w->y} + w->height;
}

int wdgResolveFont(widget_t* w, FR_Font_t** font) {
  if (!w || !font) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (w->font_id == 0) {
    *font = w->style.font;
    return 0;
  }
  widget_t* owner = w->set ? wdgFind(w->set, w->font_id) : nullptr;
  if (!owner) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  *font = owner->style.font;
  return 0;
}

int wdgMakeTextBitmap(widget_t* w, int32_t width, int32_t height) {
  if (!w || width < 1 || height < 1 || width > WDG_MAX_BITMAP_SIDE || height > WDG_MAX_BITMAP_SIDE) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  wdgReleaseText(w);
  w->bitmap = txCreateDummy(kDummy32Bit, width, height);
  if (!w->bitmap) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  wdgClearText(w);
  return 0;
}

void wdgClearText(widget_t* w) {
  if (!w || !w->bitmap || !w->bitmap->data[0] || w->bitmap->sizes[0] <= 0) return;
  std::memset(w->bitmap->data[0], 0, static_cast<size_t>(w->bitmap->sizes[0]));
}

int wdgRenderText(widget_t* w, FR_Font_t* font, const char* text) {
  if (!w) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  w->text_width = 0;
  w->text_height = 0;
  const char* what = text ? text : w->title;
  if (!what || !font || !w->bitmap) return 0;
  int width = 0, height = 0;
  if (ftRender(font, w->bitmap, what, &width, &height) != 0) return -1;
  w->text_width = width;
  w->text_height = height;
  return 0;
}

int wdgUploadText(widget_t* w) {
  if (!w || !w->bitmap || !w->name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  TM_Node_t* node = Cached(w->name);
  if (!node) return tmLoadFromBitmap(w->name, w->bitmap, WDG_TEXT_FILTER) < 0 ? -1 : 0;
  if (node->bitmap == w->bitmap) return tmReloadFromBitmap(w->name, w->bitmap);
  // The name is another texture's (a NAME attribute chose it): replacing it
  // would free a bitmap this widget does not own.
  WIDGET_UTILS_LOG(SYS_DBG_MSG, "  ! texture name in use: %s\n", w->name);
  errSetLastError(ERR_BADARG);
  return -1;
}

void wdgReleaseText(widget_t* w) {
  if (!w || !w->bitmap) return;
  TM_Node_t* node = Cached(w->name);
  if (node && node->bitmap == w->bitmap) {
    tmUnload(w->name);  // frees the bitmap with the node
    w->bitmap = nullptr;
    return;
  }
  txFree(&w->bitmap);
  w->bitmap = nullptr;
}

txBitmap* wdgAcquireImage(widget_t* w, const char* file, int32_t mode) {
  if (!w || !file) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  ImageUsers& images = Images();
  auto held = images.held.find(w);
  if (held != images.held.end() && held->second != file) wdgReleaseImage(w);
  if (!images.held.count(w)) {
    images.held[w] = file;
    images.users[file]++;
  }
  if (tmLoad(file, mode) < 0) return nullptr;
  return tmGetBitmap(file);
}

void wdgReleaseImage(widget_t* w) {
  if (!w) return;
  ImageUsers& images = Images();
  auto held = images.held.find(w);
  if (held == images.held.end()) return;
  std::string file = held->second;
  images.held.erase(held);
  TM_Node_t* node = Cached(file.c_str());
  if (node && w->bitmap == node->bitmap) w->bitmap = nullptr;
  if (--images.users[file] > 0) return;
  images.users.erase(file);
  if (node) tmUnload(file.c_str());
}

void wdgFreeOwned(widget_t* w) {
  if (!w) return;
  SYS_ErrKeeper keep;
  wdgReleaseImage(w);
  wdgReleaseText(w);
  if (w->owned_font) {
    if (w->style.font == w->owned_font) w->style.font = nullptr;
    ftFreeFont(w->owned_font);
    w->owned_font = nullptr;
  }
  if (w->style.font_path == w->owned_font_path) w->style.font_path = nullptr;
  SYS_MemFree(w->owned_font_path);
  SYS_MemFree(w->title);
  SYS_MemFree(w->name);
  SYS_MemFree(w->src);
  SYS_MemFree(w->bg);
  SYS_MemFree(w->value_str);
  SYS_MemFree(w->members);
  w->member_count = 0;
}

int wdgSendEvent(widget_t* w, int32_t type) {
  if (!w || !w->kind_row || !w->kind_row->event) return 0;
  wm_event_t event{};
  event.type = type;
  return w->kind_row->event(w, &event);
}
