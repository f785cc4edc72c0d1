// The records of an interface layer: animated, textured rectangles read from
// ".ife" files. They sit below both their reader and drawer (the
// application's layer unit) and the 3D engine's effect projects, which hold
// layers and hand them to that unit through the engine's port
// (EffectInterfaces in engine/effect.h).
#pragma once
#include <cstdint>
#include <type_traits>

#include "units/shortstr.h"

struct ife_keys {
  int32_t time;
  float x, y;      // centre of the rectangle in the 1280 x 720 drawing space
  uint8_t easing;  // of the segment that begins here: 0 linear, 1 sine out, 2 sine in
  float rotation;  // degrees, counter-clockwise
  float width, height;
  float red, green, blue, alpha;  // 0 to 255
};

// The key array type: indices 0 to 10000.
using ife_keys_array = ife_keys[10001];

struct ife_layer {
  ShortString texture_name;
  ShortString extra_text1;  // kept, not interpreted
  ShortString extra_text2;
  int32_t texture;  // 0 for none
  int32_t key_count;
  uint8_t blend_mode;
  ife_keys* keys;
};

// The layer array type: indices 0 to 1000.
using ife_layer_array = ife_layer[1001];

struct ife_interface {
  int32_t layer_count;
  int32_t header_value;  // stored, not interpreted
  ife_layer* layers;
};

// The sizes of the key and layer arrays: larger counts in a file are cut.
constexpr int32_t kIfeMaxKeys = std::extent_v<ife_keys_array>;
constexpr int32_t kIfeMaxLayers = std::extent_v<ife_layer_array>;

// A project's interfaces: as many as its file gives.
using ife_interface_array = ife_interface[];
