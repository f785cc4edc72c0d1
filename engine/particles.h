// Particle emitters: every object may carry an emitter, and a scene keeps one
// pool of particles that all its emitters share. Each DrawParticles call is
// one simulation step and one draw (emit, draw, move, decay), per call and
// not per elapsed time.
//
// The step itself (ParticleStep) is free of GL: it hands every particle it
// draws to a sink, so the life cycle is checked without a display.
//
// Where this unit differs from the plain description, and why:
//   - AllocParticles on a scene that holds a pool releases that pool first
//     (a leak otherwise).
//   - A particle whose emitting object is gone from the scene is aged but
//     not drawn (an out-of-bounds read otherwise).
#pragma once
#include <cstdint>
#include <functional>

#include "engine/draw.h"
#include "engine/ovx.h"
#include "engine/render.h"

// The colorattrib bits, applied in this order (a later bit replaces what an
// earlier one set); f is the particle's power over its emitter's power.
constexpr uint8_t kParticleFadeOut = 1;  // colour x f
constexpr uint8_t kParticleShrink = 2;   // size x f
constexpr uint8_t kParticleFadeIn = 4;   // colour x (1 - f)
constexpr uint8_t kParticleGrow = 8;     // size x (1 - f)

// The particles' state.
struct ParticlesUnitState {
  // Particles drawn; only grows, the application resets it per frame.
  int32_t ParticlesDrawn = 0;
};
extern ParticlesUnitState ParticlesUnit;
// The particle sprites face the camera of the last render pass (CameraEye
// and CameraTarget, written by the render passes).

// A pool of count free particles, a block of the tracked allocator described
// as the scene's name + " particle info ", so the leak report names it (0
// particles: no block). A pool the scene held before is released first,
// unless the record is a shared copy, whose pool belongs to the record it
// was copied from. A pool that cannot be had (a negative count among
// others) ends the program at once with exit code 1 and no message.
void AllocParticles(_OVX_SCENE* scene, int32_t count);
// Returns the pool to the tracked allocator and sets particles to null;
// particlecount is left as it was (a step finds no pool and draws nothing).
// On a shared copy only the copy's reference goes.
void FreeParticles(_OVX_SCENE* scene);

// The drawn colour and size of a particle.
struct ParticleLook {
  _OVX_RGB color;
  float size;
};
// Applies the colorattrib bits to colour and size with the life fraction f.
ParticleLook ApplyColorAttrib(uint8_t colorattrib, const _OVX_RGB& color, float size, float f);
// f of a particle: its power over the emitter's power. An emitter of power 0
// gives particles that live only the step of their birth, where f is 1.
float ParticleLifeFraction(float power, float emitterPower);

// The sprite axes from the camera: r = (-D.z, 0, D.x) and u =
// (-D.x D.y, D.x^2 + D.z^2, -D.z D.y), both normalised, D = eye - target.
// False when either has length 0 (the camera looks straight along the y
// axis); r and u are then left alone.
bool ParticleSpriteAxes(const _OVX_VECTOR& eye, const _OVX_VECTOR& target, _OVX_VECTOR& r, _OVX_VECTOR& u);

// Velocity component of a new particle: base plus a uniform offset in
// [-spread / 2, spread / 2) in steps of 0.0001, one draw of Random.
float ParticleSpreadComponent(float base, float spread);

// One particle as the step draws it: where, with which texture, colour and
// size.
struct ParticleSprite {
  _OVX_VECTOR position;
  int32_t textureid;
  ParticleLook look;
};
typedef std::function<void(const ParticleSprite&)> ParticleSink;

// One step without GL: emission from every enabled emitter at the time,
// then every live particle in slot order goes to the sink, moves by its
// velocity and loses its deltapower; a slot whose power is used up becomes
// free. A camera along the y axis ends the step before anything is emitted,
// moved or drawn (false). ParticlesDrawn counts the sprites.
bool ParticleStep(_OVX_SCENE* scene, float time, const _OVX_VECTOR& eye, const _OVX_VECTOR& target,
                  const ParticleSink& sink);

// The step with the sprites drawn additively as camera-facing squares turned
// by 45 degrees, facing CameraEye from CameraTarget. Sets face culling off,
// depth test on, blending ONE/ONE and 2D texturing on; depth writes are off
// while the sprites draw and on again at the end, except after a camera
// along the y axis, where they stay off. Each sprite binds its emitter's
// textureid: an emitter switched on after its scene's textures were loaded
// has texture 0.
void DrawParticles(_OVX_SCENE* scene, float time);
