#include "engine/scenetex.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/capture.h"
#include "testsupport/engine/scene.h"
#include "engine/scenetext.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "framework/wm/glrecorder.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"
#include "units/gluunit.h"
#include "units/texmgr.h"

namespace {

using scenetest::OwnedScene;
using glrec::rec;

TEST(SceneDataPath, JoinsFolderAndNameWithOneSeparator) {
  struct Case {
    const char *folder, *name, *path;
  } cases[] = {
      {"textures", "a.tga", "textures\\a.tga"},
      {"data\\tex\\", "sub/b.tga", "data\\tex\\sub\\b.tga"},
      {"data/tex//", "c.tga", "data\\tex\\c.tga"},
      {"", "d\\e.tga", "d\\e.tga"},
  };
  for (const Case& c : cases) EXPECT_EQ(SceneDataPath(c.folder, c.name), c.path) << c.folder << " " << c.name;
}

// The real texture table over a recording GL and images in memory.
class SceneTextures : public ::testing::Test {
 protected:
  void SetUp() override {
    scenetest::UseRecordingGL();
    glMaxTextureSize = 2048;
    files = &tlfix::UseMemFiles();
    txOptions(TX_OPT_QUALITY, 0);
    ResetTextures();
    CaptureUnit = {};
    files->files["tex\\stone.tga"] = tlfix::SimpleTga(4, 4, 24);
    files->files["tex\\maps\\leaf.tga"] = tlfix::SimpleTga(2, 2, 32);
    files->files["tex\\env\\sky.tga"] = tlfix::SimpleTga(2, 2, 24);
    files->files["tex\\spark.tga"] = tlfix::SimpleTga(1, 1, 32);
  }
  void TearDown() override { ResetTextures(); }

