// The attribute reader, styles, colour packing and the shared drawing.
#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "testsupport/widget/widget.h"

namespace {

using namespace wdgtest;

class UtilsTest : public WidgetTest {};

// Reads one attribute into a fresh widget.
int ReadOne(widget_t& w, const std::string& name, const std::string& value, int strict = 1) {
  char* names[] = {const_cast<char*>(name.c_str())};
  char* values[] = {const_cast<char*>(value.c_str())};
  return wdgParseParams(&w, 1, names, values, strict);
}

// Reads a list of attributes.
int ReadAll(widget_t& w, const std::vector<std::pair<std::string, std::string>>& attributes, int strict) {
  std::vector<char*> names, values;
  for (const auto& [name, value] : attributes) {
    names.push_back(const_cast<char*>(name.c_str()));
    values.push_back(const_cast<char*>(value.c_str()));
  }
  return wdgParseParams(&w, static_cast<int>(names.size()), names.data(), values.data(), strict);
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return s;
}

std::string Text(const char* s) { return s ? s : "(null)"; }

// --- attributes ---------------------------------------------------------------------------------

struct AttributeCase {
  const char* name;
  const char* value;
  std::function<bool(const widget_t&)> holds;
};

const std::vector<AttributeCase>& AttributeCases() {
  static const std::vector<AttributeCase> cases = {
      {"WIDTH", "12", [](const widget_t& w) { return w.width == 12; }},
      {"HEIGHT", "13", [](const widget_t& w) { return w.height == 13; }},
      {"X", "-14", [](const widget_t& w) { return w.x == -14; }},
      {"Y", "15", [](const widget_t& w) { return w.y == 15; }},
      {"TITLE", "Hello", [](const widget_t& w) { return Text(w.title) == "Hello"; }},
      {"ID", "16", [](const widget_t& w) { return w.id == 16; }},
      {"FULLSCREEN", "1", [](const widget_t& w) { return w.fullscreen == 1; }},
      {"BGCOLOR", "11223344", [](const widget_t& w) { return wdgColorToInt(w.style.bc) == 0x11223344u; }},
      {"FGCOLOR", "55667788", [](const widget_t& w) { return wdgColorToInt(w.style.fc) == 0x55667788u; }},
      {"OCOLOR", "99AABBCC", [](const widget_t& w) { return wdgColorToInt(w.style.oc) == 0x99AABBCCu; }},
      {"COLOR", "ddeeff00", [](const widget_t& w) { return wdgColorToInt(w.style.tc) == 0xDDEEFF00u; }},
      {"BGFILTER", "Mipmap_Linear", [](const widget_t& w) { return w.bg_filter == TM_MODE_LINEAR_MIPMAP; }},
      {"BG", "back.tga", [](const widget_t& w) { return Text(w.bg) == "back.tga"; }},
      {"SRC", "pic.tga", [](const widget_t& w) { return Text(w.src) == "pic.tga"; }},
      {"ASPECT", "1.5", [](const widget_t& w) { return w.aspect == 1.5f; }},
      {"X2", "17", [](const widget_t& w) { return w.x2 == 17; }},
      {"Y2", "18", [](const widget_t& w) { return w.y2 == 18; }},
      {"DEPTH", "2.5", [](const widget_t& w) { return w.depth == 2.5f; }},
      {"NAME", "face", [](const widget_t& w) { return Text(w.name) == "face"; }},
      {"SIZE", "19", [](const widget_t& w) { return w.style.font_size == 19; }},
      {"BOLD", "Yes", [](const widget_t& w) { return w.style.font_bold == 1; }},
      {"ITALIC", "on", [](const widget_t& w) { return w.style.font_italic == 1; }},
      {"FONTID", "20", [](const widget_t& w) { return w.font_id == 20; }},
      {"ENCODING", "utf8", [](const widget_t& w) { return w.style.font_encoding == FR_ENC_UTF8; }},
      {"FONTNAME", "a.ttf",
       [](const widget_t& w) { return Text(w.style.font_path) == "a.ttf" && w.owned_font_path == w.style.font_path; }},
      {"WID", "1 2 3", [](const widget_t& w) { return w.members == nullptr && w.member_count == 0; }},
      {"GID", "21", [](const widget_t& w) { return w.gid == 21; }},
      {"VALUE", "22", [](const widget_t& w) { return w.value_int == 22; }},
      {"RESIZEABLE", "TRUE", [](const widget_t& w) { return w.resizeable == 1; }},
      {"DND", "enable", [](const widget_t& w) { return w.dnd == 1; }},
  };
  return cases;
}

TEST_F(UtilsTest, EveryAttributeInEitherCaseSetsItsField) {
  for (const AttributeCase& c : AttributeCases()) {
    for (const std::string& name : {std::string(c.name), Lower(c.name)}) {
      SCOPED_TRACE(name);
      widget_t w{};
      EXPECT_EQ(ReadOne(w, name, c.value), 0);
      EXPECT_TRUE(c.holds(w));
      wdgFreeOwned(&w);
    }
  }
}

TEST_F(UtilsTest, TheTableCasesCoverEveryKeyword) {
  for (const widget_keyword_t* k = wdgAttributeKeywords; k->name; ++k) {
    if (k->value == WDG_ATTR_GCOLOR || k->value == WDG_ATTR_STYLE) continue;  // tested on their own
    bool covered = false;
    for (const AttributeCase& c : AttributeCases()) covered |= std::strcmp(c.name, k->name) == 0;
    EXPECT_TRUE(covered) << k->name;
  }
}

TEST_F(UtilsTest, ARepeatedStringAttributeReplacesTheOldCopy) {
  widget_t w{};
  EXPECT_EQ(ReadAll(w, {{"TITLE", "one"}, {"TITLE", "two"}, {"FONTNAME", "a.ttf"}, {"FONTNAME", "b.ttf"}}, 1), 0);
  EXPECT_STREQ(w.title, "two");
  EXPECT_STREQ(w.style.font_path, "b.ttf");
  wdgFreeOwned(&w);  // TearDown finds no block left
}

struct BoolCase {
  const char* text;
  int32_t value;
};

TEST_F(UtilsTest, BooleansAcceptFourWordsAndExactlyOne) {
  const BoolCase cases[] = {{"1", 1}, {"Yes", 1}, {"YES", 1}, {"true", 1}, {"On", 1}, {"ENABLE", 1}, {"2", 0},
                            {"y", 0}, {" 1", 0},  {"1 ", 0},  {"", 0},     {"no", 0}, {"off", 0},    {"01", 0}};
  for (const BoolCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(wdgParseBool(c.text), c.value);
    widget_t w{};
    ReadOne(w, "BOLD", c.text);
    EXPECT_EQ(w.style.font_bold, c.value);
  }
  EXPECT_EQ(wdgParseBool(nullptr), 0);
}

TEST_F(UtilsTest, ValueIsAWholeNumberARealOrAText) {
  struct ValueCase {
    const char* text;
    int32_t whole;
    float real;
    const char* string;
  };
  const ValueCase cases[] = {
      {"3", 3, 0, nullptr},        {"0.25", 0, 0.25f, nullptr},
      {"1.2.3", 0, 1.2f, nullptr}, {"-1", 0, 0, "-1"},
      {"abc", 0, 0, "abc"},        {"", 0, 0, nullptr},
      {" 1", 0, 0, " 1"},          {"1e3", 0, 0, "1e3"},
      {".", 0, 0, nullptr},        {"99999999999", INT32_MAX, 0, nullptr},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.text);
    widget_t w{};
    w.value_int = 5;  // an empty VALUE writes 0 over it
    if (c.text[0]) w.value_int = 0;
    EXPECT_EQ(ReadOne(w, "VALUE", c.text), 0);
    EXPECT_EQ(w.value_int, c.whole);
    EXPECT_FLOAT_EQ(w.value_float, c.real);
    EXPECT_EQ(Text(w.value_str), Text(c.string));
    wdgFreeOwned(&w);
  }
}

