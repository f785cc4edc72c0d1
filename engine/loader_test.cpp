#include "engine/loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "testsupport/engine/scenefile.h"
#include "engine/scenefree.h"
#include "framework/base/mem.h"
#include "testsupport/testsupport.h"
#include "units/sysunit.h"

using namespace scenetest;

namespace {

// The scene's record arrays go by their array names, and the chunk header
// record has the file's field offsets.
static_assert(std::is_same_v<decltype(_OVX_SCENE::materials), _OVX_MATERIAL_ARRAY*>);
static_assert(std::is_same_v<decltype(_OVX_SCENE::objects), _OVX_OBJECT_ARRAY*>);
static_assert(offsetof(SceneChunkHeader, elementType) == 2 && offsetof(SceneChunkHeader, kind) == 3);
static_assert(offsetof(SceneChunkHeader, count) == 4 && offsetof(SceneChunkHeader, size) == 8);
static_assert(offsetof(SceneChunkHeader, packed) == 12 && offsetof(SceneChunkHeader, index) == 16);

std::vector<std::string> logLines;
void Collect(std::string_view line) { logLines.emplace_back(line); }

int CountLines(const std::string& text) {
  int n = 0;
  for (const std::string& line : logLines) n += line == text;
  return n;
}
bool Logged(const std::string& part) {
  for (const std::string& line : logLines)
    if (qt::Contains(line, part)) return true;
  return false;
}

bool IsZero(const _OVX_SCENE& scene) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(&scene);
  for (size_t i = 0; i < sizeof scene; ++i)
    if (bytes[i]) return false;
  return true;
}

std::string FileBytes(const std::vector<Chunk>& chunks) { return Encode(chunks); }

class SceneFile : public ::testing::Test {
 protected:
  void SetUp() override {
    logLines.clear();
    InitLoaderUnit();
    previous_ = LoaderSetLogSink(Collect);
  }
  void TearDown() override {
    FreeScene(&scene_);
    LoaderSetLogSink(previous_);
  }
  int Load(const std::string& bytes) {
    FreeScene(&scene_);
    return LoadSceneFromMemory(&scene_, bytes.data(), bytes.size(), "test");
  }
  // Bytes held by the tracked allocator, from its own report.
  uint64_t TrackedBytes() {
    const std::string report = dir_ / "blocks.txt";
    SYS_MemInfo(report.c_str());
    const std::string text = qt::ReadFile(report);
    const size_t at = text.find("Total: ");
    return at == std::string::npos ? ~0ull : std::strtoull(text.c_str() + at + 7, nullptr, 10);
  }

  qt::TempDir dir_;
  _OVX_SCENE scene_{};
  LoaderLogSink previous_ = nullptr;
};

