// The framework's GL and GLU tables.
#include "framework/wm/gl.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "testsupport/wm/wm.h"

namespace {

struct Group {
  std::string label;
  int count;
};

std::vector<Group> GLGroups() {
  std::vector<Group> g;
#define QGL_GROUP(label, count) g.push_back({label, count});
#define QGL_FN(ret, name, params)
#include "framework/wm/glnames.inc"
#undef QGL_FN
#undef QGL_GROUP
  return g;
}

TEST(GLTable, GroupsAndNames) {
  std::vector<Group> groups = GLGroups();
  std::vector<int> counts;
  for (const auto& g : groups) counts.push_back(g.count);
  // 1.0 to 1.2, 1.3 with glSamplePass, 1.4, 1.5, 2.0, extensions.
  EXPECT_EQ(counts, (std::vector<int>{336 + 38, 46 + 1, 45, 19, 92, 614}));
  ASSERT_EQ(wmGLSlotCount, 1191u);
  ASSERT_EQ(wmGLUSlotCount, 56u);
  std::set<std::string> names;
  for (size_t i = 0; i < wmGLSlotCount; ++i) names.insert(wmGLSlots[i].name);
  EXPECT_EQ(names.size(), 1191u);
  EXPECT_STREQ(wmGLSlots[0].name, "glAccum");
  EXPECT_STREQ(wmGLSlots[373].name, "glViewport");
  EXPECT_STREQ(wmGLSlots[1190].name, "glTbufferMask3DFX");
  EXPECT_TRUE(names.count("glCompressedTexImage2DARB"));
  EXPECT_TRUE(names.count("glSamplePassARB"));
  EXPECT_TRUE(names.count("glGenFragmentShadersEXT"));
  EXPECT_STREQ(wmGLUSlots[0].name, "gluBeginCurve");
  EXPECT_STREQ(wmGLUSlots[55].name, "gluUnProject4");
  for (size_t i = 0; i < wmGLUSlotCount; ++i) EXPECT_STRNE(wmGLUSlots[i].name, "gluNewQuadric");
}

// A slot holds exactly what the library exports under that name.
void ExpectSlotsMatchExports(const void* table, const wm_gl_slot_t* slots, size_t count, const char* host) {
  void* lib = dlopen(host, RTLD_NOW);
  ASSERT_NE(lib, nullptr);
  int filled = 0;
  for (size_t i = 0; i < count; ++i) {
    void* slot;
    std::memcpy(&slot, static_cast<const unsigned char*>(table) + slots[i].offset, sizeof slot);
    EXPECT_EQ(slot, dlsym(lib, slots[i].name)) << slots[i].name;
    filled += slot != nullptr;
  }
  EXPECT_GT(filled, 0);
  dlclose(lib);
}

TEST(GLTable, StubsFillEverySlotTheLibraryExports) {
  ASSERT_EQ(gl_stub(), 0);
  ExpectSlotsMatchExports(&wmGL, wmGLSlots, wmGLSlotCount, "libGL.so.1");
  EXPECT_NE(wmGL.glBindTexture, nullptr);
  EXPECT_EQ(wmGL.glSamplePass, nullptr);
  ASSERT_EQ(glu_stub(), 0);
  ExpectSlotsMatchExports(&wmGLU, wmGLUSlots, wmGLUSlotCount, "libGLU.so.1");
  EXPECT_NE(wmGLU.gluBuild2DMipmaps, nullptr);
}

TEST(GLTable, OneLogLinePerRun) {
  auto run = wmtest::RunLogged([] {
    gl_stub();
    gl_stub();
    glu_stub();
  });
  EXPECT_EQ(wmtest::CountOf(run.log, "[gl_stub]  ! load GL module.\n"), 2) << run.log;
  EXPECT_EQ(wmtest::CountOf(run.log, "[glu_stub]  ! load GLU module.\n"), 1);
}

}  // namespace
