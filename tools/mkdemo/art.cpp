#include "tools/mkdemo/art.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "tools/mkdemo/disk.h"

namespace mkdemo {
namespace {

using namespace palette;

constexpr float kPi = 3.14159265f;

// --- noise -------------------------------------------------------------------

float Hash(int x, int y, uint32_t seed) {
  uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u + seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return static_cast<float>(h & 0xFFFFFF) / 16777215.0f;
}

float ValueNoise(float x, float y, uint32_t seed) {
  const int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
  const float fx = x - ix, fy = y - iy;
  const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const float a = Hash(ix, iy, seed), b = Hash(ix + 1, iy, seed);
  const float c = Hash(ix, iy + 1, seed), d = Hash(ix + 1, iy + 1, seed);
  return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float Fbm(float x, float y, uint32_t seed, int octaves = 4) {
  float sum = 0, amp = 0.5f, norm = 0;
  for (int o = 0; o < octaves; ++o) {
    sum += amp * ValueNoise(x, y, seed + o * 17u);
    norm += amp;
    x *= 2.03f;
    y *= 2.03f;
    amp *= 0.5f;
  }
  return sum / norm;
}

Rgba Scale(const Rgba& c, float k) { return Rgba{c.r * k, c.g * k, c.b * k, c.a}; }

// A colour ramp through a list of stops spaced evenly over 0..1.
Rgba Ramp(std::initializer_list<Rgba> stops, float t) {
  const std::vector<Rgba> s(stops);
  t = std::clamp(t, 0.0f, 1.0f) * static_cast<float>(s.size() - 1);
  const size_t i = std::min(static_cast<size_t>(t), s.size() - 2);
  return Mix(s[i], s[i + 1], t - static_cast<float>(i));
}

// --- text --------------------------------------------------------------------

Mask Blur(const Mask& m, int radius) {
  Mask out = m;
  std::vector<float> tmp(m.cover.size());
  for (int pass = 0; pass < 2; ++pass) {
    for (int y = 0; y < m.height; ++y)
      for (int x = 0; x < m.width; ++x) {
        float sum = 0;
        int n = 0;
        for (int k = -radius; k <= radius; ++k) {
          const int xx = pass == 0 ? x + k : x, yy = pass == 0 ? y : y + k;
          if (xx < 0 || yy < 0 || xx >= m.width || yy >= m.height) continue;
          sum += pass == 0 ? out.at(xx, yy) : tmp[static_cast<size_t>(yy) * m.width + xx];
          ++n;
        }
        const float v = sum / static_cast<float>(2 * radius + 1);
        if (pass == 0)
          tmp[static_cast<size_t>(y) * m.width + x] = v;
        else
          out.cover[static_cast<size_t>(y) * m.width + x] = static_cast<uint8_t>(std::min(255.0f, v * 1.6f));
        (void)n;
      }
  }
  return out;
}

// Text centred at (cx, cy) of a canvas, optionally with a soft halo.
void CentreText(Canvas& c, const Face& face, const std::string& text, int size, float cx, float cy,
                const Rgba& colour, int tracking = 0, const Rgba* halo = nullptr) {
  Mask m = face.Render(text, size, tracking);
  const int x = static_cast<int>(std::lround(cx - m.width / 2.0f));
  const int y = static_cast<int>(std::lround(cy - m.height / 2.0f));
  if (halo) {
    const int pad = std::max(2, size / 6);
    Mask padded;
    padded.width = m.width + 4 * pad;
    padded.height = m.height + 4 * pad;
    padded.cover.assign(static_cast<size_t>(padded.width) * padded.height, 0);
    for (int j = 0; j < m.height; ++j)
      for (int i = 0; i < m.width; ++i)
        padded.cover[static_cast<size_t>(j + 2 * pad) * padded.width + i + 2 * pad] = m.at(i, j);
    c.DrawMask(Blur(padded, pad), x - 2 * pad, y - 2 * pad, *halo);
  }
  c.DrawMask(m, x, y, colour);
}

Canvas TextTexture(const Face& face, const std::string& text, int size, int w, int h,
                   const Rgba& colour, int tracking = 0, bool halo = false) {
  // Shrink the size until the line and its halo fit the texture.
  while (size > 8 && face.Render(text, size, tracking).width > w - size / 2) --size;
  Canvas c(w, h, Rgba{colour.r, colour.g, colour.b, 0});
  const Rgba glow{colour.r, colour.g, colour.b, 0.35f};
  CentreText(c, face, text, size, w / 2.0f, h / 2.0f, colour, tracking, halo ? &glow : nullptr);
  return c;
}

// A label in gold and a name in white on one line: "code  ferrocene".
Canvas CreditTexture(const Fonts& f, const std::string& role, const std::string& name) {
  Canvas c(512, 64, Rgba{1, 1, 1, 0});
  const Mask a = f.regular.Render(role, 22, 2);
  const Mask b = f.bold.Render(name, 30, 1);
  const int gap = 18;
  const int total = a.width + gap + b.width;
  const int x0 = (512 - total) / 2;
  c.DrawMask(a, x0, 32 - a.height / 2 + 3, kGold);
  c.DrawMask(b, x0 + a.width + gap, 32 - b.height / 2, kWhite);
  return c;
}

// --- light sprites -----------------------------------------------------------

// Premultiplied soft light: usable additively and with alpha blending.
Canvas GlowSprite(int size) {
  Canvas c(size, size, Rgba{0, 0, 0, 0});
  c.Shade([size](float x, float y) {
    const float d = std::hypot(x - size / 2.0f, y - size / 2.0f) / (size / 2.0f);
    const float v = d < 1 ? std::pow(1 - d, 2.2f) : 0.0f;
    return Rgba{v, v, v, v};
  });
  return c;
}

Canvas StreakSprite() {
  Canvas c(256, 16, Rgba{0, 0, 0, 0});
  c.Shade([](float x, float y) {
    const float u = std::fabs(x - 128) / 128, v = std::fabs(y - 8) / 8;
    const float k = std::pow(std::max(0.0f, 1 - u), 1.5f) * std::pow(std::max(0.0f, 1 - v), 2.0f);
    return Rgba{k, k, k, k};
  });
  return c;
}

Canvas VerticalFade() {
  Canvas c(8, 64, Rgba{1, 1, 1, 1});
  c.Shade([](float, float y) {
    const float t = y / 64.0f;
    return Rgba{1, 1, 1, 1 - t * t * (3 - 2 * t)};
  });
  return c;
}

// --- backgrounds ---------------------------------------------------------------

Canvas Background(const Rgba& top, const Rgba& bottom, const Rgba& light, uint32_t seed) {
  Canvas c(256, 256);
  c.Shade([&](float x, float y) {
    const float t = y / 256.0f;
    Rgba p = Mix(top, bottom, t * t);
    const float n = Fbm(x / 48.0f, y / 48.0f, seed);
    const float k = 0.75f + 0.5f * n;
    p = Rgba{p.r * k, p.g * k, p.b * k, 1};
    // Faint diagonal lines give the surface some grain.
    const float line = std::fmod(x + y * 0.56f, 12.0f) < 1.0f ? 0.012f : 0.0f;
    return Rgba{p.r + line, p.g + line, p.b + line * 1.4f, 1};
  });
  c.Glow(48, 36, 170, Scale(light, 0.35f), 1.6f);
  c.Glow(220, 210, 140, Scale(light, 0.12f), 1.8f);
  return c;
}

Canvas NebulaBackground() {
  Canvas c(256, 256);
  c.Shade([](float x, float y) {
    const float n = Fbm(x / 40.0f, y / 40.0f, 77);
    const float m = Fbm(x / 90.0f + 3.1f, y / 90.0f, 91);
    const float cx = (x - 128) / 128, cy = (y - 128) / 128;
    const float vignette = std::max(0.0f, 1 - 0.55f * (cx * cx + cy * cy));
    const float v = (0.10f + 0.55f * std::pow(n * m * 1.6f, 1.6f)) * vignette;
    return Rgba{v, v, v, 1};
  });
  for (int s = 0; s < 90; ++s) {
    const float x = Hash(s, 1, 5) * 256, y = Hash(s, 2, 5) * 256;
    const float b = 0.3f + 0.7f * Hash(s, 3, 5);
    c.AddLight(static_cast<int>(x), static_cast<int>(y), Rgba{b, b, b, 1}, 0.8f);
  }
  return c;
}

// --- interface parts -------------------------------------------------------------

Canvas MeterBlock() {
  Canvas c(8, 8, Rgba{0, 0, 0, 0});
  for (int y = 1; y <= 6; ++y)
    for (int x = 0; x <= 2; ++x) c.at(x, y) = Mix(kSteel, kWhite, (6 - y) / 10.0f);
  return c;
}

Canvas VolumeBar() {
  Canvas c(256, 8, Rgba{0, 0, 0, 1});
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 215; ++x) {
      const float t = x / 214.0f;
      Rgba p = Mix(Rgb255(30, 44, 68), Rgb255(92, 120, 160), t);
      if (y == 0 || y == 7) p = Rgb255(18, 26, 40);
      if (x % 43 == 42 && y > 0 && y < 7) p = Scale(p, 0.5f);
      p.a = 1;
      c.at(x, y) = p;
    }
  return c;
}

// A button plate with a vertical or horizontal label, placed so that the plate
// covers rows [top, bottom) and columns [left, right) of the texture.
Canvas ButtonPlate(int w, int h, int left, int top, int right, int bottom) {
  Canvas c(w, h, Rgba{0, 0, 0, 0});
  c.RoundRect(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
              static_cast<float>(bottom), 4, Rgb255(26, 40, 64));
  // Lighter upper half reads as a raised surface.
  c.RoundRect(left + 1.0f, top + 1.0f, right - 1.0f, top + (bottom - top) * 0.45f, 3,
              Rgb255(44, 64, 98, 150));
  c.RoundRectOutline(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                     static_cast<float>(bottom), 4, 1.2f, kSteel);
  return c;
}

Canvas VerticalButton(const Face& face, const std::string& label, int plateRows) {
  const int top = 64 - plateRows;
  Canvas c = ButtonPlate(32, 64, 1, top, 31, 64);
  // The label reads bottom to top, as on the spine of a record sleeve.
  const Mask m = face.Render(label, 11, 1);
  const int cx = 16, cy = top + plateRows / 2;
  for (int j = 0; j < m.height; ++j)
    for (int i = 0; i < m.width; ++i) {
      const uint8_t v = m.at(i, j);
      if (!v) continue;
      const int x = cx - m.height / 2 + j;
      const int y = cy + m.width / 2 - i;
      c.Blend(x, y, kPaleGold, v / 255.0f);
    }
  return c;
}

Canvas StarButton() {
  Canvas c = ButtonPlate(32, 32, 1, 6, 31, 32);
  const float cx = 16, cy = 19, r1 = 8, r2 = 3.4f;
  for (int k = 0; k < 5; ++k) {
    const float a0 = -kPi / 2 + k * 2 * kPi / 5;
    const float a1 = a0 + kPi / 5, am = a0 - kPi / 5;
    c.Triangle(cx + r1 * std::cos(a0), cy + r1 * std::sin(a0), cx + r2 * std::cos(a1),
               cy + r2 * std::sin(a1), cx + r2 * std::cos(am), cy + r2 * std::sin(am), kGold);
    c.Triangle(cx, cy, cx + r2 * std::cos(a1), cy + r2 * std::sin(a1), cx + r2 * std::cos(am),
               cy + r2 * std::sin(am), kGold);
  }
  return c;
}

Canvas ArrowButton(bool next) {
  Canvas c = ButtonPlate(32, 32, 1, 5, 21, 32);
  const float cx = 11, cy = 18.5f;
  if (next)
    c.Triangle(cx - 4, cy - 6, cx - 4, cy + 6, cx + 5, cy, kPaleGold);
  else
    c.Triangle(cx + 4, cy - 6, cx + 4, cy + 6, cx - 5, cy, kPaleGold);
  return c;
}

Canvas Logo(const Fonts& f) {
  Canvas c(512, 128, Rgba{1, 1, 1, 0});
  Canvas word = TextTexture(f.bold, "zentrove", 72, 512, 88, kWhite, 3, true);
  // Steel at the bottom of the word fading to white at its top.
  for (int y = 0; y < word.height(); ++y)
    for (int x = 0; x < word.width(); ++x) {
      Rgba& p = word.at(x, y);
      const Rgba tint = Mix(kWhite, kSteel, y / 88.0f);
      p = Rgba{tint.r, tint.g, tint.b, p.a};
    }
  c.Paste(word, 0, 0);
  CentreText(c, f.regular, "remix competition 2", 22, 256, 100, kGold, 5);
  return c;
}

Canvas Credits(const Fonts& f) {
  Canvas c(512, 1024, Rgba{1, 1, 1, 0});
  float y = 40;
  for (const std::string& line : CreditLines()) {
    if (line.empty()) {
      y += 16;
    } else if (line[0] == '#') {
      y += 8;
      CentreText(c, f.bold, line.substr(1), 17, 256, y, kGold, 1);
      y += 26;
    } else {
      CentreText(c, f.regular, line, 14, 256, y, kWhite);
      y += 21;
    }
  }
  return c;
}

Canvas DialogBackground(const Fonts& f) {
  Canvas c(512, 512);
  c.Shade([](float x, float y) {
    const float t = y / 512.0f;
    Rgba p = Mix(Rgb255(20, 32, 54), Rgb255(9, 14, 25), t);
    const float line = std::fmod(x + y * 0.56f, 14.0f) < 1.0f ? 0.01f : 0.0f;
    return Rgba{p.r + line, p.g + line, p.b + line * 1.3f, 1};
  });
  c.Glow(90, 40, 300, Scale(kSteel, 0.25f), 1.7f);
  // The window is 440 x 340 and the picture is stretched over it, so the
  // header is drawn with that stretch undone.
  Canvas header(440, 80, Rgba{1, 1, 1, 0});
  CentreText(header, f.bold, "zentrove", 34, 220, 30, kWhite, 2);
  CentreText(header, f.regular, "remix competition 2 - musicdisk setup", 13, 220, 62, kGold, 2);
  for (int y = 0; y < 512 * 80 / 340; ++y)
    for (int x = 0; x < 512; ++x) {
      const Rgba& s = header.at(std::min(439, x * 440 / 512), std::min(79, y * 340 / 512));
      if (s.a > 0) c.Blend(x, y, Rgba{s.r, s.g, s.b, 1}, s.a);
    }
  return c;
}

// --- photos ---------------------------------------------------------------------

// The slide show squeezes 256 rows into 196 units, so shapes are drawn in
// display units (x, y * 196 / 256) to come out round.
constexpr float kSquash = 196.0f / 256.0f;

Rgba PaletteAt(int variant, float t) {
  switch (variant % 3) {
    case 0: return Ramp({Rgb255(8, 10, 40), Rgb255(40, 70, 160), Rgb255(137, 172, 216), Rgb255(250, 240, 210)}, t);
    case 1: return Ramp({Rgb255(20, 5, 20), Rgb255(140, 30, 60), Rgb255(241, 150, 70), Rgb255(255, 235, 160)}, t);
    default: return Ramp({Rgb255(0, 20, 20), Rgb255(10, 90, 90), Rgb255(90, 200, 150), Rgb255(230, 255, 210)}, t);
  }
}

Canvas PlasmaPhoto(int v) {
  Canvas c(256, 256);
  const float f1 = 0.03f + 0.01f * v, f2 = 0.045f - 0.007f * v;
  c.Shade([=](float x, float y) {
    y *= kSquash;
    const float s = std::sin(x * f1) + std::sin(y * f2 + 1.3f * v) +
                    std::sin((x + y) * 0.021f) + std::sin(std::hypot(x - 128, y - 98) * 0.06f);
    return PaletteAt(v, 0.5f + s / 8.0f);
  });
  return c;
}

Canvas SunsetPhoto(int v) {
  Canvas c(256, 256);
  const float horizon = 150 + 10 * v;
  c.Shade([=](float x, float y) {
    if (y < horizon) return PaletteAt(v + 1, 0.25f + 0.7f * (y / horizon));
    const float ripple = 0.5f + 0.5f * std::sin(y * 0.9f + std::sin(x * 0.05f) * 3);
    return Scale(PaletteAt(v + 1, 0.9f - 0.5f * (y - horizon) / (256 - horizon)), 0.45f + 0.2f * ripple);
  });
  c.Disc(128 + 30 * (v - 1), horizon - 34, 30, PaletteAt(v + 1, 1.0f));
  c.Glow(128 + 30 * (v - 1), horizon - 34, 110, Scale(PaletteAt(v + 1, 0.95f), 0.5f));
  for (int layer = 0; layer < 3; ++layer) {
    const Rgba shade = Scale(PaletteAt(v + 1, 0.05f), 1.0f + layer * 0.6f);
    for (int x = 0; x < 256; ++x) {
      const float h = horizon - 8 - layer * 10 -
                      38 * Fbm(x / (60.0f - layer * 12), static_cast<float>(layer), 300 + v) * (1.2f - layer * 0.3f);
      for (int y = static_cast<int>(h); y < static_cast<int>(horizon); ++y) c.at(x, y) = Rgba{shade.r, shade.g, shade.b, 1};
    }
  }
  return c;
}

Canvas TunnelPhoto(int v) {
  Canvas c(256, 256);
  c.Shade([=](float x, float y) {
    y *= kSquash;
    const float dx = x - 128, dy = y - 98;
    const float r = std::max(1.0f, std::hypot(dx, dy));
    const float u = 600.0f / r + v * 0.7f, a = std::atan2(dy, dx) / kPi * 8;
    const bool check = (static_cast<int>(std::floor(u)) + static_cast<int>(std::floor(a))) % 2 == 0;
    const float fog = std::min(1.0f, r / 120.0f);
    return Scale(PaletteAt(v, check ? 0.75f : 0.35f), fog);
  });
  return c;
}

Canvas BlobsPhoto(int v) {
  Canvas c(256, 256);
  float bx[5], by[5];
  for (int i = 0; i < 5; ++i) {
    bx[i] = 40 + 176 * Hash(i, v, 11);
    by[i] = 30 + 136 * Hash(i, v, 12);
  }
  c.Shade([&](float x, float y) {
    y *= kSquash;
    float f = 0;
    for (int i = 0; i < 5; ++i) f += 900.0f / (1 + (x - bx[i]) * (x - bx[i]) + (y - by[i]) * (y - by[i]));
    const float t = std::clamp(f / 2.2f, 0.0f, 1.0f);
    return PaletteAt(v + 2, t > 0.45f ? 0.6f + 0.4f * t : t * 0.8f);
  });
  return c;
}

Canvas RingsPhoto(int v) {
  Canvas c(256, 256);
  c.Shade([=](float x, float y) {
    y *= kSquash;
    const float d1 = std::hypot(x - 90, y - 80), d2 = std::hypot(x - 170, y - 120);
    const float s = std::sin(d1 * 0.35f) * std::sin(d2 * 0.35f + v);
    return PaletteAt(v, 0.5f + 0.45f * s);
  });
  return c;
}

Canvas SpacePhoto(int v) {
  Canvas c(256, 256, Rgb255(4, 6, 14));
  c.Shade([=](float x, float y) {
    const float n = Fbm(x / 50.0f, y / 50.0f, 500 + v);
    const Rgba neb = Scale(PaletteAt(v, 0.5f), std::pow(n, 3.0f) * 0.9f);
    return Rgba{0.015f + neb.r, 0.02f + neb.g, 0.05f + neb.b, 1};
  });
  for (int s = 0; s < 160; ++s) {
    const float b = 0.4f + 0.6f * Hash(s, v, 31);
    c.AddLight(static_cast<int>(Hash(s, v, 32) * 256), static_cast<int>(Hash(s, v, 33) * 256), Rgba{b, b, b, 1}, 1);
  }
  // A planet, drawn in display units so it stays round on screen.
  const float px = 150 - 30 * v, py = 100 + 20 * v, pr = 46;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      const float dx = x + 0.5f - px, dy = (y + 0.5f) * kSquash - py * kSquash;
      const float d = std::hypot(dx, dy) / pr;
      if (d < 1) {
        const float light = std::clamp(0.2f + 0.9f * (-dx - dy) / pr * 0.6f + 0.4f * (1 - d), 0.05f, 1.0f);
        const float band = 0.5f + 0.5f * std::sin(dy * 0.35f + Fbm(x / 20.0f, y / 8.0f, 9) * 3);
        c.Blend(x, y, Scale(PaletteAt(v + 1, 0.35f + 0.5f * band), light), std::min(1.0f, (1 - d) * pr));
      }
      const float ring = std::fabs(std::hypot(dx, dy * 3.2f) - pr * 1.6f);
      if (ring < 5 && !(d < 1 && dy < 0)) c.AddLight(x, y, Scale(PaletteAt(v, 0.8f), 0.5f), 1 - ring / 5);
    }
  return c;
}

Canvas CellsPhoto(int v) {
  Canvas c(256, 256);
  float sx[24], sy[24];
  for (int i = 0; i < 24; ++i) {
    sx[i] = 256 * Hash(i, v, 41);
    sy[i] = 196 * Hash(i, v, 42);
  }
  c.Shade([&](float x, float y) {
    y *= kSquash;
    float best = 1e9f, second = 1e9f;
    int id = 0;
    for (int i = 0; i < 24; ++i) {
      const float d = std::hypot(x - sx[i], y - sy[i]);
      if (d < best) {
        second = best;
        best = d;
        id = i;
      } else if (d < second) {
        second = d;
      }
    }
    if (second - best < 2.0f) return Rgb255(10, 10, 16);
    return Scale(PaletteAt(v + id, 0.3f + 0.6f * Hash(id, v, 43)), 0.7f + 0.3f * (1 - best / 60.0f));
  });
  return c;
}

Canvas FractalPhoto(int v) {
  Canvas c(256, 256);
  const float cr = -0.8f + 0.08f * v, ci = 0.156f + 0.05f * v;
  c.Shade([=](float x, float y) {
    float zr = (x - 128) / 90.0f, zi = (y - 128) * kSquash / 90.0f;
    int n = 0;
    for (; n < 64 && zr * zr + zi * zi < 4; ++n) {
      const float t = zr * zr - zi * zi + cr;
      zi = 2 * zr * zi + ci;
      zr = t;
    }
    return PaletteAt(v + 2, n == 64 ? 0.0f : std::sqrt(n / 64.0f));
  });
  return c;
}

Canvas ShapesPhoto(int v, const Fonts&) {
  Canvas c(256, 256);
  c.Shade([=](float, float y) { return PaletteAt(v, 0.15f + 0.2f * (y / 256)); });
  for (int i = 0; i < 9; ++i) {
    const float x = 256 * Hash(i, v, 61), y = 256 * Hash(i, v, 62), s = 14 + 40 * Hash(i, v, 63);
    const Rgba col = PaletteAt(v + i, 0.4f + 0.6f * Hash(i, v, 64));
    if (i % 3 == 0)
      c.Disc(x, y, s, col);
    else if (i % 3 == 1)
      c.RoundRect(x - s, y - s / kSquash * 0.5f, x + s, y + s / kSquash * 0.5f, 3, col);
    else
      c.Ring(x, y, s, 5, col);
  }
  return c;
}

// The last photo is the easy board for the puzzle: the 5 x 4 cells numbered.
Canvas PuzzleBoardPhoto(const Fonts& f) {
  Canvas c(256, 256);
  c.Shade([](float x, float y) { return PaletteAt(0, 0.2f + 0.5f * ((x + y) / 512.0f)); });
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 5; ++col) {
      const float x0 = col * 51.2f, y0 = row * 64.0f;
      const Rgba tile = PaletteAt(row + col, 0.45f + 0.1f * ((row + col) % 2));
      c.RoundRect(x0 + 3, y0 + 4, x0 + 48, y0 + 60, 5, tile);
      const std::string label = std::to_string(row * 5 + col + 1);
      // Numbers are drawn in display units, squeezed back by the stretch.
      const Mask m = f.bold.Render(label, 26);
      for (int j = 0; j < static_cast<int>(m.height / kSquash); ++j)
        for (int i = 0; i < m.width; ++i) {
          const uint8_t v = m.at(i, std::min(m.height - 1, static_cast<int>(j * kSquash)));
          if (v)
            c.Blend(static_cast<int>(x0 + 25.6f - m.width / 2.0f) + i,
                    static_cast<int>(y0 + 32 - m.height / kSquash / 2) + j, kWhite, v / 255.0f);
        }
    }
  return c;
}

}  // namespace