TEST_F(SceneFile, ReadsEveryChunkOfTheBaseScene) {
  ASSERT_EQ(Load(FileBytes(BaseScene())), kSceneOk);
  EXPECT_EQ(CountLines("Chunk size corruption !"), 0);
  const _OVX_SCENE& s = scene_;
  EXPECT_EQ(s.chunkcount, static_cast<int32_t>(BaseScene().size()));
  EXPECT_EQ(s.versionmajor, 1);
  EXPECT_EQ(s.versionminor, 2);
  EXPECT_EQ(s.name.view(), "base");
  EXPECT_EQ(s.reserved, 7);
  EXPECT_FLOAT_EQ(s.camerafov, 0.8f);
  EXPECT_FLOAT_EQ(s.camerafar, 500.0f);
  EXPECT_FLOAT_EQ(s.distancelimit, 300.0f);
  EXPECT_FLOAT_EQ(s.colorscale, 0.5f);
  ASSERT_EQ(s.camerakeycount, 2);
  EXPECT_EQ(s.camerakeys[1].frame, 100);
  EXPECT_FLOAT_EQ(s.targetkeys[1].x, 1.0f);

  ASSERT_EQ(s.materialcount, 1);
  const _OVX_MATERIAL& m = s.materials[0];
  EXPECT_EQ(m.name.view(), "stone");
  EXPECT_EQ(m.texturename.view(), "stone.tga");
  EXPECT_EQ(m.envmaptexture.view(), "env.jpg");
  EXPECT_FLOAT_EQ(m.transparency, 0.25f);
  EXPECT_FLOAT_EQ(m.vtile, 3.0f);
  EXPECT_FLOAT_EQ(m.constantalpha, 0.75f);
  EXPECT_EQ(m.magtype, 3);
  EXPECT_EQ(m.shine, 20);
  EXPECT_EQ(m.blend, 2);
  EXPECT_EQ(m.depthfunc, 1);
  EXPECT_FLOAT_EQ(m.specular.b, 0.9f);
  EXPECT_FLOAT_EQ(m.envmapcolor.g, 0.5f);
  EXPECT_EQ(m.envmapblend, 1);

  ASSERT_EQ(s.objectcount, 2);
  const _OVX_OBJECT& quad = s.objects[0];
  EXPECT_EQ(quad.name.view(), "quad");
  EXPECT_EQ(quad.vertexcount, 4);
  EXPECT_EQ(quad.facecount, 2);
  EXPECT_EQ(quad.passno, 1);
  EXPECT_EQ(quad.rendermode, 1);
  EXPECT_FLOAT_EQ(quad.matrix.m[3][3], 15.0f);
  EXPECT_EQ(quad.strip[3], 3);
  EXPECT_FLOAT_EQ(quad.vertices[2].y, 1.0f);
  EXPECT_EQ(quad.faces[1].c, 3);
  EXPECT_EQ(quad.basefaces[1].b, 2);
  EXPECT_EQ(quad.neighbours[0].c, 1);
  EXPECT_EQ(quad.neighbours[1].a, 0);
  EXPECT_EQ(quad.neighboursplain, 0);
  EXPECT_FLOAT_EQ(quad.colors[3].g, 1.0f);
  EXPECT_FLOAT_EQ(quad.texcoords[2].v, 1.0f);
  EXPECT_EQ(quad.positionkeys[1].frame, 10);
  EXPECT_FLOAT_EQ(quad.rotationkeys[0].w, 1.0f);
  EXPECT_EQ(quad.particledata.particletexture.view(), "spark.tga");
  EXPECT_EQ(quad.particledata.newparticle, 5);
  EXPECT_FLOAT_EQ(quad.particledata.deltapower, 0.125f);
  EXPECT_EQ(quad.particledata.colorattrib, 3);
  EXPECT_FLOAT_EQ(quad.particledata.colorspread.g, 0.5f);
  EXPECT_EQ(quad.unusedflag1, 1);
  EXPECT_EQ(quad.distancecull, 1);
  EXPECT_EQ(quad.fogmode, 2);
  EXPECT_FLOAT_EQ(quad.fogparam.end, 100.0f);
  EXPECT_FLOAT_EQ(quad.fogcolor.a, 1.0f);
  EXPECT_FLOAT_EQ(quad.texturescroll.y, 0.02f);

  const _OVX_OBJECT& bare = s.objects[1];
  EXPECT_EQ(bare.name.view(), "bare");
  EXPECT_EQ(bare.hascolors | bare.hastexcoords | bare.hasnormals, 0);
  EXPECT_EQ(bare.colors, nullptr);
  EXPECT_EQ(bare.texcoords, nullptr);
  EXPECT_EQ(bare.normals, nullptr);
  EXPECT_EQ(bare.strip, nullptr);

  EXPECT_EQ(s.lights[0].name.view(), "sun");
  EXPECT_EQ(s.lights[0].enabled, 1);
  EXPECT_FLOAT_EQ(s.lights[0].pos.z, 50.0f);
  EXPECT_EQ(s.lights[0].keys[1].frame, 50);
  EXPECT_EQ(s.lights[1].keys, nullptr);
}

// A mutation of the base scene and what the load makes of it.
struct Damage {
  const char* what;
  std::function<std::string()> file;
  int status;
  int corruptionLines;
  const char* logged;                            // a part of some log line, or null
  std::function<bool(const _OVX_SCENE&)> check;  // on a successful load, or null
};

std::string Edited(const std::function<void(std::vector<Chunk>&)>& edit) {
  std::vector<Chunk> chunks = BaseScene();
  edit(chunks);
  return Encode(chunks);
}
std::string Cut(size_t bytes) {
  std::string file = Encode(BaseScene());
  return file.substr(0, file.size() - bytes);
}

