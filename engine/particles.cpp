#include "engine/particles.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/camera.h"
#include "engine/vector.h"
#include "framework/base/numconv.h"
#include "framework/wm/glconst.h"
#include "units/glunit.h"
#include "units/random.h"
#include "units/sysunit.h"

ParticlesUnitState ParticlesUnit;

namespace {

constexpr int kAllocationFailedExitCode = 1;
constexpr const char* kPoolDescription = " particle info ";
// The spread is drawn in steps of 1 / kSpreadSteps.
constexpr double kSpreadSteps = 10000.0;

size_t PoolSize(const _OVX_SCENE& scene) {
  return scene.particles && scene.particlecount > 0 ? static_cast<size_t>(scene.particlecount) : 0;
}

const _OVX_PARTICLEDATA* EmitterOf(const _OVX_SCENE& scene, int32_t object) {
  if (!scene.objects || object < 0 || object >= scene.objectcount) return nullptr;
  return &scene.objects[object].particledata;
}

// Hands out slots for one step's emission: the first free slot from index 0
// on, the last slot when none is free. Emission only fills slots, so the
// search goes on where the previous one stopped.
class SlotFinder {
 public:
  explicit SlotFinder(_OVX_SCENE& scene) : pool_(scene.particles), size_(PoolSize(scene)) {}
  _OVX_PARTICLE* Next() {
    if (size_ == 0) return nullptr;  // no last slot to fall back on
    while (next_ < size_ && !pool_[next_].free) ++next_;
    return next_ < size_ ? &pool_[next_] : &pool_[size_ - 1];
  }

 private:
  _OVX_PARTICLE* pool_;
  size_t size_;
  size_t next_ = 0;
};

void Emit(_OVX_SCENE& scene, float time) {
  SlotFinder slots(scene);
  for (int32_t i = 0; scene.objects && i < scene.objectcount; ++i) {
    const _OVX_OBJECT& o = scene.objects[i];
    const _OVX_PARTICLEDATA& e = o.particledata;
    if (!e.particleenabled) continue;
    _OVX_VECTOR origin;
    ObjectPositionAtTime(origin, &scene, i, time);
    origin = VecAdd(origin, o.pivot);
    for (int32_t n = 0; n < e.newparticle; ++n) {
      _OVX_PARTICLE* p = slots.Next();
      if (!p) return;
      p->free = 0;
      p->colorattrib = e.colorattrib;
      p->power = e.power;
      p->deltapower = e.deltapower;
      p->color = e.color;
      p->object = i;
      p->position = origin;
      p->velocity.x = ParticleSpreadComponent(e.deltavector.x, e.deltavectorspread.x);
      p->velocity.y = ParticleSpreadComponent(e.deltavector.y, e.deltavectorspread.y);
      p->velocity.z = ParticleSpreadComponent(e.deltavector.z, e.deltavectorspread.z);
    }
  }
}

// A particle whose object is no longer in the scene still moves and decays
// but is not drawn.
void DrawAndAge(_OVX_SCENE& scene, const ParticleSink& sink) {
  for (size_t s = 0; s < PoolSize(scene); ++s) {
    _OVX_PARTICLE& p = scene.particles[s];
    if (p.free) continue;
    if (const _OVX_PARTICLEDATA* e = EmitterOf(scene, p.object)) {
      float f = ParticleLifeFraction(p.power, e->power);
      sink(ParticleSprite{p.position, e->textureid, ApplyColorAttrib(p.colorattrib, p.color, e->size, f)});
      ++ParticlesUnit.ParticlesDrawn;
    }
    p.power -= p.deltapower;
    p.position = VecAdd(p.position, p.velocity);
    if (p.power <= 0.0f) p.free = 1;
  }
}

void DrawSprite(const ParticleSprite& sprite, const _OVX_VECTOR& r, const _OVX_VECTOR& u) {
  using namespace qgl;
  const _OVX_VECTOR& p = sprite.position;
  const _OVX_VECTOR sr = VecScale(r, sprite.look.size), su = VecScale(u, sprite.look.size);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(sprite.textureid));
  glColor3f(sprite.look.color.r, sprite.look.color.g, sprite.look.color.b);
  glBegin(GL_TRIANGLE_STRIP);
  glTexCoord2f(0.0f, 0.0f);
  glVertex3f(p.x - sr.x, p.y - sr.y, p.z - sr.z);
  glTexCoord2f(1.0f, 0.0f);
  glVertex3f(p.x - su.x, p.y - su.y, p.z - su.z);
  glTexCoord2f(0.0f, 1.0f);
  glVertex3f(p.x + su.x, p.y + su.y, p.z + su.z);
  glTexCoord2f(1.0f, 1.0f);
  glVertex3f(p.x + sr.x, p.y + sr.y, p.z + sr.z);
  glEnd();
}

}  // namespace

