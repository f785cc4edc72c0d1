// Test helper: a GL that records the calls the music disk makes, put into
// the GL unit's procedure variables, so drawing is checked without a display.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "units/glunit.h"
#include "units/gluunit.h"

namespace apptest {

struct GLRecord {
  std::vector<std::string> calls;
  GLuint nextTexture = 100;
  std::vector<GLenum> pendingErrors;
  std::vector<int> swapIntervals;
  size_t textureBytesSeen = 0;
  // With keepImages set, the pixels of every uploaded image, in upload order.
  bool keepImages = false;
  std::vector<std::vector<unsigned char>> images;

  // Calls whose text starts with the prefix.
  std::vector<std::string> With(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls)
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    return out;
  }
  size_t Count(const std::string& prefix) const { return With(prefix).size(); }
};

inline GLRecord& Rec() {
  static GLRecord record;
  return record;
}

inline std::string Num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}
inline std::string Hex(unsigned v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%X", v);
  return b;
}

namespace rec {
inline void Add(std::string s) { Rec().calls.push_back(std::move(s)); }
inline void Enable(GLenum c) { Add("enable " + Hex(c)); }
inline void Disable(GLenum c) { Add("disable " + Hex(c)); }
inline void BlendFunc(GLenum s, GLenum d) { Add("blend " + Hex(s) + " " + Hex(d)); }
inline void BindTexture(GLenum, GLuint t) { Add("bind " + std::to_string(t)); }
inline void MatrixMode(GLenum m) { Add("matrix " + Hex(m)); }
inline void LoadIdentity() { Add("identity"); }
inline void Ortho2D(GLdouble l, GLdouble r, GLdouble b, GLdouble t) {
  Add("ortho " + Num(l) + " " + Num(r) + " " + Num(b) + " " + Num(t));
}
inline void Color4f(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
  Add("color " + Num(r) + " " + Num(g) + " " + Num(b) + " " + Num(a));
}
inline void Color3f(GLfloat r, GLfloat g, GLfloat b) { Add("color3 " + Num(r) + " " + Num(g) + " " + Num(b)); }
inline void Translatef(GLfloat x, GLfloat y, GLfloat z) { Add("translate " + Num(x) + " " + Num(y) + " " + Num(z)); }
inline void Rotatef(GLfloat a, GLfloat, GLfloat, GLfloat) { Add("rotate " + Num(a)); }
inline void Begin(GLenum m) { Add("begin " + Hex(m)); }
inline void End() { Add("end"); }
inline void TexCoord2f(GLfloat s, GLfloat t) { Add("tc " + Num(s) + " " + Num(t)); }
inline void Vertex2f(GLfloat x, GLfloat y) { Add("v " + Num(x) + " " + Num(y)); }
inline void TexParameteri(GLenum, GLenum p, GLint v) { Add("param " + Hex(p) + " " + Hex(static_cast<unsigned>(v))); }
inline void Viewport(GLint x, GLint y, GLsizei w, GLsizei h) {
  Add("viewport " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(w) + " " + std::to_string(h));
}
inline void Clear(GLbitfield m) { Add("clear " + Hex(m)); }
inline void ClearColor(GLclampf, GLclampf, GLclampf, GLclampf) { Add("clearcolor"); }
inline void LineWidth(GLfloat w) { Add("linewidth " + Num(w)); }
inline void GenTextures(GLsizei n, GLuint* t) {
  for (GLsizei i = 0; i < n; ++i) t[i] = Rec().nextTexture++;
  Add("gen " + std::to_string(t[0]));
}
inline void DeleteTextures(GLsizei, const GLuint* t) { Add("delete " + std::to_string(t[0])); }
inline void PixelStorei(GLenum, GLint) {}
inline size_t Components(GLenum format) { return format == GL_LUMINANCE ? 1 : format == GL_RGB ? 3 : 4; }
inline void TexImage2D(GLenum, GLint level, GLint comps, GLsizei w, GLsizei h, GLint, GLenum format, GLenum,
                       const void* p) {
  // Read every byte GL would read, so the sanitizer sees a short buffer.
  size_t n = static_cast<size_t>(w) * static_cast<size_t>(h) * Components(format);
  const auto* bytes = static_cast<const unsigned char*>(p);
  size_t sum = 0;
  for (size_t i = 0; p && i < n; ++i) sum += bytes[i];
  Rec().textureBytesSeen += sum;
  if (Rec().keepImages) Rec().images.emplace_back(bytes, p ? bytes + n : bytes);
  Add("image " + std::to_string(level) + " " + std::to_string(comps) + " " + std::to_string(w) + "x" +
      std::to_string(h) + " " + Hex(format) + (p ? " data" : " null"));
}
inline GLint BuildMipmaps(GLenum, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*) {
  Add("mipmaps");
  return 0;
}
inline GLenum GetError() {
  auto& q = Rec().pendingErrors;
  if (q.empty()) return 0;
  GLenum e = q.front();
  q.erase(q.begin());
  return e;
}
inline const GLubyte* ErrorString(GLenum e) {
  static const GLubyte kInvalidEnum[] = "invalid enumerant";
  return e == GL_INVALID_ENUM ? kInvalidEnum : nullptr;
}
inline QGL_BOOL SwapInterval(int i) {
  Rec().swapIntervals.push_back(i);
  return 1;
}
}  // namespace rec

// Puts the recorder in place and clears what it recorded.
inline void InstallGLRecorder(bool withSwapInterval = true) {
  Rec() = GLRecord{};
  qgl::glEnable = rec::Enable;
  qgl::glDisable = rec::Disable;
  qgl::glBlendFunc = rec::BlendFunc;
  qgl::glBindTexture = rec::BindTexture;
  qgl::glMatrixMode = rec::MatrixMode;
  qgl::glLoadIdentity = rec::LoadIdentity;
  qgl::gluOrtho2D = rec::Ortho2D;
  qgl::glColor4f = rec::Color4f;
  qgl::glColor3f = rec::Color3f;
  qgl::glTranslatef = rec::Translatef;
  qgl::glRotatef = rec::Rotatef;
  qgl::glBegin = rec::Begin;
  qgl::glEnd = rec::End;
  qgl::glTexCoord2f = rec::TexCoord2f;
  qgl::glVertex2f = rec::Vertex2f;
  qgl::glTexParameteri = rec::TexParameteri;
  qgl::glViewport = rec::Viewport;
  qgl::glClear = rec::Clear;
  qgl::glClearColor = rec::ClearColor;
  qgl::glLineWidth = rec::LineWidth;
  qgl::glGenTextures = rec::GenTextures;
  qgl::glDeleteTextures = rec::DeleteTextures;
  qgl::glPixelStorei = rec::PixelStorei;
  qgl::glTexImage2D = rec::TexImage2D;
  qgl::gluBuild2DMipmaps = rec::BuildMipmaps;
  qgl::glGetError = rec::GetError;
  qgl::gluErrorString = rec::ErrorString;
  qgl::wglSwapIntervalEXT = withSwapInterval ? rec::SwapInterval : nullptr;
}

}  // namespace apptest
