// The GLU binding unit.
#include "units/gluunit.h"

#include <cstring>

#include "framework/base/dl.h"
#include "units/sysunit.h"
#include "units/wmunit.h"

namespace qgl {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) ret(*name) params = nullptr;
#include "units/gluunit_names.inc"
#undef QGL_FN
#undef QGL_GROUP
}  // namespace qgl

void* gluLibHandle = nullptr;

namespace {

struct ProcSlot {
  const char* name;
  void* variable;
};

const ProcSlot kSlots[] = {
#define QGL_GROUP(label, count)
#define QGL_FN(ret, name, params) {#name, static_cast<void*>(&qgl::name)},
#include "units/gluunit_names.inc"
#undef QGL_FN
#undef QGL_GROUP
};
static_assert(sizeof kSlots / sizeof kSlots[0] == kGLUProcCount);

}  // namespace

void GLUUnitInit(void) {
  RegisterInit("GLU unit ...", 3, GLUInit);
  RegisterExit("Uninit GLU unit ...", 3, GLUDone);
}

void GLUInit(void) {
  gluLibHandle = SYS_DlOpen("glu32.dll");
  if (!gluLibHandle) FatalError("Sorry, OpenGL Utils lib not loaded. Please check your configuraion.");
  for (const auto& slot : kSlots) {
    void* p = SYS_DlGetProc(gluLibHandle, slot.name);
    std::memcpy(slot.variable, &p, sizeof p);
  }
}

void GLUDone(void) {
  if (gluLibHandle) SYS_DlClose(gluLibHandle);
}
