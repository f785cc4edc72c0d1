#include "engine/sceneconfig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "testsupport/engine/scene.h"
#include "testsupport/testsupport.h"

namespace {

using scenetest::LogLines;
using scenetest::OwnedScene;

// Every test runs under a locale whose decimal mark is a comma, which the
// text must never follow.
class SceneConfig : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!scenetest::UseCommaLocale()) std::fprintf(stderr, "no comma-decimal locale: running under C\n");
  }
  static void TearDownTestSuite() { scenetest::UseCLocale(); }
};

_OVX_RGB Rgb(float r, float g, float b) { return {r, g, b}; }
_OVX_VECTOR Vec(float x, float y, float z) { return {x, y, z}; }

// Two materials (24-bit opaque, 32-bit), two objects, one named light.
struct GoldenScene : OwnedScene {
  GoldenScene() : OwnedScene({"stone", "leaf"}, {"wall", "tree"}) {
    scene.camerafov = 0.7853982f;
    scene.cameranear = 1.0f;
    scene.camerafar = 1000.5f;
    _OVX_MATERIAL& stone = material(0);
    stone.texturename.assign("stone.jpg");
    stone.utile = 2.0f;
    stone.vtile = 0.5f;
    stone.textured = 1;
    stone.ambient = Rgb(0.2f, 0.2f, 0.2f);
    stone.diffuse = Rgb(0.8f, 0.75f, 0.7f);
    stone.specular = Rgb(1, 1, 1);
    stone.shine = 20;
    stone.magtype = 3;
    stone.receivelight = 1;
    stone.constantalpha = 1.0f;
    stone.texturebpp = 24;
    _OVX_MATERIAL& leaf = material(1);
    leaf.texturename.assign("leaf.tga");
    leaf.transparency = -0.0f;
    leaf.utile = leaf.vtile = 1.0f;
    leaf.textured = 1;
    leaf.diffuse = Rgb(0.1f, 0.6f, 0.1f);
    leaf.envmap = 1;
    leaf.envmaptexture.assign("sky.jpg");
    leaf.magtype = 1;
    leaf.depthtest = 1;
    leaf.alphatest = 0.5f;
    leaf.texturewrap = 1;
    leaf.constantalpha = 0.25f;
    leaf.flaresize = 12.5f;
    leaf.texturebpp = 32;
    _OVX_OBJECT& wall = object(0);
    wall.rendermode = 1;
    wall.visible = 1;
    wall.particledata.color = Rgb(1, 1, 1);
    wall.passno = 5;  // written from the material, not from here
    wall.backfacecull = 1;
    _OVX_OBJECT& tree = object(1);
    tree.material = 1;
    tree.visible = 1;
    _OVX_PARTICLEDATA& p = tree.particledata;
    p.particleenabled = 1;
    p.deltavector = Vec(0, 0, -0.5f);
    p.deltavectorspread = Vec(0.1f, 0.1f, 0);
    p.color = Rgb(0.9f, 0.8f, 0.1f);
    p.colorspread = Rgb(0.05f, 0.05f, 0);
    p.colorattrib = 3;
    p.power = 100;
    p.deltapower = 2.5f;
    p.newparticle = 4;
    p.particletexture.assign("spark.tga");
    p.size = 1.5f;
    _OVX_LIGHT& sun = scene.lights[0];
    sun.name.assign("sun");
    sun.enabled = 1;
    sun.pos = Vec(10, -20, 30.25f);
    sun.ambient = Rgb(0.1f, 0.1f, 0.1f);
    sun.diffuse = Rgb(1, 0.9f, 0.8f);
    sun.specular = Rgb(1, 1, 1);
  }
};

