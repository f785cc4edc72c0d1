#include "engine/precalc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/camera.h"
#include "engine/loader.h"
#include "framework/wm/glconst.h"
#include "testsupport/wm/wm.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"
#include "units/sysunit.h"

namespace {

// GL buffer calls as text. An upload reads every byte, as a driver would, so
// the sanitizer sees an array shorter than its size.
struct BufferRecorder {
  std::vector<std::string> calls;
  GLuint next = 1;
};
BufferRecorder rec;

std::string Hex(unsigned v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%X", v);
  return b;
}
void GenBuffers(GLsizei n, GLuint* names) {
  for (GLsizei i = 0; i < n; ++i) names[i] = rec.next++;
  rec.calls.push_back("gen " + std::to_string(names[0]));
}
void BindBuffer(GLenum target, GLuint name) { rec.calls.push_back("bind " + Hex(target) + " " + std::to_string(name)); }
void BufferData(GLenum target, GLsizeiptrARB size, const void* data, GLenum usage) {
  std::vector<uint8_t> copy(static_cast<size_t>(size));
  if (size) std::memcpy(copy.data(), data, copy.size());
  rec.calls.push_back("data " + Hex(target) + " " + std::to_string(size) + " " + Hex(usage));
}
void DeleteBuffers(GLsizei, const GLuint* names) { rec.calls.push_back("delete " + std::to_string(names[0])); }

std::vector<std::string> logLines;
void CaptureLog(std::string_view line) { logLines.emplace_back(line); }

struct Mesh {
  std::vector<_OVX_VECTOR> vertices;
  std::vector<_OVX_FACE> faces;
  std::vector<_OVX_TEXTCOORD> texcoords;  // empty: the object has none
  std::vector<_OVX_VECTOR> normals;       // empty: the object has none
};

// A scene over arrays that the test owns; what the precalculation adds is
// given back when the scene goes.
class TestScene {
 public:
  explicit TestScene(std::vector<Mesh> meshes, uint8_t major = 1, uint8_t minor = 2) : meshes_(std::move(meshes)) {
    scene.versionmajor = major;
    scene.versionminor = minor;
    materials_.resize(2);
    materials_[0].textured = 1;
    scene.materials = materials_.data();
    scene.materialcount = static_cast<int32_t>(materials_.size());
    objects_.resize(meshes_.size());
    for (size_t i = 0; i < meshes_.size(); ++i) {
      Mesh& m = meshes_[i];
      _OVX_OBJECT& o = objects_[i];
      o.vertexcount = static_cast<int32_t>(m.vertices.size());
      o.facecount = static_cast<int32_t>(m.faces.size());
      o.vertices = m.vertices.empty() ? nullptr : m.vertices.data();
      o.faces = m.faces.empty() ? nullptr : m.faces.data();
      o.hastexcoords = !m.texcoords.empty();
      o.texcoords = o.hastexcoords ? m.texcoords.data() : nullptr;
      o.hasnormals = !m.normals.empty();
      o.normals = o.hasnormals ? m.normals.data() : nullptr;
    }
    scene.objects = objects_.empty() ? nullptr : objects_.data();
    scene.objectcount = static_cast<int32_t>(objects_.size());
  }
  ~TestScene() {
    ReleasePrecalculation(&scene);
    for (_OVX_OBJECT& o : objects_) MemFree(o.neighbours);
  }
  _OVX_OBJECT& object(size_t i) { return objects_[i]; }

  _OVX_SCENE scene{};

 private:
  std::vector<Mesh> meshes_;
  std::vector<_OVX_MATERIAL> materials_;
  std::vector<_OVX_OBJECT> objects_;
};

void InstallBufferRecorder() {
  rec = BufferRecorder{};
  logLines.clear();
  qgl::glGenBuffersARB = GenBuffers;
  qgl::glBindBufferARB = BindBuffer;
  qgl::glBufferDataARB = BufferData;
  qgl::glDeleteBuffersARB = DeleteBuffers;
}

class Precalc : public ::testing::Test {
 protected:
  void SetUp() override {
    oldSink_ = LoaderSetLogSink(CaptureLog);
    InstallBufferRecorder();
  }
  void TearDown() override {
    qgl::glGenBuffersARB = nullptr;
    qgl::glBindBufferARB = nullptr;
    qgl::glBufferDataARB = nullptr;
    qgl::glDeleteBuffersARB = nullptr;
    LoaderSetLogSink(oldSink_);
  }

