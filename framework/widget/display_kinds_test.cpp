// The kinds that show things or provide resources: LINE, IMG, FRAME, FONT,
// LABEL and STYLE, over the recording GL, the in-memory image store and the
// real font renderer.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <tuple>

#include "testsupport/widget/widget.h"

namespace {

using wdgtest::Calls;
using wdgtest::Num;
using wdgtest::Widgets;

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr float kByte = 1.0f / 255.0f;

std::string Colour(int r, int g, int b, int a) {
  return "color " + Num(r * kByte) + " " + Num(g * kByte) + " " + Num(b * kByte) + " " + Num(a * kByte);
}

// What a callback heard: the widget's ID and the mouse position.
using Heard = std::tuple<int32_t, int32_t, int32_t>;
std::vector<Heard> heard;
int32_t Listen(widget_t* w, wm_event_t* e) {
  heard.emplace_back(w->id, e->mouse.x, e->mouse.y);
  return 0;
}

// The first n recorded lines (fewer when fewer were recorded).
std::vector<std::string> Head(size_t n) {
  return {Calls().begin(), Calls().begin() + static_cast<long>(std::min(n, Calls().size()))};
}

// Hands one record to every widget of the set in order, as the router does
// (these sets have no WINDOW, whose window would carry them to the router).
void Deliver(SYS_List_p set, wm_event_t* e) {
  for (widget_t* w : Widgets(set)) w->kind_row->event(w, e);
}

// Attributes for a kind's init called directly.
class Attrs {
 public:
  Attrs(std::initializer_list<std::pair<std::string, std::string>> pairs) {
    for (const auto& [n, v] : pairs) {
      names_.push_back(n);
      values_.push_back(v);
    }
    for (size_t i = 0; i < names_.size(); ++i) {
      n_.push_back(names_[i].data());
      v_.push_back(values_[i].data());
    }
  }
  int count() const { return static_cast<int>(n_.size()); }
  char** names() { return n_.data(); }
  char** values() { return v_.data(); }

 private:
  std::vector<std::string> names_, values_;
  std::vector<char*> n_, v_;
};

std::string FontTag(const std::string& more) {
  return std::string("<FONT ID='7' NAME='") + kDejaVu + "' FONTNAME='" + kDejaVu + "' " + more + "/>";
}

class WidgetDisplayKinds : public wdgtest::WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    AddImage("pic.tga", tlfix::SimpleTga(200, 50, 24));
    heard.clear();
  }
  // Loads a document written with single quotes, which read better inside
  // C++ strings; the parser takes double ones.
  SYS_List_p Doc(std::string xml) {
    std::replace(xml.begin(), xml.end(), '\'', '"');
    return Load(xml);
  }
  // Loads, shows and forgets the calls made so far.
  SYS_List_p Shown(const std::string& xml) {
    SYS_List_p set = Doc(xml);
    if (set) wdgShowAll(set);
    Calls().clear();
    return set;
  }
};

// --- IMG ------------------------------------------------------------------------------------------

TEST_F(WidgetDisplayKinds, ImageSizeAtShow) {
  struct Case {
    const char* attrs;
    int32_t width, height;
  } cases[] = {
      {"SRC='pic.tga'", 200, 50},
      {"SRC='pic.tga' WIDTH='100' ASPECT='1'", 100, 25},
      {"SRC='pic.tga' WIDTH='100' ASPECT='2'", 100, 50},
      {"SRC='pic.tga' HEIGHT='40'", 200, 40},
      {"SRC='pic.tga' WIDTH='30' HEIGHT='10'", 30, 10},
      {"SRC='pic.tga' WIDTH='100' ASPECT='1e30'", 100, INT32_MAX},  // clamped, never undefined
      {"SRC='missing.tga' WIDTH='70'", 70, 0},
      {"SRC='missing.tga'", 0, 0},
      {"WIDTH='5'", 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attrs);
    SYS_List_p set = Shown(std::string("<IMG ") + c.attrs + "/>");
    ASSERT_NE(set, nullptr);
    widget_t* img = Widgets(set)[0];
    EXPECT_EQ(img->width, c.width);
    EXPECT_EQ(img->height, c.height);
    wdgDrawAll(set);
    EXPECT_EQ(wdgtest::CountCalls("begin"), img->bitmap ? 1u : 0u);
    wdgUnload(set);
  }
}

