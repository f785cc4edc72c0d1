#include "engine/capture.h"

#include <cstddef>
#include <string>

#include "engine/loader.h"
#include "units/gltexture.h"
#include "units/glunit.h"
#include "units/sysunit.h"

using namespace qgl;

CaptureUnitState CaptureUnit;

namespace {

constexpr int kRgbaBytes = 4;

// A zero-filled tracked block, released at the end of the scope; null when
// it cannot be had, which the GL takes as "no data".
class Staging {
 public:
  Staging(size_t bytes, const char* tag) : block_(MemGet(bytes, tag)) {}
  ~Staging() { MemFree(block_); }
  Staging(const Staging&) = delete;
  Staging& operator=(const Staging&) = delete;
  const void* data() const { return block_; }

 private:
  void* block_;
};

void DeleteName(uint32_t& name) {
  if (name) glDeleteTextures(1, &name);
  name = 0;
}

// A new texture with linear filters, bound, holding w x h RGBA from pixels.
uint32_t NewRgbaTexture(int32_t w, int32_t h, const void* pixels, TextureWrap wrap) {
  glEnable(GL_TEXTURE_2D);
  return NewTexture2D(w, h, kRgbaBytes, GL_RGBA, GL_LINEAR, wrap, pixels);
}

bool ValidIndex(int32_t index, const char* operation) {
  if (index >= 0 && index < kFramebufferTextureCount) return true;
  LoaderLog(std::string(operation) + ": no capture texture " + std::to_string(index));
  return false;
}

void CopyInto(uint32_t texture, GLenum format, int32_t w, int32_t h) {
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, texture);
  glCopyTexImage2D(GL_TEXTURE_2D, 0, format, 0, 0, w, h, 0);
}

}  // namespace

void CreateFramebufferTexture(void) {
  Staging pixels(size_t{kFramebufferWidth} * kFramebufferHeight * kRgbaBytes, "temporary texture data for frame");
  for (uint32_t& name : CaptureUnit.FramebufferTextures)
    name = NewRgbaTexture(kFramebufferWidth, kFramebufferHeight, pixels.data(), TextureWrap::ClampToEdge);
}

void GrabFramebuffer(int32_t index) {
  if (ValidIndex(index, "GrabFramebuffer"))
    CopyInto(CaptureUnit.FramebufferTextures[index], GL_RGBA, kFramebufferWidth, kFramebufferHeight);
}

void GrabDepthBuffer(int32_t index) {
  if (ValidIndex(index, "GrabDepthBuffer"))
    CopyInto(CaptureUnit.FramebufferTextures[index], GL_DEPTH_COMPONENT, kDepthGrabSize, kDepthGrabSize);
}

void CreateGlowTexture(void) {
  if (CaptureUnit.GlowSize < 1) return;
  size_t edge = static_cast<size_t>(CaptureUnit.GlowSize);
  Staging pixels(edge * edge * kRgbaBytes, "temporary texture data for glow ");
  CaptureUnit.GlowTexture =
      NewRgbaTexture(CaptureUnit.GlowSize, CaptureUnit.GlowSize, pixels.data(), TextureWrap::Repeat);
}

void GrabGlow(void) { CopyInto(CaptureUnit.GlowTexture, GL_RGBA, CaptureUnit.GlowSize, CaptureUnit.GlowSize); }

void ReleaseCaptureTextures(void) {
  for (uint32_t& name : CaptureUnit.FramebufferTextures) DeleteName(name);
  DeleteName(CaptureUnit.GlowTexture);
}
