// The GL binding unit and its extension probe.
#include "units/glunit.h"

#include <cstring>
#include <string_view>

#include "framework/base/dl.h"
#include "platform/wgl.h"
#include "units/sysunit.h"
#include "units/wmunit.h"

namespace qgl {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) ret(*name) params = nullptr;
#include "units/glunit_core.inc"
#include "units/glunit_ext.inc"
#undef QGL_FN
#undef QGL_GROUP
}  // namespace qgl

void* glLibHandle = nullptr;
uint8_t glExtCompiledVertexArray = 0;
uint8_t glExtTextureCubeMap = 0;
uint8_t glExtTextureCompression = 0;
uint8_t glExtMultitexture = 0;
uint8_t glExtTextureEnvCombine = 0;
uint8_t glExtTextureEnvDot3 = 0;
uint8_t glSupportDXT1 = 0;
uint8_t glSupportDXT3 = 0;
uint8_t glSupportDXT5 = 0;
uint8_t glExtAnisotropic = 0;
uint8_t glExtMultisample = 0;
uint8_t glExtShaderLanguage = 0;
uint8_t glExtVertexShader = 0;
int32_t glMaxTextureSize = 0;

namespace {

struct ProcSlot {
  const char* name;
  void* variable;  // the address of the procedure variable
};

const ProcSlot kCoreSlots[] = {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) {#name, static_cast<void*>(&qgl::name)},
#include "units/glunit_core.inc"
#undef QGL_FN
#undef QGL_GROUP
};
const ProcSlot kExtSlots[] = {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) {#name, static_cast<void*>(&qgl::name)},
#include "units/glunit_ext.inc"
#undef QGL_FN
#undef QGL_GROUP
};
static_assert(sizeof kCoreSlots / sizeof kCoreSlots[0] == kGLCoreProcCount);
static_assert(sizeof kExtSlots / sizeof kExtSlots[0] == kGLExtProcCount);

// The extension string of the current context, as glInitExt read it.
const char* extensions = nullptr;

void Store(void* variable, void* address) { std::memcpy(variable, &address, sizeof address); }

void* AsAddress(QGL_PROC p) {
  void* a;
  static_assert(sizeof a == sizeof p);
  std::memcpy(&a, &p, sizeof a);
  return a;
}

const char* GLText(GLenum which) {
  const GLubyte* s = qgl::glGetString ? qgl::glGetString(which) : nullptr;
  return reinterpret_cast<const char*>(s);
}

GLint GLInteger(GLenum which) {
  GLint value = 0;
  if (qgl::glGetIntegerv) qgl::glGetIntegerv(which, &value);
  return value;
}

ShortString Decimal(long long value) {
  char digits[24];
  int n = 0;
  bool negative = value < 0;
  unsigned long long v = negative ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
  do {
    digits[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  ShortString s = negative ? "-" : "";
  while (n) s += digits[--n];
  return s;
}

// The compressed formats the driver lists, on one line.
void ProbeCompressedFormats() {
  GLint n = GLInteger(GL_NUM_COMPRESSED_TEXTURE_FORMATS);
  if (n < 0) n = 0;
  ShortString line = ShortString("[gl]   - supported DXTC modes (") + Decimal(n) + "):";
  if (n > 0) {
    // A driver's list is short; a count past any real one is not trusted.
    constexpr GLint kMaxFormats = 4096;
    GLint count = n < kMaxFormats ? n : kMaxFormats;
    // One spare entry: a driver writing past the count it gave stays inside.
    auto* codes = static_cast<GLint*>(MemGet((static_cast<size_t>(count) + 1) * sizeof(GLint),
                                             "glInitExt: DDS Support"));
    if (codes) {
      std::memset(codes, 0, (static_cast<size_t>(count) + 1) * sizeof(GLint));
      if (count == n && qgl::glGetIntegerv) qgl::glGetIntegerv(GL_COMPRESSED_TEXTURE_FORMATS, codes);
      for (GLint i = 0; i < count; ++i) {
        if (codes[i] == GL_COMPRESSED_RGB_S3TC_DXT1_EXT) {
          line += " DXT1";
          glSupportDXT1 = 1;
        } else if (codes[i] == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT) {
          line += " DXT3";
          glSupportDXT3 = 1;
        } else if (codes[i] == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT) {
          line += " DXT5";
          glSupportDXT5 = 1;
        }
      }
      MemFree(codes);
    }
  }
  Log(line);
}

}  // namespace

void GLUnitInit(void) {
  RegisterInit("GL unit ...", 2, GLInit);
  RegisterExit("Uninit GL unit ...", 2, GLDone);
}

void GLInit(void) {
  // The library's wgl* names come from the window layer.
  plat::InstallGLModuleExports();
  glLibHandle = SYS_DlOpen("OpenGL32.dll");
  if (!glLibHandle) FatalError("OpenGL lib not found.");
  for (const auto& slot : kCoreSlots) Store(slot.variable, SYS_DlGetProc(glLibHandle, slot.name));
}

void GLDone(void) {
  if (glLibHandle) SYS_DlClose(glLibHandle);
}

QGL_PROC glGetExtProc(const char* name) {
  if (!name || !qgl::wglGetProcAddress) return nullptr;
  return qgl::wglGetProcAddress(name);
}

void glCheckExt(const ShortString& name, uint8_t& flag) {
  // Built whole and logged once, so a timestamp stands only at its start.
  ShortString line = ShortString("[gl] - ") + name + " : ";
  flag = (extensions && std::string_view(extensions).find(name.view()) != std::string_view::npos) ? 1 : 0;
  if (!flag) line += "not ";
  line += "available";
  Log(line);
}

int glInitExt(void) {
  extensions = GLText(GL_EXTENSIONS);
  Log("[gl] --- check extensions:");
  glCheckExt("GL_EXT_compiled_vertex_array", glExtCompiledVertexArray);
  glCheckExt("GL_EXT_texture_cube_map", glExtTextureCubeMap);
  glCheckExt("GL_ARB_multitexture", glExtMultitexture);
  glCheckExt("GL_ARB_texture_env_combine", glExtTextureEnvCombine);
  glCheckExt("GL_ARB_texture_env_dot3", glExtTextureEnvDot3);
  glCheckExt("GL_ARB_texture_compression", glExtTextureCompression);
  glCheckExt("GL_EXT_texture_filter_anisotropic", glExtAnisotropic);
  glCheckExt("GL_ARB_multisample", glExtMultisample);
  glCheckExt("GL_EXT_texture_compression_s3tc", glExtTextureCompression);
  glCheckExt("GL_ARB_shading_language_100", glExtShaderLanguage);
  glCheckExt("GL_ARB_fragment_shader", glExtShaderLanguage);
  glCheckExt("GL_ARB_vertex_shader", glExtVertexShader);
  const char* renderer = GLText(GL_RENDERER);
  Log(ShortString("[gl] - renderer: ") + (renderer ? renderer : ""));
  glMaxTextureSize = GLInteger(GL_MAX_TEXTURE_SIZE);
  Log(ShortString("[gl] - Maximum texture size : ") + Decimal(glMaxTextureSize));
  if (glExtTextureCompression)
    ProbeCompressedFormats();
  else
    Log("[gl] DXTC : not available.");
  for (const auto& slot : kExtSlots) Store(slot.variable, AsAddress(glGetExtProc(slot.name)));
  return 0;
}