TEST_F(WidgetDisplayKinds, ImageQuadIsTintedWithTheForeground) {
  SYS_List_p set = Shown("<IMG SRC='pic.tga' X='10' Y='20' FGCOLOR='FFFFFF80'/><IMG SRC='pic.tga' X='1' Y='2'/>");
  ASSERT_NE(set, nullptr);
  wdgDrawAll(set);
  EXPECT_EQ(Head(16), (std::vector<std::string>{
                       "enable 0xDE1", "enable 0xDE1", "bind 0xDE1 1", "enable 0xBE2", "blend 0x302 0x303",
                       Colour(255, 255, 255, 128), "begin 0x7", "texcoord 0 1", "vertex 10 -70", "texcoord 0 0",
                       "vertex 10 -20", "texcoord 1 0", "vertex 210 -20", "texcoord 1 1", "vertex 210 -70", "end"}));
  // Both widgets use one texture; without FGCOLOR the tint is transparent.
  EXPECT_EQ(wdgtest::CountCalls("bind 0xDE1 1"), 2u);
  EXPECT_EQ(wdgtest::CountCalls("color 0 0 0 0"), 1u);
  EXPECT_EQ(wdgtest::CountCalls("disable 0xBE2"), 2u);

  // A source changed after the show is not loaded until the next show:
  // meanwhile the widget draws nothing rather than another texture.
  ASSERT_EQ(wdgSetSrc(Widgets(set)[0], "other.tga"), 0);
  Calls().clear();
  wdgDrawAll(set);
  EXPECT_EQ(wdgtest::CountCalls("begin"), 1u);
  wdgUnload(set);
}

// The callback's copy keeps later widgets from being hit-tested in the
// IMG's coordinates, a plainly wrong result of rewriting the record.
TEST_F(WidgetDisplayKinds, ImageCallbackHearsLocalCoordinatesAndLaterWidgetsTheWindowOnes) {
  SYS_List_p set = Shown(
      "<IMG ID='1' SRC='pic.tga' X='100' Y='100' WIDTH='200' HEIGHT='50'/>"
      "<IMG ID='2' SRC='pic.tga' X='0' Y='0' WIDTH='1000' HEIGHT='1000'/>");
  ASSERT_NE(set, nullptr);
  wdgSetCallbackAll(set, Listen);
  widget_t* img = Widgets(set)[0];
  struct Case {
    int32_t x, y;
    bool inside;
  } cases[] = {
      {150, 120, true}, {101, 101, true}, {299, 149, true}, {100, 120, false},
      {300, 120, false}, {150, 100, false}, {150, 150, false}, {10, 10, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    heard.clear();
    wm_event_t e = wdgtest::Move(nullptr, c.x, c.y);
    Deliver(set, &e);
    std::vector<Heard> expected;
    if (c.inside) expected.emplace_back(1, c.x - 100 - 1, c.y - 100 - 1);
    expected.emplace_back(2, c.x - 1, c.y - 1);
    EXPECT_EQ(heard, expected);
    EXPECT_EQ(img->hover, c.inside ? 1 : 0);
    EXPECT_EQ(e.mouse.x, c.x);
    EXPECT_EQ(e.mouse.y, c.y);
  }
  wdgUnload(set);
}

TEST_F(WidgetDisplayKinds, ImageIgnoresTheMouseWhileDisabledOrHidden) {
  SYS_List_p set = Shown("<IMG ID='1' SRC='pic.tga' X='0' Y='0'/>");
  ASSERT_NE(set, nullptr);
  widget_t* img = Widgets(set)[0];
  wdgSetCallback(img, Listen);
  wm_event_t e = wdgtest::Move(nullptr, 50, 20);
  wdgDisable(img);
  EXPECT_EQ(img->kind_row->event(img, &e), 0);
  wdgEnable(img);
  wdgHide(img);
  EXPECT_EQ(img->kind_row->event(img, &e), 0);
  EXPECT_TRUE(heard.empty());
  wdgShow(img);
  EXPECT_EQ(img->kind_row->event(img, &e), 1);
  EXPECT_EQ(heard, (std::vector<Heard>{{1, 49, 19}}));
  wdgUnload(set);
}

// --- FRAME and LINE -------------------------------------------------------------------------------

TEST_F(WidgetDisplayKinds, FrameHeightFollowsTheAspectAtShow) {
  struct Case {
    const char* attrs;
    int32_t loaded, shown;  // the height after the load and after the first show
  } cases[] = {
      {"WIDTH='200' ASPECT='0.5'", 0, 100},
      {"WIDTH='200'", 0, 200},
      {"WIDTH='200' HEIGHT='30' ASPECT='0.5'", 30, 30},
      {"HEIGHT='0' ASPECT='3'", 0, 0},
      {"WIDTH='3' ASPECT='0.7'", 0, 2},
      {"WIDTH='2000000000' ASPECT='1e20'", 0, INT32_MAX},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attrs);
    SYS_List_p set = Doc(std::string("<FRAME ") + c.attrs + "/>");
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(Widgets(set)[0]->height, c.loaded);
    wdgShowAll(set);
    EXPECT_EQ(Widgets(set)[0]->height, c.shown);
    wdgUnload(set);
  }
}