 private:
  LoaderLogSink oldSink_ = nullptr;
};

void ExpectVector(const _OVX_VECTOR& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-6f);
  EXPECT_NEAR(v.y, y, 1e-6f);
  EXPECT_NEAR(v.z, z, 1e-6f);
}

void ExpectFace(const _OVX_FACE& f, int32_t a, int32_t b, int32_t c) {
  EXPECT_EQ(f.a, a);
  EXPECT_EQ(f.b, b);
  EXPECT_EQ(f.c, c);
}

// The unit square in z = 0, two triangles running counter-clockwise seen
// from +z, sharing the diagonal 0-2; texture coordinates follow x and y.
Mesh Quad() {
  return Mesh{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}},
              {{0, 1, 2}, {0, 2, 3}},
              {{0, 0}, {1, 0}, {1, 1}, {0, 1}},
              {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}}};
}

// A closed tetrahedron, every face counter-clockwise seen from outside; no
// texture coordinates, no normals.
Mesh Tetrahedron() {
  return Mesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}}, {}, {}};
}

int32_t Corner(const _OVX_FACE& f, int k) { return k == 0 ? f.a : k == 1 ? f.b : f.c; }

// Every pair of faces in index order, as the adjacency is defined.
std::vector<_OVX_FACE> PairwiseNeighbours(const std::vector<_OVX_FACE>& faces) {
  std::vector<std::array<int32_t, 3>> n(faces.size(), {-1, -1, -1});
  auto same = [](int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
    return (a0 == b0 && a1 == b1) || (a0 == b1 && a1 == b0);
  };
  for (size_t i = 0; i + 1 < faces.size(); ++i)
    for (size_t j = i + 1; j < faces.size(); ++j)
      for (int ki = 0; ki < 3; ++ki) {
        if (n[i][ki] != -1) continue;
        for (int kj = 0; kj < 3; ++kj)
          if (same(Corner(faces[i], ki), Corner(faces[i], (ki + 1) % 3), Corner(faces[j], kj),
                   Corner(faces[j], (kj + 1) % 3))) {
            n[i][ki] = static_cast<int32_t>(j);
            n[j][kj] = static_cast<int32_t>(i);
          }
      }
  std::vector<_OVX_FACE> out;
  for (const auto& e : n) out.push_back({e[0], e[1], e[2]});
  return out;
}

