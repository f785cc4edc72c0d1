// The input kinds: BUTTON, GROUP, CHECKBOX, RADIOBUTTON and PROGRESS, over
// the recording GL, with real FreeType text where the text matters.
#include <string>
#include <vector>

#include "testsupport/fr/fr.h"
#include "testsupport/widget/widget.h"

namespace {

using namespace wdgtest;

int gCalls = 0;
// What the last call of the user callback found: the kind's own action comes
// first, so the callback sees the state that the event has made.
int32_t gSeenPressed = -1, gSeenValue = -1;
int32_t CountCall(widget_t* w, wm_event_t*) {
  ++gCalls;
  gSeenPressed = w->pressed;
  gSeenValue = w->value_int;
  return 0;
}

class InputKinds : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    gCalls = 0;
  }
  void TearDown() override {
    if (set) wdgUnload(set);
    if (font) ftFreeFont(font);
    WidgetTest::TearDown();
  }

  // Loads the document as this test's set; the widgets in order.
  std::vector<widget_t*> LoadSet(const std::string& xml) {
    set = Load(xml);
    return Widgets(set);
  }
  widget_t* LoadOne(const std::string& xml) {
    std::vector<widget_t*> all = LoadSet(xml);
    return all.size() == 1 ? all[0] : nullptr;
  }

  // DejaVu Sans as a FONT widget makes it: ISO-8859-1, white, left and top
  // aligned, size 14, the face found by its path.
  FR_Font_t* RealFont() {
    if (font) return font;
    EXPECT_EQ(ftLoadFace(frtest::kDejaVu), 0);
    font = ftNewFont(FR_ENC_LATIN1, 0xFFFFFFFFu, FR_HALIGN_LEFT, FR_VALIGN_TOP);
    EXPECT_NE(font, nullptr);
    EXPECT_EQ(ftSetFont(font, frtest::kDejaVu, 14, 100, 0), 0);
    return font;
  }
  // Gives the widget the real font and has it render its text again.
  void UseRealFont(widget_t* w) {
    w->style.font = RealFont();
    wdgChanged(w);
  }
  // The width the real font gives a text.
  int32_t TextWidth(const char* text) {
    constexpr int32_t kRgba = 2;  // txCreateDummy's 32-bit kind
    txBitmap* bitmap = txCreateDummy(kRgba, WDG_TEXT_BITMAP_WIDTH, WDG_TEXT_BITMAP_HEIGHT);
    int width = 0, height = 0;
    EXPECT_EQ(ftRender(RealFont(), bitmap, text, &width, &height), 0);
    txFree(&bitmap);
    return width;
  }

  SYS_List_p set = nullptr;
  FR_Font_t* font = nullptr;
};

int Send(widget_t* w, wm_event_t e) { return w->kind_row->event(w, &e); }
void Draw(widget_t* w) { wdgSendEvent(w, WDG_EVENT_DRAW); }

std::string V(double x, double y) { return "vertex " + Num(x) + " " + Num(y); }

// The four lines from the one equal to `first` on (empty when it is missing).
std::vector<std::string> FourFrom(const std::string& first) {
  const auto& c = Calls();
  for (size_t i = 0; i + 4 <= c.size(); ++i)
    if (c[i] == first) return {c.begin() + static_cast<long>(i), c.begin() + static_cast<long>(i) + 4};
  return {};
}

// --- the mouse rule --------------------------------------------------------------------------------

// Every kind sits at (100, 50), 80 x 20.
constexpr const char* kPlace = R"( X="100" Y="50" WIDTH="80" HEIGHT="20" TITLE="Go")";
enum Where { kInside, kOutside, kOnEdge };

wm_event_t MouseAt(Where where, int32_t action, int32_t left) {
  switch (where) {
    case kInside: return Mouse(nullptr, 120, 60, action, left);
    case kOutside: return Mouse(nullptr, 300, 300, action, left);
    case kOnEdge: break;
  }
  return Mouse(nullptr, 100, 60, action, left);  // on the left edge: not strictly inside
}

struct Step {
  const char* what;
  int32_t action, left;
  Where where;
  int32_t hover, pressed, value, calls, result;
};
struct MouseCase {
  const char* tag;
  std::vector<Step> steps;
};