TEST_F(WidgetDisplayKinds, FrameDrawsUnderTheSourceColourBlendWithoutSwitchingBlending) {
  SYS_List_p set = Shown("<FRAME X='10' Y='20' WIDTH='30' HEIGHT='40'/>");
  ASSERT_NE(set, nullptr);
  wdgDrawAll(set);
  EXPECT_EQ(Head(8), (std::vector<std::string>{"disable 0xDE1", "blend 0x300 0x306", Colour(0x33, 0x40, 0x51, 0xFF),
                                            "begin 0x7", "vertex 10 -20", "vertex 10 -60", "vertex 40 -60",
                                            "vertex 40 -20"}));
  EXPECT_EQ(wdgtest::CountCalls("begin 0x7"), 2u) << "background and border";
  EXPECT_EQ(wdgtest::CountCalls("enable 0xBE2") + wdgtest::CountCalls("disable 0xBE2"), 0u);
  wdgUnload(set);
}

TEST_F(WidgetDisplayKinds, LineDrawsOneSegmentInTheForegroundColour) {
  SYS_List_p set = Shown("<LINE X='10' Y='20' X2='110' Y2='70' DEPTH='2.5'/><LINE X2='5'/>");
  ASSERT_NE(set, nullptr);
  wdgDrawAll(set);
  const std::string fc = Colour(0x79, 0x81, 0x8E, 0xFF);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"disable 0xDE1", "hint 0xC52 0x1102", "linewidth 2.5", fc, "begin 0x1",
                                               "vertex 10 -20", "vertex 110 -70", "end", "disable 0xDE1",
                                               "hint 0xC52 0x1102", "linewidth 1", fc, "begin 0x1", "vertex 0 0",
                                               "vertex 5 0", "end"}));
  wdgHideAll(set);
  Calls().clear();
  wdgDrawAll(set);
  EXPECT_TRUE(Calls().empty());
  wdgUnload(set);
}

// --- FONT and LABEL -------------------------------------------------------------------------------

