// Opens arbitrary bytes as an Ogg Vorbis stream, served by the file layer
// from an archive mounted in memory, and decodes, seeks and asks for
// positions: whatever the pages claim, every read stays inside its buffer,
// the decode comes to an end, and the stream leaves no file open and no
// block taken.
#include <vorbis/vorbisfile.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/base/file-pack.h"
#include "testsupport/base/file-pack.h"
#include "framework/base/mem.h"
#include "framework/fss/Vorbis.h"
#include "fuzz/empty_folder.h"

namespace {
// A whole decode zero-fills a block of the length the stream claims: only
// modest claims are decoded whole, the rest is read a block at a time.
constexpr int64_t kMostDecodedWhole = 8 << 20;
constexpr int kMostReads = 256;

void ReadSome(Vorbis_t* stream) {
  std::vector<char> block(4096);
  for (int i = 0; i < kMostReads; ++i) {
    const int32_t got = Vorbis_Read(stream, block.data(), static_cast<int32_t>(block.size()));
    if (got <= 0 && got != OV_HOLE) break;  // after a gap the next read goes on
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!InEmptyFolder()) return 0;
  const std::string archive =
      packtest::Archive({{"fuzz.ogg", std::string(reinterpret_cast<const char*>(data), size), false}});
  if (SYS_FilePackOpenMem("fuzz.dat", archive.data(), archive.size()) != 0) return 0;
  if (Vorbis_t* stream = Vorbis_Open("fuzz.ogg")) {
    if (stream->size <= kMostDecodedWhole) {
      void* pcm = Vorbis_DecodeAll(stream);
      SYS_MemFree(pcm);
    } else {
      ReadSome(stream);
    }
    Vorbis_Seek(stream, stream->size / 2);
    Vorbis_Tell(stream);
    ReadSome(stream);
    Vorbis_SeekTime(stream, 500);
    Vorbis_TellTime(stream);
    Vorbis_GetSize(stream);
    Vorbis_Close(stream);
  }
  SYS_PackUnmountAll();
  return 0;
}
