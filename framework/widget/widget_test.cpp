// Widget sets: loading, numbering, the set operations, the lookups, the
// per-widget operations and colour setters, and unloading.
#include <functional>
#include <string>
#include <vector>

#include "testsupport/widget/spy.h"
#include "testsupport/widget/widget.h"

namespace {

using namespace wdgtest;

class SetTest : public WidgetTest {
 protected:
  void TearDown() override {
    for (SYS_List_p s : sets) wdgUnload(s);
    WidgetTest::TearDown();
  }
  SYS_List_p Keep(SYS_List_p set) {
    if (set) sets.push_back(set);
    return set;
  }
  SYS_List_p LoadKept(const std::string& xml) { return Keep(Load(xml)); }
  void Unload(SYS_List_p set) {
    std::erase(sets, set);
    wdgUnload(set);
  }
  std::vector<SYS_List_p> sets;
};

std::vector<int32_t> Kinds(SYS_List_p set) {
  std::vector<int32_t> out;
  for (widget_t* w : Widgets(set)) out.push_back(w->kind);
  return out;
}

std::vector<int32_t> Ids(SYS_List_p set) {
  std::vector<int32_t> out;
  for (widget_t* w : Widgets(set)) out.push_back(w->id);
  return out;
}

int32_t Ignore(widget_t*, wm_event_t*) { return 0; }
int32_t Other(widget_t*, wm_event_t*) { return 1; }

// --- loading ------------------------------------------------------------------------------------

struct LoadCase {
  const char* name;
  const char* xml;
  std::vector<int32_t> kinds;
  std::vector<int32_t> ids;
};

TEST_F(SetTest, LoadMakesOneWidgetPerKnownTagInDocumentOrder) {
  const LoadCase cases[] = {
      {"flat", R"(<WINDOW ID="1"/><LABEL ID="2" WIDTH="64" HEIGHT="16"/><LINE ID="3"/>)", {0, 5, 4}, {1, 2, 3}},
      {"nested",
       R"(<WINDOW ID="1"><LABEL ID="2" WIDTH="64" HEIGHT="16"/><FRAME ID="3"></FRAME></WINDOW>)",
       {0, 5, 3},
       {1, 2, 3}},
      {"mixed case",
       R"(<window Id="1" wIdTh="300"><Label iD="2" wiDth="64" HEIGHT="16"/><lInE id="3"/></window>)",
       {0, 5, 4},
       {1, 2, 3}},
      {"unknown tags",
       R"(<?xml version="1.0"?><dialog><!-- c --><WINDOW ID="1"/><box x="1"><LINE ID="3"/>text</box>
                          <STYLEX ID="9"/></dialog>)",
       {0, 4},
       {1, 3}},
      {"every simple kind",
       R"(<WINDOW ID="1"/><LINE ID="2"/><FRAME ID="3"/><STYLE ID="4"/><LABEL ID="5" WIDTH="64" HEIGHT="16"/>)",
       {0, 4, 3, 10, 5},
       {1, 2, 3, 4, 5}},
  };
  for (const LoadCase& c : cases) {
    SCOPED_TRACE(c.name);
    SYS_List_p set = Load(c.xml);
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(errGetLastError(), 0);
    EXPECT_EQ(Kinds(set), c.kinds);
    EXPECT_EQ(Ids(set), c.ids);
    widget_t* window = Widgets(set)[0];
    for (widget_t* w : Widgets(set)) {
      EXPECT_EQ(w->set, set) << "every widget reaches the whole set";
      EXPECT_EQ(w->kind_row, wdgKinds[w->kind]);
      EXPECT_EQ(w->visible, 0);
      if (w != window) {
        EXPECT_EQ(w->set_window, window->window);
      }
    }
    EXPECT_EQ(wmOptions(window->window, WM_OPT_GET_USERDATA, 0), reinterpret_cast<intptr_t>(set))
        << "the set is its window's user pointer";
    wdgUnload(set);
  }
  EXPECT_EQ(wdgKinds[WDG_KIND_COUNT], nullptr);
}

TEST_F(SetTest, MixedCaseAttributesSetTheSameFields) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><line x="3" Y="4" wIDTH="5" HeIgHt="6"/>)");
  ASSERT_NE(set, nullptr);
  widget_t* w = Widgets(set)[1];
  EXPECT_EQ(w->x, 3);
  EXPECT_EQ(w->y, 4);
  EXPECT_EQ(w->width, 5);
  EXPECT_EQ(w->height, 6);
}