const char* const kGolden = R"(# Orvex config file
#
camerafov=0.7854
cameranear=1.0000
camerafar=1000.5000
#
# Material Info
# 
#                  Texture min/mag filters:
# 0 - NEAREST, 1 - LINEAR, 2 - MIPMAP_NEAREST, 3 - MIPMAP_LINEAR (default)
# 
# Depthtest : 0 -R/W ; 1 -R ; 2 -W ; 3 -N/A
# Alphatest : 0 -N/A ; 0..1 -alpha testing value
# Blend     : 0 -NO  ; 1 -ONE/ONE ; 2 -ALPHA ; 3 -1-ALPHA
# 
material(stone).texturename=stone.jpg
material(stone).transparency=0.0000
material(stone).utile=2.0000
material(stone).vtile=0.5000
material(stone).textured=1
material(stone).ambient=0.2000,0.2000,0.2000
material(stone).diffuse=0.8000,0.7500,0.7000
material(stone).specular=1.0000,1.0000,1.0000
material(stone).shine=20
material(stone).envmap=0
material(stone).envmaptexture=
material(stone).magtype=3
material(stone).receivelight=1
material(stone).depthtest=0
material(stone).alphatest=0.0000
material(stone).texturewrap=0
material(stone).constantalpha=1.0000
material(stone).flaresize=0.0000
material(stone).blend=0
#
material(leaf).texturename=leaf.tga
material(leaf).transparency=-0.0000
material(leaf).utile=1.0000
material(leaf).vtile=1.0000
material(leaf).textured=1
material(leaf).ambient=0.0000,0.0000,0.0000
material(leaf).diffuse=0.1000,0.6000,0.1000
material(leaf).specular=0.0000,0.0000,0.0000
material(leaf).shine=0
material(leaf).envmap=1
material(leaf).envmaptexture=sky.jpg
material(leaf).magtype=1
material(leaf).receivelight=0
material(leaf).depthtest=1
material(leaf).alphatest=0.5000
material(leaf).texturewrap=1
material(leaf).constantalpha=0.2500
material(leaf).flaresize=12.5000
material(leaf).blend=2
#
# Object Info
object(wall).material=0
object(wall).rendermode=1
object(wall).visible=1
object(wall).particleenabled=0
object(wall).deltavector=0.0000,0.0000,0.0000
object(wall).deltavectorspread=0.0000,0.0000,0.0000
object(wall).color=1.0000,1.0000,1.0000
object(wall).colorspread=0.0000,0.0000,0.0000
object(wall).colorattrib=0
object(wall).power=0.0000
object(wall).deltapower=0.0000
object(wall).newparticle=0
object(wall).particletexture=
object(wall).size=0.0000
object(wall).passno=0
#standard texture :stone.jpg
object(wall).backfacecull=1
#
object(tree).material=1
object(tree).rendermode=0
object(tree).visible=1
object(tree).particleenabled=1
object(tree).deltavector=0.0000,0.0000,-0.5000
object(tree).deltavectorspread=0.1000,0.1000,0.0000
object(tree).color=0.9000,0.8000,0.1000
object(tree).colorspread=0.0500,0.0500,0.0000
object(tree).colorattrib=3
object(tree).power=100.0000
object(tree).deltapower=2.5000
object(tree).newparticle=4
object(tree).particletexture=spark.tga
object(tree).size=1.5000
object(tree).passno=2
#alpha channel texture :leaf.tga
object(tree).backfacecull=0
#
# Light Info
light(sun).enabled=1
light(sun).pos=10.0000,-20.0000,30.2500
light(sun).ambient=0.1000,0.1000,0.1000
light(sun).diffuse=1.0000,0.9000,0.8000
light(sun).specular=1.0000,1.0000,1.0000
#
)";

std::string UnnamedLights(int count) {
  std::string text;
  for (int i = 0; i < count; ++i)
    text +=
        "light().enabled=0\nlight().pos=0.0000,0.0000,0.0000\nlight().ambient=0.0000,0.0000,0.0000\n"
        "light().diffuse=0.0000,0.0000,0.0000\nlight().specular=0.0000,0.0000,0.0000\n#\n";
  return text;
}

