// Processor detection. Minimal form: no record yet.
#include "framework/base/cpu.h"

#include "framework/base/log.h"

SYS_PCPU_t SYS_GetCPU(void) {
  errClear();
  return nullptr;
}