TEST(FaceNormal, IsTheNormalOfTheClockwiseSide) {
  // The shadow code's lit-face test depends on this sign.
  ExpectVector(FaceNormal({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), 0, 0, -1);
  ExpectVector(FaceNormal({0, 0, 0}, {0, 1, 0}, {1, 0, 0}), 0, 0, 1);
  ExpectVector(FaceNormal({0, 0, 0}, {2, 0, 0}, {4, 0, 0}), 0, 0, 0);  // degenerate: zero, not NaN
}

TEST(ComputeTangents, DirectionsAndDegenerateFaces) {
  struct Case {
    std::array<_OVX_TEXTCOORD, 3> uv;
    _OVX_VECTOR s, t;  // expected, starting from (7, 8, 9) and (-1, -2, -3)
  };
  const Case cases[] = {
      {{{{0, 0}, {1, 0}, {0, 1}}}, {1, 0, 0}, {0, 1, 0}},
      {{{{0, 0}, {2, 0}, {0, 1}}}, {0.5f, 0, 0}, {0, 1, 0}},
      {{{{0, 0}, {0, 1}, {1, 0}}}, {0, 1, 0}, {1, 0, 0}},
      // No texture-space area: every component keeps what came in.
      {{{{0.5f, 0.5f}, {0.5f, 0.5f}, {0.5f, 0.5f}}}, {7, 8, 9}, {-1, -2, -3}},
      {{{{0, 0}, {1, 1}, {2, 2}}}, {7, 8, 9}, {-1, -2, -3}},
  };
  for (const Case& c : cases) {
    _OVX_VECTOR s{7, 8, 9}, t{-1, -2, -3};
    ComputeTangents({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, TexCoordToVector(c.uv[0]), TexCoordToVector(c.uv[1]),
                    TexCoordToVector(c.uv[2]), s, t);
    ExpectVector(s, c.s.x, c.s.y, c.s.z);
    ExpectVector(t, c.t.x, c.t.y, c.t.z);
  }
  ExpectVector(TexCoordToVector({0.25f, -3}), 0.25f, -3, 0);
}

TEST_F(Precalc, QuadGetsItsFaceDataTangentsAndShadowArrays) {
  TestScene ts({Quad()});
  _OVX_OBJECT& o = ts.object(0);
  o.passno = 3;
  o.rotation = {5, 5, 5};
  PrecalculateScene(&ts.scene);

  ExpectVector(o.facenormals[0], 0, 0, -1);
  ExpectVector(o.facenormals[1], 0, 0, -1);
  ExpectVector(o.facecenters[0], 2.0f / 3, 1.0f / 3, 0);
  ExpectVector(o.facecenters[1], 1.0f / 3, 2.0f / 3, 0);
  // Vertex 0 is the first corner of both faces; the others of none, and
  // their frames stay zero.
  ExpectVector(o.tangents[0], 1, 0, 0);
  ExpectVector(o.bitangents[0], 0, 1, 0);
  for (int v = 1; v < 4; ++v) {
    ExpectVector(o.tangents[v], 0, 0, 0);
    ExpectVector(o.bitangents[v], 0, 0, 0);
  }
  ExpectFace(o.neighbours[0], -1, -1, 1);
  ExpectFace(o.neighbours[1], 0, -1, -1);
  ExpectVector(o.rotation, 0, 0, 0);
  ASSERT_NE(o.planes, nullptr);
  ASSERT_NE(o.lightvisible, nullptr);
  ASSERT_NE(o.contour, nullptr);
  EXPECT_EQ(o.lightvisible[2 + 15], 0);  // F + 16 bytes, zeroed
  EXPECT_EQ(o.contour[3 * 2 + 15], 0);   // 3F + 16 bytes, zeroed

  EXPECT_EQ(ts.scene.materials[0].texturebpp, 24);
  EXPECT_EQ(ts.scene.materials[1].texturebpp, 24);
  EXPECT_EQ(ts.scene.passcount, 3);
  EXPECT_EQ(ts.scene.maxobjectfaces, 2);
  EXPECT_EQ(ts.scene.volumeextent, 1000.0f);
  // Six quads for two faces: 24 volume vertices, 12 triangles.
  ASSERT_NE(ts.scene.volumevertices, nullptr);
  ExpectVector(ts.scene.volumevertices[23], 0, 0, 0);
  const _OVX_FACE* v = ts.scene.volumeindices;
  ExpectFace(v[0], 0, 1, 2);
  ExpectFace(v[1], 2, 3, 0);
  ExpectFace(v[2], 4, 5, 6);
  ExpectFace(v[3], 6, 7, 4);
  ExpectFace(v[10], 20, 21, 22);
  ExpectFace(v[11], 22, 23, 20);
}

TEST_F(Precalc, TetrahedronNormalsFaceInwardAndEveryEdgeHasItsNeighbour) {
  TestScene ts({Tetrahedron()});
  PrecalculateScene(&ts.scene);
  const _OVX_OBJECT& o = ts.object(0);
  for (int f = 0; f < 4; ++f) {
    const _OVX_VECTOR& c = o.facecenters[f];
    const _OVX_VECTOR& n = o.facenormals[f];
    // Counter-clockwise from outside, so the clockwise side is the inside.
    EXPECT_LT(n.x * (c.x - 0.25f) + n.y * (c.y - 0.25f) + n.z * (c.z - 0.25f), 0) << f;
    EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-6f);
    for (int k = 0; k < 3; ++k) {
      const int32_t j = Corner(o.neighbours[f], k);
      ASSERT_GE(j, 0);
      ASSERT_NE(j, f);
      const int32_t a = Corner(o.faces[f], k), b = Corner(o.faces[f], (k + 1) % 3);
      bool back = false;
      for (int kj = 0; kj < 3; ++kj)
        back |= Corner(o.neighbours[j], kj) == f && Corner(o.faces[j], kj) == b && Corner(o.faces[j], (kj + 1) % 3) == a;
      EXPECT_TRUE(back) << f << " " << k;
    }
  }
  // No texture coordinates anywhere in the load: the frames stay zero.
  for (int v = 0; v < 4; ++v) ExpectVector(o.tangents[v], 0, 0, 0);
}

TEST_F(Precalc, NeighboursAreComputedWheneverTheFileHasNoneAndAlwaysForOldFiles) {
  struct Case {
    uint8_t major, minor;
    bool fromFile;
    bool computed;
  };
  const Case cases[] = {
      {1, 0, false, true}, {1, 1, false, true}, {1, 1, true, true},  // replaced; the file's array is freed
      {1, 2, true, false}, {1, 2, false, true}, {0, 0, false, true},  // no version chunks at all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + (c.fromFile ? " with" : " without"));
    for (const Mesh& mesh : {Quad(), Tetrahedron()}) {
      TestScene ts({mesh}, c.major, c.minor);
      _OVX_OBJECT& o = ts.object(0);
      const size_t faces = mesh.faces.size();
      if (c.fromFile) {
        // Marked entries: adjacency no computation gives.
        o.neighbours = static_cast<_OVX_FACE*>(MemGet(faces * sizeof(_OVX_FACE), "test neighbours"));
        for (size_t f = 0; f < faces; ++f) o.neighbours[f] = {0, 0, 0};
      }
      PrecalculateScene(&ts.scene);
      ASSERT_NE(o.neighbours, nullptr);
      EXPECT_EQ(o.neighboursplain, c.computed ? 1 : 0);
      const std::vector<_OVX_FACE> expected = PairwiseNeighbours(mesh.faces);
      for (size_t f = 0; f < faces; ++f) {
        if (c.computed)
          ExpectFace(o.neighbours[f], expected[f].a, expected[f].b, expected[f].c);
        else
          ExpectFace(o.neighbours[f], 0, 0, 0);
      }
    }
  }
}

TEST_F(Precalc, AdjacencyReadsBasefacesAndFallsBackToFaces) {
  // The drawn faces are apart; the base faces share the edge 1-2.
  std::vector<_OVX_FACE> base = {{0, 1, 2}, {2, 1, 5}};
  for (bool withBase : {true, false}) {
    TestScene ts({Mesh{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {2, 0, 0}, {3, 0, 0}, {2, 1, 0}}, {{0, 1, 2}, {3, 4, 5}}, {}, {}}});
    _OVX_OBJECT& o = ts.object(0);
    if (withBase) o.basefaces = base.data();
    PrecalculateScene(&ts.scene);
    ExpectFace(o.neighbours[0], -1, withBase ? 1 : -1, -1);
    ExpectFace(o.neighbours[1], withBase ? 0 : -1, -1, -1);
  }
}

