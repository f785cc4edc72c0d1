#include "engine/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

void ExpectVector(const _OVX_VECTOR& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-4f);
  EXPECT_NEAR(v.y, y, 1e-4f);
  EXPECT_NEAR(v.z, z, 1e-4f);
}

// A scene whose tracks live in vectors of exactly their length, so a read
// past a track's end is caught by the sanitizer.
struct TrackScene {
  std::vector<_OVX_KEYVECTOR> camera, target;
  std::vector<_OVX_VECTOR> cameraTangents, targetTangents;
  _OVX_SCENE scene{};

  TrackScene(std::vector<_OVX_KEYVECTOR> cameraKeys, std::vector<_OVX_KEYVECTOR> targetKeys)
      : camera(std::move(cameraKeys)), target(std::move(targetKeys)) {
    cameraTangents.resize(camera.size());
    targetTangents.resize(target.size());
    scene.camerakeys = camera.empty() ? nullptr : camera.data();
    scene.camerakeycount = static_cast<int32_t>(camera.size());
    scene.cameratangents = cameraTangents.empty() ? nullptr : cameraTangents.data();
    scene.targetkeys = target.empty() ? nullptr : target.data();
    scene.targetkeycount = static_cast<int32_t>(target.size());
    scene.targettangents = targetTangents.empty() ? nullptr : targetTangents.data();
    ComputeCameraTangents(&scene);
  }
};

class Camera : public ::testing::Test {
 protected:
  void SetUp() override { CameraUnit = {}; }
};

TEST_F(Camera, StraightTrackTangentsAndMidpoint) {
  TrackScene ts({{0, 0, 0, 0}, {100, 100, 0, 0}}, {{0, 0, 0, 0}, {100, 0, 0, 100}});
  ExpectVector(ts.cameraTangents[0], 100.0f / 6, 0, 0);
  ExpectVector(ts.cameraTangents[1], 100.0f / 6, 0, 0);
  _OVX_VECTOR eye, target;
  CameraAtTime(eye, target, &ts.scene, 50.0f);
  ExpectVector(eye, 50, 0, 0);
  ExpectVector(target, 0, 0, 50);
}

TEST_F(Camera, TangentsOfInnerKeysSpanTheirNeighbours) {
  std::vector<_OVX_KEYVECTOR> keys = {{0, 0, 0, 0}, {5, 6, 0, 0}, {90, 6, 12, 0}, {91, 0, 12, 6}};
  std::vector<_OVX_VECTOR> t(keys.size());
  ComputeTrackTangents(keys.data(), static_cast<int32_t>(keys.size()), t.data());
  // Positions only: the uneven frame spacing does not enter.
  ExpectVector(t[0], 1, 0, 0);
  ExpectVector(t[1], 1, 2, 0);
  ExpectVector(t[2], -1, 2, 1);
  ExpectVector(t[3], -1, 0, 1);
  _OVX_VECTOR single;
  ComputeTrackTangents(keys.data(), 1, &single);
  ExpectVector(single, 0, 0, 0);
  KeyTangent(single, keys[0], keys[2]);
  ExpectVector(single, 1, 2, 0);
}

TEST_F(Camera, KeysAndEndsAreHitExactly) {
  TrackScene ts({{0, 0, 0, 0}, {10, 30, 0, 0}, {20, 30, 30, 0}}, {{0, 1, 1, 1}, {10, 2, 2, 2}, {20, 3, 3, 3}});
  struct Case {
    float time;
    _OVX_VECTOR eye, target;
    int32_t segment;  // the remembered segment afterwards
  };
  const Case cases[] = {
      {10.0f, {30, 0, 0}, {2, 2, 2}, 1},   // an inner key starts its segment, t = 0
      {0.0f, {0, 0, 0}, {1, 1, 1}, 1},     // on the first key: held, no search
      {-50.0f, {0, 0, 0}, {1, 1, 1}, 1},   // before the first key
      {20.0f, {30, 30, 0}, {3, 3, 3}, 1},  // on the last key
      {1e9f, {30, 30, 0}, {3, 3, 3}, 1},   // after the last key
  };
  for (const Case& c : cases) {
    _OVX_VECTOR eye, target;
    CameraAtTime(eye, target, &ts.scene, c.time);
    SCOPED_TRACE(c.time);
    ExpectVector(eye, c.eye.x, c.eye.y, c.eye.z);
    ExpectVector(target, c.target.x, c.target.y, c.target.z);
    EXPECT_EQ(CameraUnit.CameraSegment, c.segment);
    EXPECT_EQ(CameraUnit.TargetSegment, c.segment);
  }
}

