// The GL texture cache. Nodes sit on one framework list, newest first; a
// lookup compares names exactly. Every upload goes through tmUpload, which
// checks the bitmap first so that the GL never reads past a level's buffer.
#include "framework/tl/TM.h"

#include <cstring>

#include "framework/base/cfg.h"
#include "framework/base/list.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/wm/gl.h"
#include "framework/wm/glconst.h"

#define TM_LOG(level, ...) SYS_LOG_TAGGED(level, "[TM]", __VA_ARGS__)
#define TM_LOG_AS(level, fn, ...) SYS_LOG_TAGGED_AS(level, "[TM]", fn, __VA_ARGS__)

namespace {

struct CacheState {
  SYS_List_p nodes = nullptr;
  int debug = 0;
};
CacheState tm;

#define TM_DEBUG(...)                                               \
  do {                                                              \
    if (tm.debug) SYS_LOG_TAGGED(SYS_DBG_MSG, "[TM]", __VA_ARGS__); \
  } while (0)

TM_Node_t* Lookup(const char* name) {
  if (!name) return nullptr;
  for (SYS_List_p at = tm.nodes; at; at = at->next) {
    auto* node = static_cast<TM_Node_t*>(at->data);
    if (std::strcmp(node->name, name) == 0) return node;
  }
  return nullptr;
}

// The node of the name, or null with error 14 (10 for a null name).
TM_Node_t* Required(const char* name) {
  TM_Node_t* node = Lookup(name);
  if (!node) errSetLastError(name ? ERR_NOTLISTED : ERR_BADARG);
  return node;
}

// A zeroed node owning a copy of the name, or null with error 5.
TM_Node_t* NewNode(const char* name) {
  auto* node = static_cast<TM_Node_t*>(SYS_MemGet(sizeof(TM_Node_t)));
  size_t length = std::strlen(name) + 1;
  auto* copy = static_cast<char*>(SYS_MemGet(length));
  if (!node || !copy) {
    SYS_MemFree(node);
    SYS_MemFree(copy);
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  std::memcpy(copy, name, length);
  node->name = copy;
  return node;
}

void FreeNode(TM_Node_t* node) {
  if (node->bitmap) txFree(&node->bitmap);
  SYS_MemFree(node->name);
  SYS_MemFree(node);
}

// Puts the node at the front; on failure the node is released (error 5).
bool AddFront(TM_Node_t* node) {
  SYS_List_p list = SYS_ListAddFirst(tm.nodes, node);
  if (!list) {
    SYS_ErrKeeper keep;
    FreeNode(node);
    return false;
  }
  tm.nodes = list;
  return true;
}

void DeleteTexture(TM_Node_t* node) {
  GLuint texture = node->texture;
  wmGL.glDeleteTextures(1, &texture);
}

void DeleteIfUploaded(TM_Node_t* node) {
  if (!node->uploaded) return;
  DeleteTexture(node);
  node->uploaded = 0;
}

// Replacing a node's bitmap releases the old one unless it is the same.
void TakeBitmap(TM_Node_t* node, txBitmap* bitmap) {
  if (node->bitmap && node->bitmap != bitmap) txFree(&node->bitmap);
  node->bitmap = bitmap;
}

int32_t Half(int32_t side) { return side > 1 ? side / 2 : 1; }

int BytesPerPixel(GLenum format) {
  switch (format) {
    case GL_LUMINANCE: return 1;
    case GL_RGB:
    case GL_BGR_EXT: return 3;
    default: return 4;
  }
}

GLenum FormatOfSubtype(int32_t subtype) {
  switch (subtype) {
    case TX_SUB_24: return GL_RGB;
    case TX_SUB_24_SWAPPED: return GL_BGR_EXT;
    case TX_SUB_32: return GL_RGBA;
    case TX_SUB_GREY: return GL_LUMINANCE;
    default: return GL_RGBA;
  }
}

GLenum FormatOfDepth(int32_t bits) {
  switch (bits) {
    case 8: return GL_LUMINANCE;
    case 24: return GL_RGB;
    case 32: return GL_RGBA;
    default: return 0;
  }
}

// The pixel format follows the subtype; where the subtype's pixel is not
// bits / 8 bytes long (a palette or unknown subtype, say) the depth decides,
// so the GL reads exactly the bytes each row holds. 0: no format fits.
GLenum PixelFormat(const txBitmap* b) {
  GLenum bySubtype = FormatOfSubtype(b->subtype);
  if (BytesPerPixel(bySubtype) * 8 == b->bits) return bySubtype;
  return FormatOfDepth(b->bits);
}

int32_t LevelCount(const txBitmap* b) { return b->levels < TX_LEVELS ? b->levels : TX_LEVELS; }

bool LevelHolds(const txBitmap* b, int i, int64_t w, int64_t h, int64_t bytesPerPixel) {
  return b->data[i] && b->sizes[i] >= w * h * bytesPerPixel;
}

// Mesa exports the core name as well; either takes the same arguments.
auto CompressedUpload() {
  return wmGL.glCompressedTexImage2DARB ? wmGL.glCompressedTexImage2DARB : wmGL.glCompressedTexImage2D;
}

// Whether tmUpload can send the bitmap to the GL; if not, logs why and sets
// the error (10 for a bitmap that lacks its pixels, 11 for one the GL here
// cannot take).
bool Uploadable(const TM_Node_t* node, const char* fn) {
  const txBitmap* b = node->bitmap;
  if (!b || b->width <= 0 || b->height <= 0) {
    TM_LOG_AS(SYS_DBG_MSG, fn, "  ! no image to upload: %s\n", node->name);
    errSetLastError(ERR_BADARG);
    return false;
  }
  if (b->type == TX_TYPE_COMPRESSED) {
    if (CompressedUpload()) return true;
    TM_LOG_AS(SYS_DBG_MSG, fn, "  ! compressed textures not supported: %s\n", node->name);
    errSetLastError(ERR_UNSUPPORTED);
    return false;
  }
  GLenum format = PixelFormat(b);
  if (format == 0) {
    TM_LOG_AS(SYS_DBG_MSG, fn, "  ! %d bit textures not supported: %s\n", b->bits, node->name);
    errSetLastError(ERR_UNSUPPORTED);
    return false;
  }
  if (!LevelHolds(b, 0, b->width, b->height, BytesPerPixel(format))) {
    TM_LOG_AS(SYS_DBG_MSG, fn, "  ! image smaller than its size: %s\n", node->name);
    errSetLastError(ERR_BADARG);
    return false;
  }
  return true;
}

void SetFilters(int32_t mode) {
  static const GLint kMag[4] = {GL_NEAREST, GL_LINEAR, GL_NEAREST, GL_LINEAR};
  static const GLint kMin[4] = {GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR};
  if (mode < TM_MODE_NEAREST || mode > TM_MODE_LINEAR_MIPMAP) return;
  wmGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, kMag[mode]);
  wmGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, kMin[mode]);
}