const std::vector<Step> kPushSteps = {
    {"move inside", 0, 0, kInside, 1, 0, 0, 1, 1},   {"press", 1, 1, kInside, 1, 1, 0, 2, 1},
    {"held move", 0, 1, kInside, 1, 1, 0, 3, 1},     {"release", 4, 0, kInside, 1, 0, 0, 4, 1},
    {"held move out", 0, 1, kOutside, 0, 0, 0, 4, 0}, {"press on the edge", 1, 1, kOnEdge, 0, 0, 0, 4, 0},
};

const MouseCase kMouseCases[] = {
    {"BUTTON", kPushSteps},
    {"PROGRESS", kPushSteps},
    {"CHECKBOX",
     {
         {"move inside", 0, 0, kInside, 1, 0, 0, 1, 1},
         {"press ticks", 1, 1, kInside, 1, 0, 1, 2, 1},
         {"held move toggles", 0, 1, kInside, 1, 0, 0, 3, 1},
         {"held move toggles again", 0, 1, kInside, 1, 0, 1, 4, 1},
         {"third held move", 0, 1, kInside, 1, 0, 0, 5, 1},
         {"release keeps", 4, 0, kInside, 1, 0, 0, 6, 1},
         {"click: press", 1, 1, kInside, 1, 0, 1, 7, 1},
         {"click: release", 4, 0, kInside, 1, 0, 1, 8, 1},
         {"held move out", 0, 1, kOutside, 0, 0, 1, 8, 0},
         {"press on the edge", 1, 1, kOnEdge, 0, 0, 1, 8, 0},
     }},
    {"RADIOBUTTON",
     {
         {"move inside", 0, 0, kInside, 1, 0, 0, 1, 1},
         {"press selects", 1, 1, kInside, 1, 0, 1, 2, 1},
         {"held move keeps", 0, 1, kInside, 1, 0, 1, 3, 1},
         {"release keeps", 4, 0, kInside, 1, 0, 1, 4, 1},
         {"pressing again keeps", 1, 1, kInside, 1, 0, 1, 5, 1},
         {"move out", 0, 0, kOutside, 0, 0, 1, 5, 0},
         {"press on the edge", 1, 1, kOnEdge, 0, 0, 1, 5, 0},
     }},
};

TEST_F(InputKinds, MouseStatesFollowTheRuleOfEachKind) {
  for (const MouseCase& c : kMouseCases) {
    SCOPED_TRACE(c.tag);
    widget_t* w = LoadOne(std::string("<") + c.tag + kPlace + "/>");
    ASSERT_NE(w, nullptr);
    wdgSetCallback(w, CountCall);
    w->visible = 1;
    gCalls = 0;
    for (const Step& s : c.steps) {
      SCOPED_TRACE(s.what);
      const int callsBefore = gCalls;
      EXPECT_EQ(Send(w, MouseAt(s.where, s.action, s.left)), s.result);
      EXPECT_EQ(w->hover, s.hover);
      EXPECT_EQ(w->pressed, s.pressed);
      EXPECT_EQ(w->value_int, s.value);
      EXPECT_EQ(gCalls, s.calls);
      if (gCalls != callsBefore) {
        EXPECT_EQ(gSeenPressed, s.pressed) << "the callback runs after the kind's action";
        EXPECT_EQ(gSeenValue, s.value) << "the callback runs after the kind's action";
      }
    }
    wdgUnload(set);
    set = nullptr;
  }
}

// Only BUTTON and PROGRESS start `pressed` again from 0 at each mouse event;
// a tick box and a radio button leave whatever it holds.
TEST_F(InputKinds, TickBoxesLeavePressedAsTheyFindIt) {
  for (const char* tag : {"CHECKBOX", "RADIOBUTTON"}) {
    SCOPED_TRACE(tag);
    widget_t* w = LoadOne(std::string("<") + tag + kPlace + "/>");
    ASSERT_NE(w, nullptr);
    w->visible = 1;
    w->pressed = 1;
    for (Where where : {kInside, kOutside}) {
      Send(w, MouseAt(where, 0, 0));
      Send(w, MouseAt(where, 4, 0));
      EXPECT_EQ(w->pressed, 1) << (where == kInside ? "inside" : "outside");
    }
    wdgUnload(set);
    set = nullptr;
  }
}

