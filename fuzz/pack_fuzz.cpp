// Mounts arbitrary bytes as a packed archive and reads every entry it
// announces: whatever the header and catalogue claim, the archive handler
// must stay inside the file and fail with a code.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "framework/base/file-pack.h"
#include "framework/base/file.h"

namespace {
// The archive lives in a private folder that is also the current one, so
// loose files cannot shadow its entries.
char folder[] = "/tmp/pack-fuzz-XXXXXX";

void RemoveFolder() {
  unlink("fuzz.dat");
  rmdir(folder);
}

const char* ArchiveName() {
  static bool ready = [] {
    if (!mkdtemp(folder) || chdir(folder) != 0) return false;
    std::atexit(RemoveFolder);
    return true;
  }();
  return ready ? "fuzz.dat" : nullptr;
}

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
  const char* name = ArchiveName();
  if (!name) return 0;
  FILE* out = std::fopen(name, "wb");
  if (!out) return 0;
  std::fwrite(data, 1, size, out);
  std::fclose(out);
  if (SYS_FilePackOpen_pack(name) == 0) {
    // Every announced name, through the whole file layer.
    SYS_Pack_p pack = SYS_PackNewest();
    for (uint32_t i = 0; pack && i < pack->count; ++i) ReadEntry(pack->entries[i].name);
  }
  SYS_PackUnmountAll();
  return 0;
}