bool OneLevelMode(int32_t mode) { return mode == TM_MODE_NEAREST || mode == TM_MODE_LINEAR; }

void UploadCompressed(const TM_Node_t* node, const char* fn) {
  const txBitmap* b = node->bitmap;
  auto upload = CompressedUpload();
  wmGL.glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 0);
  int32_t w = b->width, h = b->height;
  for (int i = 0; i < LevelCount(b); ++i, w = Half(w), h = Half(h)) {
    if (!b->data[i] || b->sizes[i] <= 0) continue;
    upload(GL_TEXTURE_2D, i, static_cast<GLenum>(b->subtype), w, h, 0, b->sizes[i], b->data[i]);
    GLenum error = wmGL.glGetError();
    if (error == 0) continue;
    TM_LOG_AS(SYS_DBG_MSG, fn, " Texture upload error: %d (0x%04x)\n", static_cast<int>(error),
              static_cast<unsigned>(error));
    TM_LOG_AS(SYS_DBG_MSG, fn, "  - node's name: %s\n", node->name);
  }
  wmGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, b->levels - 1);
}

void UploadPixels(const TM_Node_t* node) {
  const txBitmap* b = node->bitmap;
  GLenum format = PixelFormat(b);
  int bytesPerPixel = BytesPerPixel(format);
  GLint components = bytesPerPixel;
  if (b->levels > 1) {
    wmGL.glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 0);
    int32_t w = b->width, h = b->height;
    for (int i = 0; i < LevelCount(b); ++i, w = Half(w), h = Half(h)) {
      // A level without its pixels is left out rather than read past.
      if (!LevelHolds(b, i, w, h, bytesPerPixel)) continue;
      wmGL.glTexImage2D(GL_TEXTURE_2D, i, components, w, h, 0, format, GL_UNSIGNED_BYTE, b->data[i]);
    }
    wmGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, b->levels - 1);
  } else if (OneLevelMode(node->mode)) {
    wmGL.glTexImage2D(GL_TEXTURE_2D, 0, components, b->width, b->height, 0, format, GL_UNSIGNED_BYTE, b->data[0]);
  } else if (wmGLU.gluBuild2DMipmaps) {
    wmGLU.gluBuild2DMipmaps(GL_TEXTURE_2D, components, b->width, b->height, format, GL_UNSIGNED_BYTE, b->data[0]);
  } else {
    // Without the GLU library the GL builds the levels itself.
    wmGL.glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 1);
    wmGL.glTexImage2D(GL_TEXTURE_2D, 0, components, b->width, b->height, 0, format, GL_UNSIGNED_BYTE, b->data[0]);
  }
}

