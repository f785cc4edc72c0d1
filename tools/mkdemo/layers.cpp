#include "tools/mkdemo/layers.h"

#include <algorithm>
#include <charconv>
#include <initializer_list>
#include <utility>

namespace mkdemo {
namespace {

struct Colour {
  float r, g, b, a;
};

constexpr Colour kWhite{255, 255, 255, 255};
constexpr Colour kBlack{0, 0, 0, 255};
constexpr Colour kSteel{137, 172, 216, 255};
constexpr Colour kGold{241, 210, 126, 255};

Colour WithAlpha(Colour c, float a) { return Colour{c.r, c.g, c.b, a}; }
Colour Times(Colour c, float k) { return Colour{c.r * k, c.g * k, c.b * k, c.a}; }

constexpr int kBlendOpaque = 0;
constexpr int kBlendAdd = 1;
constexpr int kBlendAlpha = 2;

IfeKey Key(int time, float x, float y, float w, float h, Colour c, int easing = 0, float rotation = 0) {
  IfeKey k;
  k.time = time;
  k.x = x;
  k.y = y;
  k.width = w;
  k.height = h;
  k.red = c.r;
  k.green = c.g;
  k.blue = c.b;
  k.alpha = c.a;
  k.easing = easing;
  k.rotation = rotation;
  return k;
}

IfeLayer Layer(std::string texture, int blend, std::initializer_list<IfeKey> keys) {
  return IfeLayer{std::move(texture), blend, std::vector<IfeKey>(keys)};
}

IfeLayer Still(std::string texture, int blend, float x, float y, float w, float h, Colour c) {
  return Layer(std::move(texture), blend, {Key(0, x, y, w, h, c)});
}

// An untextured rectangle given by its edges (y up).
IfeLayer Rect(float x0, float y0, float x1, float y1, Colour c) {
  return Still("white.tga", kBlendAlpha, (x0 + x1) / 2, (y0 + y1) / 2, x1 - x0, y1 - y0, c);
}

// A layer that keeps its place and fades through the given (time, alpha) pairs.
IfeLayer Fading(std::string texture, int blend, float x, float y, float w, float h, Colour c,
                std::initializer_list<std::pair<int, float>> alphas, int easing = 0) {
  IfeLayer layer{std::move(texture), blend, {}};
  for (const auto& [t, a] : alphas) layer.keys.push_back(Key(t, x, y, w, h, WithAlpha(c, a), easing));
  return layer;
}

// Textured, white and invisible: it leaves texturing on and the colour white
// for what the program draws after the set (scrollers, meters, credits).
IfeLayer StateLayer(int blend) { return Still("glow.tga", blend, -64, -64, 0, 0, kWhite); }

// --- screens -------------------------------------------------------------------

IfeFile Loading() {
  // Drawn at 18 to 1044 while the ring of ticks fills around (640, 472).
  IfeFile f{"loading.ife", {}};
  f.layers.push_back(Layer("bgintro.tga", kBlendOpaque,
                           {Key(0, 640, 360, 1360, 765, kBlack), Key(200, 640, 360, 1340, 754, Times(kSteel, 0.55f)),
                            Key(1100, 640, 360, 1290, 726, Times(kSteel, 0.55f))}));
  f.layers.push_back(Layer("glow.tga", kBlendAdd,
                           {Key(0, 640, 472, 200, 200, kBlack), Key(1100, 640, 472, 520, 520, Times(kSteel, 0.35f))}));
  f.layers.push_back(Fading("ttitle.tga", kBlendAlpha, 640, 250, 768, 96, kWhite,
                            {{0, 0}, {150, 0}, {450, 255}, {1100, 255}}, 1));
  f.layers.push_back(Fading("tload.tga", kBlendAlpha, 640, 190, 256, 32, kWhite,
                            {{0, 0}, {300, 0}, {500, 255}, {1100, 255}}));
  return f;
}

IfeFile PreIntro() {
  // E / 8.727 over the first 8727 ms: times 0 to 1000.
  IfeFile f{"preintro.ife", {}};
  f.layers.push_back(Layer("glow.tga", kBlendAdd,
                           {Key(0, 640, 380, 300, 300, kBlack), Key(400, 640, 380, 1100, 700, Times(kSteel, 0.3f)),
                            Key(900, 640, 380, 1300, 800, Times(kSteel, 0.2f)), Key(1000, 640, 380, 1300, 800, kBlack)}));
  f.layers.push_back(Layer("streak.tga", kBlendAdd,
                           {Key(0, 100, 382, 300, 10, kBlack), Key(150, 300, 382, 700, 14, Times(kSteel, 0.7f), 1),
                            Key(600, 980, 382, 900, 14, Times(kSteel, 0.5f)), Key(900, 1180, 382, 400, 8, kBlack),
                            Key(1000, 1180, 382, 400, 8, kBlack)}));
  f.layers.push_back(Fading("tmorrow.tga", kBlendAlpha, 640, 390, 512, 64, kWhite,
                            {{0, 0}, {80, 0}, {280, 255}, {820, 255}, {980, 0}, {1000, 0}}, 1));
  f.layers.push_back(Fading("tpresent.tga", kBlendAlpha, 640, 336, 256, 32, kWhite,
                            {{0, 0}, {300, 0}, {480, 255}, {820, 255}, {980, 0}, {1000, 0}}));
  return f;
}

// One intro slide: the nebula tinted in the slide's colour, slowly zooming,
// a sweeping light, the disk's title and one credit line.
IfeFile IntroSlide(const std::string& name, Colour tint, const std::string& credit, int length, bool last) {
  IfeFile f{name, {}};
  const int out = length - 650;
  IfeLayer bg{"bgintro.tga", kBlendOpaque, {}};
  bg.keys.push_back(Key(0, 640, 360, 1420, 799, kBlack));
  bg.keys.push_back(Key(700, 640, 360, 1405, 790, tint));
  if (last) {
    bg.keys.push_back(Key(length, 640, 360, 1290, 726, tint));
  } else {
    bg.keys.push_back(Key(out, 640, 360, 1310, 737, tint));
    bg.keys.push_back(Key(length, 640, 360, 1300, 731, kBlack));
  }
  f.layers.push_back(bg);
  f.layers.push_back(Layer("glow.tga", kBlendAdd,
                           {Key(0, 380, 470, 700, 500, kBlack), Key(1500, 520, 440, 900, 620, Times(tint, 0.35f)),
                            Key(length, 820, 400, 1000, 700, Times(tint, last ? 0.35f : 0.0f))}));
  f.layers.push_back(Layer("streak.tga", kBlendAdd,
                           {Key(0, -200, 436, 600, 12, kBlack), Key(500, 0, 436, 800, 16, Times(tint, 0.8f), 1),
                            Key(2600, 1280, 436, 900, 16, Times(tint, 0.4f)), Key(3400, 1500, 436, 500, 8, kBlack),
                            Key(length, 1500, 436, 500, 8, kBlack)}));
  const float titleW = last ? 1120 : 1024, titleH = last ? 140 : 128;
  IfeLayer title{"ttitle.tga", kBlendAlpha, {}};
  title.keys.push_back(Key(0, 640, 420, titleW * 0.92f, titleH * 0.92f, WithAlpha(kWhite, 0)));
  title.keys.push_back(Key(500, 640, 420, titleW * 0.94f, titleH * 0.94f, WithAlpha(kWhite, 0), 1));
  title.keys.push_back(Key(1600, 640, 420, titleW, titleH, kWhite));
  if (last) {
    title.keys.push_back(Key(length, 640, 420, titleW * 1.04f, titleH * 1.04f, kWhite));
  } else {
    title.keys.push_back(Key(out - 300, 640, 420, titleW * 1.02f, titleH * 1.02f, kWhite));
    title.keys.push_back(Key(length - 100, 640, 420, titleW * 1.03f, titleH * 1.03f, WithAlpha(kWhite, 0)));
    title.keys.push_back(Key(length, 640, 420, titleW * 1.03f, titleH * 1.03f, WithAlpha(kWhite, 0)));
  }
  f.layers.push_back(title);
  IfeLayer line{credit, kBlendAlpha, {}};
  line.keys.push_back(Key(0, 680, 320, 512, 64, WithAlpha(kWhite, 0)));
  line.keys.push_back(Key(1400, 680, 320, 512, 64, WithAlpha(kWhite, 0), 1));
  line.keys.push_back(Key(2500, 640, 320, 512, 64, kWhite));
  if (last) {
    line.keys.push_back(Key(length, 636, 320, 512, 64, kWhite));
  } else {
    line.keys.push_back(Key(out - 400, 630, 320, 512, 64, kWhite));
    line.keys.push_back(Key(out + 300, 620, 320, 512, 64, WithAlpha(kWhite, 0)));
    line.keys.push_back(Key(length, 620, 320, 512, 64, WithAlpha(kWhite, 0)));
  }
  f.layers.push_back(line);
  return f;
}

// Panels of the main screen, shared by the background and the frame.
struct Box {
  float x0, y0, x1, y1;
};
constexpr Box kListPanel{30, 222, 646, 700};
constexpr Box kListHeader{30, 664, 646, 700};
constexpr Box kPhotoPanel{735, 160, 1161, 522};
constexpr Box kButtonBar{1226, 505, 1272, 720};
constexpr Box kBottomStrip{0, 0, 1280, 128};

IfeLayer Fill(const Box& b, Colour c) { return Rect(b.x0, b.y0, b.x1, b.y1, c); }

void Outline(std::vector<IfeLayer>& layers, const Box& b, Colour c) {
  layers.push_back(Rect(b.x0, b.y1 - 1, b.x1, b.y1, c));
  layers.push_back(Rect(b.x0, b.y0, b.x1, b.y0 + 1, c));
  layers.push_back(Rect(b.x0, b.y0, b.x0 + 1, b.y1, c));
  layers.push_back(Rect(b.x1 - 1, b.y0, b.x1, b.y1, c));
}

void Corners(std::vector<IfeLayer>& layers, const Box& b, Colour c) {
  for (float x : {b.x0, b.x1 - 12})
    for (float y : {b.y0, b.y1 - 2}) layers.push_back(Rect(x, y, x + 12, y + 2, c));
  for (float x : {b.x0, b.x1 - 2})
    for (float y : {b.y0, b.y1 - 12}) layers.push_back(Rect(x, y, x + 2, y + 12, c));
}

IfeFile MainBackground() {
  IfeFile f{"main_bkg.ife", {}};
  f.layers.push_back(Still("bgmain.tga", kBlendOpaque, 640, 360, 1280, 720, kWhite));
  f.layers.push_back(Still("glow.tga", kBlendAdd, 300, 620, 1100, 700, Colour{34, 50, 78, 255}));
  f.layers.push_back(Still("glow.tga", kBlendAdd, 950, 330, 700, 600, Colour{24, 34, 52, 255}));
  f.layers.push_back(Fill(kListPanel, Colour{0, 0, 0, 96}));
  f.layers.push_back(Fill(kListHeader, Colour{137, 172, 216, 22}));
  f.layers.push_back(Fill(kPhotoPanel, Colour{0, 0, 0, 96}));
  f.layers.push_back(Rect(812, 181, 1076, 385, Colour{0, 0, 0, 170}));  // behind the photo
  f.layers.push_back(Rect(846, 409, 1071, 425, Colour{0, 0, 0, 140}));  // behind the volume bar
  f.layers.push_back(Fill(kBottomStrip, Colour{0, 0, 0, 120}));
  f.layers.push_back(Fill(kButtonBar, Colour{0, 0, 0, 90}));
  f.layers.push_back(Still("logo.tga", kBlendAlpha, 948, 638, 512, 128, kWhite));
  return f;
}

IfeFile Highlight() {
  // Time 0, 100 or 200: the column whose group holds the playing track.
  IfeFile f{"highlight.ife", {}};
  const float xs[3] = {138, 337.5f, 537.5f};
  IfeLayer tint{"white.tga", kBlendAlpha, {}}, glow{"glow.tga", kBlendAdd, {}}, line{"white.tga", kBlendAlpha, {}};
  for (int g = 0; g < 3; ++g) {
    tint.keys.push_back(Key(100 * g, xs[g], 430, 192, 412, Colour{137, 172, 216, 20}));
    glow.keys.push_back(Key(100 * g, xs[g], 682, 300, 70, Colour{60, 84, 120, 255}));
    line.keys.push_back(Key(100 * g, xs[g], 666, 150, 2, Colour{241, 210, 126, 210}));
  }
  f.layers = {tint, glow, line};
  return f;
}

IfeFile Frame() {
  IfeFile f{"keret.ife", {}};
  const Colour edge{137, 172, 216, 110};
  const Colour accent{241, 210, 126, 200};
  Outline(f.layers, kListPanel, edge);
  f.layers.push_back(Rect(kListHeader.x0, kListHeader.y0, kListHeader.x1, kListHeader.y0 + 1, edge));
  for (float x : {237.5f, 437.5f}) f.layers.push_back(Rect(x, 232, x + 1, 655, Colour{137, 172, 216, 40}));
  Outline(f.layers, kPhotoPanel, edge);
  f.layers.push_back(Rect(750, 440, 1146, 441, Colour{137, 172, 216, 50}));  // under the now-playing block
  Outline(f.layers, kButtonBar, edge);
  f.layers.push_back(Rect(0, 127, 1280, 128, edge));
  f.layers.push_back(Rect(638, 12, 640, 74, Colour{137, 172, 216, 60}));  // between the meters
  Corners(f.layers, kListPanel, accent);
  Corners(f.layers, kPhotoPanel, accent);
  return f;
}

IfeFile Gui() {
  // Drawn at the hover time of the button under the mouse, 0 for none. Each
  // picture covers its hot spot; textures are drawn at their own size (the
  // set is loaded with nearest filtering).
  struct Button {
    const char* texture;
    int left, bottom, width, height, hover;
    float glowShift;  // the arrows' plates sit left of their texture's centre
  };
  const Button buttons[] = {
      {"btnbonus.tga", 1163, 520, 32, 32, 20, 0}, {"btnend.tga", 1233, 670, 32, 64, 150, 0},
      {"btnpuz.tga", 1233, 600, 32, 64, 250, 0},  {"btnshuf.tga", 1233, 511, 32, 64, 350, 0},
      {"btnprev.tga", 750, 280, 32, 32, 450, -5}, {"btnnext.tga", 1126, 280, 32, 32, 550, -5},
  };
  const int times[] = {0, 20, 150, 250, 350, 450, 550};
  IfeFile f{"gui.ife", {}};
  for (const Button& b : buttons) {
    const float cx = b.left + b.width / 2.0f, cy = b.bottom + b.height / 2.0f;
    IfeLayer glow{"glow.tga", kBlendAdd, {}}, plate{b.texture, kBlendAlpha, {}};
    for (int t : times) {
      const bool on = t == b.hover;
      glow.keys.push_back(Key(t, cx + b.glowShift, cy, 64, 64,
                              on ? Colour{90, 125, 180, 255} : kBlack));
      plate.keys.push_back(Key(t, cx, cy, static_cast<float>(b.width), static_cast<float>(b.height),
                               on ? kWhite : Colour{190, 202, 222, 255}));
    }
    f.layers.push_back(glow);
    f.layers.push_back(plate);
  }
  return f;
}

// The spectrum lights under the bar meters; time is a band's level.
IfeFile Spectrum(const std::string& name, bool right, int band) {
  auto mx = [right](float x) { return right ? 1278 - x : x; };
  IfeFile f{name, {}};
  if (band == 0) {
    f.layers.push_back(Layer("glow.tga", kBlendAdd,
                             {Key(0, mx(470), 43, 300, 60, Colour{10, 16, 28, 255}),
                              Key(150, mx(460), 43, 560, 120, Colour{40, 60, 100, 255}),
                              Key(400, mx(440), 43, 820, 190, Colour{80, 115, 170, 255})}));
  } else if (band == 1) {
    f.layers.push_back(Layer("streak.tga", kBlendAdd,
                             {Key(0, mx(560), 43, 80, 10, kBlack),
                              Key(150, mx(470), 43, 420, 22, Colour{60, 110, 130, 255}),
                              Key(400, mx(400), 43, 640, 30, Colour{110, 180, 200, 255})}));
  } else {
    // A line of light along the top of the meters' strip, growing outward
    // from the middle, with a spark at its outer end.
    IfeLayer line{"streak.tga", kBlendAdd, {}}, spark{"glow.tga", kBlendAdd, {}};
    const std::pair<int, float> levels[] = {{0, 0.0f}, {30, 0.15f}, {80, 0.6f}, {150, 1.0f}};
    for (const auto& [t, k] : levels) {
      const float w = 80 + 1000 * k;
      line.keys.push_back(Key(t, mx(639 - w * 0.3f), 128, w, 6 + 6 * k, Times(kGold, 0.2f + 0.8f * k)));
      spark.keys.push_back(Key(t, mx(639 - w * 0.55f), 128, 20 + 30 * k, 20 + 30 * k, Times(kGold, k)));
    }
    f.layers.push_back(line);
    f.layers.push_back(spark);
    if (right) f.layers.push_back(StateLayer(kBlendAdd));
  }
  return f;
}

IfeFile BonusBackground() {
  IfeFile f{"bonus_bkg.ife", {}};
  f.layers.push_back(Still("bgbonus.tga", kBlendOpaque, 640, 360, 1280, 720, kWhite));
  f.layers.push_back(Still("glow.tga", kBlendAdd, 640, 300, 1200, 700, Colour{40, 32, 64, 255}));
  const Box panel{430, 134, 850, 432};
  f.layers.push_back(Fill(panel, Colour{0, 0, 0, 110}));
  Outline(f.layers, panel, Colour{170, 150, 220, 110});
  Corners(f.layers, panel, WithAlpha(kGold, 200));
  f.layers.push_back(Fill(kBottomStrip, Colour{0, 0, 0, 110}));
  f.layers.push_back(Still("logo.tga", kBlendAlpha, 640, 600, 512, 128, kWhite));
  f.layers.push_back(Still("tbonus.tga", kBlendAlpha, 640, 478, 512, 64, kGold));
  return f;
}

IfeFile EndScroll() {
  // Drawn at 500 behind the credits, which take the colour it leaves.
  IfeFile f{"endscroll.ife", {}};
  f.layers.push_back(Still("bgend.tga", kBlendOpaque, 640, 360, 1280, 720, kWhite));
  f.layers.push_back(Still("glow.tga", kBlendAdd, 640, 360, 1300, 900, Colour{50, 36, 26, 255}));
  f.layers.push_back(Rect(128, 0, 1152, 720, Colour{0, 0, 0, 70}));
  f.layers.push_back(Rect(127, 0, 128, 720, Colour{241, 210, 126, 60}));
  f.layers.push_back(Rect(1152, 0, 1153, 720, Colour{241, 210, 126, 60}));
  f.layers.push_back(StateLayer(kBlendAlpha));
  return f;
}

IfeFile EndOverlay() {
  // E / 55 while the outro plays (about 0 to 1180): soft edges over the
  // rising credits, a fade from black at the start and to black at the end.
  IfeFile f{"end2.ife", {}};
  f.layers.push_back(Still("fade.tga", kBlendAlpha, 640, 670, 1280, 100, Colour{10, 8, 10, 255}));
  f.layers.push_back(Layer("fade.tga", kBlendAlpha, {Key(0, 640, 50, 1280, -100, Colour{10, 8, 10, 255})}));
  f.layers.push_back(Fading("white.tga", kBlendAlpha, 640, 360, 1280, 720, kBlack,
                            {{0, 255}, {25, 0}, {1110, 0}, {1172, 255}, {1200, 255}}));
  return f;
}

IfeFile Fade(const std::string& name, Colour c, int length) {
  IfeFile f{name, {}};
  f.layers.push_back(Fading("white.tga", kBlendAlpha, 640, 360, 1280, 720, c, {{0, 0}, {length, 255}}));
  return f;
}

// Loaded but never drawn by any screen.
IfeFile Unused(const std::string& name) {
  IfeFile f{name, {}};
  f.layers.push_back(Still("white.tga", kBlendAlpha, 640, 360, 1280, 720, WithAlpha(kBlack, 0)));
  return f;
}

void AppendNumber(std::string& out, float v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

void AppendNumber(std::string& out, int v) {
  char buf[16];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, r.ptr);
}

}  // namespace

std::vector<IfeFile> BuildLayerFiles() {
  const Colour steel = Times(kSteel, 0.95f);
  return {
      Loading(),
      Unused("v_blur.ife"),
      Unused("h_blur.ife"),
      Fade("blackfade.ife", kBlack, 1069),
      Fade("whitefade.ife", kWhite, 1000),
      IntroSlide("intro00.ife", steel, "tcred0.tga", 8730, false),
      IntroSlide("intro01.ife", Colour{150, 126, 205, 255}, "tcred1.tga", 8730, false),
      IntroSlide("intro02.ife", Colour{96, 170, 172, 255}, "tcred2.tga", 8730, false),
      IntroSlide("intro03.ife", Colour{205, 160, 112, 255}, "tcred3.tga", 8730, false),
      IntroSlide("intro04.ife", steel, "tcred4.tga", 10864, true),
      MainBackground(),
      BonusBackground(),
      Spectrum("bal_mely.ife", false, 0),
      Spectrum("bal_kozep.ife", false, 1),
      Spectrum("bal_magas.ife", false, 2),
      Spectrum("jobb_mely.ife", true, 0),
      Spectrum("jobb_kozep.ife", true, 1),
      Spectrum("jobb_magas.ife", true, 2),
      Frame(),
      PreIntro(),
      Gui(),
      EndScroll(),
      EndOverlay(),
      Highlight(),
  };
}

std::string FormatIfe(const IfeFile& file) {
  std::string out = "# " + file.name + " - interface layers of the zentrove musicdisk\n";
  AppendNumber(out, static_cast<int>(file.layers.size()));
  out += "\n0\n";
  for (const IfeLayer& layer : file.layers) {
    out += layer.texture + "\n-\n-\n";
    AppendNumber(out, static_cast<int>(layer.keys.size()));
    out += "\n";
    AppendNumber(out, layer.blend);
    out += "\n";
    for (const IfeKey& k : layer.keys) {
      AppendNumber(out, k.time);
      for (float v : {k.x, k.y}) {
        out += ' ';
        AppendNumber(out, v);
      }
      out += ' ';
      AppendNumber(out, k.easing);
      for (float v : {k.rotation, k.width, k.height, k.red, k.green, k.blue, k.alpha}) {
        out += ' ';
        AppendNumber(out, v);
      }
      out += "\n";
    }
  }
  return out;
}

std::vector<std::string> ImageNames(const IfeFile& file) {
  std::vector<std::string> names;
  for (const IfeLayer& layer : file.layers)
    if (layer.texture != "white.tga" &&
        std::find(names.begin(), names.end(), layer.texture) == names.end())
      names.push_back(layer.texture);
  return names;
}

}  // namespace mkdemo
