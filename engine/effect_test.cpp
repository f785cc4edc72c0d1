#include "engine/effect.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "testsupport/engine/draw.h"
#include "engine/glsl.h"
#include "engine/loader.h"
#include "engine/player.h"
#include "testsupport/engine/project.h"
#include "testsupport/engine/scenefile.h"
#include "engine/scenefree.h"
#include "framework/base/mem.h"
#include "framework/wm/glconst.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"

namespace {

using projecttest::KeySpec;
using projecttest::OperatorSpec;
using projecttest::ProjectSpec;
using projecttest::WriteProject;

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  return qt::WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

// --- fake interface-layer routines ---

std::vector<std::string> events;  // "progress", "load <file> <folder>", "release"
std::vector<std::string> logLines;

void FakeProgress() { events.push_back("progress"); }
void FakeLoad(ife_interface& ifc, const ShortString& file, const ShortString& folder) {
  events.push_back("load " + std::string(file.view()) + " " + std::string(folder.view()));
  ifc.layer_count = 1;
}
void FakeRelease(ife_interface& ifc) {
  events.push_back("release");
  ifc.layer_count = 0;
}
void Collect(std::string_view line) { logLines.emplace_back(line); }

class EffectProject : public ::testing::Test {
 protected:
  void SetUp() override {
    InitLoaderUnit();
    EffectClearSceneCache();
    events.clear();
    logLines.clear();
    previousSink_ = LoaderSetLogSink(Collect);
    EffectInterfaces = {FakeProgress, FakeLoad, FakeRelease};
    std::filesystem::create_directory(dir_ / "data");
    SaveTestScene(dir_ / "data/a.ovx");
  }
  void TearDown() override {
    EffectInterfaces = {};
    LoaderSetLogSink(previousSink_);
    EffectClearSceneCache();
  }
  // The base scene of the reader's tests, without the textures and emitters
  // that would need a GL and image files.
  static void SaveTestScene(const std::string& path) {
    const std::string bytes = scenetest::Encode(scenetest::BaseScene());
    _OVX_SCENE scene{};
    ASSERT_EQ(LoadSceneFromMemory(&scene, bytes.data(), bytes.size(), "a"), kSceneOk);
    for (int32_t i = 0; i < scene.materialcount; ++i) scene.materials[i].textured = scene.materials[i].envmap = 0;
    for (int32_t i = 0; i < scene.objectcount; ++i) scene.objects[i].particledata.particleenabled = 0;
    ASSERT_EQ(SaveScene(&scene, path), kSceneOk);
    FreeScene(&scene);
  }
  int Load(const ProjectSpec& spec, FEX_Project& project) {
    const std::string path = dir_ / "test.fex";
    EXPECT_TRUE(WriteBytes(path, WriteProject(spec)));
    std::string error;
    return EffectLoadProjectStatus(project, path, error);
  }