std::vector<Damage> Damages() {
  const std::string base = Encode(BaseScene());
  const size_t quadVertices = Find(BaseScene(), 0x33);
  return {
      {"v1.1 without adjacency",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           c[Find(c, 0x02)].payload = U8(1);
           c.erase(c.begin() + static_cast<long>(Find(c, 0x56, 1)));
           c.erase(c.begin() + static_cast<long>(Find(c, 0x56, 0)));
         });
       },
       kSceneOk, 0, nullptr,
       [](const _OVX_SCENE& s) {
         // Whatever adjacency there is afterwards was computed, not read.
         auto computed = [](const _OVX_OBJECT& o) { return !o.neighbours || o.neighboursplain; };
         return s.versionminor == 1 && computed(s.objects[0]) && computed(s.objects[1]);
       }},
      {"4 stray bytes between chunks",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x23)].payload += std::string("ab", 2); }); },
       kSceneOk, 1, nullptr, nullptr},
      {"4 stray bytes before a chunk",
       [quadVertices] {
         std::vector<Chunk> c = BaseScene();
         std::string head = Encode(std::vector<Chunk>(c.begin(), c.begin() + static_cast<long>(quadVertices)));
         return head + "junk" + Encode(std::vector<Chunk>(c.begin() + static_cast<long>(quadVertices), c.end()));
       },
       kSceneOk, 0, nullptr, [](const _OVX_SCENE& s) { return s.objects[0].vertices[1].x == 1.0f; }},
      // The next 4-byte step of the scan runs past the end of the file.
      {"1 trailing byte", [base] { return base + "x"; }, kSceneReadError, 0, "ends inside a 4-byte step", nullptr},
      {"3 trailing bytes", [base] { return base + "xyz"; }, kSceneReadError, 0, "ends inside a 4-byte step", nullptr},
      {"size disagrees with count",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x04)].count = 2; }); }, kSceneOk, 1, nullptr,
       [](const _OVX_SCENE& s) { return s.reserved == 7; }},
      {"packed chunk stores nothing",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           Chunk& r = c[Find(c, 0x04)];
           r.packed = 8;
           r.payload = "packed!!";
         });
       },
       kSceneOk, 0, nullptr, [](const _OVX_SCENE& s) { return s.reserved == 0 && s.materialcount == 1; }},
      {"unused kinds 0x55 and 0x64",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           c.push_back({kInt, 0x55, 0, I32(9)});
           c.push_back({kText, 0x64, 0, Text("ignored")});
         });
       },
       kSceneOk, 0, nullptr, nullptr},
      {"element type 14 is skipped",
       [] { return Edited([](std::vector<Chunk>& c) { c.push_back({14, 0x04, 0, I32(99)}); }); }, kSceneOk, 0,
       "unknown element type", [](const _OVX_SCENE& s) { return s.reserved == 7; }},
      {"material index out of range",
       [] { return Edited([](std::vector<Chunk>& c) { c.push_back({kText, 0x0C, 1, Text("ghost")}); }); }, kSceneOk, 0,
       "index out of range", nullptr},
      {"light index out of range",
       [] { return Edited([](std::vector<Chunk>& c) { c.push_back({kText, 0x48, 8, Text("ghost")}); }); }, kSceneOk, 0,
       "index out of range", nullptr},
      {"object chunk before the object count",
       [] {
         return Edited([](std::vector<Chunk>& c) { c.insert(c.begin() + 1, Chunk{kText, 0x21, 0, Text("early")}); });
       },
       kSceneOk, 0, "before its count", [](const _OVX_SCENE& s) { return s.objects[0].name.view() == "quad"; }},
      // Chunks larger than their field are skipped whole: no part of them is stored.
      {"field chunk larger than its field",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x04)].payload = I32(7) + I32(1000); }); }, kSceneOk, 0,
       "bytes beyond the field", [](const _OVX_SCENE& s) { return s.reserved == 0 && s.materialcount == 1; }},
      {"text chunk larger than its field",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x0C)].payload = Text("stone") + I32(1); }); },
       kSceneOk, 1, "bytes beyond the field",
       [](const _OVX_SCENE& s) { return s.materials[0].name.len == 0 && s.materials[0].texturename.len == 9; }},
      {"field chunk shorter than its field fills its first bytes",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           Chunk& shine = c[Find(c, 0x16)];
           shine.type = kWord;
           shine.payload = Words({0x0102});
         });
       },
       kSceneOk, 0, nullptr, [](const _OVX_SCENE& s) { return s.materials[0].shine == 0x0102; }},
      {"repeated array chunk replaces its predecessor",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           c.push_back({kVec, 0x33, 0, Floats({5, 5, 5, 6, 6, 6, 7, 7, 7, 8, 8, 8})});
         });
       },
       kSceneOk, 0, nullptr, [](const _OVX_SCENE& s) { return s.objects[0].vertices[3].z == 8.0f; }},
      {"repeated object count drops the objects before it",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           const size_t light = Find(c, 0x46);
           c.insert(c.begin() + static_cast<long>(light), Chunk{kInt, 0x06, 0, I32(0)});
         });
       },
       kSceneOk, 0, nullptr, [](const _OVX_SCENE& s) { return s.objectcount == 0 && !s.objects; }},
      {"face index beyond the vertices",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x34, 1)].payload = Ints({0, 1, 3}); }); },
       kSceneDamaged, 0, "object 1: face 0 index 3", nullptr},
      {"negative face index",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x63)].payload = Ints({0, -1, 2, 0, 2, 3}); }); },
       kSceneDamaged, 0, "base face 0", nullptr},
      {"strip index beyond the vertices",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x32)].payload = Words({1, 2, 0, 4}); }); },
       kSceneDamaged, 0, "strip 3", nullptr},
      {"material beyond the materials",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x24, 1)].payload = I32(1); }); }, kSceneDamaged, 0,
       "material 1", nullptr},
      {"neighbour beyond the faces",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x56, 1)].payload = Ints({-1, 1, -1}); }); },
       kSceneDamaged, 0, "neighbours of face 0", nullptr},
      // An old file's adjacency is replaced by the computed one, so what it
      // holds cannot refuse the file.
      {"v1.1 with neighbours beyond the faces",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           c[Find(c, 0x02)].payload = U8(1);
           c[Find(c, 0x56, 1)].payload = Ints({-1, 1, -1});
           Chunk& quad = c[Find(c, 0x56, 0)];
           quad.payload.resize(12);  // one face of two
           quad.count = 2;
         });
       },
       kSceneOk, 1, nullptr,
       [](const _OVX_SCENE& s) {
         const _OVX_FACE& quad = s.objects[0].neighbours[0];
         const _OVX_FACE& bare = s.objects[1].neighbours[0];
         return s.objects[0].neighboursplain && quad.c == 1 && bare.b == -1;
       }},
      {"array shorter than its count",
       [] {
         return Edited([](std::vector<Chunk>& c) {
           Chunk& v = c[Find(c, 0x33, 1)];
           v.payload.resize(24);
           v.count = 3;
         });
       },
       kSceneDamaged, 1, "vertices shorter than its count", nullptr},
      {"colours promised, none given",
       [] { return Edited([](std::vector<Chunk>& c) { c.push_back({kBool, 0x2B, 1, U8(1)}); }); }, kSceneDamaged, 0,
       "colors missing", nullptr},
      {"negative key count",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x49)].payload = I32(-1); }); }, kSceneDamaged, 0,
       "light 0: keys count -1", nullptr},
      {"huge object count", [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x06)].payload = I32(0x7FFFFFFF); }); },
       kSceneDamaged, 0, "does not fit the file", nullptr},
      {"huge count in an array header",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x33)].count = 0x40000000; }); }, kSceneOk, 1, nullptr,
       nullptr},
      {"negative size",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x33)].size = -12; }); }, kSceneDamaged, 0,
       "negative size", nullptr},
      {"size beyond the file",
       [] { return Edited([](std::vector<Chunk>& c) { c[Find(c, 0x33)].size = 0x7FFFFFF0; }); }, kSceneReadError, 0,
       "ends inside chunk 0x33", nullptr},
      {"truncated payload", [] { return Cut(10); }, kSceneReadError, 0, "ends inside chunk 0x4F", nullptr},
      {"truncated header", [base] { return base + "QZ" + U8(3) + U8(4) + I32(1); }, kSceneReadError, 0,
       "ends inside a chunk header", nullptr},
  };
}