TEST_F(WidgetDisplayKinds, LabelRendersItsTitleOverTheBackgroundColour) {
  SYS_List_p set = Shown(FontTag("ENCODING='ISO-8859-1' SIZE='14'") +
                         "<LABEL NAME='mine' FONTID='7' TITLE='Hello' X='5' Y='30' BGCOLOR='10203040'"
                         " COLOR='FFFFFFFF'/>");
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(Widgets(set).size(), 2u);
  widget_t* font = Widgets(set)[0];
  widget_t* label = Widgets(set)[1];
  EXPECT_EQ(std::string(label->name), "label-" + std::to_string(font->seq + 1));
  EXPECT_EQ(label->style.font, font->style.font);
  EXPECT_EQ(font->style.font->colour, 0xFFFFFFFFu) << "the label's text colour stays on the shared font";
  ASSERT_NE(label->bitmap, nullptr);
  EXPECT_EQ(tmGetBitmap(label->name), label->bitmap);
  EXPECT_GT(label->text_width, 0);
  EXPECT_GT(label->text_height, 0);
  EXPECT_LT(label->text_width, 256);

  // The fill is the background colour byte for byte; the text covers part of it.
  const uint8_t bc[4] = {0x10, 0x20, 0x30, 0x40};
  const txBitmap& b = *label->bitmap;
  ASSERT_EQ(b.width * b.height * 4, b.sizes[0]);
  size_t background = 0;
  for (int32_t i = 0; i < b.width * b.height; ++i) background += std::memcmp(b.data[0] + 4 * i, bc, 4) == 0;
  EXPECT_GT(background, 0u);
  EXPECT_LT(background, static_cast<size_t>(b.width * b.height));
  EXPECT_EQ(std::memcmp(b.data[0] + b.sizes[0] - 4, bc, 4), 0);

  wdgDrawAll(set);
  const float s = static_cast<float>(label->text_width) / 256.0f;
  const float t = static_cast<float>(label->text_height) / 32.0f;
  const std::string top = Num(-30), bottom = Num(-30 - label->text_height), right = Num(5 + label->text_width);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"enable 0xDE1", "enable 0xDE1", "bind 0xDE1 1", "enable 0xBE2",
                                               "blend 0x300 0x301", Colour(255, 255, 255, 255), "begin 0x7",
                                               "texcoord 0 " + Num(t), "vertex 5 " + bottom, "texcoord 0 0",
                                               "vertex 5 " + top, "texcoord " + Num(s) + " 0",
                                               "vertex " + right + " " + top, "texcoord " + Num(s) + " " + Num(t),
                                               "vertex " + right + " " + bottom, "end"}));
  wdgUnload(set);
}

TEST_F(WidgetDisplayKinds, LabelTexCoordsStayWithinTheBitmap) {
  SYS_List_p set = Shown(FontTag("ENCODING='ISO-8859-1' SIZE='40'") +
                         "<LABEL FONTID='7' TITLE='A rather long title' WIDTH='20' HEIGHT='8' COLOR='FFFFFFFF'/>");
  ASSERT_NE(set, nullptr);
  widget_t* label = Widgets(set)[1];
  ASSERT_GT(label->text_width, 20);
  wdgDrawAll(set);
  for (const std::string& line : Calls()) {
    if (line.rfind("texcoord ", 0) != 0) continue;
    float s = 0, t = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "texcoord %f %f", &s, &t), 2) << line;
    EXPECT_LE(s, 1.0f) << line;
    EXPECT_LE(t, 1.0f) << line;
  }
  EXPECT_EQ(wdgtest::CountCalls("texcoord 1 1"), 1u);
  wdgUnload(set);
}

TEST_F(WidgetDisplayKinds, LabelChangeRendersAgainOnlyOnceShown) {
  SYS_List_p set = Doc(FontTag("ENCODING='ISO-8859-1' SIZE='14'") + "<LABEL FONTID='7' TITLE='Hi'/>");
  ASSERT_NE(set, nullptr);
  widget_t* label = Widgets(set)[1];
  txBitmap* bitmap = label->bitmap;

  // Before the first show a change has nothing to replace.
  EXPECT_EQ(wdgSetTitle(label, "Hi there"), 0);
  EXPECT_EQ(wdgtest::CountCalls("image"), 0u);
  EXPECT_EQ(tmFind(label->name), nullptr);

  wdgShowAll(set);
  const int32_t shortWidth = label->text_width;
  EXPECT_EQ(wdgtest::CountCalls("image 0 4 256x32"), 1u);
  wdgDrawAll(set);

  // After a draw the cache holds the bitmap: the change renders into it and
  // has the cache upload it again (under ASan, a freed bitmap would show).
  EXPECT_EQ(wdgSetTitle(label, "Hi there, and more"), 0);
  EXPECT_GT(label->text_width, shortWidth);
  EXPECT_EQ(label->bitmap, bitmap);
  EXPECT_EQ(tmGetBitmap(label->name), bitmap);
  EXPECT_EQ(wdgtest::CountCalls("image 0 4 256x32"), 2u);
  EXPECT_EQ(wdgSetTCi(label, 255, 0, 0, 255), 0);
  EXPECT_EQ(wdgtest::CountCalls("image 0 4 256x32"), 3u);
  wdgDrawAll(set);
  EXPECT_EQ(wdgtest::CountCalls(" overread"), 0u);
  wdgUnload(set);
}

