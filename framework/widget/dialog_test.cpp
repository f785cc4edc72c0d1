// A dialog with every widget kind on a real X server (an Xvfb of the test's
// own) with Mesa's GL: it opens, draws text and images, answers a posted
// click, and leaves nothing behind when it is unloaded. A picture of it is
// written to screenshots/dialog.ppm in the test's build folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/base/main.h"
#include "framework/fr/FR.h"
#include "framework/tl/TM.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "framework/widget/widget_internal.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"
#include "framework/wm/wm_internal.h"
#include "platform/display.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 300;

// Every kind once, the two button forms, two radio buttons of one group.
const char* const kDialog = R"(<?xml version="1.0" encoding="ISO-8859-1"?>
<WINDOW title="Widget fixture" width="400" height="300" bg="bg.tga" fgcolor="FFFFFFFF">
  <FONT id="1" fontname="/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
        name="/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf" encoding="ISO-8859-1" size="14"/>
  <STYLE id="2" fc="FFCC00FF" bc="203040FF" tc="FFFFFFFF" bac="FFFFFFFF" font-size="12" font-encoding="ISO-8859-1"
         font-path="/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"/>
  <FRAME x="10" y="10" width="380" height="120"/>
  <LINE x="10" y="140" x2="390" y2="140" fgcolor="FF0000FF" depth="2"/>
  <LABEL x="20" y="16" width="256" height="32" fontid="1" color="FFFFFFFF" title="Hello, widgets"/>
  <IMG x="20" y="60" src="img.tga" fgcolor="FFFFFFFF"/>
  <BUTTON id="10" x="240" y="56" width="140" height="30" fontid="1" title="Press me"/>
  <BUTTON id="11" x="240" y="96" src="button.tga" fgcolor="FFFFFFFF"/>
  <CHECKBOX id="20" x="20" y="150" width="150" height="24" fontid="1" title="Check me"/>
  <RADIOBUTTON id="30" gid="1" x="20" y="180" width="150" height="24" fontid="1" title="One"/>
  <RADIOBUTTON id="31" gid="1" x="180" y="180" width="150" height="24" fontid="1" title="Two" value="1"/>
  <PROGRESS id="40" x="20" y="220" width="360" height="24" style="2" value="0.5"/>
  <GROUP id="50" wid="20" wid="30"/>
</WINDOW>
)";

const char* const kSecondDialog = R"(<WINDOW title="Second" width="200" height="100" x="0" y="0">
  <FONT id="1" fontname="/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
        name="/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf" encoding="ISO-8859-1" size="12"/>
  <LABEL x="10" y="70" width="180" height="24" fontid="1" color="FFFFFFFF" title="Second set"/>
  <IMG x="10" y="10" width="100" height="50" src="img.tga" fgcolor="FFFFFFFF"/>
</WINDOW>
)";

// A top-first 32-bit TGA whose pixels come from colour(x, y) as 0xRRGGBB.
template <class Colour>
tlfix::Bytes Image(int width, int height, Colour colour) {
  tlfix::TgaSpec s;
  s.width = width;
  s.height = height;
  s.bits = 32;
  s.imageType = 2;
  s.topFirst = true;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint32_t c = colour(x, y);
      s.pixels.insert(s.pixels.end(), {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8),
                                       static_cast<uint8_t>(c >> 16), 0xFF});
    }
  return tlfix::Tga(s);
}

struct Rgb {
  int r, g, b;
};

