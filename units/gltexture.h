// Textures the application and the engine make for themselves (render
// targets, noise, glyphs), as opposed to images the texture table loads.
#pragma once
#include <cstdint>

#include "framework/wm/gltypes.h"

enum class TextureWrap { Repeat, ClampToEdge };

// A new 2D texture, left bound: filter both ways, the wrap in s and t
// (Repeat leaves the GL's default), and a w x h image of the given
// components and format read from pixels with unpadded rows; null pixels
// leave the contents undefined. Needs a current GL context.
uint32_t NewTexture2D(GLsizei w, GLsizei h, GLint components, GLenum format, GLint filter, TextureWrap wrap,
                      const void* pixels);
