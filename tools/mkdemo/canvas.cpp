#include "tools/mkdemo/canvas.h"

#include <png.h>
// jpeglib.h needs FILE and size_t declared before it.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace mkdemo {
namespace {

float Clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0f)); }

// Coverage of a pixel whose centre lies at signed distance d from an edge.
float CoverageFromDistance(float d) { return Clamp01(0.5f - d); }

float RoundRectDistance(float px, float py, float x0, float y0, float x1, float y1, float r) {
  const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
  const float hx = (x1 - x0) * 0.5f - r, hy = (y1 - y0) * 0.5f - r;
  const float qx = std::fabs(px - cx) - hx, qy = std::fabs(py - cy) - hy;
  const float ox = std::max(qx, 0.0f), oy = std::max(qy, 0.0f);
  return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0f) - r;
}

float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
  const float vx = bx - ax, vy = by - ay;
  const float len2 = vx * vx + vy * vy;
  float t = len2 > 0 ? ((px - ax) * vx + (py - ay) * vy) / len2 : 0.0f;
  t = Clamp01(t);
  const float dx = px - (ax + t * vx), dy = py - (ay + t * vy);
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace

Rgba Rgb255(int r, int g, int b, int a) {
  return Rgba{r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
}

Rgba Mix(const Rgba& x, const Rgba& y, float t) {
  return Rgba{x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
              x.a + (y.a - x.a) * t};
}

Canvas::Canvas(int width, int height, Rgba fill)
    : width_(width), height_(height), px_(static_cast<size_t>(width) * height, fill) {}

void Canvas::Shade(const std::function<Rgba(float, float)>& colourAt) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) at(x, y) = colourAt(x + 0.5f, y + 0.5f);
}

void Canvas::Blend(int x, int y, const Rgba& colour, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  const float a = Clamp01(colour.a * coverage);
  if (a <= 0) return;
  Rgba& d = at(x, y);
  const float outA = a + d.a * (1 - a);
  if (outA <= 0) return;
  d.r = (colour.r * a + d.r * d.a * (1 - a)) / outA;
  d.g = (colour.g * a + d.g * d.a * (1 - a)) / outA;
  d.b = (colour.b * a + d.b * d.a * (1 - a)) / outA;
  d.a = outA;
}

void Canvas::AddLight(int x, int y, const Rgba& colour, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Rgba& d = at(x, y);
  const float k = colour.a * coverage;
  d.r = Clamp01(d.r + colour.r * k);
  d.g = Clamp01(d.g + colour.g * k);
  d.b = Clamp01(d.b + colour.b * k);
  d.a = std::max(d.a, Clamp01(k));
}

void Canvas::FillDistance(float x0, float y0, float x1, float y1,
                          const std::function<float(float, float)>& distance, const Rgba& colour) {
  const int ix0 = std::max(0, static_cast<int>(std::floor(x0)) - 1);
  const int iy0 = std::max(0, static_cast<int>(std::floor(y0)) - 1);
  const int ix1 = std::min(width_ - 1, static_cast<int>(std::ceil(x1)) + 1);
  const int iy1 = std::min(height_ - 1, static_cast<int>(std::ceil(y1)) + 1);
  for (int y = iy0; y <= iy1; ++y)
    for (int x = ix0; x <= ix1; ++x) {
      const float c = CoverageFromDistance(distance(x + 0.5f, y + 0.5f));
      if (c > 0) Blend(x, y, colour, c);
    }
}

void Canvas::RoundRect(float x0, float y0, float x1, float y1, float radius, const Rgba& colour) {
  FillDistance(x0, y0, x1, y1,
               [=](float px, float py) { return RoundRectDistance(px, py, x0, y0, x1, y1, radius); },
               colour);
}

void Canvas::RoundRectOutline(float x0, float y0, float x1, float y1, float radius,
                              float thickness, const Rgba& colour) {
  FillDistance(x0, y0, x1, y1,
               [=](float px, float py) {
                 const float d = RoundRectDistance(px, py, x0, y0, x1, y1, radius);
                 return std::fabs(d + thickness * 0.5f) - thickness * 0.5f;
               },
               colour);
}

void Canvas::Disc(float cx, float cy, float radius, const Rgba& colour) {
  FillDistance(cx - radius, cy - radius, cx + radius, cy + radius,
               [=](float px, float py) { return std::hypot(px - cx, py - cy) - radius; }, colour);
}

void Canvas::Ring(float cx, float cy, float radius, float thickness, const Rgba& colour) {
  FillDistance(cx - radius - thickness, cy - radius - thickness, cx + radius + thickness,
               cy + radius + thickness,
               [=](float px, float py) {
                 return std::fabs(std::hypot(px - cx, py - cy) - radius) - thickness * 0.5f;
               },
               colour);
}

void Canvas::Line(float x0, float y0, float x1, float y1, float thickness, const Rgba& colour) {
  const float h = thickness * 0.5f;
  FillDistance(std::min(x0, x1) - h, std::min(y0, y1) - h, std::max(x0, x1) + h,
               std::max(y0, y1) + h,
               [=](float px, float py) { return SegmentDistance(px, py, x0, y0, x1, y1) - h; },
               colour);
}