TEST_F(InputKinds, HiddenOrDisabledWidgetsIgnoreTheMouseAndKeepTheirState) {
  for (const char* tag : {"BUTTON", "PROGRESS", "CHECKBOX", "RADIOBUTTON"}) {
    for (bool hidden : {true, false}) {
      SCOPED_TRACE(std::string(tag) + (hidden ? " hidden" : " disabled"));
      widget_t* w = LoadOne(std::string("<") + tag + kPlace + "/>");
      ASSERT_NE(w, nullptr);
      wdgSetCallback(w, CountCall);
      w->visible = hidden ? 0 : 1;
      w->disabled = hidden ? 0 : 1;
      w->hover = 1;
      w->pressed = 1;
      gCalls = 0;
      for (Where where : {kInside, kOutside}) {
        EXPECT_EQ(Send(w, MouseAt(where, 1, 1)), 0);
        EXPECT_EQ(Send(w, MouseAt(where, 4, 0)), 0);
      }
      EXPECT_EQ(w->hover, 1);
      EXPECT_EQ(w->pressed, 1);
      EXPECT_EQ(w->value_int, 0);
      EXPECT_EQ(gCalls, 0);
      wdgUnload(set);
      set = nullptr;
    }
  }
}

// Coordinates at the ends of the 32-bit range are worked out without
// overflow (the sanitizer build checks it).
TEST_F(InputKinds, ExtremeGeometryIsDrawnAndHitTestedWithoutOverflow) {
  for (const char* tag : {"BUTTON", "PROGRESS", "CHECKBOX", "RADIOBUTTON"}) {
    SCOPED_TRACE(tag);
    widget_t* w = LoadOne(std::string("<") + tag +
                          R"( X="2147483647" Y="-2147483648" WIDTH="-2147483648" HEIGHT="2147483647" VALUE="0.5"/>)");
    ASSERT_NE(w, nullptr);
    w->style.font = RealFont();
    w->text_width = 2147483647;
    w->text_height = -2147483647;
    w->visible = 1;
    Draw(w);
    EXPECT_EQ(Send(w, Press(nullptr, 2147483647, 0)), 0);
    w->x = -2147483647 - 1;
    w->width = 2147483647;
    w->y = -10;
    Draw(w);
    EXPECT_EQ(Send(w, Press(nullptr, -5, 0)), 1);
    wdgUnload(set);
    set = nullptr;
  }
}

// --- BUTTON ------------------------------------------------------------------------------------------

TEST_F(InputKinds, ImageButtonTakesOneFrameOfItsImageAndDrawsTheFrameOfItsState) {
  AddImage("frames.tga", tlfix::SimpleTga(128, 256, 32));
  widget_t* w = LoadOne(R"(<BUTTON SRC="frames.tga" X="10" Y="20" WIDTH="5" HEIGHT="5"/>)");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->bitmap, nullptr);
  wdgShow(w);
  EXPECT_EQ(w->width, 128);
  EXPECT_EQ(w->height, 64);

  struct Band {
    const char* state;
    int32_t hover, pressed, disabled;
    float top;
  };
  const Band bands[] = {
      {"normal", 0, 0, 0, 0.0f},
      {"mouse over", 1, 0, 0, 0.25f},
      {"pressed", 1, 1, 0, 0.5f},
      {"disabled", 1, 1, 1, 0.75f},
  };
  const double b = wdgTop(w);
  for (const Band& band : bands) {
    SCOPED_TRACE(band.state);
    w->hover = band.hover;
    w->pressed = band.pressed;
    w->disabled = band.disabled;
    Calls().clear();
    Draw(w);
    const std::vector<std::string> quad = CallsFrom("begin 0x7");
    const std::vector<std::string> expected = {
        "begin 0x7",
        "texcoord 0 " + Num(band.top + 0.25f), V(10, b - 64),
        "texcoord 0 " + Num(band.top),         V(10, b),
        "texcoord 1 " + Num(band.top),         V(138, b),
        "texcoord 1 " + Num(band.top + 0.25f), V(138, b - 64),
        "end",
    };
    EXPECT_EQ(quad, expected);
    EXPECT_EQ(CountCalls("bind 0xDE1"), 1u);
    EXPECT_EQ(CountCalls("disable 0xBE2"), 1u);
  }
}

TEST_F(InputKinds, AHiddenImageButtonTakesNoImageFromAShowEvent) {
  AddImage("frames.tga", tlfix::SimpleTga(128, 256, 32));
  widget_t* w = LoadOne(R"(<BUTTON SRC="frames.tga" WIDTH="5" HEIGHT="5"/>)");
  ASSERT_NE(w, nullptr);
  w->visible = 0;
  wdgSendEvent(w, WDG_EVENT_SHOW);
  EXPECT_EQ(w->width, 5);
  EXPECT_EQ(w->height, 5);
}