TEST_F(UtilsTest, FilterNamesAndEncodings) {
  const std::pair<const char*, int32_t> filters[] = {{"nearest", 0},       {"LINEAR", 1},   {"mipmap_nearest", 2},
                                                     {"MIPMAP_LINEAR", 3}, {"bilinear", 1}, {"", 1}};
  for (const auto& [text, mode] : filters) {
    SCOPED_TRACE(text);
    widget_t w{};
    w.bg_filter = -7;
    EXPECT_EQ(ReadOne(w, "BGFILTER", text), 0);
    EXPECT_EQ(w.bg_filter, mode);
  }
  const std::pair<const char*, int32_t> encodings[] = {{"UNICODE", 30}, {"utf8", 20},      {"ISO-8859-1", 1},
                                                       {"iso88591", 1}, {"ISO-8859-2", 2}, {"ISO88592", 2}};
  for (const auto& [text, encoding] : encodings) {
    SCOPED_TRACE(text);
    EXPECT_EQ(wdgParseEncoding(text), encoding);
    widget_t w{};
    EXPECT_EQ(ReadOne(w, "ENCODING", text), 0);
    EXPECT_EQ(w.style.font_encoding, encoding);
  }
  widget_t w{};
  EXPECT_EQ(ReadOne(w, "ENCODING", "latin1"), 0) << "an unknown encoding is stored, for the renderer to refuse";
  EXPECT_EQ(w.style.font_encoding, -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST_F(UtilsTest, AlignmentNames) {
  const std::pair<const char*, int32_t> cases[] = {{"none", -1},  {"TOP", 3},  {"bottom", 4}, {"Center", 2},
                                                   {"middle", 2}, {"left", 0}, {"RIGHT", 1}};
  for (const auto& [text, align] : cases) {
    SCOPED_TRACE(text);
    errClear();
    EXPECT_EQ(wdgParseAlign(text), align);
    EXPECT_EQ(errGetLastError(), 0);
  }
  EXPECT_EQ(wdgParseAlign("centre"), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(wdgFindKeyword(wdgStyleKeywords, "font-size"), WDG_STYLE_FONT_SIZE);
  EXPECT_EQ(wdgFindKeyword(wdgStyleKeywords, "FONTSIZE"), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

// Each colour word of a STYLE sets its own colour and no other; BAC sets
// the four border colours at once.
TEST_F(UtilsTest, StyleColourWordsSetTheirOwnColour) {
  constexpr uint32_t kColour = 0x11223344u;
  using Field = float (widget_style_t::*)[4];
  struct Case {
    const char* name;
    std::vector<Field> set;
  };
  const Field kAll[] = {&widget_style_t::btc, &widget_style_t::bbc, &widget_style_t::blc, &widget_style_t::brc,
                        &widget_style_t::fc,  &widget_style_t::bc,  &widget_style_t::tc,  &widget_style_t::oc};
  const Case cases[] = {
      {"BAC", {&widget_style_t::btc, &widget_style_t::bbc, &widget_style_t::blc, &widget_style_t::brc}},
      {"BTC", {&widget_style_t::btc}}, {"BBC", {&widget_style_t::bbc}}, {"BLC", {&widget_style_t::blc}},
      {"BRC", {&widget_style_t::brc}}, {"FC", {&widget_style_t::fc}},   {"BC", {&widget_style_t::bc}},
      {"TC", {&widget_style_t::tc}},   {"OC", {&widget_style_t::oc}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    widget_t w{};
    int32_t halign = 0, valign = 0;
    std::string name = c.name, value = "11223344";
    char* names[] = {name.data()};
    char* values[] = {value.data()};
    ASSERT_EQ(wdgParseStyleParams(&w, 1, names, values, &halign, &valign), 0);
    for (Field f : kAll) {
      const bool expected = std::find(c.set.begin(), c.set.end(), f) != c.set.end();
      EXPECT_EQ(wdgColorToInt(w.style.*f), expected ? kColour : 0u);
    }
    wdgFreeOwned(&w);
  }
}

TEST_F(UtilsTest, StrictReadingStopsAtTheFirstUnknownAttributeLenientSkipsIt) {
  for (const char* unknown : {"BOGUS", "GCOLOR", "gcolor"}) {
    SCOPED_TRACE(unknown);
    widget_t strict{};
    EXPECT_EQ(ReadAll(strict, {{"X", "5"}, {unknown, "FF"}, {"Y", "7"}}, 1), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(strict.x, 5) << "what came before stays";
    EXPECT_EQ(strict.y, 0);
    widget_t lenient{};
    EXPECT_EQ(ReadAll(lenient, {{"X", "5"}, {unknown, "FF"}, {"Y", "7"}}, 0), 0);
    EXPECT_EQ(lenient.x, 5);
    EXPECT_EQ(lenient.y, 7);
  }
}

TEST_F(UtilsTest, AnAttributeNamedGcolorFailsTheInitOfEveryKindButStyle) {
  SYS_List_p set = Load(R"(<WINDOW/><LINE ID="1" GCOLOR="FF"/><FRAME ID="2" GCOLOR="FF"/><LABEL ID="3" GCOLOR="FF"/>)");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(Widgets(set).size(), 1u);
  wdgUnload(set);
}

// --- styles -------------------------------------------------------------------------------------

// A set of a STYLE (ID 7) and a LINE (ID 8) made by hand, for widgets that
// refer to them.
class StyleReference : public UtilsTest {
 protected:
  void SetUp() override {
    UtilsTest::SetUp();
    style.kind = WDG_KIND_STYLE;
    style.id = 7;
    wdgColorFromBytes(0, 0, 255, 255, style.style.tc);
    wdgColorFromBytes(0, 255, 0, 255, style.style.bc);
    style.style.font_size = 33;
    style.style.border = 1;
    wdgSetString(&style.owned_font_path, "style.ttf");
    style.style.font_path = style.owned_font_path;
    line.kind = WDG_KIND_LINE;
    line.id = 8;
    set = SYS_ListAddLast(SYS_ListAddLast(nullptr, &style), &line);
    w.set = set;
  }
  void TearDown() override {
    wdgFreeOwned(&w);
    wdgFreeOwned(&style);
    SYS_ListRemove(set);
    UtilsTest::TearDown();
  }
  widget_t style{}, line{}, w{};
  SYS_List_p set = nullptr;
};

TEST_F(StyleReference, StyleCopiesTheWholeBlockAndSharesTheFontPath) {
  w.style.font_size = 5;
  EXPECT_EQ(ReadOne(w, "style", "7"), 0);
  EXPECT_EQ(w.style.font_size, 33);
  EXPECT_EQ(w.style.border, 1);
  EXPECT_EQ(wdgColorToInt(w.style.tc), 0x0000FFFFu);
  EXPECT_EQ(w.style.font_path, style.style.font_path);
  EXPECT_EQ(w.owned_font_path, nullptr);
  wdgFreeOwned(&w);
  EXPECT_STREQ(style.style.font_path, "style.ttf") << "the copier never frees what it shares";
}

TEST_F(StyleReference, TheLaterOfStyleAndColourWins) {
  EXPECT_EQ(ReadAll(w, {{"STYLE", "7"}, {"COLOR", "FF0000FF"}}, 1), 0);
  EXPECT_EQ(wdgColorToInt(w.style.tc), 0xFF0000FFu);
  EXPECT_EQ(wdgColorToInt(w.style.bc), 0x00FF00FFu);
  widget_t other{};
  other.set = set;
  EXPECT_EQ(ReadAll(other, {{"COLOR", "FF0000FF"}, {"STYLE", "7"}}, 1), 0);
  EXPECT_EQ(wdgColorToInt(other.style.tc), 0x0000FFFFu);
}

TEST_F(StyleReference, AMissingOrNonStyleReferenceFailsInBothModes) {
  for (int strict : {1, 0}) {
    for (const char* id : {"8", "99", "0"}) {
      SCOPED_TRACE(std::string(id) + (strict ? " strict" : " lenient"));
      widget_t x{};
      x.set = set;
      EXPECT_EQ(ReadAll(x, {{"X", "3"}, {"STYLE", id}, {"Y", "4"}}, strict), -1);
      EXPECT_EQ(errGetLastError(), ERR_BADARG);
      EXPECT_EQ(x.x, 3);
      EXPECT_EQ(x.y, 0);
    }
  }
  widget_t alone{};
  EXPECT_EQ(ReadOne(alone, "STYLE", "7"), -1) << "a widget without a set finds no style";
}

TEST_F(UtilsTest, AStyleNamedBeforeItIsMadeFailsTheWidget) {
  SYS_List_p loaded = Load(R"(<WINDOW/><LINE ID="1" STYLE="7"/><STYLE ID="7"/><LINE ID="2" STYLE="7"/>)");
  ASSERT_NE(loaded, nullptr);
  std::vector<int32_t> ids;
  for (widget_t* w : Widgets(loaded)) ids.push_back(w->id);
  EXPECT_EQ(ids, (std::vector<int32_t>{0, 7, 2}));
  wdgUnload(loaded);
}

struct DefaultCase {
  int32_t kind;
  uint32_t fc, bc, oc, tc;
  int32_t background, border, onmouse;
};

TEST_F(UtilsTest, DefaultStylesPerKind) {
  const DefaultCase cases[] = {
      {WDG_KIND_WINDOW, 0x00000000, 0x212B3BFF, 0x00000000, 0x00000000, 1, 0, 0},
      {WDG_KIND_LINE, 0x79818EFF, 0, 0, 0, 0, 0, 0},
      {WDG_KIND_LABEL, 0x79818EFF, 0, 0, 0, 0, 0, 0},
      {WDG_KIND_FRAME, 0x79818EFF, 0x334051FF, 0, 0, 1, 1, 0},
      {WDG_KIND_BUTTON, 0x79818EFF, 0x334051FF, 0x79818EFF, 0xFFFFFFFF, 1, 1, 1},
      {WDG_KIND_CHECKBOX, 0x79818EFF, 0x334051FF, 0x79818EFF, 0xFFFFFFFF, 1, 1, 1},
      {WDG_KIND_RADIOBUTTON, 0x79818EFF, 0x334051FF, 0x79818EFF, 0xFFFFFFFF, 1, 1, 1},
      {WDG_KIND_PROGRESS, 0x79818EFF, 0x334051FF, 0x79818EFF, 0xFFFFFFFF, 1, 1, 0},
      {WDG_KIND_IMG, 0, 0, 0, 0, 0, 0, 0},
      {WDG_KIND_FONT, 0, 0, 0, 0, 0, 0, 0},
      {WDG_KIND_GROUP, 0, 0, 0, 0, 0, 0, 0},
      {WDG_KIND_STYLE, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const DefaultCase& c : cases) {
    SCOPED_TRACE(c.kind);
    widget_style_t s;
    std::memset(&s, 0x5A, sizeof s);
    wdgDefaultStyle(c.kind, &s);
    EXPECT_EQ(wdgColorToInt(s.fc), c.fc);
    EXPECT_EQ(wdgColorToInt(s.bc), c.bc);
    EXPECT_EQ(wdgColorToInt(s.oc), c.oc);
    EXPECT_EQ(wdgColorToInt(s.tc), c.tc);
    for (const float* border : {s.btc, s.bbc, s.blc, s.brc}) EXPECT_EQ(wdgColorToInt(border), 0u);
    EXPECT_EQ(s.background, c.background);
    EXPECT_EQ(s.border, c.border);
    EXPECT_EQ(s.onmouse, c.onmouse);
    EXPECT_EQ(s.font_size, 0);
    EXPECT_EQ(s.font_encoding, 0);
    EXPECT_EQ(s.font_path, nullptr);
    EXPECT_EQ(s.font, nullptr);
  }
}

// --- colours ------------------------------------------------------------------------------------

struct PackCase {
  int order;
  uint32_t toInt, toPixel;
  uint8_t bytes[4];
};

TEST_F(UtilsTest, PackingFollowsTheTextureOrderOption) {
  const float colour[4] = {1.0f, 0.0f, 0.0f, 0.5f};
  const PackCase cases[] = {
      {1, 0xFF00007Fu, 0x7F0000FFu, {0xFF, 0x00, 0x00, 0x7F}},
      {0, 0x7F0000FFu, 0xFF00007Fu, {0x7F, 0x00, 0x00, 0xFF}},
  };
  for (const PackCase& c : cases) {
    SCOPED_TRACE(c.order);
    txOptions(TX_OPT_ORDER, c.order);
    EXPECT_EQ(wdgColorToInt(colour), c.toInt);
    EXPECT_EQ(wdgColorToPixel(colour), c.toPixel);
    uint8_t pixel[4] = {};
    wdgFillBitmap(pixel, sizeof pixel, colour);
    EXPECT_EQ(std::memcmp(pixel, c.bytes, 4), 0);
  }
}

TEST_F(UtilsTest, EveryByteValueSurvivesARoundTrip) {
  for (int order : {1, 0}) {
    txOptions(TX_OPT_ORDER, order);
    for (int v = 0; v < 256; ++v) {
      const int32_t r = v, g = 255 - v, b = v ^ 0x5A, a = (v * 7) & 0xFF;
      float colour[4];
      wdgColorFromBytes(r, g, b, a, colour);
      const uint32_t packed = wdgColorToInt(colour);
      const uint32_t expected = order ? static_cast<uint32_t>(r << 24 | g << 16 | b << 8 | a)
                                      : static_cast<uint32_t>(a << 24 | b << 16 | g << 8 | r);
      EXPECT_EQ(packed, expected) << "order " << order << " value " << v;
      if (order) {
        uint8_t pixel[4];
        wdgFillBitmap(pixel, sizeof pixel, colour);
        EXPECT_EQ(pixel[0], r);
        EXPECT_EQ(pixel[1], g);
        EXPECT_EQ(pixel[2], b);
        EXPECT_EQ(pixel[3], a);
      }
    }
  }
}

TEST_F(UtilsTest, ColourTextsReadAsOneHexadecimalNumber) {
  const std::pair<const char*, uint32_t> cases[] = {
      {"FF", 0x000000FFu},   {"ff0000ff", 0xFF0000FFu},  {"0x80", 0x00000080u},
      {" 80", 0x00000080u},  {"#FF0000FF", 0},           {"", 0},
      {"12G4", 0x00000012u}, {"123456789", 0xFFFFFFFFu}, {"FFFFFFFFFFFFFFFF", 0xFFFFFFFFu},
      // A sign is read as strtoul reads it: a minus negates the number.
      {"-1", 0xFFFFFFFFu},   {" -0x100", 0xFFFFFF00u},   {"+FF", 0x000000FFu},
  };
  for (const auto& [text, rgba] : cases) {
    SCOPED_TRACE(text);
    float c[4];
    wdgParseColor(text, c);
    EXPECT_EQ(wdgColorToInt(c), rgba);
  }
  float c[4];
  wdgColorFromBytes(100, 100, 100, 255, c);
  EXPECT_FLOAT_EQ(c[0], 100 * (1.0f / 255.0f));
  EXPECT_NEAR(c[0], 0.392, 0.001);
}

TEST_F(UtilsTest, FillWritesWholePixelsOnly) {
  const float colour[4] = {1.0f, 0.0f, 0.0f, 0.5f};
  std::vector<uint8_t> buffer(10, 0xEE);
  wdgFillBitmap(buffer.data(), static_cast<int64_t>(buffer.size()), colour);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0xFF, 0, 0, 0x7F, 0xFF, 0, 0, 0x7F, 0xEE, 0xEE}));
  std::vector<uint8_t> small(3, 0xEE);
  wdgFillBitmap(small.data(), 3, colour);
  wdgFillBitmap(nullptr, 8, colour);
  EXPECT_EQ(small, (std::vector<uint8_t>(3, 0xEE)));
}

// --- drawing ------------------------------------------------------------------------------------

// A widget at (10, 20), 100 x 50, in a window 480 high: its top edge is at
// GL height 460.
class DrawingTest : public UtilsTest {
 protected:
  void SetUp() override {
    UtilsTest::SetUp();
    window = wmNewWindow(0, 0, 640, 480);
    w.set_window = window;
    w.x = 10;
    w.y = 20;
    w.width = 100;
    w.height = 50;
  }
  void TearDown() override {
    wdgFreeOwned(&w);
    wmDestroyWindow(window);
    UtilsTest::TearDown();
  }
  wm_window_t* window = nullptr;
  widget_t w{};
};

TEST_F(DrawingTest, TheTopEdgeCountsFromTheWindowsHeight) {
  EXPECT_EQ(wdgWindowHeight(&w), 480);
  EXPECT_EQ(wdgTop(&w), 460);
  window->height = 600;  // resized
  EXPECT_EQ(wdgTop(&w), 580);
  widget_t loose{};
  loose.y = 20;
  EXPECT_EQ(wdgWindowHeight(&loose), 0);
  EXPECT_EQ(wdgTop(&loose), -20);
}

struct BackgroundCase {
  int32_t background, hover, onmouse;
  const char* colour;  // null: nothing drawn
};

TEST_F(DrawingTest, TheBackgroundQuadAndItsColour) {
  wdgColorFromBytes(255, 0, 0, 255, w.style.bc);
  wdgColorFromBytes(0, 0, 255, 255, w.style.oc);
  const BackgroundCase cases[] = {
      {1, 0, 0, "color 1 0 0 1"}, {1, 1, 0, "color 0 0 1 1"}, {1, 1, 1, "color 0 0 1 1"},
      {0, 1, 1, "color 0 0 1 1"}, {0, 1, 0, nullptr},         {0, 0, 1, nullptr},
  };
  for (const BackgroundCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.background) + std::to_string(c.hover) + std::to_string(c.onmouse));
    w.style.background = c.background;
    w.hover = c.hover;
    w.style.onmouse = c.onmouse;
    Calls().clear();
    wdgDrawBackground(&w);
    if (!c.colour) {
      EXPECT_TRUE(Calls().empty());
      continue;
    }
    EXPECT_EQ(Calls(), (std::vector<std::string>{c.colour, "begin 0x7", "vertex 10 460", "vertex 10 410",
                                                 "vertex 110 410", "vertex 110 460", "end"}));
  }
}

TEST_F(DrawingTest, TheBorderIsFourOnePixelStrips) {
  wdgColorFromBytes(255, 0, 0, 255, w.style.blc);
  wdgColorFromBytes(0, 255, 0, 255, w.style.btc);
  wdgColorFromBytes(0, 0, 255, 255, w.style.brc);
  wdgColorFromBytes(255, 255, 255, 255, w.style.bbc);
  wdgDrawBorder(&w);
  EXPECT_TRUE(Calls().empty()) << "no border without the flag";
  w.style.border = 1;
  wdgDrawBorder(&w);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"begin 0x7",      "color 1 0 0 1",
                                               "vertex 10 460",  "vertex 11 460",
                                               "vertex 11 411",  "vertex 10 411",
                                               "color 0 1 0 1",  "vertex 10 460",
                                               "vertex 110 460", "vertex 110 459",
                                               "vertex 10 459",  "color 0 0 1 1",
                                               "vertex 110 460", "vertex 110 411",
                                               "vertex 109 411", "vertex 109 460",
                                               "color 1 1 1 1",  "vertex 110 410",
                                               "vertex 10 410",  "vertex 10 411",
                                               "vertex 110 411", "end"}));
}