TEST_F(SetTest, ATagWhoseInitFailsIsLeftOutButUsesUpItsNumber) {
  SYS_List_p set = LoadKept(R"(<WINDOW ID="1"/><LINE ID="2" BOGUS="1"/><LINE ID="3"/>)");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(Ids(set), (std::vector<int32_t>{1, 3}));
  std::vector<widget_t*> w = Widgets(set);
  EXPECT_EQ(w[1]->seq, w[0]->seq + 2);
}

TEST_F(SetTest, SequenceNumbersGoOnAcrossLoadsAndNeverRepeat) {
  SYS_List_p first = LoadKept(R"(<WINDOW/><LINE/><LINE/>)");
  SYS_List_p second = LoadKept(R"(<WINDOW/><LINE/>)");
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  std::vector<widget_t*> a = Widgets(first), b = Widgets(second);
  EXPECT_GE(a[0]->seq, WDG_SEQ_FIRST);
  EXPECT_EQ(a[1]->seq, a[0]->seq + 1);
  EXPECT_EQ(a[2]->seq, a[0]->seq + 2);
  EXPECT_EQ(b[0]->seq, a[2]->seq + 1);
  EXPECT_EQ(b[1]->seq, a[2]->seq + 2);
}

TEST_F(SetTest, ASetWithoutWindowLoadsWithErrorFourteenAndIsAttachedToNothing) {
  SYS_List_p set = LoadKept(R"(<LINE ID="1"/><FRAME ID="2"/>)");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  EXPECT_EQ(Ids(set), (std::vector<int32_t>{1, 2}));
  for (SYS_List_p n = wmState.windows; n; n = n->next)
    EXPECT_NE(static_cast<wm_window_t*>(n->data)->userData, reinterpret_cast<intptr_t>(set));
  for (widget_t* w : Widgets(set)) EXPECT_EQ(w->set_window, nullptr);
  EXPECT_EQ(wdgDrawAll(set), 0);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
}

TEST_F(SetTest, WidgetsBeforeTheWindowHaveNoWindowToDrawIn) {
  SYS_List_p set = LoadKept(R"(<LINE/><WINDOW/><LINE/>)");
  ASSERT_NE(set, nullptr);
  std::vector<widget_t*> w = Widgets(set);
  EXPECT_EQ(w[0]->set_window, nullptr);
  EXPECT_EQ(w[2]->set_window, w[1]->window);
  EXPECT_EQ(wmOptions(w[1]->window, WM_OPT_GET_USERDATA, 0), reinterpret_cast<intptr_t>(set));
}

TEST_F(SetTest, DocumentsThatMakeNoWidgetGiveNoSet) {
  for (const char* xml : {"<dialog><box/></dialog>", "", "<WINDOW"}) {
    SCOPED_TRACE(xml);
    EXPECT_EQ(Load(xml), nullptr);
  }
  EXPECT_EQ(wdgLoad(WDG_SOURCE_FILE, "no-such-dialog.xml"), nullptr);
  EXPECT_NE(errGetLastError(), 0);
}

// --- set operations -----------------------------------------------------------------------------

TEST_F(SetTest, ShowAllMakesVisibleSendsShowThenDrawsOnce) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE/><FRAME/><LABEL WIDTH="64" HEIGHT="16"/>)");
  ASSERT_NE(set, nullptr);
  SpyOn(set);
  widget_t* window = Widgets(set)[0];
  EXPECT_EQ(wdgShowAll(set), 0);
  for (widget_t* w : Widgets(set)) EXPECT_EQ(w->visible, 1);
  EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"0:6", "1:6", "2:6", "3:6", "0:3", "1:3", "2:3", "3:3"}));
  {
    FakeContext context(window->window);
    Spied().clear();
    Calls().clear();
    EXPECT_EQ(wdgDrawAll(set), 0);
    ASSERT_FALSE(Calls().empty());
    EXPECT_EQ(Calls()[0], "makecurrent") << "the pass starts in the set's context";
    EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"0:3", "1:3", "2:3", "3:3"}));
    Unload(set);
  }
}

TEST_F(SetTest, NothingIsDrawnAfterHideAll) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE X="1" Y="1" X2="30" Y2="30"/><FRAME WIDTH="20" HEIGHT="20"/>)");
  ASSERT_NE(set, nullptr);
  wdgShowAll(set);
  SpyOn(set);
  EXPECT_EQ(wdgHideAll(set), 0);
  for (widget_t* w : Widgets(set)) EXPECT_EQ(w->visible, 0);
  EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"0:7", "1:7", "2:7"}));
  Calls().clear();
  wdgDrawAll(set);
  wdgProcess(set);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(SetTest, ProcessRunsOneFrame) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE/>)");
  ASSERT_NE(set, nullptr);
  wdgShowAll(set);
  SpyOn(set);
  EXPECT_EQ(wdgProcess(set), 0);
  std::vector<std::string> types = SpiedTypes(set);
  ASSERT_GE(types.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(types.end() - 2, types.end()), (std::vector<std::string>{"0:3", "1:3"}));
}