TEST_F(InputKinds, ImageButtonWithoutItsImageKeepsItsSizeAndDrawsNothing) {
  widget_t* w = LoadOne(R"(<BUTTON SRC="missing.tga" WIDTH="30" HEIGHT="40"/>)");
  ASSERT_NE(w, nullptr);
  wdgShow(w);
  EXPECT_EQ(w->width, 30);
  EXPECT_EQ(w->height, 40);
  Calls().clear();
  Draw(w);
  EXPECT_EQ(CountCalls("begin"), 0u);
}

TEST_F(InputKinds, TextButtonCentresItsText) {
  widget_t* w = LoadOne(R"(<BUTTON X="30" Y="100" WIDTH="200" HEIGHT="40" TITLE="Start"/>)");
  ASSERT_NE(w, nullptr);
  w->text_width = 80;
  w->text_height = 20;
  w->visible = 1;
  Draw(w);
  const double left = 30 + 60, top = wdgTop(w) - 10;
  const std::vector<std::string> expected = {V(left, top - 20), "texcoord 0 0", V(left, top), "texcoord " + Num(80.0 / 512) + " 0"};
  EXPECT_EQ(FourFrom(V(left, top - 20)), expected);
}

// --- text set-up of the labelled kinds ----------------------------------------------------------------

TEST_F(InputKinds, LabelledKindsNameTheirTextAfterTheSequenceNumberAndNeedTheirFont) {
  for (const char* tag : {"BUTTON", "CHECKBOX", "RADIOBUTTON"}) {
    SCOPED_TRACE(tag);
    std::vector<widget_t*> all =
        LoadSet(std::string("<") + tag + R"( NAME="mine" TITLE="a"/><)" + tag + R"( FONTID="99" TITLE="b"/>)");
    ASSERT_EQ(all.size(), 1u) << "a FONTID that names no widget fails the init";
    EXPECT_EQ(std::string(all[0]->name), "label-" + std::to_string(all[0]->seq));
    ASSERT_NE(all[0]->bitmap, nullptr);
    EXPECT_EQ(all[0]->bitmap->width, WDG_TEXT_BITMAP_WIDTH);
    EXPECT_EQ(all[0]->bitmap->height, WDG_TEXT_BITMAP_HEIGHT);
    wdgUnload(set);
    set = nullptr;
  }
}

TEST_F(InputKinds, ProgressIsNamedBeforeItsAttributes) {
  std::vector<widget_t*> all = LoadSet(R"(<PROGRESS/><PROGRESS NAME="bar"/>)");
  ASSERT_EQ(all.size(), 2u);
  EXPECT_EQ(std::string(all[0]->name), "progress-" + std::to_string(all[0]->seq));
  EXPECT_STREQ(all[1]->name, "bar");
}

// Every kind with a text re-renders it after a change once the cache holds its
// bitmap, without freeing that bitmap; the sanitizer build checks the memory.
TEST_F(InputKinds, ChangeAfterADrawRendersIntoTheBitmapTheCacheHolds) {
  for (const char* tag : {"BUTTON", "CHECKBOX", "RADIOBUTTON", "PROGRESS"}) {
    SCOPED_TRACE(tag);
    widget_t* w = LoadOne(std::string("<") + tag + R"( X="10" Y="10" WIDTH="200" HEIGHT="40" VALUE="0.5" TITLE="OK"/>)");
    ASSERT_NE(w, nullptr);
    Calls().clear();
    UseRealFont(w);
    wdgShow(w);
    Draw(w);
    const txBitmap* bitmap = w->bitmap;
    ASSERT_NE(tmFind(w->name), nullptr);
    ASSERT_EQ(tmFind(w->name)->bitmap, bitmap);
    const size_t uploads = CountCalls("image 0 ");
    const int32_t width = w->text_width;
    EXPECT_GT(width, 0);

    EXPECT_EQ(wdgSetTitle(w, "Cancel and leave"), 0);
    EXPECT_EQ(wdgSetTCi(w, 100, 100, 100, 255), 0);
    Draw(w);
    EXPECT_EQ(w->bitmap, bitmap);
    EXPECT_EQ(tmFind(w->name)->bitmap, bitmap);
    EXPECT_GT(CountCalls("image 0 "), uploads);
    if (w->kind != WDG_KIND_PROGRESS) {
      EXPECT_GT(w->text_width, width) << "the new title is rendered";
    }
    wdgUnload(set);
    set = nullptr;
  }
}