std::string Saved(const _OVX_SCENE& scene) {
  qt::TempDir dir;
  EXPECT_EQ(SaveSceneConfig(&scene, dir / "scene.cfg"), kSceneCfgOk);
  return qt::ReadFile(dir / "scene.cfg");
}

TEST_F(SceneConfig, WritesTheGoldenText) {
  GoldenScene g;
  EXPECT_EQ(Saved(g.scene), kGolden + UnnamedLights(7));
}

// The file read back into a scene that shares only names and texture depths
// restores every written field: saving it again gives the same text.
TEST_F(SceneConfig, ReadsBackWhatItWrote) {
  GoldenScene g;
  qt::TempDir dir;
  ASSERT_EQ(SaveSceneConfig(&g.scene, dir / "scene.cfg"), kSceneCfgOk);
  OwnedScene fresh({"stone", "leaf"}, {"wall", "tree"});
  fresh.material(0).texturebpp = 24;
  fresh.material(1).texturebpp = 32;
  fresh.scene.lights[0].name.assign("sun");
  ASSERT_EQ(LoadSceneConfig(&fresh.scene, dir / "scene.cfg"), kSceneCfgOk);
  EXPECT_EQ(Saved(fresh.scene), Saved(g.scene));
  // The derived lines set their fields.
  EXPECT_EQ(fresh.material(0).blend, 0);
  EXPECT_EQ(fresh.material(1).blend, 2);
  EXPECT_EQ(fresh.object(1).passno, 2);
  EXPECT_EQ(fresh.scene.passcount, 2);
  EXPECT_EQ(std::signbit(fresh.material(1).transparency), true);
}

TEST_F(SceneConfig, BlendAndPassFollowTheTextureDepth) {
  struct Case {
    uint8_t bpp;
    float transparency;
    const char* lines;  // the blend line and the object's pass lines, "" for none
  } cases[] = {
      {24, 0.0f, "material(m).blend=0\nobject(o).passno=0\n#standard texture :t.tga\n"},
      {24, 0.5f, "material(m).blend=1\nobject(o).passno=1\n#transparent material :t.tga\n"},
      {24, -1.0f, ""},
      {32, -1.0f, "material(m).blend=2\nobject(o).passno=2\n#alpha channel texture :t.tga\n"},
      {16, 0.0f, ""},
  };
  for (const Case& c : cases) {
    OwnedScene s({"m"}, {"o"});
    s.material(0).texturebpp = c.bpp;
    s.material(0).transparency = c.transparency;
    s.material(0).texturename.assign("t.tga");
    std::string found;
    for (const std::string& line : qt::SplitLines(Saved(s.scene)))
      if (qt::Contains(line, ".blend=") || qt::Contains(line, "passno") || qt::Contains(line, " :t.tga"))
        found += line + "\n";
    EXPECT_EQ(found, c.lines) << int(c.bpp) << " " << c.transparency;
  }
}

