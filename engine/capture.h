// Render targets filled by copying from the frame buffer: eight 800 x 600
// RGBA textures and one small square glow texture. Layers and scene
// materials bind them by name ("RT", "GLOW", "$framebuffer$.jpg") and take
// the name the variable holds when they are loaded, so the application
// creates the textures before it loads such files; nothing creates them on
// demand, and a file loaded before gets 0 (no texture). Every operation
// needs a current GL context.
#pragma once
#include <cstdint>

constexpr int kFramebufferTextureCount = 8;
constexpr int kFramebufferWidth = 800;
constexpr int kFramebufferHeight = 600;
constexpr int kDepthGrabSize = 512;
constexpr int32_t kDefaultGlowSize = 8;

// The capture textures, with their start values.
struct CaptureUnitState {
  // GL texture names, 0 until created.
  uint32_t FramebufferTextures[kFramebufferTextureCount] = {};
  uint32_t GlowTexture = 0;
  // Edge of the glow texture in pixels; read when it is created and grabbed.
  int32_t GlowSize = kDefaultGlowSize;
};
extern CaptureUnitState CaptureUnit;

// Creates the eight textures, transparent black. A second call makes new
// names and leaves the old textures alive: layers and materials loaded
// before still hold them.
void CreateFramebufferTexture(void);
// Copies the 800 x 600 frame buffer rectangle at the window origin into
// texture index as RGBA; an index outside 0..7 is logged and ignored.
void GrabFramebuffer(int32_t index);
// Copies the 512 x 512 depth rectangle at the origin into texture index,
// which stays a depth texture until the next GrabFramebuffer; an index
// outside 0..7 is logged and ignored.
void GrabDepthBuffer(int32_t index);
// Creates the GlowSize x GlowSize texture, transparent black; like
// CreateFramebufferTexture it leaves an earlier one alive. A GlowSize below 1
// creates nothing (no block of that size can be made).
void CreateGlowTexture(void);
// Copies the GlowSize x GlowSize frame buffer rectangle at the origin into
// the glow texture as RGBA.
void GrabGlow(void);

// Deletes every capture texture and sets the names back to 0.
void ReleaseCaptureTextures(void);
