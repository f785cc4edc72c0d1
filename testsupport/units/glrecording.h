// Test helper: points the GL units' texture entries at an emptied recorder
// (framework/wm/glrecorder.h), for tests of code that makes textures through
// the units.
#pragma once
#include "framework/wm/glrecorder.h"
#include "units/glunit.h"
#include "units/gluunit.h"

namespace glrec {

inline void UseRecordingUnitTextures() {
  rec = Recorder{};
  qgl::glGenTextures = GenTextures;
  qgl::glBindTexture = BindTexture;
  qgl::glTexParameteri = TexParameteri;
  qgl::glPixelStorei = PixelStorei;
  qgl::glTexImage2D = TexImage2D;
  qgl::gluBuild2DMipmaps = Build2DMipmaps;
  qgl::glCompressedTexImage2DARB = CompressedTexImage2D;
  qgl::glDeleteTextures = DeleteTextures;
}

}  // namespace glrec
