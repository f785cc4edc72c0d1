#include "engine/particles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "testsupport/engine/scene.h"
#include "framework/base/mem.h"
#include "testsupport/testsupport.h"
#include "units/random.h"

namespace {

constexpr _OVX_VECTOR kEye{0.0f, -10.0f, 2.0f};
constexpr _OVX_VECTOR kOrigin{0.0f, 0.0f, 0.0f};

struct EmitterSpec {
  float power = 1.0f;
  float deltapower = 0.25f;
  int32_t newparticle = 1;
  _OVX_RGB color{1.0f, 1.0f, 1.0f};
  _OVX_VECTOR deltavector{0.0f, 0.0f, 0.0f};
};

// A scene of one emitter per spec, with a pool of the given size.
class ParticleScene {
 public:
  ParticleScene(int32_t pool, const std::vector<EmitterSpec>& emitters)
      : owned_({}, std::vector<std::string>(emitters.size(), "emitter")) {
    for (size_t i = 0; i < emitters.size(); ++i) {
      _OVX_PARTICLEDATA& e = owned_.object(i).particledata;
      e.particleenabled = 1;
      e.power = emitters[i].power;
      e.deltapower = emitters[i].deltapower;
      e.newparticle = emitters[i].newparticle;
      e.color = emitters[i].color;
      e.deltavector = emitters[i].deltavector;
      e.size = 1.0f;
      e.textureid = static_cast<int32_t>(10 + i);
    }
    AllocParticles(&owned_.scene, pool);
  }
  ~ParticleScene() { FreeParticles(&owned_.scene); }
  _OVX_SCENE* scene() { return &owned_.scene; }
  _OVX_OBJECT& object(size_t i) { return owned_.object(i); }
  void SwitchOff() {
    for (_OVX_OBJECT& o : owned_.objects) o.particledata.particleenabled = 0;
  }
  // One step seen from eye; the sprites it drew.
  std::vector<ParticleSprite> Step(const _OVX_VECTOR& eye = kEye, bool* ran = nullptr) {
    std::vector<ParticleSprite> drawn;
    bool result = ParticleStep(scene(), 0.0f, eye, kOrigin, [&drawn](const ParticleSprite& s) { drawn.push_back(s); });
    if (ran) *ran = result;
    return drawn;
  }
  int FreeSlots() {
    int n = 0;
    for (int32_t i = 0; i < scene()->particlecount; ++i) n += scene()->particles[i].free ? 1 : 0;
    return n;
  }