TEST_F(Camera, ShortTracksNaNAndStaleSegmentsStayInsideTheTrack) {
  struct Case {
    std::vector<_OVX_KEYVECTOR> keys;
    float time;
    int32_t staleSegment;
    _OVX_VECTOR expected;
  };
  const Case cases[] = {
      {{}, 5.0f, 0, {0, 0, 0}},                                  // no keys: the origin
      {{{7, 1, 2, 3}}, 5.0f, 0, {1, 2, 3}},                      // one key, before it
      {{{7, 1, 2, 3}}, 9.0f, 40, {1, 2, 3}},                     // one key, after it
      {{{7, 1, 2, 3}}, kNaN, 40, {1, 2, 3}},                     // one key, no time
      {{{0, 0, 0, 0}, {10, 10, 0, 0}}, 5.0f, 1000, {5, 0, 0}},   // a segment from a longer track
      {{{0, 0, 0, 0}, {10, 10, 0, 0}}, 5.0f, -3, {5, 0, 0}},
  };
  for (const Case& c : cases) {
    TrackScene ts(c.keys, c.keys);
    CameraUnit.CameraSegment = CameraUnit.TargetSegment = c.staleSegment;
    _OVX_VECTOR eye, target;
    CameraAtTime(eye, target, &ts.scene, c.time);
    SCOPED_TRACE(::testing::Message() << c.keys.size() << " keys at " << c.time);
    ExpectVector(eye, c.expected.x, c.expected.y, c.expected.z);
    ExpectVector(target, c.expected.x, c.expected.y, c.expected.z);
  }
}

// A time that is not a number lies at no end and in no segment of a curve
// of two keys: the remembered segment (clamped to the track) is evaluated
// at it, which gives no number either, and stays what it was.
TEST_F(Camera, NoTimeOnACurveEvaluatesTheRememberedSegment) {
  TrackScene ts({{0, 0, 0, 0}, {10, 10, 0, 0}}, {{0, 0, 0, 0}, {10, 10, 0, 0}});
  for (int32_t stale : {0, 40}) {
    CameraUnit.CameraSegment = CameraUnit.TargetSegment = stale;
    _OVX_VECTOR eye, target;
    CameraAtTime(eye, target, &ts.scene, kNaN);
    EXPECT_TRUE(std::isnan(eye.x) && std::isnan(target.x)) << stale;
    EXPECT_EQ(CameraUnit.CameraSegment, 0) << stale;
  }
}

TEST_F(Camera, KeysOutOfOrderTakeTheLastMatchingSegment) {
  TrackScene ts({{0, 0, 0, 0}, {30, 3, 0, 0}, {10, 1, 0, 0}, {40, 4, 0, 0}}, {});
  struct Case {
    float time;
    int32_t staleSegment, segment;
  };
  const Case cases[] = {
      {5.0f, 2, 0},     // only 0 <= 5 < 30
      {35.0f, 0, 2},    // only 10 <= 35 < 40
      {20.0f, 7, 2},    // 0 <= 20 < 30 and 10 <= 20 < 40; a segment from a longer track goes
  };
  for (const Case& c : cases) {
    CameraUnit.CameraSegment = c.staleSegment;
    _OVX_VECTOR eye, target;
    CameraAtTime(eye, target, &ts.scene, c.time);
    EXPECT_EQ(CameraUnit.CameraSegment, c.segment) << c.time;
    EXPECT_TRUE(std::isfinite(eye.x) && std::isfinite(eye.y) && std::isfinite(eye.z));
    ExpectVector(target, 0, 0, 0);  // no target keys: the origin
  }
}