TEST_F(SceneConfig, LineParts) {
  struct Case {
    const char* line;
    const char *keyword, *name, *key, *value;
  } cases[] = {
      {"material(a b).utile=1.5", "material", "a b", "utile", "1.5"},
      {"camerafov=2", "camerafov", "", "", "2"},
      {"object(x)", "object", "x", "", "object(x)"},
      {"light)x(.k=v=w", "light)x", "", "k", "v=w"},
      {"material(a.b).utile=1", "material", "a.b", "b).utile", "1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SceneCfgKeyword(c.line), c.keyword) << c.line;
    EXPECT_EQ(SceneCfgName(c.line), c.name) << c.line;
    EXPECT_EQ(SceneCfgKey(c.line), c.key) << c.line;
    EXPECT_EQ(SceneCfgValue(c.line), c.value) << c.line;
  }
  EXPECT_EQ(SceneCfgField1("1,2,3,4"), "1");
  EXPECT_EQ(SceneCfgField2("1,2,3,4"), "2");
  EXPECT_EQ(SceneCfgField3("1,2,3,4"), "3,4");
  EXPECT_EQ(SceneCfgField2("1"), "");
  EXPECT_EQ(SceneCfgField3("1,2"), "");
}

// The scene the load table reads into: materials stone and leaf, objects
// wall, tree and twin twice, light 0 "sun", the other lights unnamed.
struct LoadScene : OwnedScene {
  LoadScene() : OwnedScene({"stone", "leaf"}, {"wall", "tree", "twin", "twin"}) {
    scene.lights[0].name.assign("sun");
    for (_OVX_OBJECT& o : objects) o.material = 1;
    material(0).shine = 7;
    material(0).depthtest = 2;
    object(0).rendermode = 4;
    object(0).passno = 1;
    scene.lights[0].pos = Vec(9, 9, 9);
    scene.camerafov = 3.0f;
  }
};

TEST_F(SceneConfig, LoadTable) {
  const std::string kNameLine = "material(stone).texturename=";
  const std::string kLong = kNameLine + std::string(240, 'a') + "camerafov=9\n";
  const std::string kLongComment = "#" + std::string(254, 'x') + "camerafov=9\r\n";
  struct Case {
    std::string text;
    std::function<void(const _OVX_SCENE&)> check;
    int status = kSceneCfgOk;
    std::string logged = "";  // a line the log must hold
  } cases[] = {
      {"camerafov=1.5\r\nmaterial(stone).textured=1\r\nlight(sun).pos=1,2,3\r\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.camerafov, 1.5f);
         EXPECT_EQ(s.materials[0].textured, 1);
         EXPECT_EQ(s.lights[0].pos.z, 3.0f);
       }},
      {kLong + kLongComment + "cameranear=2",
       [&](const _OVX_SCENE& s) {
         EXPECT_EQ(s.materials[0].texturename.view(), std::string(255 - kNameLine.size(), 'a'));
         EXPECT_EQ(s.camerafov, 3.0f);  // the dropped tails are no lines
         EXPECT_EQ(s.cameranear, 2.0f);
       }},
      // A name that matches nothing applies the line to entry 0.
      {"material(marble).shine=5\nobject(door).visible=1\nlight(moon).enabled=1\nobject(tree).rendermode=9\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.materials[0].shine, 5);
         EXPECT_EQ(s.materials[1].shine, 0);
         EXPECT_EQ(s.objects[0].visible, 1);
         for (int i = 1; i < 4; ++i) EXPECT_EQ(s.objects[i].visible, 0) << i;
         EXPECT_EQ(s.lights[0].enabled, 1);
         EXPECT_EQ(s.lights[7].enabled, 0);
         EXPECT_EQ(s.objects[0].rendermode, 4);  // a matching name still finds its own entry
         EXPECT_EQ(s.objects[1].rendermode, 9);
       }},
      {"object(wall).visible=1\nobject(wall).passno=two\nobject(tree).visible=1\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.objects[0].visible, 1);
         EXPECT_EQ(s.objects[1].visible, 0);
         EXPECT_EQ(s.passcount, 1);
       },
       kSceneCfgBadInteger, "Config line is not an integer: object(wall).passno=two"},
      {"light(sun).pos=1,2\n", [](const _OVX_SCENE& s) { EXPECT_EQ(s.lights[0].pos.x, 9.0f); }, kSceneCfgOk,
       "Config line skipped, fewer than three values: light(sun).pos=1,2"},
      {"light(sun).ambient=1,x,\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.lights[0].ambient.r, 1.0f);
         EXPECT_EQ(s.lights[0].ambient.g, 0.0f);
       }},
      // One-byte fields keep the integer's low eight bits.
      {"material(stone).depthtest=300\nobject(wall).rendermode=256\nmaterial(stone).blend=-1\n"
       "object(tree).colorattrib=513\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.materials[0].depthtest, 44);
         EXPECT_EQ(s.objects[0].rendermode, 0);
         EXPECT_EQ(s.materials[0].blend, 255);
         EXPECT_EQ(s.objects[1].particledata.colorattrib, 1);
       }},
      {"material(stone).depthtest=x\nmaterial(stone).shine=1.5\nobject(wall).rendermode=255\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.materials[0].depthtest, 0);
         EXPECT_EQ(s.materials[0].shine, 0);
         EXPECT_EQ(s.objects[0].rendermode, 255);
       }},
      // Material indices and passes are stored as given.
      {"object(wall).material=2\nobject(tree).material=-1\nobject(twin).material=0\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.objects[0].material, 2);
         EXPECT_EQ(s.objects[1].material, -1);
         EXPECT_EQ(s.objects[2].material, 1);  // the last twin takes the line
         EXPECT_EQ(s.objects[3].material, 0);
       }},
      {"object(wall).passno=-1\nobject(tree).passno=+3\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.objects[0].passno, -1);
         EXPECT_EQ(s.passcount, 3);
       }},
      {"object(wall).passno=-4\nobject(tree).passno=-2\nobject(twin).passno=0\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.objects[1].passno, -2);
         EXPECT_EQ(s.passcount, 0);  // never below 0
       }},
      {"object(wall).material=1.0\nobject(wall).visible=1\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.objects[0].material, 1);
         EXPECT_EQ(s.objects[0].visible, 0);
       },
       kSceneCfgBadInteger, "Config line is not an integer: object(wall).material=1.0"},
      {"object(wall).visible=true\n camerafov=1\ncamerafar=abc\nmaterial(stone).utile=1,5\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.objects[0].visible, 0);
         EXPECT_EQ(s.camerafov, 3.0f);
         EXPECT_EQ(s.camerafar, 0.0f);
         EXPECT_EQ(s.materials[0].utile, 0.0f);
       }},
      {"camerafov=-2.5e-1\ncameranear=+.5\ncamerafar=1e99\n",
       [](const _OVX_SCENE& s) {
         EXPECT_EQ(s.camerafov, -0.25f);
         EXPECT_EQ(s.cameranear, 0.5f);
         EXPECT_EQ(s.camerafar, 0.0f);
       }},
      {"light().enabled=1\n", [](const _OVX_SCENE& s) {
         for (int i = 1; i < 7; ++i) EXPECT_EQ(s.lights[i].enabled, 0) << i;
         EXPECT_EQ(s.lights[7].enabled, 1);
       }},
  };
  for (const Case& c : cases) {
    LoadScene s;
    LogLines log;
    EXPECT_EQ(LoadSceneConfigText(&s.scene, c.text, "t.cfg"), c.status) << c.text;
    c.check(s.scene);
    if (!c.logged.empty()) {
      bool found = false;
      for (const std::string& line : log.Lines()) found = found || line == c.logged;
      EXPECT_TRUE(found) << c.logged;
    }
  }
}

TEST_F(SceneConfig, ScenesWithoutEntriesSkipNamedLines) {
  OwnedScene empty({}, {});
  LogLines log;
  EXPECT_EQ(LoadSceneConfigText(&empty.scene, "material(a).shine=1\nobject(b).passno=2\nobject(b).material=x\n", "e"),
            kSceneCfgOk);
  EXPECT_EQ(empty.scene.passcount, 0);
  EXPECT_EQ(log.Lines().size(), 3u);
}

TEST_F(SceneConfig, MissingFile) {
  LoadScene s;
  s.scene.passcount = 9;
  LogLines log;
  EXPECT_EQ(LoadSceneConfig(&s.scene, "/nonexistent/x.cfg"), kSceneCfgCantOpen);
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_EQ(log.Lines()[0], "Config file (/nonexistent/x.cfg) not found.");
  EXPECT_EQ(s.scene.passcount, 9);
  EXPECT_EQ(SaveSceneConfig(&s.scene, "/nonexistent/x.cfg"), kSceneCfgCantCreate);
}

}  // namespace