TEST_F(SetTest, UnloadDestroysTheWidgetsThenTheWindowAndFreesEverything) {
  SYS_List_p set =
      LoadKept(R"(<WINDOW TITLE="t" NAME="n"/><LABEL TITLE="a" NAME="b" VALUE="x" WIDTH="64" HEIGHT="16"/><LINE/>)");
  ASSERT_NE(set, nullptr);
  const std::vector<widget_t*> widgets = Widgets(set);
  wdgShowAll(set);
  SpyOn(set);
  Unload(set);
  EXPECT_EQ(SpiedTypes(widgets), (std::vector<std::string>{"1:5", "2:5", "0:5"}));
  // TearDown checks that no tracked block is left.
}

TEST_F(SetTest, TheWindowsOwnCloseReachesNoWidgetOnUnload) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE/>)");
  ASSERT_NE(set, nullptr);
  wdgShowAll(set);
  static int closes = 0;
  closes = 0;
  wdgSetCallbackAll(set, [](widget_t*, wm_event_t* e) -> int32_t {
    if (e->type == WM_EVENT_WINDOW) ++closes;
    return 0;
  });
  Unload(set);
  EXPECT_EQ(closes, 0);
}

// --- lookups and callbacks ------------------------------------------------------------------------

TEST_F(SetTest, FindGivesTheFirstWidgetWithTheIdOrKind) {
  SYS_List_p set = LoadKept(R"(<WINDOW ID="1"/><LABEL ID="7" WIDTH="64" HEIGHT="16"/><LINE ID="7"/><LINE ID="8"/>)");
  ASSERT_NE(set, nullptr);
  std::vector<widget_t*> w = Widgets(set);
  EXPECT_EQ(wdgFind(set, 7), w[1]);
  EXPECT_EQ(wdgFind(set, 8), w[3]);
  EXPECT_EQ(wdgFindKind(set, WDG_KIND_LINE), w[2]);
  EXPECT_EQ(wdgFindKind(set, WDG_KIND_WINDOW), w[0]);
  EXPECT_EQ(errGetLastError(), 0);
  EXPECT_EQ(wdgFind(set, 99), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  EXPECT_EQ(wdgFindKind(set, WDG_KIND_PROGRESS), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  EXPECT_EQ(wdgFind(nullptr, 1), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(wdgFindKind(nullptr, 0), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST_F(SetTest, CallbacksAreSetOnOneOrAll) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE/><FRAME/>)");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(wdgSetCallbackAll(set, Ignore), 0);
  for (widget_t* w : Widgets(set)) EXPECT_EQ(w->callback, Ignore);
  widget_t* line = Widgets(set)[1];
  EXPECT_EQ(wdgSetCallback(line, Other), 0);
  EXPECT_EQ(line->callback, Other);
  EXPECT_EQ(wdgSetCallback(line, nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(line->callback, Other);
  EXPECT_EQ(wdgSetCallbackAll(set, nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(wdgSetCallbackAll(nullptr, Ignore), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST_F(SetTest, SetOperationsRefuseANullSet) {
  const std::function<int(SYS_List_p)> operations[] = {wdgUnload, wdgShowAll, wdgHideAll, wdgDrawAll, wdgProcess};
  for (const auto& op : operations) {
    EXPECT_EQ(op(nullptr), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
  }
}

// --- one widget ---------------------------------------------------------------------------------

struct FlagCase {
  const char* name;
  std::function<int(widget_t*)> op;
  int32_t widget_t::*flag;
  int32_t before, after;
  int32_t event;
};

TEST_F(SetTest, ShowHideEnableDisableRedrawSetTheirFlagAndSendTheirEvent) {
  const FlagCase cases[] = {
      {"show", wdgShow, &widget_t::visible, 0, 1, WDG_EVENT_SHOW},
      {"hide", wdgHide, &widget_t::visible, 1, 0, WDG_EVENT_HIDE},
      {"enable", wdgEnable, &widget_t::disabled, 1, 0, WDG_EVENT_ENABLE},
      {"disable", wdgDisable, &widget_t::disabled, 0, 1, WDG_EVENT_DISABLE},
      {"redraw", wdgRedraw, &widget_t::disabled, 1, 0, WDG_EVENT_DRAW},
  };
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE/>)");
  ASSERT_NE(set, nullptr);
  widget_t* line = Widgets(set)[1];
  SpyOn(set);
  for (const FlagCase& c : cases) {
    SCOPED_TRACE(c.name);
    Spied().clear();
    line->*c.flag = c.before;
    EXPECT_EQ(c.op(line), 0);
    EXPECT_EQ(line->*c.flag, c.after);
    EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"1:" + std::to_string(c.event)}));
    EXPECT_EQ(c.op(nullptr), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
  }
}

TEST_F(SetTest, PositionAndSizeAreSetAndRead) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE X="1" Y="2" WIDTH="3" HEIGHT="4"/>)");
  ASSERT_NE(set, nullptr);
  widget_t* line = Widgets(set)[1];
  int32_t a = 0, b = 0;
  EXPECT_EQ(wdgGetPos(line, &a, &b), 0);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  EXPECT_EQ(wdgGetSize(line, &a, &b), 0);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  SpyOn(set);
  EXPECT_EQ(wdgSetPos(line, 10, 20), 0);
  EXPECT_EQ(wdgSetSize(line, 30, 40), 0);
  EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"1:10", "1:10"}));
  EXPECT_EQ(wdgGetPos(line, &a, nullptr), 0);
  EXPECT_EQ(a, 10);
  EXPECT_EQ(wdgGetPos(line, nullptr, &b), 0);
  EXPECT_EQ(b, 20);
  EXPECT_EQ(wdgGetSize(line, &a, nullptr), 0);
  EXPECT_EQ(a, 30);
  EXPECT_EQ(wdgGetSize(line, nullptr, &b), 0);
  EXPECT_EQ(b, 40);
}

TEST_F(SetTest, TitleAndSourceAreCopiedAndReplaced) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE TITLE="old" SRC="old.tga"/>)");
  ASSERT_NE(set, nullptr);
  widget_t* line = Widgets(set)[1];
  SpyOn(set);
  std::string title = "new title";
  EXPECT_EQ(wdgSetTitle(line, title.c_str()), 0);
  title[0] = 'X';
  EXPECT_STREQ(line->title, "new title");
  EXPECT_EQ(wdgSetSrc(line, "new.tga"), 0);
  EXPECT_STREQ(line->src, "new.tga");
  EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>{"1:10", "1:10"}));
  EXPECT_EQ(wdgSetTitle(line, nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(wdgSetSrc(nullptr, "x"), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_STREQ(line->title, "new title");
}

TEST_F(SetTest, NullWidgetsGiveErrorTen) {
  int32_t v = 0;
  const std::function<int()> calls[] = {
      [] { return wdgChanged(nullptr); },
      [] { return wdgSetTitle(nullptr, "x"); },
      [&] { return wdgGetPos(nullptr, &v, &v); },
      [&] { return wdgGetSize(nullptr, &v, &v); },
      [] { return wdgSetPos(nullptr, 1, 2); },
      [] { return wdgSetSize(nullptr, 1, 2); },
      [] { return wdgSetCallback(nullptr, Ignore); },
      [] { return wdgGetValue(nullptr); },
      [] { return static_cast<int>(wdgGetValueFloat(nullptr)); },
  };
  for (const auto& call : calls) {
    EXPECT_EQ(call(), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
  }
  EXPECT_EQ(wdgGetValueStr(nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  widget_t bare{};
  EXPECT_EQ(wdgChanged(&bare), -1) << "a widget without a kind cannot be told";
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST_F(SetTest, ValuesAreReadAsTheyWereGiven) {
  SYS_List_p set =
      LoadKept(R"(<WINDOW/><LINE ID="1" VALUE="3"/><LINE ID="2" VALUE="0.25"/><LINE ID="3" VALUE="abc"/>)");
  ASSERT_NE(set, nullptr);
  EXPECT_EQ(wdgGetValue(wdgFind(set, 1)), 3);
  EXPECT_FLOAT_EQ(wdgGetValueFloat(wdgFind(set, 2)), 0.25f);
  EXPECT_STREQ(wdgGetValueStr(wdgFind(set, 3)), "abc");
  EXPECT_EQ(wdgGetValueStr(wdgFind(set, 1)), nullptr);
}

TEST_F(SetTest, ACheckBoxReadsOneAfterATickAndZeroAfterTheNext) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><CHECKBOX ID="1" X="10" Y="10" WIDTH="100" HEIGHT="20" TITLE="c"/>)");
  ASSERT_NE(set, nullptr);
  wm_window_t* window = Widgets(set)[0]->window;
  widget_t* box = wdgFind(set, 1);
  ASSERT_NE(box, nullptr);
  wdgShowAll(set);
  EXPECT_EQ(wdgGetValue(box), 0);
  for (int32_t expected : {1, 0, 1}) {
    Route(Press(window, 50, 20));
    Route(Release(window, 50, 20));
    wdgDrawAll(set);
    EXPECT_EQ(wdgGetValue(box), expected);
  }
}

TEST_F(SetTest, ACheckBoxGivenAsTickedReadsOne) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><CHECKBOX ID="1" VALUE="1"/><CHECKBOX ID="2" VALUE="0"/>)");
  ASSERT_NE(set, nullptr);
  ASSERT_NE(wdgFind(set, 1), nullptr);
  EXPECT_EQ(wdgGetValue(wdgFind(set, 1)), 1);
  EXPECT_EQ(wdgGetValue(wdgFind(set, 2)), 0);
}

// --- colour setters -----------------------------------------------------------------------------

struct ColourSetter {
  const char* name;
  int (*text)(widget_t*, const char*);
  int (*bytes)(widget_t*, int32_t, int32_t, int32_t, int32_t);
  float (widget_style_t::*field)[4];
};

const ColourSetter kSetters[] = {
    {"FC", wdgSetFC, wdgSetFCi, &widget_style_t::fc},     {"BC", wdgSetBC, wdgSetBCi, &widget_style_t::bc},
    {"OC", wdgSetOC, wdgSetOCi, &widget_style_t::oc},     {"TC", wdgSetTC, wdgSetTCi, &widget_style_t::tc},
    {"BTC", wdgSetBTC, wdgSetBTCi, &widget_style_t::btc}, {"BBC", wdgSetBBC, wdgSetBBCi, &widget_style_t::bbc},
    {"BLC", wdgSetBLC, wdgSetBLCi, &widget_style_t::blc}, {"BRC", wdgSetBRC, wdgSetBRCi, &widget_style_t::brc},
};

void ExpectColour(const float* c, float r, float g, float b, float a) {
  EXPECT_NEAR(c[0], r, 1e-6);
  EXPECT_NEAR(c[1], g, 1e-6);
  EXPECT_NEAR(c[2], b, 1e-6);
  EXPECT_NEAR(c[3], a, 1e-6);
}

TEST_F(SetTest, ColourSettersSetTheirColourAndSendAChange) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE/>)");
  ASSERT_NE(set, nullptr);
  widget_t* line = Widgets(set)[1];
  SpyOn(set);
  for (const ColourSetter& s : kSetters) {
    SCOPED_TRACE(s.name);
    const float* c = line->style.*s.field;
    Spied().clear();
    EXPECT_EQ(s.text(line, "FF"), 0);
    ExpectColour(c, 0, 0, 0, 1);  // a short text fills from the low end: alpha only
    EXPECT_EQ(s.text(line, "11223344"), 0);
    ExpectColour(c, 0x11 / 255.0f, 0x22 / 255.0f, 0x33 / 255.0f, 0x44 / 255.0f);
    EXPECT_EQ(s.bytes(line, 100, 100, 100, 255), 0);
    ExpectColour(c, 0.392157f, 0.392157f, 0.392157f, 1.0f);
    EXPECT_EQ(s.bytes(line, 0x1FF, -1, 0x100, 0x80), 0);  // only the low 8 bits count
    ExpectColour(c, 1, 1, 0, 0x80 / 255.0f);
    EXPECT_EQ(SpiedTypes(set), (std::vector<std::string>(4, "1:10")));
    EXPECT_EQ(s.text(nullptr, "FF"), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(s.text(line, nullptr), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(s.bytes(nullptr, 1, 2, 3, 4), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
  }
}

TEST_F(SetTest, EachSetterTouchesOnlyItsOwnColour) {
  SYS_List_p set = LoadKept(R"(<WINDOW/><LINE/>)");
  ASSERT_NE(set, nullptr);
  widget_t* line = Widgets(set)[1];
  for (const ColourSetter& s : kSetters) {
    SCOPED_TRACE(s.name);
    widget_style_t before = line->style;
    s.bytes(line, 1, 2, 3, 4);
    for (const ColourSetter& other : kSetters) {
      if (other.field == s.field) continue;
      for (int i = 0; i < 4; ++i) EXPECT_EQ((line->style.*other.field)[i], (before.*other.field)[i]) << other.name;
    }
  }
}

}  // namespace
