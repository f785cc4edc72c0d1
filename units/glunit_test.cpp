// The GL and GLU units: their name lists and the extension probe over fake
// drivers.
#include "units/glunit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "testsupport/wm/wm.h"
#include "units/gluunit.h"

namespace {

struct Group {
  std::string label;
  int count;
};

std::vector<Group> CoreGroups() {
  std::vector<Group> g;
#define QGL_GROUP(label, count) g.push_back({label, count});
#define QGL_FN(ret, name, params)
#include "units/glunit_core.inc"
#undef QGL_FN
#undef QGL_GROUP
  return g;
}

std::vector<Group> ExtGroups() {
  std::vector<Group> g;
#define QGL_GROUP(label, count) g.push_back({label, count});
#define QGL_FN(ret, name, params)
#include "units/glunit_ext.inc"
#undef QGL_FN
#undef QGL_GROUP
  return g;
}

std::vector<std::string> ExtNames() {
  std::vector<std::string> names;
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) names.push_back(#name);
#include "units/glunit_ext.inc"
#undef QGL_FN
#undef QGL_GROUP
  return names;
}

TEST(GLUnitLists, Counts) {
  std::vector<int> core;
  for (const auto& g : CoreGroups()) core.push_back(g.count);
  EXPECT_EQ(core, (std::vector<int>{336, 38, 46, 45, 6}));
  std::map<std::string, int> ext;
  int total = 0;
  for (const auto& g : ExtGroups()) {
    ext[g.label] = g.count;
    total += g.count;
  }
  EXPECT_EQ(total, 913);
  EXPECT_EQ(ext["GL_ARB_vertex_program"], 61);
  EXPECT_EQ(ext["GL_ARB_vertex_shader"], 4);
  EXPECT_EQ(ext["GL_ATI_vertex_streams"], 45);
  EXPECT_EQ(ext["WGL"], 15);
  EXPECT_EQ(ext["WGL_I3D_genlock"], 12);
  std::vector<std::string> names = ExtNames();
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 913u);
  EXPECT_EQ(names.front(), "glTbufferMask3DFX");
  EXPECT_EQ(names.back(), "glGetQueryObjectuivARB");
  int gluCount = 0;
#define QGL_GROUP(label, count) gluCount += count;
#define QGL_FN(ret, name, params)
#include "units/gluunit_names.inc"
#undef QGL_FN
#undef QGL_GROUP
  EXPECT_EQ(gluCount, 44);
}

// --- a fake driver -----------------------------------------------------------------------

struct Driver {
  const char* extensions = nullptr;
  const char* renderer = nullptr;
  GLint maxTextureSize = 0;
  std::vector<GLint> formats;
  std::vector<std::string> asked;  // names asked of wglGetProcAddress
};
Driver driver;

const GLubyte* FakeGetString(GLenum which) {
  const char* s = which == GL_EXTENSIONS ? driver.extensions : which == GL_RENDERER ? driver.renderer : nullptr;
  return reinterpret_cast<const GLubyte*>(s);
}

void FakeGetIntegerv(GLenum which, GLint* out) {
  if (which == GL_MAX_TEXTURE_SIZE) *out = driver.maxTextureSize;
  if (which == GL_NUM_COMPRESSED_TEXTURE_FORMATS) *out = static_cast<GLint>(driver.formats.size());
  if (which == GL_COMPRESSED_TEXTURE_FORMATS)
    for (size_t i = 0; i < driver.formats.size(); ++i) out[i] = driver.formats[i];
}

QGL_PROC FakeGetProcAddress(const char* name) {
  driver.asked.push_back(name);
  return nullptr;
}

void InstallDriver(const Driver& d) {
  driver = d;
  qgl::glGetString = FakeGetString;
  qgl::glGetIntegerv = FakeGetIntegerv;
  qgl::wglGetProcAddress = FakeGetProcAddress;
  glSupportDXT1 = glSupportDXT3 = glSupportDXT5 = 0;
}

struct Flags {
  int compression, dxt1, dxt3, dxt5, shaderLanguage, multitexture;
};

Flags Probe(const Driver& d) {
  InstallDriver(d);
  glInitExt();
  return {glExtTextureCompression, glSupportDXT1, glSupportDXT3, glSupportDXT5, glExtShaderLanguage,
          glExtMultitexture};
}

