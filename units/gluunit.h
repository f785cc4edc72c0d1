// The GLU binding unit: 44 procedure variables filled from "glu32.dll" by
// GLUInit (registry entry 3). Like the GL unit's, they live in namespace qgl.
#pragma once
#include "framework/wm/gltypes.h"

namespace qgl {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) extern ret(*name) params;
#include "units/gluunit_names.inc"
#undef QGL_FN
#undef QGL_GROUP
}  // namespace qgl

extern void* gluLibHandle;
constexpr int kGLUProcCount = 44;

void GLUUnitInit(void);
void GLUInit(void);
void GLUDone(void);