 private:
  scenetest::OwnedScene owned_;
};

struct LifeCase {
  const char* name;
  int32_t pool;
  EmitterSpec emitter;
  int emittingSteps;
  _OVX_VECTOR eye;
  std::vector<size_t> drawsPerStep;
  int freeAtEnd;
};

TEST(ParticleLife, Table) {
  const LifeCase cases[] = {
      // Drawn at power 1, 0.75, 0.5 and 0.25; free after the fourth step.
      {"four steps of life", 4, {1.0f, 0.25f, 1}, 1, kEye, {1, 1, 1, 1, 0}, 4},
      // No division by zero: drawn once, in the step of its birth.
      {"emitter of power 0", 4, {0.0f, 0.25f, 1}, 1, kEye, {1, 0, 0}, 4},
      {"pool of 0", 0, {1.0f, 0.25f, 3}, 3, kEye, {0, 0, 0}, 0},
      // Three new particles a step into two slots: the last slot is re-used.
      {"full pool", 2, {10.0f, 1.0f, 3}, 3, kEye, {2, 2, 2}, 0},
      {"camera along y", 4, {1.0f, 0.25f, 1}, 3, {0.0f, 7.0f, 0.0f}, {0, 0, 0}, 4},
  };
  for (const LifeCase& c : cases) {
    SCOPED_TRACE(c.name);
    ParticleScene s(c.pool, {c.emitter});
    ParticlesUnit.ParticlesDrawn = 0;
    size_t total = 0;
    for (size_t step = 0; step < c.drawsPerStep.size(); ++step) {
      if (static_cast<int>(step) == c.emittingSteps) s.SwitchOff();
      std::vector<ParticleSprite> drawn = s.Step(c.eye);
      EXPECT_EQ(drawn.size(), c.drawsPerStep[step]) << "step " << step;
      for (const ParticleSprite& p : drawn) EXPECT_FALSE(std::isnan(p.look.color.r));
      total += drawn.size();
    }
    EXPECT_EQ(ParticlesUnit.ParticlesDrawn, static_cast<int32_t>(total));
    EXPECT_EQ(s.FreeSlots(), c.freeAtEnd);
  }
}

TEST(ParticleLife, CameraAlongYEmitsAndMovesNothing) {
  EmitterSpec rising;
  rising.deltavector = {0.0f, 0.0f, 1.0f};
  ParticleScene s(4, {rising});
  bool ran = true;
  s.Step({0.0f, 3.0f, 0.0f}, &ran);
  EXPECT_FALSE(ran);
  EXPECT_EQ(s.FreeSlots(), 4);
  s.Step();  // emits now
  const _OVX_VECTOR before = s.scene()->particles[0].position;
  s.Step({0.0f, -3.0f, 0.0f}, &ran);
  EXPECT_FALSE(ran);
  EXPECT_EQ(s.scene()->particles[0].position.z, before.z);
  EXPECT_EQ(s.scene()->particles[0].power, 0.75f);
}

TEST(ParticleLife, WithoutSpreadEveryParticleGetsTheDeltaVector) {
  EmitterSpec e;
  e.newparticle = 3;
  e.deltavector = {0.5f, -0.25f, 2.0f};
  ParticleScene s(8, {e});
  s.object(0).pivot = {1.0f, 2.0f, 3.0f};  // no position keys: emits at the pivot
  std::vector<ParticleSprite> first = s.Step();
  ASSERT_EQ(first.size(), 3u);
  for (const ParticleSprite& p : first) {
    EXPECT_EQ(p.position.x, 1.0f);
    EXPECT_EQ(p.position.z, 3.0f);
    EXPECT_EQ(p.textureid, 10);
  }
  s.SwitchOff();
  std::vector<ParticleSprite> second = s.Step();
  ASSERT_EQ(second.size(), 3u);
  for (const ParticleSprite& p : second) {
    EXPECT_EQ(p.position.x, 1.5f);
    EXPECT_EQ(p.position.y, 1.75f);
    EXPECT_EQ(p.position.z, 5.0f);
  }
}

TEST(ParticleLife, PositionKeysMoveTheEmitterFromItsPivot) {
  ParticleScene s(4, {{}});
  _OVX_KEYVECTOR keys[] = {{0, 10.0f, 0.0f, 0.0f}, {10, 20.0f, 0.0f, 0.0f}};
  s.object(0).positionkeys = keys;
  s.object(0).positionkeycount = 2;
  s.object(0).pivot = {0.0f, 0.0f, 1.0f};
  std::vector<ParticleSprite> drawn;
  ParticleStep(s.scene(), 5.0f, kEye, kOrigin, [&drawn](const ParticleSprite& p) { drawn.push_back(p); });
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].position.x, 15.0f);
  EXPECT_EQ(drawn[0].position.z, 1.0f);
}

TEST(ParticleLife, AFullPoolKeepsTheLastParticleInTheLastSlot) {
  EmitterSpec red, green;
  red.newparticle = 2;
  red.color = {1.0f, 0.0f, 0.0f};
  green.color = {0.0f, 1.0f, 0.0f};
  ParticleScene s(2, {red, green});
  std::vector<ParticleSprite> drawn = s.Step();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].look.color.r, 1.0f);
  EXPECT_EQ(drawn[1].look.color.g, 1.0f);
  EXPECT_EQ(drawn[1].textureid, 11);
}

TEST(ParticleSpread, OffsetsAreUniformStepsWithinHalfTheSpread) {
  RandSeedSet(5);
  float low = 1.0f, high = -1.0f;
  for (int i = 0; i < 2000; ++i) {
    float v = ParticleSpreadComponent(0.0f, 1.0f);
    ASSERT_GE(v, -0.5f);
    ASSERT_LT(v, 0.5f);
    EXPECT_NEAR(v * 10000.0f, std::round(v * 10000.0f), 1e-2f);
    low = std::min(low, v);
    high = std::max(high, v);
  }
  EXPECT_LT(low, -0.45f);
  EXPECT_GT(high, 0.45f);
  // A spread of 0 still takes one number from the shared generator.
  RandSeedSet(5);
  EXPECT_EQ(ParticleSpreadComponent(2.0f, 0.0f), 2.0f);
  const int32_t second = Random(1000);
  RandSeedSet(5);
  Random(1000);
  EXPECT_EQ(Random(1000), second);
}

