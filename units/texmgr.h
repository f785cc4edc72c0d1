// The texture management table: 1001 shared, reference-counted GL textures,
// each made from an image name and a filter mode. Images come through the
// texture loader and are uploaded through the GL unit's procedure variables.
//
// Where the table does not do the plain thing, and the fault each mends:
// - before the extension probe has read the maximum texture size (0) no
//   image is reduced (plainly wrong result: every image would become 1 x 1);
// - the pixel format follows the depth: 8 bits luminance, 24 bits RGB (BGR
//   for subtype 1), 32 bits RGBA, other depths are not uploaded (unsafe
//   input: a format of more bytes per pixel than the rows hold reads past
//   them; plainly wrong result: 32-bit rows read as RGB);
// - levels without the pixels of their size, without a buffer or beyond the
//   13 slots are left out of an upload, and a null bitmap uploads nothing
//   (crash);
// - rows are unpacked with alignment 1 (unsafe input: odd-width rows would
//   be read past the buffer's end).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"
#include "units/shortstr.h"

constexpr int kTextureNodes = 1001;

struct txNode {
  ShortString name;  // "empty" in a reset node
  int32_t texture;
  bool uploaded;
  bool free;
  int32_t mode;      // filter mode 0-3
  int32_t refs;
  int32_t bpp;
};

extern txNode txNodes[kTextureNodes];

// Filter modes of LoadTexture.
#define TX_MODE_NEAREST 0
#define TX_MODE_LINEAR 1
#define TX_MODE_NEAREST_MIPMAP 2
#define TX_MODE_LINEAR_MIPMAP 3

void ResetTextures(void);
// The texture for the image and mode: shared when loaded already, otherwise
// loaded, fitted to the GL's maximum size, uploaded and left bound. An image
// that cannot be loaded ends the program; a full table gives 0.
int32_t LoadTexture(const ShortString& name, int32_t mode);
void ReleaseTexture(int32_t texture);
int32_t GetTextureBpp(int32_t texture);
// Uploads into the texture bound to GL_TEXTURE_2D; single = no generated mipmaps.
void UploadTexture(txBitmap* bitmap, int32_t single);
void WriteTextureReport(const ShortString& fileName);
void DeleteAllTextures(void);
void ReloadAllTextures(void);

// The unit initialisation: all nodes free.
void TextureManagerUnitInit(void);