TEST(ComputeNeighbours, MatchesThePairwiseSearchOnMeshesWithSharedAndDegenerateEdges) {
  std::mt19937 random(20);
  for (int round = 0; round < 200; ++round) {
    // Few vertices and many faces: edges held by three or more faces, and
    // faces with a repeated corner, are common.
    const int vertices = 3 + static_cast<int>(random() % 6);
    const size_t faceCount = random() % 80;
    std::vector<_OVX_FACE> faces(faceCount);
    for (_OVX_FACE& f : faces)
      f = {static_cast<int32_t>(random() % vertices), static_cast<int32_t>(random() % vertices),
           static_cast<int32_t>(random() % vertices)};
    _OVX_OBJECT o{};
    o.facecount = static_cast<int32_t>(faceCount);
    o.basefaces = faces.empty() ? nullptr : faces.data();
    // Marked entries: every one must be overwritten.
    std::vector<_OVX_FACE> neighbours(faceCount, _OVX_FACE{-7, -7, -7});
    o.neighbours = neighbours.data();
    ComputeNeighbours(&o);
    const std::vector<_OVX_FACE> expected = PairwiseNeighbours(faces);
    for (size_t f = 0; f < faceCount; ++f) {
      SCOPED_TRACE("round " + std::to_string(round) + " face " + std::to_string(f));
      ExpectFace(o.neighbours[f], expected[f].a, expected[f].b, expected[f].c);
    }
    EXPECT_EQ(o.neighbours, neighbours.data());
  }
}

