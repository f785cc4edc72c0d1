// The framework's GL and GLU tables, filled by name from the libraries.
#include <cstddef>
#include <cstring>

#include "framework/base/dl.h"
#include "framework/base/log.h"
#include "framework/wm/gl.h"
#include "framework/wm/wm_internal.h"

wm_gl_table_t wmGL;
wm_glu_table_t wmGLU;
void* wmGLULibHandle = nullptr;

const wm_gl_slot_t wmGLSlots[] = {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) {#name, offsetof(wm_gl_table_t, name)},
#include "framework/wm/glnames.inc"
#undef QGL_FN
#undef QGL_GROUP
};
const size_t wmGLSlotCount = sizeof wmGLSlots / sizeof wmGLSlots[0];

const wm_gl_slot_t wmGLUSlots[] = {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) {#name, offsetof(wm_glu_table_t, name)},
#include "framework/wm/glunames.inc"
#undef QGL_FN
#undef QGL_GROUP
};
const size_t wmGLUSlotCount = sizeof wmGLUSlots / sizeof wmGLUSlots[0];

namespace {

static_assert(sizeof(wm_gl_table_t) == 1191 * sizeof(void*), "one slot per GL name");
static_assert(sizeof(wm_glu_table_t) == 56 * sizeof(void*), "one slot per GLU name");

void Fill(void* table, void* library, const wm_gl_slot_t* slots, size_t count) {
  auto* base = static_cast<unsigned char*>(table);
  for (size_t i = 0; i < count; ++i) {
    void* p = SYS_DlGetProc(library, slots[i].name);
    std::memcpy(base + slots[i].offset, &p, sizeof p);
  }
}

int Load(const char* line, const char* library, void*& handle, void* table, const wm_gl_slot_t* slots,
         size_t count) {
  errClear();
  SYS_DbgPrintf(1, "%s", line);
  handle = SYS_DlOpen(library);
  if (!handle) return -1;  // with the module loader's code
  Fill(table, handle, slots, count);
  errClear();
  return 0;
}

}  // namespace

int gl_stub(void) {
  return Load("[gl_stub]  ! load GL module.\n", "OpenGL32.dll", wmGLLibHandle, &wmGL, wmGLSlots, wmGLSlotCount);
}

int glu_stub(void) {
  return Load("[glu_stub]  ! load GLU module.\n", "GLU32.dll", wmGLULibHandle, &wmGLU, wmGLUSlots, wmGLUSlotCount);
}
