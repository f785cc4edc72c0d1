#include "units/gltexture.h"

#include "framework/wm/glconst.h"
#include "units/glunit.h"

using namespace qgl;

uint32_t NewTexture2D(GLsizei w, GLsizei h, GLint components, GLenum format, GLint filter, TextureWrap wrap,
                      const void* pixels) {
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  if (wrap == TextureWrap::ClampToEdge) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  }
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, components, w, h, 0, format, GL_UNSIGNED_BYTE, pixels);
  return name;
}
