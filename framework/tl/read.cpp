// Default file callbacks of the texture loader.
#include "framework/tl/read.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"

namespace {
struct OpenFile {
  SYS_File_p handle = nullptr;
  int64_t size = 0;
  char* name = nullptr;
};
OpenFile current;
}  // namespace

const txFunctions txDefaultFunctions = {txIOpen, txIRead, txIFSize, txIClose, txIFExist};

int txIOpen(const char* name) {
  txIClose();
  errClear();
  if (!name) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  // The size is asked first: an optional image that is absent (an alpha map)
  // must never reach the file layer's open, whose failure calls the
  // application's error callback.
  int64_t size = SYS_FileSize(name);
  if (size < 0) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  SYS_File_p file = SYS_FileOpen(name, 0);
  if (!file) {
    errSetLastError(ERR_NOTFOUND);
    return -1;
  }
  current.handle = file;
  current.size = size;
  current.name = SYS_StrDup(name);
  return 0;
}

uint8_t* txIRead(void) {
  errClear();
  // Twice the size, the second half zero-filled: text scanners find a
  // terminating zero after the file's bytes. The first half is the read's,
  // so only the second is cleared.
  uint64_t bytes = current.size > 0 ? static_cast<uint64_t>(current.size) * 2 : 0;
  auto* buffer = bytes ? static_cast<uint8_t*>(SYS_MemGetFilled(bytes)) : nullptr;
  if (!buffer) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  if (!current.handle || SYS_FileRead(current.handle, buffer, current.size) != current.size) {
    std::printf("! %s\n", std::strerror(errno));
    SYS_MemFree(buffer);
    errSetLastError(ERR_READ);
    return nullptr;
  }
  std::memset(buffer + current.size, 0, static_cast<size_t>(current.size));
  return buffer;
}

int64_t txIFSize(void) { return current.size; }

int txIClose(void) {
  SYS_MemFree(current.name);
  if (current.handle) SYS_FileClose(current.handle);
  current.handle = nullptr;
  current.size = 0;
  return 0;
}

int64_t txIFExist(const char* name) { return SYS_FileSize(name); }