// Makes the node's GL texture from its bitmap, bound; 0, or -1 with the node
// left without a texture when the bitmap cannot be uploaded here.
int tmUpload(TM_Node_t* node) {
  wmGL.glEnable(GL_TEXTURE_2D);
  DeleteTexture(node);
  // The old name may be handed out again: the node must not delete it twice.
  node->texture = 0;
  node->uploaded = 0;
  if (!Uploadable(node, __func__)) return -1;
  GLuint texture = 0;
  wmGL.glGenTextures(1, &texture);
  node->texture = texture;
  wmGL.glBindTexture(GL_TEXTURE_2D, texture);
  TM_DEBUG(" Upload texture: %s\n", node->name);
  SetFilters(node->mode);
  wmGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
  wmGL.glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
  // Rows are tightly packed whatever their width (odd-width 8- and 24-bit).
  wmGL.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (node->bitmap->type == TX_TYPE_COMPRESSED) UploadCompressed(node, __func__);
  else UploadPixels(node);
  node->uploaded = 1;
  return 0;
}

int32_t TextureOf(const TM_Node_t* node) { return static_cast<int32_t>(node->texture); }

}  // namespace

int tmInit(void) {
  errClear();
  tm.debug = SYS_CfgHas("debug-tm") ? 1 : 0;
  return 0;
}

int32_t tmLoad(const char* name, int32_t mode) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (TM_Node_t* node = Lookup(name)) {
    if (!node->uploaded && tmUpload(node) != 0) return -1;
    node->loads++;
    wmGL.glEnable(GL_TEXTURE_2D);
    wmGL.glBindTexture(GL_TEXTURE_2D, node->texture);
    TM_DEBUG(" Load texture from cache: %s\n", name);
    return TextureOf(node);
  }
  TM_Node_t* node = NewNode(name);
  if (!node) return -1;
  TM_DEBUG("  ! New node: %s\n", name);
  node->loads = 1;
  node->mode = mode;
  node->bitmap = txLoad(name);
  if (!node->bitmap) {
    TM_LOG(SYS_DBG_MSG, "  ! texture loading error: %d\n", errPeekLastError());
    FreeNode(node);
    errSetLastError(TM_ERR_LOAD);
    return -1;
  }
  // A node whose upload fails stays cached with its image: a later load in a
  // context that can take it tries again.
  int uploaded = tmUpload(node);
  if (!AddFront(node)) return -1;
  return uploaded == 0 ? TextureOf(node) : -1;
}

int32_t tmLoadFromBitmap(const char* name, txBitmap* bitmap, int32_t mode) {
  errClear();
  if (!name || !bitmap) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  TM_DEBUG(" New node from bitmap: %s\n", name);
  TM_Node_t* node = Lookup(name);
  if (!node) {
    node = NewNode(name);
    if (!node || !AddFront(node)) return -1;
  }
  node->loads++;
  // A bitmap the node held before stays with whoever made it: the caller may
  // still draw into it.
  node->bitmap = bitmap;
  node->mode = mode;
  return tmUpload(node) == 0 ? TextureOf(node) : -1;
}

int tmReloadFromBitmap(const char* name, txBitmap* bitmap) {
  errClear();
  TM_Node_t* node = Required(name);
  if (!node) return -1;
  TM_DEBUG(" Reload texture from bitmap: %s\n", name);
  if (!bitmap) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  wmGL.glDisable(GL_TEXTURE_2D);
  TakeBitmap(node, bitmap);
  wmGL.glEnable(GL_TEXTURE_2D);
  DeleteIfUploaded(node);
  return tmUpload(node);
}

int tmReload(const char* name) {
  errClear();
  TM_Node_t* node = Required(name);
  if (!node) return -1;
  TM_DEBUG(" Reload texture: %s\n", name);
  wmGL.glEnable(GL_TEXTURE_2D);
  DeleteIfUploaded(node);
  return tmUpload(node);
}

int tmBind(const char* name) {
  errClear();
  TM_Node_t* node = Required(name);
  if (!node) return -1;
  if (node->uploaded) {
    wmGL.glEnable(GL_TEXTURE_2D);
    wmGL.glBindTexture(GL_TEXTURE_2D, node->texture);
  }
  return 0;
}

int tmUnload(const char* name) {
  errClear();
  TM_Node_t* node = Required(name);
  if (!node) return -1;
  TM_DEBUG(" Remove texture: '%s'\n", name);
  DeleteIfUploaded(node);
  tm.nodes = SYS_ListDelItem(tm.nodes, node);
  FreeNode(node);
  errClear();
  return 0;
}

txBitmap* tmGetBitmap(const char* name) {
  errClear();
  TM_Node_t* node = Required(name);
  return node ? node->bitmap : nullptr;
}

int32_t tmGetID(const char* name) {
  errClear();
  TM_Node_t* node = Required(name);
  return node ? TextureOf(node) : -1;
}

TM_Node_t* tmFind(const char* name) {
  errClear();
  return Required(name);
}

int tmDone(void) {
  errClear();
  if (!tm.nodes) return 0;
  TM_DEBUG(" Delete all loaded textures:\n");
  for (SYS_List_p at = tm.nodes; at; at = at->next) {
    auto* node = static_cast<TM_Node_t*>(at->data);
    TM_DEBUG("  - '%s'\n", node->name);
    DeleteIfUploaded(node);
    FreeNode(node);
  }
  SYS_ListRemove(tm.nodes);
  tm.nodes = nullptr;
  errClear();
  return 0;
}