  // (name, mode) of every texture the table holds.
  static std::set<std::pair<std::string, int>> Held() {
    std::set<std::pair<std::string, int>> held;
    for (const txNode& n : txNodes)
      if (!n.free) held.insert({std::string(n.name.view()), n.mode});
    return held;
  }
  static int Calls(const std::string& prefix) {
    return static_cast<int>(std::count_if(rec.calls.begin(), rec.calls.end(),
                                           [&](const std::string& c) { return c.rfind(prefix, 0) == 0; }));
  }
  tlfix::MemFiles* files = nullptr;
};

struct MixedScene : OwnedScene {
  MixedScene() : OwnedScene({"stone", "leaf", "screen", "blank", "chrome", "plain"}, {"fire", "smoke", "off"}) {
    auto textured = [&](int i, const char* name, int32_t magtype) {
      material(i).textured = 1;
      material(i).texturename.assign(name);
      material(i).magtype = magtype;
      material(i).texturebpp = 24;
      material(i).textureid = 55;
    };
    textured(0, "stone.tga", 0);
    textured(1, "maps/leaf.tga", 7);
    textured(2, "$framebuffer$.jpg", 1);
    material(4).texturename.assign("stone.tga");
    material(4).textureid = 77;
    material(4).envmap = 1;
    material(4).envmaptexture.assign("env\\sky.tga");
    auto emitter = [&](int i, uint8_t enabled, const char* name) {
      object(i).particledata.particleenabled = enabled;
      object(i).particledata.particletexture.assign(name);
      object(i).particledata.textureid = 44;
    };
    emitter(0, 1, "spark.tga");
    emitter(1, 1, "");
    emitter(2, 0, "spark.tga");
  }
};

TEST_F(SceneTextures, PathsModesAndBalancedRelease) {
  MixedScene s;
  scenetest::LogLines log;
  LoadSceneTextures(&s.scene, "tex/");
  EXPECT_EQ(Held(), (std::set<std::pair<std::string, int>>{{"tex\\stone.tga", 0},
                                                           {"tex\\maps\\leaf.tga", 7},
                                                           {"tex\\env\\sky.tga", 3},
                                                           {"tex\\spark.tga", 3}}));
  // Nothing else, no bare folder, was asked for (the loader also looks for
  // each image's "_a" alpha companion).
  std::set<std::string> asked;
  for (std::string name : files->asked) {
    if (size_t cut = name.find("_a.tga"); cut != std::string::npos) name.erase(cut, 2);
    asked.insert(name);
  }
  EXPECT_EQ(asked, (std::set<std::string>{"tex\\stone.tga", "tex\\maps\\leaf.tga", "tex\\env\\sky.tga",
                                          "tex\\spark.tga"}));
  EXPECT_TRUE(log.Lines().empty());  // mode 7 goes to the table as it is
  EXPECT_EQ(s.material(0).texturebpp, 24);
  EXPECT_EQ(s.material(1).texturebpp, 32);
  EXPECT_EQ(CaptureUnit.FramebufferTextures[0], 0u);  // the textures are the application's to create
  EXPECT_EQ(s.material(2).textureid, 0);  // so before they exist the material is untextured
  EXPECT_EQ(s.material(2).texturebpp, 24);
  EXPECT_EQ(s.material(4).textureid, 77);  // not textured: untouched
  EXPECT_NE(s.material(4).envmapid, 0);
  EXPECT_NE(s.object(0).particledata.textureid, 44);
  EXPECT_EQ(s.object(1).particledata.textureid, 44);
  EXPECT_EQ(s.object(2).particledata.textureid, 44);

  int generated = Calls("gen ");
  rec.calls.clear();
  ReleaseSceneTextures(&s.scene);
  EXPECT_TRUE(Held().empty());
  EXPECT_EQ(Calls("delete "), 4);  // the table's four; the capture textures stay
  EXPECT_EQ(generated, 4);
  EXPECT_EQ(s.material(0).textureid, 0);
  rec.calls.clear();
  ReleaseSceneTextures(&s.scene);  // nothing left to give back
  EXPECT_TRUE(rec.calls.empty());
}

// A textured material or environment map without a name asks the table for
// the bare folder, which it cannot load: the program ends.
TEST_F(SceneTextures, AnEmptyMaterialTextureNameIsFatal) {
  for (const bool envmap : {false, true}) {
    auto r = qt::RunInChild([&] {
      setenv("QUARN_MSGBOX_TEST", "1", 1);
      OwnedScene s({"blank"}, {});
      if (envmap)
        s.material(0).envmap = 1;
      else
        s.material(0).textured = 1;
      LoadSceneTextures(&s.scene, "tex");
      _exit(99);  // not reached
    });
    EXPECT_NE(r.exitCode, 99) << envmap;
    EXPECT_NE(r.err.find("Texture Loader Error. ( tex\\ )"), std::string::npos) << r.err;
  }
}

// A material that names the frame buffer takes the first capture texture as
// it is when the scene's textures load: 0 (untextured) before
// CreateFramebufferTexture, that texture after it. Loading creates nothing.
TEST_F(SceneTextures, FramebufferMaterialTakesTheCaptureTextureOfTheMoment) {
  OwnedScene s({"screen"}, {});
  s.material(0).textured = 1;
  s.material(0).texturename.assign(std::string(kFramebufferTextureName));
  s.material(0).textureid = 55;
  LoadSceneTextures(&s.scene, "tex");
  EXPECT_EQ(s.material(0).textureid, 0);
  EXPECT_EQ(Calls("gen "), 0);
  CreateFramebufferTexture();
  ASSERT_NE(CaptureUnit.FramebufferTextures[0], 0u);
  LoadSceneTextures(&s.scene, "tex");
  EXPECT_EQ(s.material(0).textureid, static_cast<int32_t>(CaptureUnit.FramebufferTextures[0]));
  EXPECT_TRUE(Held().empty());
}

// ---- Releasing a capture material ----------------------------------------

// The capture texture belongs to the engine, not to the table: releasing a
// scene hands its name to the table, which holds no entry for it, so the
// material keeps it and no texture is deleted.
TEST_F(SceneTextures, ReleasingACaptureMaterialChangesNothing) {
  OwnedScene s({"screen"}, {});
  s.material(0).textured = 1;
  s.material(0).texturename.assign(std::string(kFramebufferTextureName));
  CreateFramebufferTexture();
  LoadSceneTextures(&s.scene, "tex");
  const int32_t capture = static_cast<int32_t>(CaptureUnit.FramebufferTextures[0]);
  ASSERT_EQ(s.material(0).textureid, capture);
  rec.calls.clear();
  ReleaseSceneTextures(&s.scene);
  EXPECT_EQ(s.material(0).textureid, capture);
  EXPECT_EQ(Calls("delete "), 0);
}

// The tracked blocks alive; the first listing may leave one of its own, so
// the list is taken twice.
std::vector<std::string> BlockList() {
  tlfix::TrackedBlocks();
  return tlfix::TrackedBlocks();
}

// Shared textures, a shallow copy released before its original, and
// repeated cycles: the table ends empty and no tracked block stays behind
// (counted after the first cycle, which may leave the units' one-time
// blocks).
TEST_F(SceneTextures, CyclesAndSharedCopiesLeaveNothing) {
  size_t blocksBefore = 0;
  for (int cycle = 0; cycle < 4; ++cycle) {
    if (cycle == 1) blocksBefore = BlockList().size();
    OwnedScene s({"a", "b"}, {});
    for (int i = 0; i < 2; ++i) {
      s.material(i).textured = 1;
      s.material(i).texturename.assign("stone.tga");
      s.material(i).magtype = 1;
    }
    LoadSceneTextures(&s.scene, "tex");
    ASSERT_EQ(s.material(0).textureid, s.material(1).textureid);
    _OVX_SCENE copy = s.scene;
    copy.sharedcopy = 1;
    ReleaseSceneTextures(&copy);
    EXPECT_EQ(Held().size(), 1u);
    ReleaseSceneTextures(&s.scene);
    EXPECT_TRUE(Held().empty());
  }
  EXPECT_EQ(Calls("gen "), Calls("delete "));
  std::vector<std::string> after = BlockList();
  EXPECT_EQ(after.size(), blocksBefore) << (after.empty() ? "" : after.back());
}

class MeshExport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { scenetest::UseCommaLocale(); }
  static void TearDownTestSuite() { scenetest::UseCLocale(); }
};

