#include "tools/mkdemo/mockup.h"

#include <cmath>
#include <cstdio>
#include <map>
#include <string>

#include "tools/mkdemo/disk.h"
#include "tools/mkdemo/preview.h"

namespace mkdemo {
namespace {

const IfeFile& Find(const std::vector<IfeFile>& files, const std::string& name) {
  for (const IfeFile& f : files)
    if (f.name == name) return f;
  return files.front();
}

Rgba C255(int r, int g, int b, int a = 255) { return Rgb255(r, g, b, a); }

// The spectrum sets and meters at a fixed, lively level.
void Meters(Preview& p, const DemoContent& c, const std::map<std::string, const Canvas*>& tex) {
  for (const char* side : {"bal_", "jobb_"}) {
    p.Layers(Find(c.layers, std::string(side) + "mely.ife"), 300);
    p.Layers(Find(c.layers, std::string(side) + "kozep.ife"), 220);
    p.Layers(Find(c.layers, std::string(side) + "magas.ife"), 110);
  }
  const int blocks[7] = {60, 48, 40, 30, 24, 14, 8};
  for (int band = 0; band < 7; ++band) {
    const float y = 15.0f + 8 * band;
    for (int k = 0; k < blocks[band]; ++k) {
      p.Quad(tex.at("eq.tga"), 633.0f - 4 * k, y, 641.0f - 4 * k, y + 8, C255(255, 255, 255), 1);
      p.Quad(tex.at("eq.tga"), 645.0f + 4 * k, y, 653.0f + 4 * k, y + 8, C255(255, 255, 255), 1);
    }
  }
}

void MainScreen(Preview& p, const DemoContent& c, const std::map<std::string, const Canvas*>& tex) {
  p.Clear();
  p.Layers(Find(c.layers, "main_bkg.ife"), 0);
  p.Text16(ScrollText().substr(0, 180), 40, 84, C255(137, 172, 216));
  p.Layers(Find(c.layers, "highlight.ife"), 100);
  Meters(p, c, tex);
  p.Quad(tex.at("volume.tga"), 851, 413, 1066, 421, C255(255, 255, 255), 1, 0.83984375f, 1);
  p.Quad(tex.at("volume.tga"), 851, 413, 851 + 2.15f * 70, 421, C255(255, 255, 255), 1, 2.15f * 70 / 256, 1);
  const float headings[3] = {140, 339, 538};
  const char* names[3] = {"morrowkin", "arbolt", "quellane"};
  for (int i = 0; i < 3; ++i) p.Text16(names[i], headings[i], 677, C255(72, 92, 119), true);
  const int currentTrack = 4;
  for (int col = 1; col <= 3; ++col) {
    int r = 0;
    for (int i = 0; i < kTrackCount; ++i) {
      const Track& t = Tracks()[static_cast<size_t>(i)];
      if (t.column != col) continue;
      const float y0 = 600.0f - 50 * r;
      const float tx[3] = {50, 250, 450};
      const float bands[3][2] = {{43, 233}, {242, 432}, {442, 632}};
      if (i == currentTrack)
        p.Quad(nullptr, bands[col - 1][0], y0 - 15, bands[col - 1][1], y0 + 22, C255(0, 0, 0), 2);
      const bool lit = col == 2;
      Rgba a = lit ? C255(255, 255, 255) : C255(26, 26, 26);
      Rgba b = lit ? C255(137, 172, 216) : C255(14, 17, 22);
      if (i == currentTrack) a = b = C255(245, 226, 173);
      p.Text16(t.remixer, tx[col - 1], y0, a);
      p.Text16(t.title, tx[col - 1], y0 - 9, a);
      p.Text16(t.original, tx[col - 1], y0 - 18, b);
      ++r;
    }
  }
  p.Text16(Tracks()[0].title.substr(0, 12), 947 - 40, 377, C255(63, 84, 114));
  p.Quad(&c.photos[5], 816, 185, 1072, 381, C255(255, 255, 255), 2);
  p.Text16("now playing:", 822, 494, C255(137, 172, 216));
  const Track& now = Tracks()[currentTrack];
  p.Text16(now.remixer, 822, 480, C255(255, 255, 255));
  p.Text16(now.title, 822, 470, C255(255, 255, 255));
  p.Text16(now.original, 822, 460, C255(241, 210, 126));
  p.Text16("01:23", 1010, 460, C255(255, 255, 255));
  p.Layers(Find(c.layers, "keret.ife"), 0);
  p.Layers(Find(c.layers, "gui.ife"), 250);
}

void BonusScreen(Preview& p, const DemoContent& c, const std::map<std::string, const Canvas*>& tex) {
  p.Clear();
  p.Layers(Find(c.layers, "bonus_bkg.ife"), 0);
  for (int r = 0; r < 9; ++r) {
    const Track& t = Tracks()[static_cast<size_t>(19 + r)];
    const float y0 = 400.0f - 32 * r;
    const bool current = r == 2;
    if (current) p.Quad(nullptr, 500, y0 - 4, 780, y0 + 20, C255(0, 0, 0), 2);
    p.Text16(t.title, 640, y0, current ? C255(245, 226, 173) : C255(255, 255, 255), true);
    p.Text16(t.original, 640, y0 - 9, current ? C255(245, 226, 173) : C255(137, 172, 216), true);
  }
  p.Text16("back to main menu", 640, 94, C255(255, 255, 255), true);
  Meters(p, c, tex);
}

void EndScreen(Preview& p, const DemoContent& c, const std::map<std::string, const Canvas*>& tex, float e) {
  p.Clear();
  p.Layers(Find(c.layers, "endscroll.ife"), 500);
  const float s = std::trunc(e / 23);
  p.Quad(tex.at("swscroll.tga"), 128, s - 2048, 1152, s, C255(255, 255, 255), 2);
  p.Layers(Find(c.layers, "end2.ife"), e / 55);
}

void LoadingScreen(Preview& p, const DemoContent& c, int step) {
  p.Clear();
  p.Layers(Find(c.layers, "loading.ife"), step * 18.0f);
  for (int i = 0; i < 200; ++i) {
    const float a = 3.14159265f * i / 133;
    const float grey = i <= std::lround(step * 18 / 5.0) ? 0.5f : 0.2f;
    for (float r = 150; r <= 160; r += 0.5f)
      p.Quad(nullptr, 640 + r * std::sin(a), 472 - r * std::cos(a), 642 + r * std::sin(a),
             474 - r * std::cos(a), Rgba{grey, grey, grey, 1}, 1);
  }
}

}  // namespace

bool WriteMockups(const std::string& folder, const DemoContent& c) {
  std::map<std::string, const Canvas*> tex;
  for (const Texture& t : c.textures) tex[t.name] = &t.canvas;
  for (size_t i = 0; i < c.photos.size(); ++i) {
    const std::string number = std::to_string(i + 1);
    tex[(i < 9 ? "0" : "") + number + ".tga"] = &c.photos[i];
  }
  Preview p(tex, c.fontset);
  bool ok = true;
  MainScreen(p, c, tex);
  ok &= p.picture().WritePng(folder + "/main.png");
  BonusScreen(p, c, tex);
  ok &= p.picture().WritePng(folder + "/bonus.png");
  for (float e : {14000.0f, 40000.0f}) {
    EndScreen(p, c, tex, e);
    ok &= p.picture().WritePng(folder + "/end" + std::to_string(static_cast<int>(e / 1000)) + ".png");
  }
  LoadingScreen(p, c, 40);
  ok &= p.picture().WritePng(folder + "/loading.png");
  p.Clear();
  p.Layers(Find(c.layers, "preintro.ife"), 450);
  ok &= p.picture().WritePng(folder + "/preintro.png");
  for (int n = 0; n < 5; ++n) {
    p.Clear();
    const std::string name = "intro0" + std::to_string(n) + ".ife";
    p.Layers(Find(c.layers, name), 4000);
    if (n == 4) p.Layers(Find(c.layers, "blackfade.ife"), 300);
    ok &= p.picture().WritePng(folder + "/intro0" + std::to_string(n) + ".png");
  }
  // The glyph set enlarged six times, separators in red.
  Canvas glyphs(301 * 6, 9 * 6, Rgba{0.05f, 0.05f, 0.1f, 1});
  for (int row = 0; row < 9; ++row)
    for (int col = 0; col < 301; ++col) {
      const uint8_t v = c.fontset[static_cast<size_t>(row) * 301 + col];
      if (!v) continue;
      const Rgba ink = v == 2 ? Rgba{0.8f, 0.1f, 0.1f, 1} : Rgba{1, 1, 1, 1};
      for (int j = 0; j < 6; ++j)
        for (int i = 0; i < 6; ++i) glyphs.at(col * 6 + i, row * 6 + j) = ink;
    }
  ok &= glyphs.WritePng(folder + "/glyphs.png");
  std::vector<const Canvas*> photos;
  for (const Canvas& ph : c.photos) photos.push_back(&ph);
  ok &= ContactSheet(photos, 7, 160).WritePng(folder + "/photos.png");
  std::vector<const Canvas*> parts;
  for (const Texture& t : c.textures) parts.push_back(&t.canvas);
  ok &= ContactSheet(parts, 7, 160).WritePng(folder + "/textures.png");
  return ok;
}

}  // namespace mkdemo