TEST_F(DrawingTest, TextIsUploadedEveryFrameAndDrawnTheSizeOfTheText) {
  ASSERT_EQ(wdgSetString(&w.name, "label-1"), 0);
  ASSERT_EQ(wdgMakeTextBitmap(&w, 512, 64), 0);
  wdgColorFromBytes(255, 255, 255, 255, w.style.tc);
  w.text_width = 80;
  w.text_height = 20;
  wdgDrawText(30, 400, &w);
  ASSERT_GE(Calls().size(), 3u);
  EXPECT_EQ(std::vector<std::string>(Calls().begin(), Calls().begin() + 3),
            (std::vector<std::string>{"enable 0xDE1", "enable 0xBE2", "blend 0x300 0x301"}));
  const std::vector<std::string> quad = {"color 1 1 1 1",
                                         "begin 0x7",
                                         "texcoord 0 0.3125",
                                         "vertex 30 380",
                                         "texcoord 0 0",
                                         "vertex 30 400",
                                         "texcoord 0.15625 0",
                                         "vertex 110 400",
                                         "texcoord 0.15625 0.3125",
                                         "vertex 110 380",
                                         "end"};
  EXPECT_EQ(CallsFrom("color"), quad);
  EXPECT_EQ(CountCalls("image"), 1u);
  TM_Node_t* node = tmFind("label-1");
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->bitmap, w.bitmap) << "the cache holds the widget's bitmap from the first draw";
  Calls().clear();
  wdgDrawText(30, 400, &w);
  EXPECT_EQ(CountCalls("image"), 1u) << "every frame uploads the text again";
  EXPECT_EQ(tmFind("label-1"), node);
  EXPECT_EQ(node->bitmap, w.bitmap) << "the upload again never frees the bitmap";
  EXPECT_EQ(CallsFrom("color"), quad);
  wdgReleaseText(&w);
  EXPECT_EQ(tmFind("label-1"), nullptr);
  EXPECT_EQ(w.bitmap, nullptr);
}