void Canvas::Triangle(float ax, float ay, float bx, float by, float cx, float cy,
                      const Rgba& colour) {
  // Distance to a convex polygon: the largest signed distance to its edges.
  const float area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
  const float sign = area < 0 ? -1.0f : 1.0f;
  auto edge = [sign](float px, float py, float x0, float y0, float x1, float y1) {
    const float ex = x1 - x0, ey = y1 - y0;
    const float len = std::hypot(ex, ey);
    return sign * ((px - x0) * ey - (py - y0) * ex) / len;
  };
  FillDistance(std::min({ax, bx, cx}), std::min({ay, by, cy}), std::max({ax, bx, cx}),
               std::max({ay, by, cy}),
               [=](float px, float py) {
                 return std::max({edge(px, py, ax, ay, bx, by), edge(px, py, bx, by, cx, cy),
                                  edge(px, py, cx, cy, ax, ay)});
               },
               colour);
}

void Canvas::Glow(float cx, float cy, float radius, const Rgba& colour, float power) {
  const int x0 = std::max(0, static_cast<int>(cx - radius));
  const int x1 = std::min(width_ - 1, static_cast<int>(cx + radius) + 1);
  const int y0 = std::max(0, static_cast<int>(cy - radius));
  const int y1 = std::min(height_ - 1, static_cast<int>(cy + radius) + 1);
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x) {
      const float d = std::hypot(x + 0.5f - cx, y + 0.5f - cy) / radius;
      if (d < 1) AddLight(x, y, colour, std::pow(1 - d, power));
    }
}

void Canvas::DrawMask(const Mask& mask, int x, int y, const Rgba& colour) {
  for (int j = 0; j < mask.height; ++j)
    for (int i = 0; i < mask.width; ++i) {
      const uint8_t c = mask.at(i, j);
      if (c) Blend(x + i, y + j, colour, c / 255.0f);
    }
}

void Canvas::Paste(const Canvas& other, int x, int y) {
  for (int j = 0; j < other.height(); ++j)
    for (int i = 0; i < other.width(); ++i) {
      const Rgba& s = other.at(i, j);
      Blend(x + i, y + j, Rgba{s.r, s.g, s.b, 1}, s.a);
    }
}

std::vector<uint8_t> EncodeTga(const Canvas& canvas, int bits) {
  const int bpp = bits / 8;
  std::vector<uint8_t> out(18, 0);
  out[2] = 2;  // uncompressed true colour
  out[12] = static_cast<uint8_t>(canvas.width() & 0xFF);
  out[13] = static_cast<uint8_t>(canvas.width() >> 8);
  out[14] = static_cast<uint8_t>(canvas.height() & 0xFF);
  out[15] = static_cast<uint8_t>(canvas.height() >> 8);
  out[16] = static_cast<uint8_t>(bits);
  out[17] = static_cast<uint8_t>(0x20 | (bits == 32 ? 8 : 0));  // top row first
  out.reserve(out.size() + static_cast<size_t>(canvas.width()) * canvas.height() * bpp);
  for (int y = 0; y < canvas.height(); ++y)
    for (int x = 0; x < canvas.width(); ++x) {
      const Rgba& p = canvas.at(x, y);
      out.push_back(ToByte(p.b));
      out.push_back(ToByte(p.g));
      out.push_back(ToByte(p.r));
      if (bpp == 4) out.push_back(ToByte(p.a));
    }
  return out;
}

bool Canvas::WriteTga(const std::string& path, int bits) const {
  const std::vector<uint8_t> bytes = EncodeTga(*this, bits);
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) return false;
  return std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
}

bool Canvas::WritePng(const std::string& path) const {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<uint8_t> row(static_cast<size_t>(width_) * 3);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f.get());
  png_set_IHDR(png, info, width_, height_, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      // Transparent parts show over a dark checker-free grey, as on a screen.
      const Rgba& p = at(x, y);
      const float k = p.a;
      row[x * 3 + 0] = ToByte(p.r * k + 0.08f * (1 - k));
      row[x * 3 + 1] = ToByte(p.g * k + 0.08f * (1 - k));
      row[x * 3 + 2] = ToByte(p.b * k + 0.10f * (1 - k));
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool Canvas::WriteJpeg(const std::string& path, int quality) const {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) return false;
  jpeg_compress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f.get());
  cinfo.image_width = static_cast<JDIMENSION>(width_);
  cinfo.image_height = static_cast<JDIMENSION>(height_);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  cinfo.write_JFIF_header = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width_) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width_; ++x) {
      const Rgba& p = at(x, y);
      row[x * 3 + 0] = ToByte(p.r);
      row[x * 3 + 1] = ToByte(p.g);
      row[x * 3 + 2] = ToByte(p.b);
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

Canvas ContactSheet(const std::vector<const Canvas*>& pictures, int columns, int cell) {
  const int rows = (static_cast<int>(pictures.size()) + columns - 1) / columns;
  Canvas sheet(columns * (cell + 4) + 4, rows * (cell + 4) + 4, Rgba{0.2f, 0.2f, 0.2f, 1});
  for (size_t n = 0; n < pictures.size(); ++n) {
    const Canvas& p = *pictures[n];
    const int ox = 4 + static_cast<int>(n % columns) * (cell + 4);
    const int oy = 4 + static_cast<int>(n / columns) * (cell + 4);
    for (int y = 0; y < cell; ++y)
      for (int x = 0; x < cell; ++x) {
        const Rgba& s = p.at(x * p.width() / cell, y * p.height() / cell);
        Rgba& d = sheet.at(ox + x, oy + y);
        d = Rgba{s.r * s.a + 0.08f * (1 - s.a), s.g * s.a + 0.08f * (1 - s.a),
                 s.b * s.a + 0.1f * (1 - s.a), 1};
      }
  }
  return sheet;
}

}  // namespace mkdemo