TEST_F(MeshExport, GoldenFilesForTwoObjects) {
  OwnedScene s({}, {"box", "empty"});
  _OVX_VECTOR vertices[] = {{1.0f, -0.0f, 2.5f}, {-3.25f, -0.00001f, 1234.56789f}, {0, 0, 0}};
  _OVX_FACE faces[] = {{0, 1, 2}, {2, 1, 0}};
  s.object(0).vertices = vertices;
  s.object(0).vertexcount = 3;
  s.object(0).faces = faces;
  s.object(0).facecount = 2;
  s.object(1).vertexcount = 5;  // no array: nothing to write
  qt::TempDir dir;
  ASSERT_EQ(ExportMeshText(&s.scene, dir / "mesh."), ERR_NONE);
  EXPECT_EQ(qt::ReadFile(dir / "mesh.v"),
            "box\n \n0 1.0000 -0.0000 2.5000\n1 -3.2500 -0.0000 1234.5679\n2 0.0000 0.0000 0.0000\nempty\n \n");
  EXPECT_EQ(qt::ReadFile(dir / "mesh.f"), "box\n \n0 0 1 2\n1 2 1 0\nempty\n \n");
  EXPECT_EQ(ExportMeshText(&s.scene, "/nonexistent/mesh."), ERR_CANTCREATE);
}

// ---- A text file whose bytes cannot be stored -----------------------------

// A device that takes no bytes: the file opens, the write or the close
// fails, and that is a failure to create the file, not success.
TEST(SceneTextFile, AWriteThatFailsIsAFailure) {
  EXPECT_EQ(SceneWriteTextFile("/dev/full", "some text\n"), ERR_CANTCREATE);
}

}  // namespace
