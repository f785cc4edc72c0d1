// The GL binding unit: one procedure variable per GL entry point, filled
// from "OpenGL32.dll" by GLInit (registry entry 2), and the extension probe
// glInitExt that runs once the application window's context is current.
//
// The variables live in namespace qgl, so they never meet the system's GL
// prototypes or libGL's own symbols; a unit that draws says
// `using namespace qgl;` and calls glBegin(...) as usual. Callers must go by
// the extension flags, not by a variable being set: on this platform the GL
// library answers most names whether or not the driver offers them.
#pragma once
#include <cstdint>

#include "framework/wm/gltypes.h"
#include "units/shortstr.h"

namespace qgl {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) extern ret(*name) params;
#include "units/glunit_core.inc"
#include "units/glunit_ext.inc"
#undef QGL_FN
#undef QGL_GROUP
}  // namespace qgl

extern void* glLibHandle;

// Extension flags, 0 or 1, all 0 until glInitExt runs.
extern uint8_t glExtCompiledVertexArray;
extern uint8_t glExtTextureCubeMap;
extern uint8_t glExtTextureCompression;
extern uint8_t glExtMultitexture;
extern uint8_t glExtTextureEnvCombine;
extern uint8_t glExtTextureEnvDot3;
extern uint8_t glSupportDXT1;
extern uint8_t glSupportDXT3;
extern uint8_t glSupportDXT5;
extern uint8_t glExtAnisotropic;
extern uint8_t glExtMultisample;
extern uint8_t glExtShaderLanguage;
extern uint8_t glExtVertexShader;
// GL_MAX_TEXTURE_SIZE as the driver reports it; 0 until glInitExt runs.
extern int32_t glMaxTextureSize;

// The number of variables each load fills.
constexpr int kGLCoreProcCount = 471;
constexpr int kGLExtProcCount = 913;

void GLUnitInit(void);
void GLInit(void);
void GLDone(void);
// What wglGetProcAddress gives for the name: null while no context is current.
QGL_PROC glGetExtProc(const char* name);
int glInitExt(void);
// One probe of glInitExt: flag := 1 when the name occurs in the extension
// string glInitExt read (a plain substring search), and a log line.
void glCheckExt(const ShortString& name, uint8_t& flag);