// A frame of the set drawn into its window's back buffer and read back,
// top row first.
class Picture {
 public:
  explicit Picture(int width = kWidth, int height = kHeight) : width_(width), height_(height) {}
  void Read(SYS_List_p set) {
    wmMakeCurrent(wdgFindKind(set, WDG_KIND_WINDOW)->window);
    for (SYS_List_p n = set; n; n = n->next) wdgSendEvent(static_cast<widget_t*>(n->data), WDG_EVENT_DRAW);
    pixels_.assign(static_cast<size_t>(width_) * height_ * 3, 0);
    wmGL.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    wmGL.glReadBuffer(GL_BACK);
    wmGL.glReadPixels(0, 0, width_, height_, GL_RGB, GL_UNSIGNED_BYTE, pixels_.data());
  }
  Rgb At(int x, int y) const {  // window coordinates, y downward
    const uint8_t* p = &pixels_[(static_cast<size_t>(height_ - 1 - y) * width_ + x) * 3];
    return {p[0], p[1], p[2]};
  }
  // Pixels of the rectangle that differ from its first pixel by more than 48.
  int Varied(int x0, int y0, int x1, int y1) const {
    Rgb first = At(x0, y0);
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) {
        Rgb c = At(x, y);
        n += std::abs(c.r - first.r) + std::abs(c.g - first.g) + std::abs(c.b - first.b) > 48;
      }
    return n;
  }
  void Save(const std::string& path) const {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
      std::fprintf(f, "P6\n%d %d\n255\n", width_, height_);
      for (int y = 0; y < height_; ++y)
        std::fwrite(&pixels_[static_cast<size_t>(height_ - 1 - y) * width_ * 3], 1, static_cast<size_t>(width_) * 3, f);
      std::fclose(f);
    }
  }

 private:
  int width_, height_;
  std::vector<uint8_t> pixels_;
};

bool Near(Rgb c, int r, int g, int b, int tolerance = 24) {
  return std::abs(c.r - r) <= tolerance && std::abs(c.g - g) <= tolerance && std::abs(c.b - b) <= tolerance;
}

std::vector<int> clicks;  // IDs whose callback saw the left button held
int32_t OnEvent(widget_t* w, wm_event_t* e) {
  if (e->type == WM_EVENT_MOUSE && e->mouse.left == 1) clicks.push_back(w->id);
  return 0;
}

void Frames(SYS_List_p set, int n) {
  for (int i = 0; i < n; ++i) ASSERT_EQ(wdgProcess(set), 0);
}