Canvas Photo(int n, const Fonts& fonts) {
  if (n == 26) return PuzzleBoardPhoto(fonts);
  const int v = n / 9;
  switch (n % 9) {
    case 0: return PlasmaPhoto(v);
    case 1: return SunsetPhoto(v);
    case 2: return TunnelPhoto(v);
    case 3: return BlobsPhoto(v);
    case 4: return RingsPhoto(v);
    case 5: return SpacePhoto(v);
    case 6: return CellsPhoto(v);
    case 7: return FractalPhoto(v);
    default: return ShapesPhoto(v, fonts);
  }
}

Canvas Cover(const Fonts& fonts) {
  Canvas c = PlasmaPhoto(0);
  c.Shade([&c](float x, float y) {
    const Rgba p = c.at(static_cast<int>(x), static_cast<int>(y));
    return Scale(p, 0.45f);
  });
  const Rgba halo{kSteel.r, kSteel.g, kSteel.b, 0.5f};
  CentreText(c, fonts.bold, "zentrove", 46, 128, 100, kWhite, 1, &halo);
  CentreText(c, fonts.regular, "remix competition 2", 17, 128, 140, kGold, 2);
  CentreText(c, fonts.regular, "the musicdisk", 13, 128, 220, kSteel, 2);
  return c;
}

