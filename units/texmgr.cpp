// The texture management table.
#include "units/texmgr.h"

#include <cstdio>
#include <string>

#include "framework/tl/converters.h"
#include "platform/kernel.h"
#include "units/glunit.h"
#include "units/gluunit.h"
#include "units/sysunit.h"
#include "units/txunit.h"
#include "units/wmunit.h"

using namespace qgl;

txNode txNodes[kTextureNodes];

namespace {

bool InUse(const txNode& n) { return !n.free && n.uploaded; }

void PassDxtSupport() {
  txOptions(TX_OPT_DXT1, glSupportDXT1);
  txOptions(TX_OPT_DXT3, glSupportDXT3);
  txOptions(TX_OPT_DXT5, glSupportDXT5);
}

int32_t Half(int32_t side) { return side > 1 ? side / 2 : 1; }

// Drops leading levels of a multi-level image until level 0 fits the
// maximum: the levels below are the reduced image already.
void DropLevels(txBitmap* b, int32_t maxSize) {
  while (b->levels > 1 && (b->width > maxSize || b->height > maxSize)) {
    SYS_MemFree(b->data[0]);
    for (int i = 0; i + 1 < TX_LEVELS; ++i) {
      b->data[i] = b->data[i + 1];
      b->sizes[i] = b->sizes[i + 1];
    }
    b->data[TX_LEVELS - 1] = nullptr;
    b->sizes[TX_LEVELS - 1] = 0;
    b->levels--;
    b->width = Half(b->width);
    b->height = Half(b->height);
  }
}

// Fits the image into the GL's maximum texture size. Before the extension
// probe has run the maximum reads 0, which sets no limit.
void FitToMaximum(txBitmap* b, const ShortString& name) {
  int32_t maxSize = glMaxTextureSize;
  if (maxSize <= 0 || (b->width <= maxSize && b->height <= maxSize)) return;
  Log(ShortString(" - scaling down ") + name);
  int32_t ow = b->width, oh = b->height;
  DropLevels(b, maxSize);
  int32_t w = b->width < maxSize ? b->width : maxSize;
  int32_t h = b->height < maxSize ? b->height : maxSize;
  Log(ShortString("   - ") + std::to_string(ow) + "x" + std::to_string(oh) + " -> " + std::to_string(w) + "x" +
      std::to_string(h));
  // Only one level of pixels can be reduced; a compressed image that is
  // still too large goes up as it is and the GL refuses it.
  if (b->levels == 1 && b->type != TX_TYPE_COMPRESSED) txScale(b, w, h);
}

void SetFilters(int32_t mode) {
  static const GLint kMag[4] = {GL_NEAREST, GL_LINEAR, GL_NEAREST, GL_LINEAR};
  static const GLint kMin[4] = {GL_NEAREST, GL_LINEAR, GL_NEAREST_MIPMAP_NEAREST, GL_LINEAR_MIPMAP_LINEAR};
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, kMag[mode]);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, kMin[mode]);
}

// Filter parameters and upload by mode; other modes leave the texture empty.
void UploadByMode(txBitmap* b, int32_t mode) {
  if (mode < TX_MODE_NEAREST || mode > TX_MODE_LINEAR_MIPMAP) return;
  SetFilters(mode);
  UploadTexture(b, mode <= TX_MODE_LINEAR ? 1 : 0);
}

// A new GL texture for the node, bound, with the image uploaded.
void CreateTexture(txNode& node, txBitmap* b) {
  GLuint name = 0;
  glGenTextures(1, &name);
  node.texture = static_cast<int32_t>(name);
  glBindTexture(GL_TEXTURE_2D, name);
  node.bpp = b->bits;
  UploadByMode(b, node.mode);
  node.uploaded = true;
}

// The GL pixel format of an uncompressed bitmap, chosen by its depth so that
// the GL reads exactly the bytes each row holds; 0 for a depth it cannot take.
GLenum PixelFormat(const txBitmap* b) {
  switch (b->bits) {
    case 8: return GL_LUMINANCE;
    case 24: return b->subtype == TX_SUB_24_SWAPPED ? GL_BGR : GL_RGB;
    case 32: return GL_RGBA;
    default: return 0;
  }
}

// Whether level i holds the w x h pixels an upload reads from it.
bool LevelHolds(const txBitmap* b, int i, int64_t w, int64_t h) {
  return b->data[i] && b->sizes[i] >= w * h * (b->bits / 8);
}

void UploadCompressed(txBitmap* b) {
  glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 0);
  int32_t w = b->width, h = b->height;
  for (int i = 0; i < b->levels && i < TX_LEVELS; ++i) {
    if (glCompressedTexImage2DARB && b->data[i])
      glCompressedTexImage2DARB(GL_TEXTURE_2D, i, static_cast<GLenum>(b->subtype), w, h, 0, b->sizes[i], b->data[i]);
    w = Half(w);
    h = Half(h);
  }
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, b->levels - 1);
}

}  // namespace

