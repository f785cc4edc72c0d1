#include "tools/mkdemo/preview.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/mkdemo/text.h"

namespace mkdemo {
namespace {

Rgba Sample(const Canvas& c, float u, float v) {
  const float x = std::clamp(u * c.width() - 0.5f, 0.0f, c.width() - 1.0f);
  const float y = std::clamp(v * c.height() - 0.5f, 0.0f, c.height() - 1.0f);
  const int x0 = static_cast<int>(x), y0 = static_cast<int>(y);
  const int x1 = std::min(x0 + 1, c.width() - 1), y1 = std::min(y0 + 1, c.height() - 1);
  const float fx = x - x0, fy = y - y0;
  return Mix(Mix(c.at(x0, y0), c.at(x1, y0), fx), Mix(c.at(x0, y1), c.at(x1, y1), fx), fy);
}

float Interpolate(int easing, float a, float b, float s) {
  constexpr float kHalfPi = 1.5707963f;
  if (easing == 1) return a + (b - a) * std::sin(s * kHalfPi);
  if (easing == 2) return a + (b - a) * (1 - std::cos(s * kHalfPi));
  return a + (b - a) * s;
}

}  // namespace

Preview::Preview(const std::map<std::string, const Canvas*>& textures, std::vector<uint8_t> fontset)
    : textures_(textures), fontset_(std::move(fontset)), screen_(1280, 720, Rgba{0, 0, 0, 1}) {
  int start = 0;
  for (int i = 0; i < 297; ++i)
    if (fontset_[i] == 2) {
      starts_.push_back(start);
      widths_.push_back(i - start);
      start = i + 1;
    }
}

void Preview::Pixel(int x, int y, Rgba s, int blend) {
  if (x < 0 || y < 0 || x >= 1280 || y >= 720) return;
  Rgba& d = screen_.at(x, 719 - y);
  switch (blend) {
    case 0: d = Rgba{s.r, s.g, s.b, 1}; break;
    case 1:
      d.r = std::min(1.0f, d.r + s.r);
      d.g = std::min(1.0f, d.g + s.g);
      d.b = std::min(1.0f, d.b + s.b);
      break;
    default:
      d.r = s.r * s.a + d.r * (1 - s.a);
      d.g = s.g * s.a + d.g * (1 - s.a);
      d.b = s.b * s.a + d.b * (1 - s.a);
      break;
  }
}

void Preview::Layers(const IfeFile& file, float t) {
  for (const IfeLayer& layer : file.layers) {
    const auto& k = layer.keys;
    if (k.empty()) continue;
    size_t f = 0, g = k.size() - 1;
    for (size_t j = 0; j < k.size(); ++j) {
      if (t >= k[j].time) f = j;
      if (t <= k[k.size() - 1 - j].time) g = k.size() - 1 - j;
    }
    const float s = f == g ? 0.0f : (t - k[f].time) / static_cast<float>(k[g].time - k[f].time);
    auto at = [&](float IfeKey::*field) { return Interpolate(k[f].easing, k[f].*field, k[g].*field, s); };
    const float x = at(&IfeKey::x), y = at(&IfeKey::y), w = at(&IfeKey::width), h = at(&IfeKey::height);
    const float rot = at(&IfeKey::rotation) * 3.14159265f / 180.0f;
    const Rgba colour{at(&IfeKey::red) / 255, at(&IfeKey::green) / 255, at(&IfeKey::blue) / 255,
                      at(&IfeKey::alpha) / 255};
    const Canvas* tex = nullptr;
    if (layer.texture != "white.tga") {
      auto it = textures_.find(layer.texture);
      if (it == textures_.end()) continue;
      tex = it->second;
    }
    if (std::fabs(w) < 0.5f || std::fabs(h) < 0.5f) continue;
    const float reach = std::hypot(w, h) / 2;
    for (int py = static_cast<int>(y - reach); py <= static_cast<int>(y + reach); ++py)
      for (int px = static_cast<int>(x - reach); px <= static_cast<int>(x + reach); ++px) {
        const float dx = px + 0.5f - x, dy = py + 0.5f - y;
        const float lx = dx * std::cos(rot) + dy * std::sin(rot);
        const float ly = -dx * std::sin(rot) + dy * std::cos(rot);
        const float u = lx / w + 0.5f, v = 0.5f - ly / h;
        if (u < 0 || u >= 1 || v < 0 || v >= 1) continue;
        Rgba c = tex ? Sample(*tex, u, v) : Rgba{1, 1, 1, 1};
        c = Rgba{c.r * colour.r, c.g * colour.g, c.b * colour.b, c.a * colour.a};
        Pixel(px, py, c, layer.blend);
      }
  }
}

void Preview::Quad(const Canvas* texture, float x0, float y0, float x1, float y1, Rgba colour,
                   int blend, float u1, float v1) {
  for (int py = static_cast<int>(std::min(y0, y1)); py < static_cast<int>(std::max(y0, y1)); ++py)
    for (int px = static_cast<int>(x0); px < static_cast<int>(x1); ++px) {
      const float u = (px + 0.5f - x0) / (x1 - x0) * u1;
      const float v = (y1 - (py + 0.5f)) / (y1 - y0) * v1;
      Rgba c = texture ? Sample(*texture, u, v) : Rgba{1, 1, 1, 1};
      c = Rgba{c.r * colour.r, c.g * colour.g, c.b * colour.b, c.a * colour.a};
      Pixel(px, py, c, blend);
    }
}

void Preview::Text16(const std::string& text, float x, float y, Rgba colour, bool centred) {
  auto glyph = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    const char* p = c ? std::strchr(kGlyphChars, c) : nullptr;
    return p ? static_cast<int>(p - kGlyphChars) : -1;
  };
  if (centred) {
    float w = 0;
    for (char c : text) w += glyph(c) >= 0 ? widths_[static_cast<size_t>(glyph(c))] + 1 : 4;
    x -= w / 2;
  }
  for (char c : text) {
    const int n = glyph(c);
    if (n < 0 || n >= static_cast<int>(widths_.size())) {
      x += 4;
      continue;
    }
    // Glyph row j fills units y + 15 - j of the 16-unit cell.
    for (int j = 0; j < 9; ++j)
      for (int k = 0; k < widths_[static_cast<size_t>(n)]; ++k)
        if (fontset_[static_cast<size_t>(j) * 301 + starts_[static_cast<size_t>(n)] + k] == 1)
          Pixel(static_cast<int>(x) + k, static_cast<int>(y) + 15 - j, colour, 1);
    x += widths_[static_cast<size_t>(n)] + 1;
  }
}

}  // namespace mkdemo