// The caller allocates the array; the search makes none of its own.
TEST(ComputeNeighbours, FillsOnlyAnArrayTheCallerGave) {
  std::vector<_OVX_FACE> faces = {{0, 1, 2}, {2, 1, 3}};
  _OVX_OBJECT o{};
  o.facecount = 2;
  o.basefaces = faces.data();
  ComputeNeighbours(&o);
  EXPECT_EQ(o.neighbours, nullptr);
  EXPECT_EQ(o.neighboursplain, 0);
}

TEST_F(Precalc, TangentDirectionsStartAtZeroAndCarryOverFromObjectToObject) {
  Mesh bare = Quad();
  bare.texcoords.clear();
  Mesh flat = Quad();
  for (_OVX_TEXTCOORD& uv : flat.texcoords) uv = {0.5f, 0.5f};
  // Before any textured face: zero. After one: its directions, even into an
  // object without texture coordinates or with a degenerate mapping.
  TestScene ts({bare, Quad(), bare, flat});
  PrecalculateScene(&ts.scene);
  ExpectVector(ts.object(0).tangents[0], 0, 0, 0);
  ExpectVector(ts.object(0).bitangents[0], 0, 0, 0);
  for (size_t i = 1; i < 4; ++i) {
    ExpectVector(ts.object(i).tangents[0], 1, 0, 0);
    ExpectVector(ts.object(i).bitangents[0], 0, 1, 0);
  }
}

TEST_F(Precalc, IndicesOutOfRangeAreNeverFollowed) {
  Mesh m = Quad();
  m.faces.push_back({0, 1, 4});   // one past the last vertex
  m.faces.push_back({-1, 2, 3});  // negative
  TestScene ts({m, Mesh{}});
  ts.object(0).material = 2;  // one past the last material
  ts.object(1).facecount = 3;  // a count without its arrays
  ts.object(1).vertexcount = 3;
  PrecalculateScene(&ts.scene);
  const _OVX_OBJECT& o = ts.object(0);
  ExpectVector(o.facenormals[1], 0, 0, -1);
  ExpectVector(o.facenormals[2], 0, 0, 0);
  ExpectVector(o.facecenters[3], 0, 0, 0);
  // An unknown material is not textured: its texture coordinates stay out.
  int texcoordUploads = 0;
  for (const std::string& call : rec.calls) texcoordUploads += call == "data 0x8892 32 0x88E4";
  EXPECT_EQ(texcoordUploads, 0);
  ExpectFace(ts.object(1).neighbours[2], -1, -1, -1);
}