TEST(ParticleLook, ColorAttribTable) {
  const _OVX_RGB color{1.0f, 0.5f, 0.25f};
  const float size = 2.0f, f = 0.25f;
  struct Case {
    uint8_t bits;
    float colorFactor;
    float size;
  };
  const Case cases[] = {
      {0, 1.0f, 2.0f},   {1, 0.25f, 2.0f}, {2, 1.0f, 0.5f},   {3, 0.25f, 0.5f},   {4, 0.75f, 2.0f},
      {5, 0.75f, 2.0f},  {8, 1.0f, 1.5f},  {10, 1.0f, 1.5f},  {12, 0.75f, 1.5f},  {15, 0.75f, 1.5f},
      {16, 1.0f, 2.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.bits));
    ParticleLook look = ApplyColorAttrib(c.bits, color, size, f);
    EXPECT_FLOAT_EQ(look.color.r, color.r * c.colorFactor);
    EXPECT_FLOAT_EQ(look.color.g, color.g * c.colorFactor);
    EXPECT_FLOAT_EQ(look.color.b, color.b * c.colorFactor);
    EXPECT_FLOAT_EQ(look.size, c.size);
  }
  EXPECT_EQ(ParticleLifeFraction(0.5f, 2.0f), 0.25f);
  EXPECT_EQ(ParticleLifeFraction(0.0f, 0.0f), 1.0f);
}

TEST(ParticleLook, SpriteAxesAreUnitVectorsAcrossTheView) {
  _OVX_VECTOR r{}, u{};
  ASSERT_TRUE(ParticleSpriteAxes({3.0f, -4.0f, 5.0f}, {1.0f, 1.0f, 1.0f}, r, u));
  const _OVX_VECTOR d{2.0f, -5.0f, 4.0f};
  EXPECT_NEAR(r.x * r.x + r.y * r.y + r.z * r.z, 1.0f, 1e-6f);
  EXPECT_NEAR(u.x * u.x + u.y * u.y + u.z * u.z, 1.0f, 1e-6f);
  EXPECT_NEAR(r.x * d.x + r.y * d.y + r.z * d.z, 0.0f, 1e-5f);
  EXPECT_NEAR(u.x * d.x + u.y * d.y + u.z * d.z, 0.0f, 1e-5f);
  EXPECT_NEAR(r.x * u.x + r.y * u.y + r.z * u.z, 0.0f, 1e-6f);
  EXPECT_FALSE(ParticleSpriteAxes({0.0f, 2.0f, 0.0f}, kOrigin, r, u));
  EXPECT_FALSE(ParticleSpriteAxes(kOrigin, kOrigin, r, u));
}

// The pool is a block of the tracked allocator (so the leak report sees
// it); FreeParticles gives it back and leaves the count as it was.
TEST(ParticlePool, TrackedPoolAndFreeKeepsTheCount) {
  scenetest::OwnedScene owned({}, {"emitter"});
  owned.object(0).particledata.particleenabled = 1;
  owned.object(0).particledata.newparticle = 1;
  AllocParticles(&owned.scene, 5);
  ASSERT_NE(owned.scene.particles, nullptr);
  EXPECT_EQ(owned.scene.particlecount, 5);
  EXPECT_EQ(SYS_MemSize(owned.scene.particles), int64_t(5 * sizeof(_OVX_PARTICLE)));
  AllocParticles(&owned.scene, 3);  // the first pool goes back
  EXPECT_EQ(owned.scene.particlecount, 3);
  EXPECT_EQ(SYS_MemSize(owned.scene.particles), int64_t(3 * sizeof(_OVX_PARTICLE)));
  FreeParticles(&owned.scene);
  EXPECT_EQ(owned.scene.particles, nullptr);
  EXPECT_EQ(owned.scene.particlecount, 3);
  EXPECT_TRUE(ParticleStep(&owned.scene, 0.0f, kEye, kOrigin, [](const ParticleSprite&) { FAIL(); }));
  AllocParticles(&owned.scene, 0);  // an empty pool holds no block and emits nothing
  EXPECT_EQ(owned.scene.particles, nullptr);
  EXPECT_EQ(owned.scene.particlecount, 0);
  EXPECT_TRUE(ParticleStep(&owned.scene, 0.0f, kEye, kOrigin, [](const ParticleSprite&) { FAIL(); }));
}

TEST(ParticlePool, AnAllocationThatCannotBeMadeEndsWithCode1) {
  auto r = qt::RunInChild([] {
    scenetest::OwnedScene owned({}, {});
    AllocParticles(&owned.scene, -1);
  });
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
}

}  // namespace
