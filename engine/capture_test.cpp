#include "engine/capture.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testsupport/engine/scene.h"
#include "framework/wm/glrecorder.h"
#include "testsupport/wm/wm.h"
#include "platform/window.h"
#include "testsupport/testsupport.h"
#include "units/glunit.h"

namespace {

using glrec::rec;

class Capture : public ::testing::Test {
 protected:
  void SetUp() override {
    scenetest::UseRecordingGL();
    CaptureUnit = {};
  }
  static std::vector<std::string> Created(GLuint name, const std::string& size, bool clamp) {
    std::vector<std::string> calls = {"enable 0xDE1", "gen " + std::to_string(name),
                                      "bind 0xDE1 " + std::to_string(name), "param 0x2801 0x2601",
                                      "param 0x2800 0x2601"};
    if (clamp) calls.insert(calls.end(), {"param 0x2802 0x812F", "param 0x2803 0x812F"});
    calls.push_back("image 0 4 " + size + " 0x1908");
    return calls;
  }
};

TEST_F(Capture, CreatesAndRecreatesTransparentTextures) {
  CreateFramebufferTexture();
  std::vector<std::string> expected;
  for (GLuint name = 1; name <= 8; ++name) {
    auto one = Created(name, "800x600", true);
    expected.insert(expected.end(), one.begin(), one.end());
  }
  EXPECT_EQ(rec.calls, expected);
  EXPECT_EQ(CaptureUnit.FramebufferTextures[7], 8u);

  // Again: new names, and the old textures stay for whatever bound them.
  rec.calls.clear();
  CreateFramebufferTexture();
  std::vector<std::string> again;
  for (GLuint name = 9; name <= 16; ++name) {
    auto one = Created(name, "800x600", true);
    again.insert(again.end(), one.begin(), one.end());
  }
  EXPECT_EQ(rec.calls, again);  // nothing deleted
  EXPECT_EQ(CaptureUnit.FramebufferTextures[0], 9u);
  EXPECT_EQ(CaptureUnit.FramebufferTextures[7], 16u);

  rec.calls.clear();
  CreateGlowTexture();
  CreateGlowTexture();
  std::vector<std::string> twice = Created(17, "8x8", false), second = Created(18, "8x8", false);
  twice.insert(twice.end(), second.begin(), second.end());
  EXPECT_EQ(rec.calls, twice);
}

TEST_F(Capture, GrabsIntoTheIndexedTexture) {
  CreateFramebufferTexture();
  CreateGlowTexture();
  rec.calls.clear();
  GrabDepthBuffer(3);
  GrabFramebuffer(3);
  GrabGlow();
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"enable 0xDE1", "bind 0xDE1 4", "copy 0 0x1902 0,0 512x512",
                                                 "enable 0xDE1", "bind 0xDE1 4", "copy 0 0x1908 0,0 800x600",
                                                 "enable 0xDE1", "bind 0xDE1 9", "copy 0 0x1908 0,0 8x8"}));
  rec.calls.clear();
  scenetest::LogLines log;
  for (int bad : {-1, 8, 1 << 30}) {
    GrabFramebuffer(bad);
    GrabDepthBuffer(bad);
  }
  EXPECT_TRUE(rec.calls.empty());
  EXPECT_EQ(log.Lines().size(), 6u);
  EXPECT_EQ(log.Lines()[0], "GrabFramebuffer: no capture texture -1");
}

TEST_F(Capture, ReleaseDeletesEveryTexture) {
  CreateFramebufferTexture();
  CreateGlowTexture();
  rec.calls.clear();
  ReleaseCaptureTextures();
  EXPECT_EQ(rec.calls.size(), 9u);
  EXPECT_EQ(CaptureUnit.FramebufferTextures[0], 0u);
  EXPECT_EQ(CaptureUnit.GlowTexture, 0u);
}

// The sizes and formats a real GL (Mesa under Xvfb) reports for the
// textures after each step.
TEST(CaptureOnDisplay, LevelSizesAndFormats) {
  if (!plat::DisplayAvailable()) GTEST_SKIP() << "no X display";
  auto r = qt::RunInChild([] {
    wmtest::ShowGLWindowOrExit();
    GLInit();
    glInitExt();
    auto level = [](GLuint texture) {
      GLint w = 0, h = 0, depth = 0, alpha = 0;
      qgl::glBindTexture(GL_TEXTURE_2D, texture);
      qgl::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
      qgl::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
      qgl::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_DEPTH_SIZE, &depth);
      qgl::glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_ALPHA_SIZE, &alpha);
      std::printf("%dx%d %s|", w, h, depth > 0 ? "depth" : alpha > 0 ? "rgba" : "other");
    };
    CreateFramebufferTexture();
    CreateGlowTexture();
    level(CaptureUnit.FramebufferTextures[0]);
    level(CaptureUnit.FramebufferTextures[7]);
    level(CaptureUnit.GlowTexture);
    GrabDepthBuffer(3);
    level(CaptureUnit.FramebufferTextures[3]);
    GrabFramebuffer(3);
    level(CaptureUnit.FramebufferTextures[3]);
    GrabGlow();
    level(CaptureUnit.GlowTexture);
    std::printf("error %u", qgl::glGetError());
    std::fflush(stdout);
    _exit(0);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "800x600 rgba|800x600 rgba|8x8 rgba|512x512 depth|800x600 rgba|8x8 rgba|error 0");
}

}  // namespace