TEST_F(DrawingTest, TheTextQuadNeverReachesPastTheBitmap) {
  struct SizeCase {
    int32_t width, height;
    const char* far;  // the far texture coordinate
    const char* corner;
  };
  const SizeCase cases[] = {
      {1000, 100, "texcoord 1 1", "vertex 542 336"},
      {80, INT32_MIN, "texcoord 0.15625 0", "vertex 110 400"},
      {-5, 20, "texcoord 0 0.3125", "vertex 30 380"},
  };
  ASSERT_EQ(wdgSetString(&w.name, "label-2"), 0);
  ASSERT_EQ(wdgMakeTextBitmap(&w, 512, 64), 0);
  for (const SizeCase& c : cases) {
    SCOPED_TRACE(c.far);
    w.text_width = c.width;
    w.text_height = c.height;
    Calls().clear();
    wdgDrawText(30, 400, &w);
    std::vector<std::string> drawn = CallsFrom("begin");
    ASSERT_EQ(drawn.size(), 10u);
    EXPECT_EQ(drawn[7], c.far);
    EXPECT_EQ(drawn[8], c.corner);
  }
  wdgReleaseText(&w);
}

TEST_F(DrawingTest, AWidgetWithoutBitmapDrawsNoText) {
  w.text_width = 10;
  w.text_height = 10;
  wdgDrawText(0, 0, &w);
  wdgDrawText(0, 0, nullptr);
  EXPECT_EQ(CountCalls("begin"), 0u);
}

}  // namespace