TEST_F(SceneFile, DamagedFilesAreLoggedAndNeverTrusted) {
  const uint64_t before = TrackedBytes();
  for (const Damage& d : Damages()) {
    SCOPED_TRACE(d.what);
    logLines.clear();
    const int status = Load(d.file());
    EXPECT_EQ(status, d.status);
    EXPECT_EQ(CountLines("Chunk size corruption !"), d.corruptionLines);
    if (d.logged) {
      EXPECT_TRUE(Logged(d.logged)) << ::testing::PrintToString(logLines);
    }
    if (status != kSceneOk) {
      EXPECT_TRUE(IsZero(scene_));
    } else if (d.check) {
      EXPECT_TRUE(d.check(scene_));
    }
    FreeScene(&scene_);
    EXPECT_EQ(TrackedBytes(), before);
  }
}

// Stray bytes that are not a multiple of 4 hide the chunks after them until
// one starts on a 4-byte step of the scan again.
TEST_F(SceneFile, StrayBytesHideChunksUntilTheScanLinesUpAgain) {
  const Chunk missed{kText, 0x48, 1, Text("missed")};  // 276 bytes
  const Chunk found{kText, 0x48, 2, Text("found")};
  const std::string file = Encode(BaseScene()) + "abc" + Encode(missed) + "d" + Encode(found);
  ASSERT_EQ(Load(file), kSceneOk);
  EXPECT_EQ(scene_.lights[1].name.view(), "");
  EXPECT_EQ(scene_.lights[2].name.view(), "found");
}