  qt::TempDir dir_;
  qt::ChangeDir cd_{dir_.path()};
  LoaderLogSink previousSink_ = nullptr;
};

TEST_F(EffectProject, EmptyProjectLoadsWithoutFrames) {
  FEX_Project project;
  ASSERT_EQ(Load({}, project), kEffectOk);
  EXPECT_EQ(project.name, "project");
  EXPECT_EQ(project.reserved1, 11);
  EXPECT_EQ(project.reserved4, 44);
  EXPECT_EQ(project.scenecount + project.interfacecount + project.operatorcount, 0);
  EXPECT_TRUE(events.empty());
  EffectFreeProject(project);
}

TEST_F(EffectProject, OneSceneUnderTwoFoldersLoadsOnceAndIsShared) {
  FEX_Project project;
  ProjectSpec spec;
  spec.scenes = {"c:\\work\\a.ovx", "other\\a.ovx"};
  spec.interfaces = {"x\\layer.ife"};
  ASSERT_EQ(Load(spec, project), kEffectOk);
  ASSERT_EQ(project.scenecount, 2);
  const _OVX_SCENE& first = project.scenes[0];
  const _OVX_SCENE& second = project.scenes[1];
  EXPECT_GT(first.objectcount, 0);
  EXPECT_EQ(first.particlecount, 5000);
  EXPECT_EQ(first.sharedcopy, 0);
  EXPECT_EQ(second.sharedcopy, 1);
  EXPECT_EQ(second.objects, first.objects);
  EXPECT_EQ(second.particles, first.particles);
  EXPECT_EQ(EffectUnit.SceneCacheCount, 1);
  EXPECT_EQ(EffectUnit.SceneCache[0].name, "a.ovx");
  EXPECT_EQ(EffectUnit.SceneCache[0].scene, &project.scenes[0]);
  EXPECT_EQ(std::count(logLines.begin(), logLines.end(), "[CACHE] cached load a.ovx"), 1);
  // One loading frame before each scene and each layer.
  EXPECT_EQ(events, (std::vector<std::string>{"progress", "progress", "progress", "load data/layer.ife textures"}));
  EXPECT_EQ(project.interfaces[0].layer_count, 1);

  // A later project takes the scene from the cache.
  FEX_Project later;
  ProjectSpec one;
  one.scenes = {"a.ovx"};
  ASSERT_EQ(Load(one, later), kEffectOk);
  EXPECT_EQ(later.scenes[0].objects, first.objects);
  EffectFreeProject(later);
  EffectFreeProject(project);
  EXPECT_EQ(EffectUnit.SceneCacheCount, 0);
  EXPECT_EQ(events.back(), "release");
}

TEST_F(EffectProject, OperatorsAndKeysInFileOrder) {
  FEX_Project project;
  ProjectSpec spec;
  spec.operators = {{1001, 3, 10, 0xDEADBEEF, {}, -1, "none", {}},
                    {2002, 7, 50, 0x12345678,
                     {{0, 10, 1, -303, 5, 6}, {5, 20, 2, 7, 8, 9}, {-4, -1, 0, -1, -2, -3}}, -1, "three", {}}};
  ASSERT_EQ(Load(spec, project), kEffectOk);
  ASSERT_EQ(project.operatorcount, 2);
  const FEX_Operator& none = project.operators[0];
  EXPECT_EQ(none.optype, 1001);
  EXPECT_EQ(none.target, 3);
  EXPECT_EQ(none.keycount, 0);
  EXPECT_EQ(none.name, "none");
  const FEX_Operator& three = project.operators[1];
  EXPECT_EQ(three.optype, 2002);
  EXPECT_EQ(three.params[0], 50);
  EXPECT_EQ(three.params[31], 81);
  ASSERT_EQ(three.keycount, 3);
  const FEX_Key& k0 = three.keys[0];
  EXPECT_EQ(k0.starttime, 0);
  EXPECT_EQ(k0.endtime, 10);
  EXPECT_EQ(k0.ease, 1);
  EXPECT_EQ(k0.startvalue, kFexRandomValue);
  EXPECT_EQ(three.keys[1].midvalue, 8);
  EXPECT_EQ(three.keys[2].starttime, -4);
  EXPECT_EQ(three.keys[2].endvalue, -3);
  EffectFreeProject(project);
}

TEST_F(EffectProject, MissingSceneFileLeavesAnEmptyScene) {
  FEX_Project project;
  ProjectSpec spec;
  spec.scenes = {"gone.ovx", "gone.ovx"};
  ASSERT_EQ(Load(spec, project), kEffectOk);
  EXPECT_EQ(project.scenes[0].objectcount, 0);
  EXPECT_EQ(project.scenes[0].objects, nullptr);
  EXPECT_EQ(project.scenes[0].materials, nullptr);
  EXPECT_EQ(project.scenes[1].sharedcopy, 1);
  EXPECT_EQ(EffectUnit.SceneCacheCount, 1);
  EffectFreeProject(project);
}

TEST_F(EffectProject, CacheStopsAtItsSize) {
  // Three projects of missing scenes with distinct names: 101 + 101 + 55.
  std::vector<FEX_Project> projects(3);
  const int counts[] = {101, 101, 55};
  int next = 0;
  for (size_t p = 0; p < projects.size(); ++p) {
    ProjectSpec spec;
    for (int i = 0; i < counts[p]; ++i) spec.scenes.push_back("s" + std::to_string(next + i));
    ASSERT_EQ(Load(spec, projects[p]), kEffectOk);
    next += counts[p];
  }
  EXPECT_EQ(EffectUnit.SceneCacheCount, kSceneCacheSize);
  EXPECT_EQ(EffectUnit.SceneCache[255].name, "s255");
  EXPECT_EQ(projects[2].scenes[54].sharedcopy, 0);  // s256: loaded, not cached
  for (size_t i = projects.size(); i-- > 0;) EffectFreeProject(projects[i]);
  EXPECT_EQ(EffectUnit.SceneCacheCount, 0);
}

// Damaged files are refused whole, and leave the project empty.
TEST_F(EffectProject, DamagedFilesAreRefused) {
  ProjectSpec keyed;
  keyed.scenes = {"a.ovx"};
  keyed.operators = {{1, 0, 0, 0, {{0, 1, 0, 1, 2, 3}, {0, 1, 0, 1, 2, 3}}, -1, "op", {}}};
  const std::vector<uint8_t> good = WriteProject(keyed);
  auto cut = [&](size_t size) { return std::vector<uint8_t>(good.begin(), good.begin() + long(size)); };
  auto withCount = [&](size_t offset, int32_t value) {
    std::vector<uint8_t> b = good;
    for (size_t i = 0; i < 4; ++i) b.at(offset + i) = uint8_t(uint32_t(value) >> (8 * i));
    return b;
  };
  const size_t keycountAt = kFexHeaderSize + 256 + 44;
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", {}},
      {"inside the header", cut(200)},
      {"inside a path", cut(kFexHeaderSize + 100)},
      {"inside the operators", cut(kFexHeaderSize + 256 + 300)},
      {"inside the keys", cut(good.size() - 1)},
      {"negative scene count", withCount(272, -1)},
      {"more interfaces than the file holds", withCount(276, 102)},
      {"huge operator count", withCount(280, 0x7fffffff)},
      {"negative key count", withCount(keycountAt, -5)},
      {"a hundred keys more than the file holds", withCount(keycountAt, 102)},
      {"more keys than the file holds", withCount(keycountAt, 3)},
  };
  for (const auto& c : cases) {
    FEX_Project project;
    std::string error;
    EXPECT_EQ(EffectReadProject(project, c.bytes, error), kEffectDamaged) << c.what;
    EXPECT_FALSE(error.empty()) << c.what;
    EXPECT_EQ(project.scenecount + project.operatorcount, 0) << c.what;
    EXPECT_EQ(project.operators, nullptr) << c.what;
  }
  EXPECT_TRUE(events.empty()) << "nothing is loaded from a damaged file";
  FEX_Project project;
  std::string error;
  EXPECT_EQ(EffectReadProject(project, good, error), kEffectOk) << error;
}