void Click(wm_window_t* window, SYS_List_p set, int x, int y) {
  PostMessageA(window->hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
  PostMessageA(window->hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(window->hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  Frames(set, 1);
}

TEST(Dialog, EveryKindOpensDrawsAnswersAndUnloads) {
  qt::OwnXServer server;
  if (!server.running() || !plat::DisplayAvailable()) GTEST_SKIP() << "no X server";
  qt::ExpectPassesInChild([] {
    static qt::Args args{"\\bin\\dialog_test"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    ASSERT_EQ(wmInit(), 0);
    ASSERT_EQ(glu_stub(), 0);
    tlfix::MemFiles& files = tlfix::UseMemFiles();
    files.files["bg.tga"] = Image(64, 64, [](int x, int y) { return (x + y) % 16 < 8 ? 0x18243Au : 0x202E48u; });
    files.files["img.tga"] = Image(200, 50, [](int x, int) { return x < 100 ? 0xE03020u : 0x2060E0u; });
    // Four frames of 16 rows: normal, mouse over, pressed, disabled.
    files.files["button.tga"] = Image(64, 64, [](int, int y) {
      const uint32_t bands[4] = {0x40A040u, 0x60E060u, 0x206020u, 0x606060u};
      return bands[y / 16];
    });
    ASSERT_EQ(ftInit(), 0);
    ASSERT_EQ(tmInit(), 0);
    txOptions(TX_OPT_ORDER, 1);
    ASSERT_EQ(wdgInit(), 0);
    const size_t blocksBefore = tlfix::TrackedBlocks().size();

    SYS_List_p set = wdgLoad(WDG_SOURCE_TEXT, kDialog);
    ASSERT_NE(set, nullptr);
    int kinds = 0;
    for (SYS_List_p n = set; n; n = n->next) kinds |= 1 << static_cast<widget_t*>(n->data)->kind;
    EXPECT_EQ(kinds, (1 << WDG_KIND_COUNT) - 1) << "every kind loaded";
    ASSERT_EQ(wdgSetCallbackAll(set, OnEvent), 0);
    widget_t* window = wdgFindKind(set, WDG_KIND_WINDOW);
    ASSERT_NE(window, nullptr);
    ASSERT_NE(window->window, nullptr);

    ASSERT_EQ(wdgShowAll(set), 0);
    Frames(set, 3);
    Picture picture;
    picture.Read(set);
    picture.Save("screenshots/dialog.ppm");
    EXPECT_GT(picture.Varied(20, 16, 276, 48), 40) << "the label shows text";
    EXPECT_TRUE(Near(picture.At(60, 85), 0xE0, 0x30, 0x20)) << "the image's left half";
    EXPECT_TRUE(Near(picture.At(180, 85), 0x20, 0x60, 0xE0)) << "the image's right half";
    EXPECT_TRUE(Near(picture.At(270, 104), 0x40, 0xA0, 0x40)) << "the image button's first frame";
    // The bar is drawn over what the text before it left blended.
    EXPECT_GT(picture.At(25, 232).r, 0xE0) << "the progress bar's filled half";
    EXPECT_LT(picture.At(370, 232).r, 0x80) << "and its empty half";
    EXPECT_TRUE(Near(picture.At(200, 140), 0xFF, 0x00, 0x00, 60)) << "the line";
    EXPECT_GT(picture.Varied(242, 58, 378, 84), 20) << "the text button shows its text";

    // A posted press and release on the text button reach its callback.
    clicks.clear();
    Click(window->window, set, 300, 70);
    EXPECT_EQ(std::count(clicks.begin(), clicks.end(), 10), 1);
    // The check box ticks.
    widget_t* check = wdgFind(set, 20);
    ASSERT_NE(check, nullptr);
    const int32_t before = wdgGetValue(check);
    Click(window->window, set, 60, 162);
    EXPECT_NE(wdgGetValue(check), before);

    // Hidden and shown again, the dialog keeps its one window.
    HWND first = window->window->hwnd;
    ASSERT_EQ(wdgHideAll(set), 0);
    Frames(set, 1);
    ASSERT_EQ(wdgShowAll(set), 0);
    EXPECT_EQ(window->window->hwnd, first);
    Frames(set, 2);

    // A second dialog, loaded while the first stays: its widgets get their
    // own texture names, and the image both name is the one cached texture,
    // valid in both windows' contexts.
    SYS_List_p second = wdgLoad(WDG_SOURCE_TEXT, kSecondDialog);
    ASSERT_NE(second, nullptr);
    widget_t* label = wdgFindKind(second, WDG_KIND_LABEL);
    widget_t* firstLabel = wdgFindKind(set, WDG_KIND_LABEL);
    ASSERT_TRUE(label && firstLabel && label->name && firstLabel->name);
    EXPECT_STRNE(label->name, firstLabel->name);
    ASSERT_EQ(wdgShowAll(second), 0);
    Frames(second, 2);
    Picture small(200, 100);
    small.Read(second);
    small.Save("screenshots/second.ppm");
    EXPECT_TRUE(Near(small.At(40, 40), 0xE0, 0x30, 0x20)) << "the shared image in the second window";
    ASSERT_EQ(wdgUnload(second), 0);
    // The first dialog still has its image.
    Frames(set, 2);
    picture.Read(set);
    EXPECT_TRUE(Near(picture.At(60, 85), 0xE0, 0x30, 0x20)) << "the image outlives the other set";

    ASSERT_EQ(wdgUnload(set), 0);
    tmDone();
    ftDone();  // the faces stay registered until the renderer ends
    EXPECT_EQ(tlfix::TrackedBlocks().size(), blocksBefore) << "unloading leaves no block behind";
  });
}

}  // namespace