TEST_F(SceneFile, AFileThatCannotBeOpenedLeavesAZeroedRecord) {
  std::memset(&scene_, 0x5A, sizeof scene_);
  EXPECT_EQ(LoadScene(&scene_, (dir_ / "missing.bin")), kSceneCantOpen);
  EXPECT_TRUE(IsZero(scene_));
  EXPECT_EQ(logLines.back(), "File (" + (dir_ / "missing.bin") + ") not found.");
}

TEST_F(SceneFile, BackslashesInNamesAreFolderSeparators) {
  ASSERT_TRUE(qt::WriteFile(dir_ / "scene.bin", Encode(BaseScene())));
  qt::ChangeDir here(dir_.path());
  EXPECT_EQ(SceneHostPath("data\\sub\\a.bin"), "data/sub/a.bin");
  ASSERT_EQ(mkdir("data", 0755), 0);
  ASSERT_TRUE(qt::WriteFile("data/scene.bin", Encode(BaseScene())));
  EXPECT_EQ(LoadScene(&scene_, "data\\scene.bin"), kSceneOk);
  EXPECT_EQ(scene_.objectcount, 2);
  EXPECT_EQ(logLines.front(), "[ovx] load: data\\scene.bin");
}

// Every field and array a chunk carries; what the load resets, computes or
// never writes is left out.
std::vector<uint8_t> Carried(const _OVX_SCENE& s) {
  std::vector<uint8_t> out;
  auto add = [&out](const void* p, size_t n) {
    if (p) out.insert(out.end(), static_cast<const uint8_t*>(p), static_cast<const uint8_t*>(p) + n);
  };
  _OVX_SCENE head = s;
  head.chunkcount = 0;
  head.versionmajor = head.versionminor = 0;
  head.materials = nullptr;
  head.objects = nullptr;
  head.camerakeys = head.targetkeys = nullptr;
  head.cameratangents = head.targettangents = nullptr;
  head.volumevertices = nullptr;
  head.volumeindices = nullptr;
  head.volumevertexbuffer = head.volumeindexbuffer = 0;
  head.passcount = head.maxobjectfaces = 0;
  head.volumeextent = 0;
  for (_OVX_LIGHT& light : head.lights) {
    add(light.keys, sizeof(_OVX_KEYVECTOR) * size_t(light.keycount));
    light.keys = nullptr;
  }
  add(&head, sizeof head);
  add(s.camerakeys, sizeof(_OVX_KEYVECTOR) * size_t(s.camerakeycount));
  add(s.targetkeys, sizeof(_OVX_KEYVECTOR) * size_t(s.targetkeycount));
  for (int32_t i = 0; i < s.materialcount; ++i) {
    _OVX_MATERIAL m = s.materials[i];
    m.texturebpp = 0;
    add(&m, sizeof m);
  }
  for (int32_t i = 0; i < s.objectcount; ++i) {
    const _OVX_OBJECT& o = s.objects[i];
    const size_t n = size_t(o.vertexcount), f = size_t(o.facecount);
    add(o.strip, 2 * size_t(o.stripcount));
    add(o.vertices, 12 * n);
    add(o.faces, 12 * f);
    add(o.basefaces, 12 * f);
    add(o.neighbours, 12 * f);
    add(o.colors, 12 * n);
    add(o.texcoords, 8 * n);
    add(o.normals, 12 * n);
    add(o.positionkeys, 16 * size_t(o.positionkeycount));
    add(o.rotationkeys, 20 * size_t(o.rotationkeycount));
    add(o.scalekeys, 16 * size_t(o.scalekeycount));
    _OVX_OBJECT fields;
    std::memset(&fields, 0, sizeof fields);
    fields.rendermode = o.rendermode;
    fields.hasnormals = o.hasnormals;
    fields.hastexcoords = o.hastexcoords;
    fields.hascolors = o.hascolors;
    fields.visible = o.visible;
    fields.name = o.name;
    fields.vertexcount = o.vertexcount;
    fields.facecount = o.facecount;
    fields.material = o.material;
    fields.positionkeycount = o.positionkeycount;
    fields.rotationkeycount = o.rotationkeycount;
    fields.scalekeycount = o.scalekeycount;
    fields.stripcount = o.stripcount;
    fields.backfacecull = o.backfacecull;
    fields.passno = o.passno;
    fields.distancecull = o.distancecull;
    fields.matrix = o.matrix;
    fields.pivot = o.pivot;
    fields.particledata = o.particledata;
    fields.particledata.textureid = 0;
    fields.texturescroll = o.texturescroll;
    fields.castshadow = o.castshadow;
    fields.colorpass = o.colorpass;
    fields.fog = o.fog;
    fields.fogmode = o.fogmode;
    fields.fogparam = o.fogparam;
    fields.fogcolor = o.fogcolor;
    add(&fields, sizeof fields);
  }
  return out;
}