// ---- Key counts checked before the keys are made ----------------------------

// A key count the rest of the file cannot hold is refused as such, before an
// array for the keys is made: the operator is named, not just a short file.
TEST_F(EffectProject, AKeyCountPastTheEndNamesItsOperator) {
  ProjectSpec spec;
  spec.operators = {{1, 0, 0, 0, {{0, 1, 0, 1, 2, 3}}, -1, "a", {}}, {1, 0, 0, 0, {}, 1000, "b", {}}};
  FEX_Project project;
  std::string error;
  EXPECT_EQ(EffectReadProject(project, WriteProject(spec), error), kEffectDamaged);
  EXPECT_NE(error.find("keys of operator 1"), std::string::npos) << error;
  EXPECT_EQ(project.operators, nullptr);
}

// ---- Freeing a project prunes only its own scenes from the cache ------------

TEST_F(EffectProject, FreeingAProjectKeepsTheOtherProjectsCachedScenes) {
  SaveTestScene(dir_ / "data/b.ovx");
  FEX_Project first, second;
  ProjectSpec a, b;
  a.scenes = {"a.ovx"};
  b.scenes = {"b.ovx"};
  ASSERT_EQ(Load(a, first), kEffectOk);
  ASSERT_EQ(Load(b, second), kEffectOk);
  ASSERT_EQ(EffectUnit.SceneCacheCount, 2);
  EffectFreeProject(first);
  ASSERT_EQ(EffectUnit.SceneCacheCount, 1);
  EXPECT_EQ(EffectUnit.SceneCache[0].name, "b.ovx");
  EXPECT_EQ(EffectUnit.SceneCache[0].scene, &second.scenes[0]);
  EXPECT_EQ(EffectUnit.SceneCache[1].scene, nullptr);
  EffectFreeProject(second);
  EXPECT_EQ(EffectUnit.SceneCacheCount, 0);
}