TEST_F(WidgetDisplayKinds, LabelNeverShownIsFreedWithItsSet) {
  SYS_List_p set = Doc("<LABEL NAME='given' TITLE='never shown'/><LABEL/>");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(Widgets(set).size(), 2u);
  EXPECT_EQ(wdgUnload(set), 0);
  // TearDown finds no block left: bitmaps, names and the replaced NAME.
}

TEST_F(WidgetDisplayKinds, LabelBitmapSidesAreChecked) {
  struct Case {
    const char* width;
    const char* height;
    int result;
  } cases[] = {
      {"1", "1", 0},   {"8192", "2", 0},     {"0", "32", -1}, {"256", "0", -1},
      {"-5", "32", -1}, {"8193", "32", -1}, {"256", "99999999999", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << " x " << c.height);
    widget_t w{};
    Attrs attrs{{"WIDTH", c.width}, {"HEIGHT", c.height}, {"NAME", "given"}};
    EXPECT_EQ(widget_label_init(&w, attrs.count(), attrs.names(), attrs.values()), c.result);
    if (c.result != 0) {
      EXPECT_EQ(errGetLastError(), ERR_BADARG);
    }
    EXPECT_EQ(w.bitmap != nullptr, c.result == 0);
    wdgFreeOwned(&w);
  }
}

// A FONT whose file is missing still makes its font, without a face: the
// file layer has told the error callback, the widgets naming the font load
// and show no text, and only a FONTID naming no widget fails.
TEST_F(WidgetDisplayKinds, MissingFontFileGivesAFontWithoutAFace) {
  static std::vector<std::string> reported;
  reported.clear();
  errSetCallback([](int, const char* text) { reported.emplace_back(text ? text : "(null)"); });
  SYS_List_p set = Doc(
      "<FONT ID='7' NAME='/nowhere/none.ttf' FONTNAME='/nowhere/none.ttf' ENCODING='ISO-8859-1'/>"
      "<LABEL ID='1' FONTID='7' TITLE='lost' WIDTH='64' HEIGHT='16'/>"
      "<LABEL ID='2' FONTID='99' TITLE='lost too'/>"
      "<FRAME ID='3' WIDTH='10'/><LABEL ID='4' TITLE='no font'/>");
  errSetCallback(nullptr);
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(reported, (std::vector<std::string>{"/nowhere/none.ttf"}));
  std::vector<int32_t> ids;
  for (widget_t* w : Widgets(set)) ids.push_back(w->id);
  ASSERT_EQ(ids, (std::vector<int32_t>{7, 1, 3, 4}));
  widget_t* font = Widgets(set)[0];
  ASSERT_NE(font->style.font, nullptr);
  EXPECT_EQ(font->style.font->face, nullptr);
  widget_t* label = Widgets(set)[1];
  EXPECT_EQ(label->style.font, font->style.font);
  wdgShowAll(set);
  EXPECT_EQ(label->text_width, 0);
  wdgUnload(set);
}

TEST_F(WidgetDisplayKinds, FontWithoutEncodingFailsForWantOfMemory) {
  widget_t w{};
  Attrs attrs{{"NAME", kDejaVu}, {"FONTNAME", kDejaVu}, {"SIZE", "12"}};
  EXPECT_EQ(widget_font_init(&w, attrs.count(), attrs.names(), attrs.values()), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOMEM);
  EXPECT_EQ(w.owned_font, nullptr);
  wdgFreeOwned(&w);
}