int ChunksIn(const std::string& file) {
  int n = 0;
  for (size_t at = 0; at + kChunkHeaderSize <= file.size(); ++n) {
    int32_t size;
    std::memcpy(&size, file.data() + at + 8, 4);
    at += kChunkHeaderSize + size_t(size);
  }
  return n;
}

TEST_F(SceneFile, WritesWhatItReadsBack) {
  ASSERT_EQ(Load(Encode(BaseScene())), kSceneOk);
  const std::string path = dir_ / "saved.bin";
  ASSERT_EQ(SaveScene(&scene_, path), kSceneOk);
  const std::string file = qt::ReadFile(path);
  // The chunk count comes first: 14 scene chunks, 2 camera arrays, 25 per
  // material, 41 per object plus its conditional arrays (quad: 6), 7 per
  // light plus its keys.
  const int32_t expected = 14 + 2 + 25 + (41 + 6) + 41 + 8 * 7 + 1;
  EXPECT_EQ(file.substr(0, kChunkHeaderSize + 4), "QZ" + U8(3) + U8(0x57) + Ints({1, 4, 0, 0, expected}));
  EXPECT_EQ(ChunksIn(file), expected);

  _OVX_SCENE again{};
  ASSERT_EQ(LoadSceneFromMemory(&again, file.data(), file.size(), "again"), kSceneOk);
  EXPECT_EQ(again.chunkcount, expected);
  EXPECT_EQ(again.versionmajor, 1);
  EXPECT_EQ(again.versionminor, 2);
  EXPECT_EQ(again.objects[0].unusedflag1, 0);  // read only, never written
  scene_.objects[0].unusedflag1 = 0;
  EXPECT_EQ(Carried(again), Carried(scene_));
  FreeScene(&again);
}

TEST_F(SceneFile, WritesAbsentArraysEmptyAndTextTailsAsZeros) {
  ASSERT_EQ(Load(Encode(BaseScene())), kSceneOk);
  _OVX_OBJECT& quad = scene_.objects[0];
  MemFree(quad.neighbours);
  MemFree(quad.basefaces);
  MemFree(quad.strip);  // stripcount stays 4
  std::memset(scene_.name.text + scene_.name.len, 'x', sizeof scene_.name.text - scene_.name.len);
  const std::string path = dir_ / "saved.bin";
  ASSERT_EQ(SaveScene(&scene_, path), kSceneOk);
  const std::string file = qt::ReadFile(path);
  EXPECT_EQ(file.find("xxxx"), std::string::npos);

  _OVX_SCENE again{};
  ASSERT_EQ(LoadSceneFromMemory(&again, file.data(), file.size(), "again"), kSceneDamaged);  // strip promised
  scene_.objects[0].stripcount = 0;
  ASSERT_EQ(SaveScene(&scene_, path), kSceneOk);
  const std::string fixed = qt::ReadFile(path);
  ASSERT_EQ(LoadSceneFromMemory(&again, fixed.data(), fixed.size(), "again"), kSceneOk);
  EXPECT_TRUE(!again.objects[0].neighbours || again.objects[0].neighboursplain);  // none read
  EXPECT_EQ(again.objects[0].basefaces, nullptr);
  EXPECT_EQ(std::string(again.name.text, sizeof again.name.text), "base" + std::string(251, '\0'));
  FreeScene(&again);
}

