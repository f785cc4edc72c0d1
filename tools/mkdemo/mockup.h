// Pictures of the disk's screens drawn from the generated data, and contact
// sheets of the textures, written as PNG files to look at.
#pragma once
#include <string>
#include <vector>

#include "tools/mkdemo/art.h"
#include "tools/mkdemo/layers.h"

namespace mkdemo {

struct DemoContent {
  const std::vector<IfeFile>& layers;
  const std::vector<Texture>& textures;
  const std::vector<Canvas>& photos;
  const std::vector<uint8_t>& fontset;
};

// Writes main.png, bonus.png, intro*.png, loading.png, end.png, photos.png
// and textures.png into folder; false when one cannot be written.
bool WriteMockups(const std::string& folder, const DemoContent& content);

}  // namespace mkdemo
