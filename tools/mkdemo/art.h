// The pictures of the demo data: backgrounds, light sprites, rendered texts,
// buttons, meters, the credits, the 27 photos and the cover.
#pragma once
#include <string>
#include <vector>

#include "tools/mkdemo/canvas.h"
#include "tools/mkdemo/text.h"

namespace mkdemo {

struct Texture {
  std::string name;  // entry name in the archive
  Canvas canvas;
  int bits;          // 24 or 32
};

struct Fonts {
  const Face& regular;
  const Face& bold;
};

// The palette every picture and layer draws from.
namespace palette {
inline const Rgba kNavy = Rgb255(14, 22, 38);
inline const Rgba kDeep = Rgb255(8, 12, 22);
inline const Rgba kSteel = Rgb255(137, 172, 216);
inline const Rgba kDimSteel = Rgb255(72, 92, 119);
inline const Rgba kGold = Rgb255(241, 210, 126);
inline const Rgba kPaleGold = Rgb255(245, 226, 173);
inline const Rgba kWhite = Rgb255(255, 255, 255);
}  // namespace palette

// Every texture that a layer file names, plus "eq.tga", "volume.tga",
// "swscroll.tga" and the dialog background.
std::vector<Texture> BuildInterfaceTextures(const Fonts& fonts);

// Photo n (0-26) of the slide show, 256 x 256, drawn for a 256 x 196 display.
Canvas Photo(int n, const Fonts& fonts);

// The cover picture copied out as "folder.jpg".
Canvas Cover(const Fonts& fonts);

}  // namespace mkdemo