// --- CHECKBOX and RADIOBUTTON ---------------------------------------------------------------------------

TEST_F(InputKinds, TickBoxDrawsItsBoxAndATickWhenChecked) {
  for (const char* tag : {"CHECKBOX", "RADIOBUTTON"}) {
    for (int32_t checked : {0, 1}) {
      SCOPED_TRACE(std::string(tag) + (checked ? " checked" : " unchecked"));
      widget_t* w = LoadOne(std::string("<") + tag + kPlace + "/>");
      ASSERT_NE(w, nullptr);
      w->visible = 1;
      w->value_int = checked;
      Calls().clear();
      Draw(w);
      const double x = 100, by = wdgTop(w) - 5;
      EXPECT_EQ(FourFrom(V(x + 5, by)), (std::vector<std::string>{V(x + 5, by), V(x + 5, by - 10), V(x + 15, by - 10),
                                                                  V(x + 15, by)}));
      EXPECT_EQ(FourFrom(V(x + 6, by - 1)), (std::vector<std::string>{V(x + 6, by - 1), V(x + 6, by - 9),
                                                                      V(x + 14, by - 9), V(x + 14, by - 1)}));
      EXPECT_EQ(FourFrom(V(x + 8, by - 8)).empty(), checked == 0);
      wdgUnload(set);
      set = nullptr;
    }
  }
}

TEST_F(InputKinds, RadioButtonsOfAGroupExcludeEachOther) {
  std::vector<widget_t*> r = LoadSet(R"(
    <RADIOBUTTON GID="1" X="0" Y="0" WIDTH="50" HEIGHT="20"/>
    <RADIOBUTTON GID="2" X="0" Y="100" WIDTH="50" HEIGHT="20" VALUE="1"/>
    <RADIOBUTTON GID="1" X="0" Y="30" WIDTH="50" HEIGHT="20" VALUE="1"/>
    <RADIOBUTTON GID="1" X="0" Y="60" WIDTH="50" HEIGHT="20" VALUE="1"/>
    <RADIOBUTTON GID="2" X="0" Y="130" WIDTH="50" HEIGHT="20"/>
    <CHECKBOX GID="1" X="100" Y="0" WIDTH="50" HEIGHT="20" VALUE="1"/>)");
  ASSERT_EQ(r.size(), 6u);
  auto values = [&] {
    std::vector<int32_t> v;
    for (widget_t* w : r) v.push_back(wdgGetValue(w));
    return v;
  };
  EXPECT_EQ(values(), (std::vector<int32_t>{0, 1, 0, 1, 0, 1})) << "of the checked ones in a group the last stays";
  for (widget_t* w : r) w->visible = 1;
  Send(r[0], Press(nullptr, 10, 10));
  EXPECT_EQ(values(), (std::vector<int32_t>{1, 1, 0, 0, 0, 1})) << "a check box of the GID is no radio button";
  Send(r[0], Release(nullptr, 10, 10));
  Send(r[0], Move(nullptr, 10, 10));
  EXPECT_EQ(values(), (std::vector<int32_t>{1, 1, 0, 0, 0, 1})) << "only a held button selects";
}

// --- GROUP ------------------------------------------------------------------------------------------------

TEST_F(InputKinds, GroupSetsItsMembersFlagsAndANestedGroupEndsTheWalk) {
  std::vector<widget_t*> all = LoadSet(R"(
    <CHECKBOX ID="10" X="0" Y="0" WIDTH="50" HEIGHT="20"/>
    <GROUP ID="20" WID="40"/>
    <CHECKBOX ID="30" X="0" Y="30" WIDTH="50" HEIGHT="20"/>
    <CHECKBOX ID="40" X="0" Y="60" WIDTH="50" HEIGHT="20"/>
    <GROUP ID="50" wid="10" WID="77" Wid="20" WID="30"/>)");
  ASSERT_EQ(all.size(), 5u);
  widget_t *a = all[0], *c = all[2], *d = all[3], *outer = all[4];
  ASSERT_EQ(outer->member_count, 4);
  for (widget_t* w : all) w->visible = 1;

  wdgHide(outer);
  EXPECT_EQ(a->visible, 0);
  EXPECT_EQ(d->visible, 0) << "the nested group got the hide";
  EXPECT_EQ(c->visible, 1) << "a member after a nested group is not visited";
  wdgShow(outer);
  EXPECT_EQ(a->visible, 1);
  EXPECT_EQ(d->visible, 1);

  wdgSetCallback(a, CountCall);
  wdgDisable(outer);
  EXPECT_EQ(a->disabled, 1);
  EXPECT_EQ(d->disabled, 1);
  EXPECT_EQ(c->disabled, 0);
  Send(a, Press(nullptr, 10, 10));
  EXPECT_EQ(gCalls, 0);
  EXPECT_EQ(a->value_int, 0);
  wdgEnable(outer);
  EXPECT_EQ(a->disabled, 0);
  EXPECT_EQ(d->disabled, 0);
  Send(a, Press(nullptr, 10, 10));
  EXPECT_EQ(gCalls, 1);
  EXPECT_EQ(a->value_int, 1);
}

