// The framework's own GL and GLU entry-point tables. The texture cache and
// the widget drawing call GL only through them (wmGL.glBegin(...)), so tests
// can fill a table with recorders. gl_stub fills the GL table from
// "OpenGL32.dll" by name, glu_stub the GLU table from "GLU32.dll"; an entry
// point the library does not export stays null.
#pragma once
#include "framework/wm/gltypes.h"

struct wm_gl_table_t {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) ret(*name) params;
#include "framework/wm/glnames.inc"
#undef QGL_FN
#undef QGL_GROUP
};

struct wm_glu_table_t {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) ret(*name) params;
#include "framework/wm/glunames.inc"
#undef QGL_FN
#undef QGL_GROUP
};

extern wm_gl_table_t wmGL;
extern wm_glu_table_t wmGLU;
// The GLU library's handle (the GL one is the window manager's, wmGLLibHandle).
extern void* wmGLULibHandle;

// One row of a table's name list: the entry point's name and where its slot
// lies in the table.
struct wm_gl_slot_t {
  const char* name;
  size_t offset;
};
// The load order of each table (1191 and 56 rows) and the group sizes of the
// GL list, in order.
extern const wm_gl_slot_t wmGLSlots[];
extern const size_t wmGLSlotCount;
extern const wm_gl_slot_t wmGLUSlots[];
extern const size_t wmGLUSlotCount;

int gl_stub(void);
int glu_stub(void);