TEST_F(Precalc, BufferCallsInOrderWithTargetsUsagesAndSizes) {
  Mesh empty;
  TestScene ts({Quad(), empty});
  ts.object(1).material = 1;  // untextured
  ts.object(1).hasnormals = 1;
  PrecalculateScene(&ts.scene);
  const std::vector<std::string> expected = {
      // The shadow volume: 6 T triangles of 12 bytes, dynamic; the vertex
      // buffer is only named.
      "gen 1", "bind 0x8893 1", "data 0x8893 144 0x88E8", "gen 2",
      // The quad: vertices, faces, normals, texture coordinates.
      "gen 3", "bind 0x8892 3", "data 0x8892 48 0x88E4", "gen 4", "bind 0x8893 4", "data 0x8893 24 0x88E4", "gen 5",
      "bind 0x8892 5", "data 0x8892 48 0x88E4", "gen 6", "bind 0x8892 6", "data 0x8892 32 0x88E4",
      // The empty object: named and bound, nothing uploaded.
      "gen 7", "bind 0x8892 7", "gen 8", "bind 0x8893 8", "gen 9", "bind 0x8892 9", "gen 10", "bind 0x8892 10"};
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(ts.scene.volumeindexbuffer, 1u);
  EXPECT_EQ(ts.scene.volumevertexbuffer, 2u);
  const _OVX_OBJECT& q = ts.object(0);
  EXPECT_EQ(q.vertexbuffer, 3u);
  EXPECT_EQ(q.indexbuffer, 4u);
  EXPECT_EQ(q.normalbuffer, 5u);
  EXPECT_EQ(q.texcoordbuffer, 6u);
  EXPECT_TRUE(logLines.empty());
}

TEST_F(Precalc, ASceneWithoutFacesUploadsAnEmptyVolumeIndexBuffer) {
  TestScene ts(std::vector<Mesh>{});
  PrecalculateScene(&ts.scene);
  const std::vector<std::string> expected = {"gen 1", "bind 0x8893 1", "data 0x8893 0 0x88E8", "gen 2"};
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(ts.scene.maxobjectfaces, 0);
}

TEST_F(Precalc, RunningAgainReleasesWhatTheFirstRunMade) {
  TestScene ts({Quad(), Tetrahedron()}, 1, 1);
  PrecalculateScene(&ts.scene);
  rec.calls.clear();
  PrecalculateScene(&ts.scene);
  // The first run's ten buffer names go before the new ones are made; the
  // arrays go back to the allocator (the leak checker sees the rest).
  const std::vector<std::string> deleted(rec.calls.begin(), rec.calls.begin() + 10);
  EXPECT_EQ(deleted, (std::vector<std::string>{"delete 1", "delete 2", "delete 3", "delete 4", "delete 5", "delete 6",
                                                "delete 7", "delete 8", "delete 9", "delete 10"}));
  EXPECT_EQ(rec.calls[10], "gen 11");
  EXPECT_EQ(ts.scene.volumeindexbuffer, 11u);
  ExpectFace(ts.object(0).neighbours[0], -1, -1, 1);
}

TEST_F(Precalc, MissingBufferEntryPointsAreSkippedAndLoggedOnce) {
  struct Case {
    void (*drop)();
    std::vector<std::string> calls;  // for a scene of one empty object
    const char* name;
  };
  const Case cases[] = {
      {[] { qgl::glGenBuffersARB = nullptr; }, {}, "glGenBuffersARB"},
      {[] { qgl::glBindBufferARB = nullptr; }, {"gen 1", "gen 2", "gen 3", "gen 4", "gen 5", "gen 6"}, "glBindBufferARB"},
      {[] { qgl::glBufferDataARB = nullptr; },
       {"gen 1", "bind 0x8893 1", "gen 2", "gen 3", "bind 0x8892 3", "gen 4", "bind 0x8893 4", "gen 5",
        "bind 0x8892 5", "gen 6", "bind 0x8892 6"},
       "glBufferDataARB"},
  };
  for (const Case& c : cases) {
    InstallBufferRecorder();
    c.drop();
    TestScene ts({Mesh{}});
    PrecalculateScene(&ts.scene);
    EXPECT_EQ(rec.calls, c.calls) << c.name;
    ASSERT_EQ(logLines.size(), 1u) << c.name;
    EXPECT_NE(logLines[0].find(c.name), std::string::npos);
  }
}

