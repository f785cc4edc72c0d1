// The interface-layer animations (".ife" files) of the disk's screens: what
// each screen shows behind, between and over the texts the program draws.
#pragma once
#include <string>
#include <vector>

namespace mkdemo {

struct IfeKey {
  int time = 0;
  float x = 0, y = 0;
  int easing = 0;  // 0 linear, 1 sine ease-out, 2 sine ease-in
  float rotation = 0;
  float width = 0, height = 0;
  float red = 255, green = 255, blue = 255, alpha = 255;
};

struct IfeLayer {
  std::string texture;  // "white.tga" draws untextured in the key colour
  int blend = 0;        // 0 opaque, 1 additive, 2 alpha
  std::vector<IfeKey> keys;
};

struct IfeFile {
  std::string name;
  std::vector<IfeLayer> layers;
};

// All 24 layer files the loading phase reads, in its order.
std::vector<IfeFile> BuildLayerFiles();

// The text of one layer file: counts, then per layer its texture, two spare
// text lines, key count, blend mode and one line of 11 numbers per key.
std::string FormatIfe(const IfeFile& file);

// The file's texture names that are image files (not "white.tga").
std::vector<std::string> ImageNames(const IfeFile& file);

}  // namespace mkdemo
