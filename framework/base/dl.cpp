// Dynamic modules. Minimal form: registration only.
#include "framework/base/dl.h"

#include "framework/base/log.h"

int SYS_DlAddModule(void* handle, const char* name) {
  errClear();
  if (!handle || !name) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return 0;
}

void* SYS_FindFunction(const char*) { return nullptr; }
