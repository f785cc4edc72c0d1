// A software stand-in for the disk's drawing, used only to look at the data:
// it draws layer files at a time, glyph-set text and textured quads onto a
// 1280 x 720 picture (y up, as on the disk's virtual screen).
#pragma once
#include <map>
#include <string>
#include <vector>

#include "tools/mkdemo/canvas.h"
#include "tools/mkdemo/layers.h"

namespace mkdemo {

class Preview {
 public:
  Preview(const std::map<std::string, const Canvas*>& textures, std::vector<uint8_t> fontset);

  Canvas& picture() { return screen_; }
  void Clear() { screen_ = Canvas(1280, 720, Rgba{0, 0, 0, 1}); }

  // The layers of a file at time t, as the disk's layer renderer draws them.
  void Layers(const IfeFile& file, float t);
  // A quad with corners (x0, y0)-(x1, y1), its image's first row at the top.
  void Quad(const Canvas* texture, float x0, float y0, float x1, float y1, Rgba colour, int blend,
            float u1 = 1, float v1 = 1);
  // Glyph-set text with 16-unit cells, drawn additively like the track list.
  void Text16(const std::string& text, float x, float y, Rgba colour, bool centred = false);

 private:
  void Pixel(int x, int y, Rgba src, int blend);

  std::map<std::string, const Canvas*> textures_;
  std::vector<uint8_t> fontset_;
  std::vector<int> starts_, widths_;
  Canvas screen_;
};

}  // namespace mkdemo