std::vector<Texture> BuildInterfaceTextures(const Fonts& f) {
  std::vector<Texture> t;
  auto add = [&t](const std::string& name, Canvas c, int bits) { t.push_back(Texture{name, std::move(c), bits}); };
  add("bgmain.tga", Background(Rgb255(22, 34, 58), Rgb255(7, 11, 20), kSteel, 3), 24);
  add("bgbonus.tga", Background(Rgb255(30, 22, 52), Rgb255(9, 7, 18), Rgb255(170, 140, 220), 4), 24);
  add("bgend.tga", Background(Rgb255(40, 28, 22), Rgb255(10, 8, 10), kGold, 5), 24);
  add("bgintro.tga", NebulaBackground(), 24);
  add("glow.tga", GlowSprite(64), 32);
  add("streak.tga", StreakSprite(), 32);
  add("fade.tga", VerticalFade(), 32);
  add("logo.tga", Logo(f), 32);
  add("ttitle.tga", TextTexture(f.bold, "zentrove remix competition 2", 60, 1024, 128, kWhite, 2, true), 32);
  add("tmorrow.tga", TextTexture(f.bold, "morrowkin", 44, 512, 64, kWhite, 6, true), 32);
  add("tpresent.tga", TextTexture(f.regular, "presents", 20, 256, 32, kGold, 6), 32);
  add("tcred0.tga", CreditTexture(f, "the", "musicdisk"), 32);
  add("tcred1.tga", CreditTexture(f, "code", "ferrocene"), 32);
  add("tcred2.tga", CreditTexture(f, "graphics", "lumi ostara"), 32);
  add("tcred3.tga", CreditTexture(f, "music", "arbolt and 28 remixers"), 32);
  add("tcred4.tga", CreditTexture(f, "19 remixes", "9 bonus tracks"), 32);
  add("tload.tga", TextTexture(f.regular, "loading", 16, 256, 32, kSteel, 6), 32);
  add("tbonus.tga", TextTexture(f.bold, "bonus tracks", 30, 512, 64, kWhite, 4, true), 32);
  add("btnend.tga", VerticalButton(f.regular, "end", 48), 32);
  add("btnpuz.tga", VerticalButton(f.regular, "puzzle", 59), 32);
  add("btnshuf.tga", VerticalButton(f.regular, "shuffle", 61), 32);
  add("btnbonus.tga", StarButton(), 32);
  add("btnprev.tga", ArrowButton(false), 32);
  add("btnnext.tga", ArrowButton(true), 32);
  add("eq.tga", MeterBlock(), 32);
  add("volume.tga", VolumeBar(), 24);
  add("swscroll.tga", Credits(f), 32);
  add("cfgbg.tga", DialogBackground(f), 24);
  return t;
}

}  // namespace mkdemo
