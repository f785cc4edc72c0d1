// Mounts arbitrary bytes as a packed archive, from memory, and reads every
// entry it announces: whatever the header and catalogue claim, the archive
// handler must stay inside the bytes and fail with a code.
#include <cstddef>
#include <cstdint>

#include "framework/base/file-pack.h"
#include "framework/base/file.h"
#include "fuzz/empty_folder.h"

namespace {
void ReadEntry(const char* name) {
  // A name that exists on disk would open from there (a loose file comes
  // first), and devices such as /dev/zero never end.
  if (SYS_FileExist_reg(name) == 0) return;
  SYS_File_p f = SYS_FileOpen(name, 0);
  if (!f) return;
  char buffer[257];
  while (SYS_FileRead(f, buffer, sizeof buffer) > 0) {
  }
  SYS_FileSeek(f, 0);
  while (SYS_FileGetStr(f, buffer, sizeof buffer)) {
  }
  SYS_FileSeek(f, f->size + 5);
  SYS_FileRead(f, buffer, sizeof buffer);
  SYS_FileClose(f);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!InEmptyFolder()) return 0;
  if (SYS_FilePackOpenMem("fuzz.dat", data, size) == 0) {
    // Every announced name, through the whole file layer.
    SYS_Pack_p pack = SYS_PackNewest();
    for (uint32_t i = 0; pack && i < pack->count; ++i) {
      SYS_FileSize(pack->entries[i].name);
      ReadEntry(pack->entries[i].name);
    }
  }
  SYS_PackUnmountAll();
  return 0;
}