TEST_F(WidgetDisplayKinds, FontFindsItsFaceByName) {
  SYS_List_p set = Doc(std::string("<FONT ID='1' NAME='other' FONTNAME='") + kDejaVu + "' ENCODING='ISO-8859-2'/>" +
                        FontTag("ENCODING='UTF8' BOLD='yes' ITALIC='1'"));
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(Widgets(set).size(), 2u);
  FR_Font_t* faceless = Widgets(set)[0]->style.font;
  FR_Font_t* font = Widgets(set)[1]->style.font;
  ASSERT_NE(faceless, nullptr);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(Widgets(set)[0]->owned_font, faceless);
  EXPECT_EQ(faceless->face, nullptr) << "the file loaded, but NAME names no face";
  EXPECT_NE(ftFindFace(kDejaVu), nullptr);
  EXPECT_EQ(faceless->encoding, FR_ENC_LATIN2);
  EXPECT_EQ(faceless->size, FR_DEFAULT_SIZE) << "no SIZE renders at the default size";
  EXPECT_EQ(faceless->weight, 100);

  EXPECT_NE(font->face, nullptr);
  EXPECT_EQ(font->encoding, FR_ENC_UTF8);
  EXPECT_EQ(font->colour, 0xFFFFFFFFu);
  EXPECT_EQ(font->halign, FR_HALIGN_LEFT);
  EXPECT_EQ(font->valign, FR_VALIGN_TOP);
  EXPECT_EQ(font->weight, 800);
  EXPECT_EQ(font->italic, 1);

  txBitmap* target = txCreateDummy(2, 64, 32);
  int width = 0, height = 0;
  EXPECT_EQ(ftRender(faceless, target, "Hi", &width, &height), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  EXPECT_EQ(ftRender(font, target, "Hi", &width, &height), 0);
  EXPECT_GT(width, 0);
  txFree(&target);
  wdgUnload(set);
}

// The renderer's default size is what a font without SIZE gets: at size 0
// FreeType would draw one-pixel glyphs.
TEST_F(WidgetDisplayKinds, FontWithoutSizeRendersVisibleText) {
  SYS_List_p set = Shown(FontTag("ENCODING='ISO-8859-1'") + "<LABEL FONTID='7' TITLE='Size' COLOR='FFFFFFFF'/>" +
                         FontTag("ENCODING='ISO-8859-1' SIZE='" + std::to_string(FR_DEFAULT_SIZE) + "'") +
                         "<LABEL FONTID='7' TITLE='Size' COLOR='FFFFFFFF'/>");
  ASSERT_NE(set, nullptr);
  ASSERT_EQ(Widgets(set).size(), 4u);
  EXPECT_GT(Widgets(set)[1]->text_height, FR_DEFAULT_SIZE / 2);
  EXPECT_EQ(Widgets(set)[1]->text_width, Widgets(set)[3]->text_width);
  EXPECT_EQ(Widgets(set)[1]->text_height, Widgets(set)[3]->text_height);
  wdgUnload(set);
}

// --- STYLE ----------------------------------------------------------------------------------------

TEST_F(WidgetDisplayKinds, StyleMakesItsFontFromItsPath) {
  SYS_List_p set = Doc(std::string("<STYLE ID='1' FONT-PATH='") + kDejaVu +
                        "' FONT-ENCODING='UTF8' FONT-SIZE='12' FONT-BOLD='1' TEXT-HALIGN='center'"
                        " TEXT-VALIGN='bottom' BC='11223344' BORDER='no' NAME='s' UNKNOWN='x'/>"
                        "<STYLE ID='2' BC='55667788'/>"
                        "<STYLE ID='3' FONT-PATH='/nowhere/none.ttf' FONT-ENCODING='UTF8'/>"
                        "<STYLE ID='4' FONT-PATH='/nowhere/none.ttf'/>");
  ASSERT_NE(set, nullptr);
  std::vector<widget_t*> w = Widgets(set);
  ASSERT_EQ(w.size(), 3u) << "a font path without an encoding fails that STYLE";
  const widget_style_t& s = w[0]->style;
  ASSERT_NE(s.font, nullptr);
  EXPECT_EQ(w[0]->owned_font, s.font);
  EXPECT_NE(s.font->face, nullptr);
  EXPECT_EQ(s.font->encoding, FR_ENC_UTF8);
  EXPECT_EQ(s.font->size, 12);
  EXPECT_EQ(s.font->weight, 800);
  EXPECT_EQ(s.font->halign, FR_HALIGN_CENTRE);
  EXPECT_EQ(s.font->valign, FR_VALIGN_BOTTOM);
  EXPECT_EQ(std::string(s.font_path), kDejaVu);
  EXPECT_EQ(std::string(w[0]->name), "s");
  EXPECT_EQ(s.bc[0], 0x11 * kByte);
  EXPECT_EQ(s.background, 1);
  EXPECT_EQ(s.border, 0);
  EXPECT_EQ(s.onmouse, 1);

  // Without a path there is no font; an unreadable file gives a font without a face.
  EXPECT_EQ(w[1]->style.font, nullptr);
  EXPECT_EQ(w[1]->style.border, 1);
  ASSERT_NE(w[2]->style.font, nullptr);
  EXPECT_EQ(w[2]->style.font->face, nullptr);
  EXPECT_EQ(w[2]->style.font->halign, FR_HALIGN_LEFT) << "no TEXT-HALIGN: aligned left";
  EXPECT_EQ(w[2]->style.font->valign, FR_VALIGN_TOP) << "no TEXT-VALIGN: aligned to the top";
  wdgUnload(set);
}

TEST_F(WidgetDisplayKinds, StylesCopyingStylesFreeNothingTheyShare) {
  const std::string path = std::string("FONT-PATH='") + kDejaVu + "'";
  SYS_List_p set = Doc("<STYLE ID='1' " + path + " FONT-ENCODING='UTF8' FONT-SIZE='12' TC='FFFFFFFF'/>" +
                        "<STYLE ID='2' STYLE='1' " + path + " FONT-ENCODING='ISO-8859-1'/>" +
                        "<STYLE ID='3' STYLE='1' FONT-SIZE='20'/>" +
                        "<LABEL ID='11' STYLE='1' TITLE='one'/><LABEL ID='12' STYLE='2' TITLE='two'/>"
                        "<LABEL ID='13' STYLE='3' TITLE='three'/>");
  ASSERT_NE(set, nullptr);
  std::vector<widget_t*> w = Widgets(set);
  ASSERT_EQ(w.size(), 6u);
  // A STYLE with a path of its own owns it and a font made from it; one that
  // only copied the path shares it and still makes its own font.
  EXPECT_NE(w[1]->style.font_path, w[0]->style.font_path);
  EXPECT_EQ(w[1]->owned_font_path, w[1]->style.font_path);
  EXPECT_EQ(w[2]->style.font_path, w[0]->style.font_path);
  EXPECT_EQ(w[2]->owned_font_path, nullptr);
  EXPECT_EQ(std::string(w[0]->style.font_path), kDejaVu);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(w[i]->owned_font, w[i]->style.font);
    EXPECT_EQ(w[3 + i]->style.font, w[i]->style.font);
    EXPECT_EQ(w[3 + i]->owned_font, nullptr);
  }
  EXPECT_NE(w[1]->style.font, w[0]->style.font);
  EXPECT_EQ(w[1]->style.font->encoding, FR_ENC_LATIN1);
  EXPECT_EQ(w[2]->style.font->size, 20);

  wdgShowAll(set);
  EXPECT_GT(w[3]->text_width, 0);
  EXPECT_GT(w[4]->text_width, 0);
  EXPECT_GT(w[5]->text_width, 0);
  EXPECT_EQ(wdgUnload(set), 0);
}