void AllocParticles(_OVX_SCENE* scene, int32_t count) {
  if (!scene) return;
  if (count < 0) std::exit(kAllocationFailedExitCode);
  // The tracked allocator has no block of 0 bytes: an empty pool is null.
  void* pool = nullptr;
  if (count > 0) {
    const ShortString description(std::string(scene->name.view()) + kPoolDescription);
    pool = MemGet(static_cast<size_t>(count) * sizeof(_OVX_PARTICLE), description);
    if (!pool) std::exit(kAllocationFailedExitCode);
  }
  FreeParticles(scene);
  scene->particles = static_cast<_OVX_PARTICLE*>(pool);
  scene->particlecount = count;
  for (int32_t i = 0; i < count; ++i) scene->particles[i].free = 1;
}

void FreeParticles(_OVX_SCENE* scene) {
  if (!scene) return;
  if (!scene->sharedcopy) MemFree(scene->particles);
  scene->particles = nullptr;
}

ParticleLook ApplyColorAttrib(uint8_t colorattrib, const _OVX_RGB& color, float size, float f) {
  ParticleLook look{color, size};
  auto scaled = [&color](float k) { return _OVX_RGB{color.r * k, color.g * k, color.b * k}; };
  if (colorattrib & kParticleFadeOut) look.color = scaled(f);
  if (colorattrib & kParticleShrink) look.size = size * f;
  if (colorattrib & kParticleFadeIn) look.color = scaled(1.0f - f);
  if (colorattrib & kParticleGrow) look.size = size * (1.0f - f);
  return look;
}

float ParticleLifeFraction(float power, float emitterPower) {
  return emitterPower == 0.0f ? 1.0f : power / emitterPower;
}

bool ParticleSpriteAxes(const _OVX_VECTOR& eye, const _OVX_VECTOR& target, _OVX_VECTOR& r, _OVX_VECTOR& u) {
  // The flares' billboard, seen along the pass camera's view.
  return FlareAxes(VecSub(eye, target), r, u);
}

float ParticleSpreadComponent(float base, float spread) {
  const int32_t range = SYS_RoundInt32(kSpreadSteps * spread);
  const int32_t half = SYS_RoundInt32(kSpreadSteps / 2 * spread);
  const double offset = (static_cast<double>(Random(range)) - half) / kSpreadSteps;
  return static_cast<float>(base + offset);
}

bool ParticleStep(_OVX_SCENE* scene, float time, const _OVX_VECTOR& eye, const _OVX_VECTOR& target,
                  const ParticleSink& sink) {
  _OVX_VECTOR r, u;
  if (!scene || !ParticleSpriteAxes(eye, target, r, u)) return false;
  Emit(*scene, time);
  DrawAndAge(*scene, sink);
  return true;
}

void DrawParticles(_OVX_SCENE* scene, float time) {
  using namespace qgl;
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glEnable(GL_TEXTURE_2D);
  _OVX_VECTOR r, u;
  if (!ParticleSpriteAxes(DrawUnit.CameraEye, RenderUnit.CameraTarget, r, u)) return;
  ParticleStep(scene, time, DrawUnit.CameraEye, RenderUnit.CameraTarget,
               [&r, &u](const ParticleSprite& s) { DrawSprite(s, r, u); });
  glDepthMask(GL_TRUE);
}
