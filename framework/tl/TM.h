// The GL texture cache: named textures for the widgets, made from image files
// (through the texture loader) or from bitmaps the caller draws. Each node
// keeps its bitmap, so a texture can be rebuilt or replaced at any time. GL is
// reached only through the framework's tables (wmGL, wmGLU), so tests can put
// a recorder there. Main thread only.
//
// Where the cache does not do the plain thing, and the fault each mends:
// - a null name or bitmap fails with 10 (crash);
// - a bitmap without pixels for its size, of a depth no GL format has, or
//   compressed where the GL lacks the compressed upload, is not uploaded:
//   the call fails with 10 or 11 and the node keeps no texture (unsafe
//   input: the GL would read past the level buffers);
// - the pixel format follows the depth where the subtype's pixel size
//   differs from it (unsafe input: rows read past their buffer);
// - levels without their buffer or beyond the 13 slots are left out of an
//   upload (crash);
// - rows are unpacked with alignment 1 (unsafe input: odd-width rows would
//   be read past the buffer's end);
// - without the GLU library the GL generates the mipmaps itself (crash).
#pragma once
#include <cstdint>

#include "framework/tl/TL.h"

// Filter modes of a node.
#define TM_MODE_NEAREST 0         // GL_NEAREST, one level
#define TM_MODE_LINEAR 1          // GL_LINEAR, one level
#define TM_MODE_NEAREST_MIPMAP 2  // GL_NEAREST / GL_NEAREST_MIPMAP_NEAREST, mipmaps
#define TM_MODE_LINEAR_MIPMAP 3   // GL_LINEAR / GL_LINEAR_MIPMAP_LINEAR, mipmaps

// Error code of tmLoad when the image cannot be loaded (the loader's own code
// goes to the log).
#define TM_ERR_LOAD 1005

struct TM_Node_t {
  char* name;         // the node's own copy, zero-terminated
  uint32_t texture;   // GL texture name
  int32_t uploaded;   // non-zero while the GL texture exists
  int32_t loads;      // tmLoad/tmLoadFromBitmap requests; only counted
  int32_t mode;       // TM_MODE_*; other numbers set no filters and build mipmaps
  txBitmap* bitmap;   // what the texture was made from; owned by the node
};

int tmInit(void);
// Texture name of the named image, loaded and uploaded on first use; -1 on
// failure. A name already cached keeps the mode it was first loaded with.
int32_t tmLoad(const char* name, int32_t mode);
// Makes (or replaces) the named texture from a bitmap; the cache owns the
// bitmap from now on. A bitmap the node held before is not freed.
int32_t tmLoadFromBitmap(const char* name, txBitmap* bitmap, int32_t mode);
int tmReloadFromBitmap(const char* name, txBitmap* bitmap);
int tmReload(const char* name);
int tmBind(const char* name);
int tmUnload(const char* name);
txBitmap* tmGetBitmap(const char* name);
int32_t tmGetID(const char* name);
TM_Node_t* tmFind(const char* name);
int tmDone(void);