// --- log lines ------------------------------------------------------------------------------------

// A log line with its source line numbers ("x.cpp:37:") written as "#" and
// the sequence numbers (nine digits and more; the tests before this one in
// the run decide them) as "SEQ".
std::string Normalised(const std::string& line) {
  constexpr size_t kSeqDigits = 9;
  std::string out;
  for (size_t at = 0; at < line.size();) {
    size_t end = at;
    while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end]))) ++end;
    if (end == at) {
      out += line[at++];
      continue;
    }
    const bool lineNumber = out.size() >= 5 && out.compare(out.size() - 5, 5, ".cpp:") == 0;
    out += lineNumber ? "#" : end - at >= kSeqDigits ? "SEQ" : line.substr(at, end - at);
    at = end;
  }
  return out;
}

TEST_F(WidgetDisplayKinds, KindsLogWithTheirFileNames) {
  qt::TempDir dir;
  const std::string log = dir / "debug.log";
  const std::string xml = "<LINE X='1' Y='2' X2='3' Y2='4' DEPTH='2'/><IMG/><IMG SRC='pic.tga'/><FRAME WIDTH='9'/>" +
                          FontTag("ENCODING='ISO-8859-1' SIZE='14'") +
                          "<FONT NAME='x' FONTNAME='/nowhere/none.ttf' ENCODING='UTF8'/>"
                          "<FONT NAME='x'/><LABEL TITLE='t'/><LABEL FONTID='99'/><STYLE ID='5'/>"
                          "<STYLE FONT-PATH='/nowhere/none.ttf'/>";
  auto r = qt::RunInChild([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgSetFlag(SYS_DBG_ON);
    SYS_List_p set = Doc(xml);
    wdgUnload(set);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The loader's own lines are left out; line and sequence numbers vary.
  std::vector<std::string> lines;
  for (const std::string& line : qt::SplitLines(qt::ReadFile(log))) {
    if (line.rfind("[widget][widget.cpp:", 0) == 0) continue;
    lines.push_back(Normalised(line));
  }
  const std::string dejavu = kDejaVu;
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "[widget][line][widget-line.cpp:#:widget_init()]  - new widget: LINE (4) : 1, 2 3, 4 2.000000",
                       "[widget][img][widget-img.cpp:#:widget_init()]  ! widget_img: texture is not defined.",
                       "[widget][img][widget-img.cpp:#:widget_init()]  - new widget: IMG (2) : (null) 0, 0, SEQ 0x0 0",
                       "[widget][img][widget-img.cpp:#:widget_init()]  - new widget: IMG (2) : pic.tga 0, 0, SEQ 0x0 0",
                       "[widget][frame][widget-frame.cpp:#:widget_init()]  - new widget: FRAME (3) : 0, 0, SEQ 9x0",
                       "[widget][font][widget-font.cpp:#:widget_init()]  - new widget: FONT (6) : " + dejavu +
                           " id: 7 bold: 0 italic: 0 encoding: 1",
                       "[widget][font][widget-font.cpp:#:widget_init()]    - font file: " + dejavu,
                       "[widget][font][widget-font.cpp:#:widget_init()]  - new widget: FONT (6) : x id: 0 bold: 0 "
                       "italic: 0 encoding: 20",
                       "[widget][font][widget-font.cpp:#:widget_init()]    - font file: /nowhere/none.ttf",
                       "[widget][font][widget-font.cpp:#:widget_init()]  ! not enough memory for font.",
                       "[widget][label][widget-label.cpp:#:widget_init()]  - new widget: LABEL (5) : 0, 0, SEQ 0x0 "
                       "title: 't'",
                       "   - texture id: label-SEQ",
                       "[widget][label][widget-label.cpp:#:widget_init()]  ! font id not found.",
                       "[widget][style][widget-style.cpp:#:widget_init()]  - new widget: STYLE (10) : (null) id: 5",
                       "[widget][style][widget-style.cpp:#:widget_init()]  ! cannot load font: /nowhere/none.ttf",
                       "[widget][style][widget-style.cpp:#:widget_init()]  ! not enough memory for font.",
                   }));
}

}  // namespace