TEST_F(InputKinds, GroupWalksEndOnSelfReferenceAndCycles) {
  std::vector<widget_t*> all = LoadSet(R"(
    <CHECKBOX ID="1"/><CHECKBOX ID="2"/><CHECKBOX ID="3"/><CHECKBOX ID="4"/>
    <GROUP ID="7" WID="1" WID="7" WID="2"/>
    <GROUP ID="8" WID="3" WID="9"/>
    <GROUP ID="9" WID="4" WID="8"/>)");
  ASSERT_EQ(all.size(), 7u);
  for (widget_t* w : all) w->visible = 1;
  wdgHide(all[4]);
  EXPECT_EQ(all[0]->visible, 0);
  EXPECT_EQ(all[1]->visible, 1);
  wdgHide(all[5]);
  EXPECT_EQ(all[2]->visible, 0);
  EXPECT_EQ(all[3]->visible, 0);
  EXPECT_EQ(all[6]->visible, 1) << "a group hides its members, not a group that lists it";
  wdgDisable(all[6]);
  EXPECT_EQ(all[3]->disabled, 1);
  EXPECT_EQ(all[2]->disabled, 1);
}

TEST_F(InputKinds, GroupWithoutMembersFailsWithCode10) {
  std::vector<widget_t*> all = LoadSet(R"(<CHECKBOX ID="1"/><GROUP ID="2"/>)");
  EXPECT_EQ(all.size(), 1u);
  widget_t w{};
  char id[] = "ID", two[] = "2";
  char* names[] = {id};
  char* values[] = {two};
  EXPECT_EQ(widget_group_init(&w, 1, names, values), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  wdgFreeOwned(&w);
}

// --- PROGRESS ----------------------------------------------------------------------------------------------

TEST_F(InputKinds, ProgressDrawsAClampedBarAndItsValueAsAPercentage) {
  struct Case {
    const char* value;
    int32_t width, bar;
    const char* text;
  };
  const Case cases[] = {
      {"0.5", 103, 50, "50.0%"},
      {"1.5", 103, 100, "150.0%"},
      {"0.0", 2, 0, "0.0%"},
      {"100000000000000000000.0", 103, 100, "999999977819630"},  // cut to the 15 characters that fit
      {"0.5", 2147483647, 1073741822, "50.0%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    widget_t* w = LoadOne(std::string(R"(<PROGRESS X="10" Y="10" HEIGHT="20" VALUE=")") + c.value + R"(" WIDTH=")" +
                          std::to_string(c.width) + R"("/>)");
    ASSERT_NE(w, nullptr);
    w->style.font = RealFont();
    w->visible = 1;
    Calls().clear();
    Draw(w);
    const double b = wdgTop(w), left = 12, right = 12.0 + c.bar;
    EXPECT_EQ(FourFrom(V(left, b - 2)), (std::vector<std::string>{V(left, b - 2), V(left, b - 18), V(right, b - 18),
                                                                   V(right, b - 2)}));
    EXPECT_EQ(w->text_width, TextWidth(c.text));
    wdgUnload(set);
    set = nullptr;
  }
}

TEST_F(InputKinds, ProgressBelowZeroDrawsNoBar) {
  widget_t* w = LoadOne(R"(<PROGRESS X="10" Y="10" WIDTH="103" HEIGHT="20"/>)");
  ASSERT_NE(w, nullptr);
  w->value_float = -0.2f;  // VALUE reads no sign as a number
  w->style.font = RealFont();
  w->visible = 1;
  Draw(w);
  const double b = wdgTop(w);
  EXPECT_EQ(FourFrom(V(12, b - 2)), (std::vector<std::string>{V(12, b - 2), V(12, b - 18), V(12, b - 18), V(12, b - 2)}));
  EXPECT_EQ(w->text_width, TextWidth("-20.0%"));
}

}  // namespace