// The camera path has tangents only when both of its tracks have keys.
TEST_F(Precalc, CameraTangentsOnlyWhenBothTracksHaveKeys) {
  struct Case {
    int cameraKeys, targetKeys;
  };
  for (const Case& c : {Case{2, 0}, Case{0, 2}, Case{1, 1}, Case{0, 0}, Case{3, 2}, Case{1, 0}}) {
    std::vector<_OVX_KEYVECTOR> camera, target;
    for (int i = 0; i < c.cameraKeys; ++i) camera.push_back({10 * i, 6.0f * i, 0, 0});
    for (int i = 0; i < c.targetKeys; ++i) target.push_back({10 * i, 0, 12.0f * i, 0});
    TestScene ts(std::vector<Mesh>{});
    ts.scene.camerakeys = camera.empty() ? nullptr : camera.data();
    ts.scene.camerakeycount = c.cameraKeys;
    ts.scene.targetkeys = target.empty() ? nullptr : target.data();
    ts.scene.targetkeycount = c.targetKeys;
    PrecalculateScene(&ts.scene);
    SCOPED_TRACE(std::to_string(c.cameraKeys) + " " + std::to_string(c.targetKeys));
    const bool both = c.cameraKeys > 0 && c.targetKeys > 0;
    ASSERT_EQ(ts.scene.cameratangents != nullptr, both);
    ASSERT_EQ(ts.scene.targettangents != nullptr, both);
    if (both && c.cameraKeys == 1) ExpectVector(ts.scene.cameratangents[0], 0, 0, 0);
    if (both && c.cameraKeys >= 2) ExpectVector(ts.scene.cameratangents[0], 1, 0, 0);
    if (both && c.targetKeys >= 2) ExpectVector(ts.scene.targettangents[c.targetKeys - 1], 0, 2, 0);
    _OVX_VECTOR eye, look;
    CameraAtTime(eye, look, &ts.scene, 5.0f);
    if (c.targetKeys == 0) ExpectVector(look, 0, 0, 0);
  }
}

TEST_F(Precalc, ASharedCopyIsLeftAlone) {
  TestScene ts({Quad()});
  ts.scene.sharedcopy = 1;
  PrecalculateScene(&ts.scene);
  EXPECT_EQ(ts.object(0).facenormals, nullptr);
  EXPECT_TRUE(rec.calls.empty());
  ts.scene.sharedcopy = 0;
}

// The buffers on a real GL (Mesa's software renderer under Xvfb will do):
// distinct names, and what they hold is what the arrays held.
TEST(OnDisplay, BuffersHoldTheSceneArrays) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  auto r = qt::RunInChild([] {
    wmtest::ShowGLWindowOrExit();
    GLInit();
    glInitExt();
    if (!qgl::glGetBufferSubDataARB) _exit(12);
    TestScene ts({Quad()});
    PrecalculateScene(&ts.scene);
    const _OVX_OBJECT& o = ts.object(0);
    const uint32_t names[] = {ts.scene.volumeindexbuffer, ts.scene.volumevertexbuffer, o.vertexbuffer,
                              o.indexbuffer, o.normalbuffer, o.texcoordbuffer};
    for (size_t i = 0; i < 6; ++i)
      for (size_t j = 0; j < i; ++j) CHILD_CHECK(names[i] != 0 && names[i] != names[j]);
    auto same = [](GLenum target, uint32_t name, const void* data, size_t bytes) {
      std::vector<uint8_t> back(bytes);
      qgl::glBindBufferARB(target, name);
      qgl::glGetBufferSubDataARB(target, 0, static_cast<GLsizeiptrARB>(bytes), back.data());
      return std::memcmp(back.data(), data, bytes) == 0;
    };
    CHILD_CHECK(same(GL_ARRAY_BUFFER_ARB, o.vertexbuffer, o.vertices, 4 * sizeof(_OVX_VECTOR)));
    CHILD_CHECK(same(GL_ELEMENT_ARRAY_BUFFER_ARB, o.indexbuffer, o.faces, 2 * sizeof(_OVX_FACE)));
    CHILD_CHECK(same(GL_ARRAY_BUFFER_ARB, o.texcoordbuffer, o.texcoords, 4 * sizeof(_OVX_TEXTCOORD)));
    CHILD_CHECK(same(GL_ELEMENT_ARRAY_BUFFER_ARB, ts.scene.volumeindexbuffer, ts.scene.volumeindices,
                     12 * sizeof(_OVX_FACE)));
    CHILD_CHECK(qgl::glGetError() == 0);
    std::fflush(stderr);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

}  // namespace
