// A framework module for the loader's tests: it counts its dllInit calls and
// keeps what the framework's name lookup answered.
#include "framework/base/dl.h"

namespace {
int initCalls = 0;
SYS_FindFunction_t lookup = nullptr;
void* errGetter = nullptr;
}  // namespace

extern "C" {

__attribute__((visibility("default"))) int dllInit(SYS_FindFunction_t find) {
  ++initCalls;
  lookup = find;
  errGetter = find ? find("errGetLastError") : nullptr;
  return 1;
}

__attribute__((visibility("default"))) int testmodInitCalls(void) { return initCalls; }
__attribute__((visibility("default"))) void* testmodLookup(void) { return reinterpret_cast<void*>(lookup); }
__attribute__((visibility("default"))) void* testmodErrorGetter(void) { return errGetter; }
}
