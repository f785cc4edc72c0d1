// A small floating-point RGBA canvas for the demo pictures: shapes drawn
// with anti-aliased coverage, gradients, text masks, and writers for
// uncompressed TGA (what the disk loads) and PNG (contact sheets to look at).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mkdemo {

struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;
};

// A colour from 0-255 components.
Rgba Rgb255(int r, int g, int b, int a = 255);
Rgba Mix(const Rgba& x, const Rgba& y, float t);

// An 8-bit coverage mask (text, icons); row 0 is the top.
struct Mask {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> cover;
  uint8_t at(int x, int y) const { return cover[static_cast<size_t>(y) * width + x]; }
};

class Canvas {
 public:
  Canvas(int width, int height, Rgba fill = Rgba{0, 0, 0, 0});

  int width() const { return width_; }
  int height() const { return height_; }
  Rgba& at(int x, int y) { return px_[static_cast<size_t>(y) * width_ + x]; }
  const Rgba& at(int x, int y) const { return px_[static_cast<size_t>(y) * width_ + x]; }

  // Sets every pixel from a function of the pixel centre (x + 0.5, y + 0.5).
  void Shade(const std::function<Rgba(float x, float y)>& colourAt);
  // Composites colour over the canvas with the given coverage (0..1).
  void Blend(int x, int y, const Rgba& colour, float coverage);
  // Adds colour times coverage (light), keeping alpha at least the coverage.
  void AddLight(int x, int y, const Rgba& colour, float coverage);

  // Shapes in pixel coordinates (y down), edges anti-aliased over one pixel.
  void RoundRect(float x0, float y0, float x1, float y1, float radius, const Rgba& colour);
  void RoundRectOutline(float x0, float y0, float x1, float y1, float radius, float thickness,
                        const Rgba& colour);
  void Disc(float cx, float cy, float radius, const Rgba& colour);
  void Ring(float cx, float cy, float radius, float thickness, const Rgba& colour);
  void Line(float x0, float y0, float x1, float y1, float thickness, const Rgba& colour);
  void Triangle(float ax, float ay, float bx, float by, float cx, float cy, const Rgba& colour);
  // Soft radial light: colour added with falloff (1 - d/r)^power.
  void Glow(float cx, float cy, float radius, const Rgba& colour, float power = 2.0f);
  // Draws a mask with its top-left corner at (x, y).
  void DrawMask(const Mask& mask, int x, int y, const Rgba& colour);
  // Draws another canvas over this one (alpha compositing).
  void Paste(const Canvas& other, int x, int y);

  // Uncompressed TGA, top row first; 24 bits drop alpha, 32 bits keep it.
  bool WriteTga(const std::string& path, int bits) const;
  bool WritePng(const std::string& path) const;
  // Baseline JFIF JPEG of the colour channels.
  bool WriteJpeg(const std::string& path, int quality) const;

 private:
  // Applies coverage from a signed distance (negative inside).
  void FillDistance(float x0, float y0, float x1, float y1,
                    const std::function<float(float, float)>& distance, const Rgba& colour);

  int width_;
  int height_;
  std::vector<Rgba> px_;
};

// Bytes of an uncompressed TGA file (exposed for the tests).
std::vector<uint8_t> EncodeTga(const Canvas& canvas, int bits);

// Arranges pictures on a grid (each scaled to cell x cell) for looking at.
Canvas ContactSheet(const std::vector<const Canvas*>& pictures, int columns, int cell);

}  // namespace mkdemo
