#include "engine/scenefree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <type_traits>
#include <vector>

#include "engine/loader.h"
#include "engine/particles.h"
#include "testsupport/engine/scenefile.h"
#include "engine/vector.h"
#include "framework/base/mem.h"
#include "units/glunit.h"
#include "units/sysunit.h"

namespace {

std::vector<GLuint> deleted;
void RecordDelete(GLsizei n, const GLuint* names) { deleted.insert(deleted.end(), names, names + n); }
void Quiet(std::string_view) {}

class Release : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = LoaderSetLogSink(Quiet);
    const std::string file = scenetest::Encode(scenetest::BaseScene());
    ASSERT_EQ(LoadSceneFromMemory(&scene_, file.data(), file.size(), "base"), kSceneOk);
    deleted.clear();
  }
  void TearDown() override {
    FreeScene(&scene_);
    qgl::glDeleteBuffersARB = nullptr;
    LoaderSetLogSink(previous_);
  }
  // What the precalculation adds: plain arrays, computed adjacency, buffers.
  // What the precalculation adds: plain arrays, computed adjacency, buffers
  // (over whatever the load's own precalculation left there).
  template <class T>
  static void Plain(T*& p, size_t count) {
    LoaderRelease(p);
    p = static_cast<T*>(LoaderGetMem(count * sizeof(T)));
  }
  void AddComputed() {
    _OVX_OBJECT& o = scene_.objects[1];
    if (!o.neighboursplain) MemFree(o.neighbours);
    o.neighboursplain = 1;
    Plain(o.neighbours, 1);
    Plain(o.tangents, 3);
    Plain(o.facenormals, 1);
    Plain(o.lightvisible, 1 + 16);
    Plain(scene_.volumevertices, 36);
    Plain(scene_.cameratangents, 2);
    AllocParticles(&scene_, 4);
    o.vertexbuffer = 11;
    o.indexbuffer = 12;
    scene_.volumeindexbuffer = 13;
  }

  _OVX_SCENE scene_{};
  LoaderLogSink previous_ = nullptr;
};

// Run under the sanitizers: a second release, or a release through the
// wrong allocator, is reported there. The particle pool is released too
// (it would leak otherwise).
TEST_F(Release, FreesEachArrayOnceWithItsOwnAllocator) {
  AddComputed();
  qgl::glDeleteBuffersARB = RecordDelete;
  FreeScene(&scene_);
  EXPECT_EQ(scene_.objects, nullptr);
  EXPECT_EQ(scene_.materials, nullptr);
  EXPECT_EQ(scene_.camerakeys, nullptr);
  EXPECT_EQ(scene_.cameratangents, nullptr);
  EXPECT_EQ(scene_.volumevertices, nullptr);
  EXPECT_EQ(scene_.particles, nullptr);
  EXPECT_EQ(scene_.lights[0].keys, nullptr);
  EXPECT_EQ(scene_.objectcount + scene_.materialcount + scene_.camerakeycount + scene_.particlecount, 0);
  EXPECT_EQ(scene_.volumeindexbuffer, 0u);
  std::sort(deleted.begin(), deleted.end());
  EXPECT_EQ(deleted, (std::vector<GLuint>{11, 12, 13}));
  FreeScene(&scene_);
  EXPECT_EQ(deleted.size(), 3u);
}

TEST_F(Release, BuffersAreForgottenWhenTheGLOffersNoDelete) {
  AddComputed();
  FreeScene(&scene_);
  EXPECT_EQ(scene_.volumeindexbuffer, 0u);
}

TEST_F(Release, ASharedCopyReleasesNothing) {
  _OVX_SCENE copy{};
  ShareScene(&copy, &scene_);
  EXPECT_EQ(copy.objects, scene_.objects);
  FreeScene(&copy);
  EXPECT_EQ(copy.objects, nullptr);
  EXPECT_EQ(scene_.objects[0].vertices[1].x, 1.0f);  // still the original's
  // Either order: the copy of a released original frees nothing either.
  ShareScene(&copy, &scene_);
  FreeScene(&scene_);
  FreeScene(&copy);
  EXPECT_EQ(copy.lights[0].keys, nullptr);
}

// ---- Every array read from the file is released ----------------------------

// Each array the reader allocates, keys of every kind included, goes back
// to the tracked allocator: none is still a live block afterwards.
TEST_F(Release, EveryArrayFromTheFileLeavesTheTrackedAllocator) {
  _OVX_OBJECT& o = scene_.objects[0];
  auto give = [](auto*& p) {
    if (!p) p = static_cast<std::remove_reference_t<decltype(p)>>(MemGet(64, ShortString("test array")));
  };
  give(o.strip);
  give(o.colors);
  give(o.texcoords);
  give(o.normals);
  give(o.basefaces);
  give(o.positionkeys);
  give(o.rotationkeys);
  give(o.scalekeys);
  give(scene_.camerakeys);
  give(scene_.targetkeys);
  for (_OVX_LIGHT& l : scene_.lights) give(l.keys);
  std::vector<const void*> blocks = {o.strip,          o.vertices,       o.faces,       o.basefaces,
                                     o.colors,         o.texcoords,      o.normals,     o.positionkeys,
                                     o.rotationkeys,   o.scalekeys,      scene_.camerakeys,
                                     scene_.targetkeys, scene_.materials, scene_.objects};
  for (const _OVX_LIGHT& l : scene_.lights) blocks.push_back(l.keys);
  for (const void* b : blocks) ASSERT_GT(SYS_MemSize(b), 0);
  FreeScene(&scene_);
  for (size_t i = 0; i < blocks.size(); ++i) EXPECT_LT(SYS_MemSize(blocks[i]), 0) << "array " << i;
}

TEST(Vectors, Arithmetic) {
  struct Case {
    const char* what;
    _OVX_VECTOR got, want;
  } cases[] = {
      {"add", VecAdd({1, 2, 3}, {4, 5, 6}), {5, 7, 9}},
      {"sub", VecSub({1, 2, 3}, {4, 6, 8}), {-3, -4, -5}},
      {"scale", VecScale({1, -2, 3}, 2), {2, -4, 6}},
      {"cross x y", VecCross({1, 0, 0}, {0, 1, 0}), {0, 0, 1}},
      {"cross y x", VecCross({0, 1, 0}, {1, 0, 0}), {0, 0, -1}},
      {"cross", VecCross({1, 2, 3}, {4, 5, 6}), {-3, 6, -3}},
      {"normalize", VecNormalize({3, 0, 4}), {0.6f, 0, 0.8f}},
      {"normalize zero", VecNormalize({0, 0, 0}), {0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_FLOAT_EQ(c.got.x, c.want.x);
    EXPECT_FLOAT_EQ(c.got.y, c.want.y);
    EXPECT_FLOAT_EQ(c.got.z, c.want.z);
  }
  EXPECT_FLOAT_EQ(VecLength({3, 4, 12}), 13.0f);
  _OVX_VECTOR v{1, 2, 3};
  v = VecSub(v, v);  // a result may be stored over an input
  EXPECT_EQ(VecLength(v), 0.0f);
  v = {7, 8, 9};
  VecZero(v);
  EXPECT_EQ(v.x + v.y + v.z, 0.0f);
}

}  // namespace