std::vector<std::pair<int32_t, float>> played;
void RecordPlayed(FEX_Project&, const FEX_Operator& op, float v) { played.emplace_back(op.optype, v); }

// The format declares its arrays 0 to 100, but a project holds as many
// entries as its file gives: 150 layers and operators, and a track of 150
// keys, load and play.
TEST_F(EffectProject, CountsPastTheDeclaredRangeLoadAndPlay) {
  constexpr int32_t kMany = 150;
  ProjectSpec spec;
  for (int32_t i = 0; i < kMany; ++i) spec.interfaces.push_back("layer" + std::to_string(i) + ".ife");
  for (int32_t i = 0; i < kMany - 1; ++i) spec.operators.push_back({i, 0, 0, 0, {{0, 1000, 0, i, i, i}}, -1, "", {}});
  OperatorSpec track{kMany, 0, 0, 0, {}, -1, "track", {}};
  for (int32_t k = 0; k < kMany; ++k) track.keys.push_back({k, k, 0, 1000 + k, 1000 + k, 1000 + k});
  spec.operators.push_back(track);
  FEX_Project project;
  ASSERT_EQ(Load(spec, project), kEffectOk);
  ASSERT_EQ(project.interfacecount, kMany);
  ASSERT_EQ(project.operatorcount, kMany);
  ASSERT_EQ(project.operators[kMany - 1].keycount, kMany);
  EXPECT_EQ(events.size(), size_t(2 * kMany));  // a frame and a load per layer
  EXPECT_EQ(events.back(), "load data/layer149.ife textures");

  played.clear();
  PlayerUnit.EffectOperatorHook = RecordPlayed;
  for (const float time : {0.0f, 149.0f}) EffectPlayProject(project, time);
  PlayerUnit.EffectOperatorHook = EffectApplyOperator;
  ASSERT_EQ(played.size(), size_t(2 * kMany));
  EXPECT_EQ(played[kMany - 2], std::make_pair(kMany - 2, float(kMany - 2)));
  EXPECT_EQ(played[kMany - 1], std::make_pair(kMany, 1000.0f));  // the track's first key
  EXPECT_EQ(played.back(), std::make_pair(kMany, 1149.0f));      // and its last
  EffectFreeProject(project);
}

TEST_F(EffectProject, TruncatedOrMissingFileEndsTheProgram) {
  ProjectSpec spec;
  spec.scenes = {"a.ovx"};
  std::vector<uint8_t> bytes = WriteProject(spec);
  ASSERT_GT(bytes.size(), 10u);
  bytes.erase(bytes.end() - 10, bytes.end());
  ASSERT_TRUE(WriteBytes(dir_ / "cut.fex", bytes));
  const struct {
    std::string file;
    int code;
  } cases[] = {{dir_ / "cut.fex", kEffectDamaged}, {dir_ / "none.fex", kEffectCantOpen}};
  for (const auto& c : cases) {
    qt::ChildResult r = qt::RunInChild([&] {
      FEX_Project project;
      EffectLoadProject(project, c.file);
    });
    EXPECT_EQ(r.exitCode, c.code) << c.file;
    EXPECT_TRUE(qt::Contains(r.err, "Effect project " + c.file + ": ")) << r.err;
  }
}