void ResetTextures(void) {
  for (txNode& n : txNodes) {
    n.name = "empty";
    n.texture = 0;
    n.uploaded = false;
    n.free = true;
    n.mode = TX_MODE_LINEAR_MIPMAP;
    n.refs = 0;
  }
}

void TextureManagerUnitInit(void) { ResetTextures(); }

int32_t LoadTexture(const ShortString& name, int32_t mode) {
  PassDxtSupport();
  int32_t shared = 0;
  for (txNode& n : txNodes) {
    if (InUse(n) && n.mode == mode && n.name == name) {
      n.refs++;
      shared = n.texture;
    }
  }
  if (shared != 0) return shared;

  txNode* node = nullptr;
  for (txNode& n : txNodes) {
    if (n.free) {
      node = &n;
      break;
    }
  }
  // Every node holds a texture: nothing is written past the table.
  if (!node) {
    Log(ShortString(" ! texture table full: ") + name);
    return 0;
  }
  node->name = name;
  node->free = false;
  node->mode = mode;
  node->refs = 1;

  txBitmap* b = TxLoad(name);
  if (!b) FatalError(ShortString("Error occoured ! Texture Loader Error. ( ") + name + " )");
  FitToMaximum(b, name);
  CreateTexture(*node, b);
  txFree(&b);
  return node->texture;
}

void ReleaseTexture(int32_t texture) {
  for (txNode& n : txNodes) {
    if (!InUse(n) || n.texture != texture) continue;
    if (--n.refs < 1) {
      GLuint name = static_cast<GLuint>(n.texture);
      glDeleteTextures(1, &name);
      n.free = true;
      n.uploaded = false;
    }
  }
}

int32_t GetTextureBpp(int32_t texture) {
  int32_t bpp = 0;
  for (const txNode& n : txNodes)
    if (InUse(n) && n.texture == texture) bpp = n.bpp;
  return bpp;
}

void UploadTexture(txBitmap* b, int32_t single) {
  if (!b) return;
  // Rows are tightly packed, whatever their width.
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  if (b->type == TX_TYPE_COMPRESSED) {
    UploadCompressed(b);
    return;
  }
  GLenum format = PixelFormat(b);
  if (format == 0) {
    Log(ShortString(" ! texture depth not uploaded: ") + std::to_string(b->bits));
    return;
  }
  GLint components = b->bits / 8;
  if (b->levels > 1) {
    glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, 0);
    int32_t w = b->width, h = b->height;
    for (int i = 0; i < b->levels && i < TX_LEVELS; ++i) {
      if (LevelHolds(b, i, w, h))
        glTexImage2D(GL_TEXTURE_2D, i, components, w, h, 0, format, GL_UNSIGNED_BYTE, b->data[i]);
      w = Half(w);
      h = Half(h);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, b->levels - 1);
  } else if (!LevelHolds(b, 0, b->width, b->height)) {
    Log(" ! texture image smaller than its size");
  } else if (single == 0) {
    gluBuild2DMipmaps(GL_TEXTURE_2D, components, b->width, b->height, format, GL_UNSIGNED_BYTE, b->data[0]);
  } else {
    glTexImage2D(GL_TEXTURE_2D, 0, components, b->width, b->height, 0, format, GL_UNSIGNED_BYTE, b->data[0]);
  }
}

void WriteTextureReport(const ShortString& fileName) {
  FILE* f = std::fopen(plat::HostPath(fileName.view()).c_str(), "w");
  if (!f) return;
  std::fputs("Quarnel texture management system\n \n", f);
  for (const txNode& n : txNodes) {
    if (n.free) continue;
    std::fprintf(f, "%s OpenGL ref.:%d uploaded:%s type:%d reqs.:%d\n", n.name.data(), n.texture,
                 n.uploaded ? "TRUE" : "FALSE", n.mode, n.refs);
  }
  std::fclose(f);
}

void DeleteAllTextures(void) {
  for (txNode& n : txNodes) {
    if (!InUse(n)) continue;
    GLuint name = static_cast<GLuint>(n.texture);
    glDeleteTextures(1, &name);
  }
  ResetTextures();
}

void ReloadAllTextures(void) {
  PassDxtSupport();
  for (txNode& n : txNodes) {
    if (!InUse(n)) continue;
    txBitmap* b = TxLoad(n.name);
    // The node keeps its old texture when its image is gone.
    if (!b) {
      Log("Error occoured ! Texture Loader Error. (NIL RETURN VALUE)");
      continue;
    }
    GLuint old = static_cast<GLuint>(n.texture);
    glDeleteTextures(1, &old);
    CreateTexture(n, b);
    txFree(&b);
  }
}
