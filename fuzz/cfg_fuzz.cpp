// Loads arbitrary bytes as a configuration file into a table with a row of
// every kind: whatever the lines hold (no line end, no quotes, many "=",
// zero bytes, lines longer than the reader's buffer), the loader must stay
// inside its buffers. The bytes are served as an archive entry mounted from
// memory, so no file is written per input.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "framework/base/bytes.h"
#include "framework/base/cfg.h"
#include "framework/base/file-pack.h"
#include "framework/base/mem.h"
#include "framework/base/z.h"
#include "fuzz/empty_folder.h"

namespace {
constexpr const char* kEntry = "fuzz.cfg";

// An archive whose one plain entry holds the bytes.
bool MountAsEntry(std::span<const uint8_t> bytes) {
  SYS_ByteWriter catalogue;
  SYS_PackWriteRecord(catalogue, {static_cast<uint32_t>(bytes.size()), SYS_PACK_HEADER, 0, kEntry});
  void* block = nullptr;
  uint32_t blockLength = 0;
  if (SYS_ZCompress(catalogue.data().data(), static_cast<uint32_t>(catalogue.size()), &block, &blockLength) != 0)
    return false;
  SYS_ByteWriter archive;
  SYS_PackWriteHeader(archive, {1, static_cast<uint32_t>(SYS_PACK_HEADER + bytes.size())});
  archive.bytes(bytes);
  archive.bytes({static_cast<const uint8_t*>(block), blockLength});
  SYS_MemFree(block);
  return SYS_FilePackOpenMem("fuzz.dat", archive.data().data(), archive.size()) == 0;
}

int32_t flag, number;
float real;
char* text;
void Callback(const char* value) {
  for (const char* p = value; *p; ++p) {
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!InEmptyFolder() || !MountAsEntry({data, size})) return 0;
  text = nullptr;
  SYS_CFG_t table[] = {
      {"flag", &flag, SYS_CFG_BOOL, nullptr},
      {"text", &text, SYS_CFG_TEXT, nullptr},
      {"number", &number, SYS_CFG_INT, nullptr},
      {"real", &real, SYS_CFG_REAL, nullptr},
      {"call", reinterpret_cast<void*>(&Callback), SYS_CFG_CALLBACK, nullptr},
      {"", &number, SYS_CFG_INT, nullptr},
      {nullptr, nullptr, 0, nullptr},
  };
  SYS_CfgLoad(kEntry, table);
  // Each text setting leaves a copy for the table's owner; the last one is
  // released here (earlier ones of a repeated key stay listed, as the loader
  // never frees a text it did not make).
  SYS_MemFree(text);
  SYS_PackUnmountAll();
  return 0;
}