TEST(PathFileName, AfterTheLastBackslash) {
  const struct {
    const char* path;
    const char* name;
  } cases[] = {
      {"a.ovx", "a.ovx"},          {"dir\\a.ovx", "a.ovx"}, {"c:\\x\\y\\a.ovx", "a.ovx"},
      {"dir\\sub\\", "sub\\"},     {"\\", "\\"},            {"\\a", "a"},
      {"dir/a.ovx", "dir/a.ovx"},  {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(PathFileName(c.path), c.name) << c.path;
}

TEST(RotateVector, QuarterTurns) {
  const float q = std::numbers::pi_v<float> / 2;
  const struct {
    float x, y, z, b, a;
    float rx, ry, rz;
  } cases[] = {
      {1, 0, 0, 0, q, 0, 0, -1},
      {0, 0, 1, 0, q, 1, 0, 0},
      {0, 1, 0, q, 0, 0, 0, 1},
      {2, 3, 4, 0, 0, 2, 3, 4},
      // a then b: (1,0,0) goes to (0,0,-1) about y, then to (0,1,0) about x.
      {1, 0, 0, q, q, 0, 1, 0},
  };
  for (const auto& c : cases) {
    float rx, ry, rz;
    RotateVector(rx, ry, rz, c.x, c.y, c.z, c.b, c.a);
    EXPECT_NEAR(rx, c.rx, 1e-6f);
    EXPECT_NEAR(ry, c.ry, 1e-6f);
    EXPECT_NEAR(rz, c.rz, 1e-6f);
  }
}

// ---- A z component turned about x alone ----------------------------------

// The quarter turns above leave the z part of the turn about x unseen:
// (0, 0, 1) turned a quarter about x goes to (0, -1, 0), as (0, 1, 0) goes
// to (0, 0, 1).
TEST(RotateVector, ZTurnsAboutXAlone) {
  const float q = std::numbers::pi_v<float> / 2;
  float rx, ry, rz;
  RotateVector(rx, ry, rz, 0, 0, 1, q, 0);
  EXPECT_NEAR(rx, 0, 1e-6f);
  EXPECT_NEAR(ry, -1, 1e-6f);
  EXPECT_NEAR(rz, 0, 1e-6f);
}

// --- shader programs on a real GL (Mesa under Xvfb) ---

TEST(ShaderProgram, FailuresAreLoggedAndAGoodProgramLinks) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  qt::TempDir dir;
  // A long comment takes the sources past any fixed buffer size.
  const std::string padding = "// " + std::string(70000, 'x') + "\n";
  ASSERT_TRUE(qt::WriteFile(dir / "good.vs", padding + "void main() { gl_Position = ftransform(); }\n"));
  ASSERT_TRUE(qt::WriteFile(dir / "good.fs", "void main() { gl_FragColor = vec4(1.0); }\n" + padding));
  ASSERT_TRUE(qt::WriteFile(dir / "broken.vs", "void main() { gl_Position = ; }\n"));
  auto r = qt::RunInChild([&] {
    drawtest::ShowWindowOrExit(32, 32);
    logLines.clear();  // a forked child starts with the parent's lines
    LoaderSetLogSink(Collect);
    // The info logs land in a tracked block of 2048 bytes.
    static std::vector<int64_t> logBlocks;
    static decltype(qgl::glGetInfoLogARB) realInfoLog = qgl::glGetInfoLogARB;
    qgl::glGetInfoLogARB = [](GLhandleARB object, GLsizei room, GLsizei* length, GLcharARB* text) {
      logBlocks.push_back(room == 2048 ? SYS_MemSize(text) : -room);
      realInfoLog(object, room, length, text);
    };
    uint32_t vs = 0, fs = 0, program = 0;
    LoadShaderProgram(vs, fs, program, ShortString(dir / "good.vs"), ShortString(dir / "good.fs"));
    CHILD_CHECK(program != 0 && vs != 0 && fs != 0);
    CHILD_CHECK((logBlocks == std::vector<int64_t>{2048, 2048, 2048}));
    GLint linked = 0;
    qgl::glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    CHILD_CHECK(linked == 1);
    CHILD_CHECK(logLines.size() == 1);
    logLines.clear();
    LoadShaderProgram(vs, fs, program, ShortString(dir / "broken.vs"), ShortString(dir / "good.fs"));
    const std::vector<std::string> expected = {
        " - loading " + (dir / "broken.vs") + " and " + (dir / "good.fs") + " shader.",
        " - unable to compile vertex shader.", " - unable to link shader program."};
    CHILD_CHECK(logLines == expected);
    for (const std::string& line : logLines) std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(0);
  });
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "") << r.out;
}

}  // namespace