// ---- Chunks at the edges of what the reader stores --------------------------

// A packed chunk's payload is passed over and nothing of it is stored; a
// record index equal to the count is out of range; a count exactly as large
// as the chunk headers left after it still fits.
TEST_F(SceneFile, PackedChunksIndexEqualToTheCountAndACountThatJustFits) {
  {
    SCOPED_TRACE("packed");
    std::vector<Chunk> c = BaseScene();
    c.push_back({kText, 0x48, 1, Text("packed"), -1, -1, 256});
    ASSERT_EQ(Load(Encode(c)), kSceneOk);
    EXPECT_EQ(scene_.lights[1].name.view(), "");
  }
  {
    SCOPED_TRACE("index equal to the count");
    logLines.clear();
    std::vector<Chunk> c = BaseScene();
    c.push_back({kInt, 0x24, 2, I32(0)});
    c.push_back({kInt, 0x15, 1, I32(0)});
    ASSERT_EQ(Load(Encode(c)), kSceneOk);
    EXPECT_TRUE(Logged("chunk 0x24 index 2 skipped: index out of range")) << ::testing::PrintToString(logLines);
    EXPECT_TRUE(Logged("chunk 0x15 index 1 skipped: index out of range")) << ::testing::PrintToString(logLines);
  }
  {
    SCOPED_TRACE("a count that just fits");
    // After the object count one 24-byte chunk is left: room for one header.
    const std::vector<Chunk> c = {{kInt, 0x05, 0, I32(1)}, {kInt, 0x06, 0, I32(1)}, {kInt, 0x24, 0, I32(0)}};
    ASSERT_EQ(Load(Encode(c)), kSceneOk) << ::testing::PrintToString(logLines);
    EXPECT_EQ(scene_.objectcount, 1);
  }
}

// Each conditional array follows its own flag: texture coordinates without
// vertex colours are written, the colours are not.
TEST_F(SceneFile, ConditionalArraysFollowTheirOwnFlags) {
  ASSERT_EQ(Load(Encode(BaseScene())), kSceneOk);
  scene_.objects[0].hascolors = 0;
  const std::string path = dir_ / "saved.bin";
  ASSERT_EQ(SaveScene(&scene_, path), kSceneOk);
  const std::string file = qt::ReadFile(path);
  _OVX_SCENE again{};
  ASSERT_EQ(LoadSceneFromMemory(&again, file.data(), file.size(), "again"), kSceneOk);
  EXPECT_NE(again.objects[0].texcoords, nullptr);
  EXPECT_EQ(again.objects[0].colors, nullptr);
  FreeScene(&again);
}

TEST_F(SceneFile, AFileThatCannotBeCreatedIsAStatus) {
  ASSERT_EQ(Load(Encode(BaseScene())), kSceneOk);
  EXPECT_EQ(SaveScene(&scene_, dir_ / "no/such/folder/x.bin"), kSceneCantCreate);
  EXPECT_FALSE(WriteSceneChunk(1, 0x01, 1, 0, "x"));  // no save in progress
}

// An array whose bytes do not fit the header's 32-bit size cannot be
// written; the save must not report a file without it as written (failure
// reported as success).
TEST_F(SceneFile, AnArrayTooLargeForTheFormatFailsTheSave) {
  ASSERT_EQ(Load(Encode(BaseScene())), kSceneOk);
  _OVX_OBJECT& bare = scene_.objects[1];
  bare.vertexcount = 0x10000000;  // 3 GiB of vectors: refused before its bytes are read
  EXPECT_EQ(SaveScene(&scene_, dir_ / "large.bin"), kSceneCantCreate);
  bare.vertexcount = 3;
  EXPECT_EQ(SaveScene(&scene_, dir_ / "large.bin"), kSceneOk);
}

TEST_F(SceneFile, LoadAndFreeCyclesKeepNothing) {
  const std::string file = Encode(BaseScene());
  const uint64_t before = TrackedBytes();
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(Load(file), kSceneOk);
    FreeScene(&scene_);
  }
  EXPECT_EQ(TrackedBytes(), before);
}

}  // namespace