TEST(LinearTracks, ObjectsAndLightsMoveInStraightLines) {
  std::vector<_OVX_KEYVECTOR> keys = {{10, 4, 0, 0}, {20, 8, 4, -4}, {30, 8, 4, 6}};
  std::vector<_OVX_KEYVECTOR> single = {{5, 1, 1, 1}};
  std::vector<_OVX_OBJECT> objects(2);
  objects[0].positionkeys = keys.data();
  objects[0].positionkeycount = 3;
  _OVX_SCENE scene{};
  scene.objects = objects.data();
  scene.objectcount = 2;
  scene.lights[3].keys = keys.data();
  scene.lights[3].keycount = 3;
  scene.lights[4].keys = single.data();
  scene.lights[4].keycount = 1;
  struct Case {
    float time;
    _OVX_VECTOR expected;
  };
  const Case cases[] = {
      {12.5f, {5, 1, -1}}, {20.0f, {8, 4, -4}}, {25.0f, {8, 4, 1}}, {0.0f, {4, 0, 0}}, {99.0f, {8, 4, 6}},
      {kNaN, {4, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time);
    _OVX_VECTOR p;
    ObjectPositionAtTime(p, &scene, 0, c.time);
    ExpectVector(p, c.expected.x, c.expected.y, c.expected.z);
    LightPositionAtTime(p, &scene, 3, c.time);
    ExpectVector(p, c.expected.x, c.expected.y, c.expected.z);
    LightPositionAtTime(p, &scene, 4, c.time);
    ExpectVector(p, 1, 1, 1);
    // No keys, or no such object or light: the origin.
    for (int32_t index : {1, 2, -1}) {
      ObjectPositionAtTime(p, &scene, index, c.time);
      ExpectVector(p, 0, 0, 0);
    }
    for (int32_t index : {0, 8, -1}) {
      LightPositionAtTime(p, &scene, index, c.time);
      ExpectVector(p, 0, 0, 0);
    }
  }
}

TEST(LinearTracks, OutOfOrderKeys) {
  std::vector<_OVX_KEYVECTOR> keys = {{0, 0, 0, 0}, {30, 3, 0, 0}, {10, 1, 0, 0}, {20, 2, 0, 0}};
  // At or after the last key's frame the track holds it, whatever lies between.
  ExpectVector(LinearTrackAtTime(keys.data(), 4, 25.0f), 2, 0, 0);
  // 15 lies in segments 0 and 2; the last match wins.
  ExpectVector(LinearTrackAtTime(keys.data(), 4, 15.0f), 1.5f, 0, 0);
}

// ---- Index bounds of the position look-ups --------------------------------

// An object index equal to the count names no object, even when the array
// behind the record happens to hold one more.
TEST(LinearTracks, AnObjectIndexEqualToTheCountIsNoObject) {
  std::vector<_OVX_KEYVECTOR> keys = {{0, 7, 7, 7}};
  std::vector<_OVX_OBJECT> objects(3);
  for (_OVX_OBJECT& o : objects) {
    o.positionkeys = keys.data();
    o.positionkeycount = 1;
  }
  _OVX_SCENE scene{};
  scene.objects = objects.data();
  scene.objectcount = 2;
  _OVX_VECTOR p;
  ObjectPositionAtTime(p, &scene, 1, 0.0f);
  ExpectVector(p, 7, 7, 7);
  ObjectPositionAtTime(p, &scene, 2, 0.0f);
  ExpectVector(p, 0, 0, 0);
}

}  // namespace
