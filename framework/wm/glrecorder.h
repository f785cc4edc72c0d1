// Test helper: GL texture functions that record their calls as text, for
// whichever table a test fills with them (the framework's wmGL or the GL
// unit's variables). Every upload reads all the bytes the real GL would read,
// so the sanitizer sees an image smaller than it claims; a tracked block that
// is too short is also marked " overread" in the call's text.
#pragma once
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/base/mem.h"
#include "framework/wm/glconst.h"
#include "framework/wm/gltypes.h"

namespace glrec {

struct Recorder {
  std::vector<std::string> calls;
  GLuint next = 1;
  int unpackAlignment = 4;
  std::vector<int> alignmentAtUpload;  // the unpack alignment at each uncompressed upload
  std::vector<GLenum> pendingErrors;   // what glGetError gives, in order
};
inline Recorder rec;

inline std::string Hex(unsigned v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%X", v);
  return b;
}

inline size_t BytesPerPixel(GLenum format) {
  switch (format) {
    case GL_LUMINANCE: return 1;
    case GL_RGB:
    case GL_BGR_EXT: return 3;
    default: return 4;
  }
}

// Reads n bytes at p; " overread" when p is a tracked block shorter than n.
inline std::string Touch(const void* p, size_t n) {
  int64_t size = SYS_MemSize(p);
  if (size >= 0 && static_cast<uint64_t>(size) < n) return " overread";
  std::vector<uint8_t> copy(n);
  if (n) std::memcpy(copy.data(), p, n);
  return "";
}

inline size_t ImageBytes(GLsizei w, GLsizei h, GLenum format) {
  return static_cast<size_t>(w) * static_cast<size_t>(h) * BytesPerPixel(format);
}

inline void Enable(GLenum cap) { rec.calls.push_back("enable " + Hex(cap)); }
inline void Disable(GLenum cap) { rec.calls.push_back("disable " + Hex(cap)); }
inline void GenTextures(GLsizei n, GLuint* t) {
  for (GLsizei i = 0; i < n; ++i) t[i] = rec.next++;
  rec.calls.push_back("gen " + std::to_string(t[0]));
}
inline void BindTexture(GLenum target, GLuint t) {
  rec.calls.push_back("bind " + Hex(target) + " " + std::to_string(t));
}
inline void DeleteTextures(GLsizei, const GLuint* t) { rec.calls.push_back("delete " + std::to_string(t[0])); }
inline void TexParameteri(GLenum, GLenum pname, GLint v) {
  rec.calls.push_back("param " + Hex(pname) + " " + Hex(static_cast<unsigned>(v)));
}
inline void PixelStorei(GLenum pname, GLint v) {
  if (pname == GL_UNPACK_ALIGNMENT) rec.unpackAlignment = v;
}
inline void TexImage2D(GLenum, GLint level, GLint comps, GLsizei w, GLsizei h, GLint, GLenum format, GLenum,
                       const void* p) {
  rec.alignmentAtUpload.push_back(rec.unpackAlignment);
  std::string read = Touch(p, ImageBytes(w, h, format));
  rec.calls.push_back("image " + std::to_string(level) + " " + std::to_string(comps) + " " + std::to_string(w) + "x" +
                      std::to_string(h) + " " + Hex(format) + read);
}
inline GLint Build2DMipmaps(GLenum, GLint comps, GLsizei w, GLsizei h, GLenum format, GLenum, const void* p) {
  rec.alignmentAtUpload.push_back(rec.unpackAlignment);
  std::string read = Touch(p, ImageBytes(w, h, format));
  rec.calls.push_back("mipmaps " + std::to_string(comps) + " " + std::to_string(w) + "x" + std::to_string(h) + " " +
                      Hex(format) + read);
  return 0;
}
inline void CompressedTexImage2D(GLenum, GLint level, GLenum format, GLsizei w, GLsizei h, GLint, GLsizei size,
                                 const void* p) {
  std::string read = Touch(p, static_cast<size_t>(size));
  rec.calls.push_back("compressed " + std::to_string(level) + " " + Hex(format) + " " + std::to_string(w) + "x" +
                      std::to_string(h) + " " + std::to_string(size) + read);
}
inline GLenum GetError() {
  if (rec.pendingErrors.empty()) return 0;
  GLenum e = rec.pendingErrors.front();
  rec.pendingErrors.erase(rec.pendingErrors.begin());
  return e;
}

// Empties the recorder and fills the framework's tables (wmGL, wmGLU, of
// framework/wm/gl.h, which the includer brings) with the texture recorders;
// every other entry is null.
template <class GLTable, class GLUTable>
void InstallTextureRecorder(GLTable& gl, GLUTable& glu) {
  rec = Recorder{};
  gl = GLTable{};
  glu = GLUTable{};
  gl.glEnable = Enable;
  gl.glDisable = Disable;
  gl.glGenTextures = GenTextures;
  gl.glBindTexture = BindTexture;
  gl.glDeleteTextures = DeleteTextures;
  gl.glTexParameteri = TexParameteri;
  gl.glPixelStorei = PixelStorei;
  gl.glTexImage2D = TexImage2D;
  gl.glCompressedTexImage2DARB = CompressedTexImage2D;
  gl.glGetError = GetError;
  glu.gluBuild2DMipmaps = Build2DMipmaps;
}

}  // namespace glrec
