#include "engine/glsl.h"

#include <cmath>
#include <string>

#include "engine/loader.h"
#include "framework/base/file.h"
#include "framework/wm/glconst.h"
#include "units/glunit.h"
#include "units/sysunit.h"

using namespace qgl;

namespace {

constexpr GLsizei kInfoLogSize = 2048;

bool ShaderEntryPointsPresent() {
  return glCreateProgramObjectARB && glCreateShaderObjectARB && glShaderSourceARB && glCompileShaderARB &&
         glGetInfoLogARB && glAttachObjectARB && glLinkProgramARB;
}

// The whole file; a file that cannot be opened gives an empty source (the
// file layer has reported it) and the compile then fails and says so.
std::string ReadSource(const ShortString& name) {
  std::string source;
  SYS_File_p file = SYS_FileOpen(PasStr(name), 0);
  if (!file) return source;
  const int64_t size = SYS_FileSize(PasStr(name));
  if (size > 0) {
    source.resize(static_cast<size_t>(size));
    const int64_t got = SYS_FileRead(file, source.data(), size);
    source.resize(got > 0 ? static_cast<size_t>(got) : 0);
  }
  SYS_FileClose(file);
  return source;
}

// The info-log buffer, a block of the tracked allocator for the time of one
// load.
class InfoLogBuffer {
 public:
  InfoLogBuffer() : block_(static_cast<GLcharARB*>(MemGet(kInfoLogSize, "pchar"))) {}
  ~InfoLogBuffer() { MemFree(block_); }
  InfoLogBuffer(const InfoLogBuffer&) = delete;
  InfoLogBuffer& operator=(const InfoLogBuffer&) = delete;
  GLcharARB* data() { return block_; }
  // Without a block GL is told there is no room, so it writes nothing.
  GLsizei capacity() const { return block_ ? kInfoLogSize : 0; }

 private:
  GLcharARB* block_;
};

// True when the object's info log is empty: any text, warnings included,
// counts as a failure.
bool InfoLogEmpty(GLhandleARB object, InfoLogBuffer& buffer) {
  GLsizei length = 0;
  glGetInfoLogARB(object, buffer.capacity(), &length, buffer.data());
  return length <= 0;
}

void CompileShader(GLhandleARB shader, const std::string& source, InfoLogBuffer& infoLog,
                   std::string_view failure) {
  const GLcharARB* text = source.c_str();
  glShaderSourceARB(shader, 1, &text, nullptr);
  glCompileShaderARB(shader);
  if (!InfoLogEmpty(shader, infoLog)) LoaderLog(failure);
}

}  // namespace

void LoadShaderProgram(uint32_t& vertexShader, uint32_t& fragmentShader, uint32_t& program,
                       const ShortString& vertexFile, const ShortString& fragmentFile) {
  InfoLogBuffer infoLog;
  LoaderLog(std::string(" - loading ") + std::string(vertexFile.view()) + " and " + std::string(fragmentFile.view()) +
            " shader.");
  vertexShader = fragmentShader = program = 0;
  if (!ShaderEntryPointsPresent()) {
    LoaderLog(" - shader objects are not offered by the driver.");
    return;
  }
  program = glCreateProgramObjectARB();
  vertexShader = glCreateShaderObjectARB(GL_VERTEX_SHADER_ARB);
  fragmentShader = glCreateShaderObjectARB(GL_FRAGMENT_SHADER_ARB);
  const std::string fragmentSource = ReadSource(fragmentFile);
  const std::string vertexSource = ReadSource(vertexFile);
  CompileShader(vertexShader, vertexSource, infoLog, " - unable to compile vertex shader.");
  CompileShader(fragmentShader, fragmentSource, infoLog, " - unable to compile pixel shader.");
  glAttachObjectARB(program, vertexShader);
  glAttachObjectARB(program, fragmentShader);
  glLinkProgramARB(program);
  if (!InfoLogEmpty(program, infoLog)) LoaderLog(" - unable to link shader program.");
}

void RotateVector(float& rx, float& ry, float& rz, float x, float y, float z, float b, float a) {
  const float sa = std::sin(a), ca = std::cos(a);
  const float sb = std::sin(b), cb = std::cos(b);
  rx = x * ca + z * sa;
  ry = x * sa * sb + y * cb - z * ca * sb;
  rz = -x * sa * cb + y * sb + z * ca * cb;
}