TEST(ExtensionProbe, FlagsFromExtensionStrings) {
  const std::vector<GLint> s3tc = {0x83F0, 0x83F1, 0x83F2, 0x83F3};
  struct Case {
    const char* extensions;
    std::vector<GLint> formats;
    Flags expected;
  };
  const Case cases[] = {
      // S3TC without the ARB name: the S3TC probe decides, formats are listed.
      {"GL_EXT_texture_compression_s3tc GL_ARB_multitexture", s3tc, {1, 1, 1, 1, 0, 1}},
      // The ARB name without S3TC: overwritten to 0, nothing listed.
      {"GL_ARB_texture_compression", s3tc, {0, 0, 0, 0, 0, 0}},
      // Only the RGBA variant of DXT1 and an unknown code.
      {"GL_EXT_texture_compression_s3tc", {0x83F1, 0x1234}, {1, 0, 0, 0, 0, 0}},
      {"GL_EXT_texture_compression_s3tc", {}, {1, 0, 0, 0, 0, 0}},
      // The shading-language flag ends as the fragment-shader probe.
      {"GL_ARB_shading_language_100", {}, {0, 0, 0, 0, 0, 0}},
      {"GL_ARB_shading_language_100 GL_ARB_fragment_shader", {}, {0, 0, 0, 0, 1, 0}},
      {"GL_ARB_fragment_shader", {}, {0, 0, 0, 0, 1, 0}},
      // A name that begins a longer one counts (a plain substring search).
      {"GL_ARB_multitextureX", {}, {0, 0, 0, 0, 0, 1}},
      {"", s3tc, {0, 0, 0, 0, 0, 0}},
      {nullptr, s3tc, {0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    Driver d;
    d.extensions = c.extensions;
    d.formats = c.formats;
    Flags f = Probe(d);
    SCOPED_TRACE(c.extensions ? c.extensions : "(null)");
    EXPECT_EQ(f.compression, c.expected.compression);
    EXPECT_EQ(f.dxt1, c.expected.dxt1);
    EXPECT_EQ(f.dxt3, c.expected.dxt3);
    EXPECT_EQ(f.dxt5, c.expected.dxt5);
    EXPECT_EQ(f.shaderLanguage, c.expected.shaderLanguage);
    EXPECT_EQ(f.multitexture, c.expected.multitexture);
  }
}

TEST(ExtensionProbe, FetchesEveryExtensionEntryPointInOrder) {
  Driver d;
  d.extensions = "GL_ARB_multitexture";
  Probe(d);
  EXPECT_EQ(driver.asked, ExtNames());
  EXPECT_EQ(qgl::glActiveTextureARB, nullptr);  // what the driver gave
  // No procedure lookup at all: nothing is asked and nothing breaks.
  InstallDriver(d);
  qgl::wglGetProcAddress = nullptr;
  EXPECT_EQ(glGetExtProc("glActiveTextureARB"), nullptr);
  EXPECT_EQ(glInitExt(), 0);
}

TEST(ExtensionProbe, MaximumTextureSize) {
  Driver d;
  d.maxTextureSize = 2048;
  Probe(d);
  EXPECT_EQ(glMaxTextureSize, 2048);
  // Without any GL the size reads 0, not what was there before.
  InstallDriver(Driver{});
  qgl::glGetIntegerv = nullptr;
  glInitExt();
  EXPECT_EQ(glMaxTextureSize, 0);
}

TEST(ExtensionProbe, LogLines) {
  auto run = wmtest::RunLogged([] {
    Driver d;
    d.extensions = "GL_EXT_texture_compression_s3tc GL_ARB_multitexture";
    d.renderer = "Fake Renderer";
    d.maxTextureSize = 2048;
    d.formats = {0x83F0, 0x83F1, 0x83F2, 0x83F3};
    Probe(d);
    d.extensions = "GL_ARB_texture_compression";
    Probe(d);
    d.extensions = "GL_EXT_texture_compression_s3tc";
    d.formats = {};
    Probe(d);
    Probe(Driver{});  // no context: null strings everywhere
  });
  const std::string first =
      "[gl] --- check extensions:\n"
      "[gl] - GL_EXT_compiled_vertex_array : not available\n"
      "[gl] - GL_EXT_texture_cube_map : not available\n"
      "[gl] - GL_ARB_multitexture : available\n"
      "[gl] - GL_ARB_texture_env_combine : not available\n"
      "[gl] - GL_ARB_texture_env_dot3 : not available\n"
      "[gl] - GL_ARB_texture_compression : not available\n"
      "[gl] - GL_EXT_texture_filter_anisotropic : not available\n"
      "[gl] - GL_ARB_multisample : not available\n"
      "[gl] - GL_EXT_texture_compression_s3tc : available\n"
      "[gl] - GL_ARB_shading_language_100 : not available\n"
      "[gl] - GL_ARB_fragment_shader : not available\n"
      "[gl] - GL_ARB_vertex_shader : not available\n"
      "[gl] - renderer: Fake Renderer\n"
      "[gl] - Maximum texture size : 2048\n"
      "[gl]   - supported DXTC modes (4): DXT1 DXT3 DXT5\n";
  EXPECT_NE(run.log.find(first), std::string::npos) << run.log;
  EXPECT_NE(run.log.find("[gl] - GL_ARB_texture_compression : available\n"), std::string::npos);
  EXPECT_NE(run.log.find("[gl] - Maximum texture size : 2048\n[gl] DXTC : not available.\n"), std::string::npos);
  EXPECT_NE(run.log.find("[gl]   - supported DXTC modes (0):\n"), std::string::npos);
  EXPECT_NE(run.log.find("[gl] - renderer: \n[gl] - Maximum texture size : 0\n[gl] DXTC : not available.\n"),
            std::string::npos);
}

TEST(ExtensionProbe, LinesCarryOneTimestampEach) {
  qt::TempDir dir;
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog", "-v", "-debug-ts"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    Driver d;
    d.extensions = "GL_ARB_multitexture";
    Probe(d);
  });
  std::string log = qt::ReadFile(dir / "debug.log");
  size_t at = log.find("[gl] - GL_ARB_multitexture : available\n");
  ASSERT_NE(at, std::string::npos) << log;
  // "yyyymmdd hhmmss " in front, and nothing stamped inside the line.
  size_t lineStart = log.rfind('\n', at) + 1;
  EXPECT_EQ(at - lineStart, 16u) << log.substr(lineStart, at - lineStart + 40);
}

}  // namespace
