// Compressed blocks over zlib.
#include "framework/base/z.h"

#include <zlib.h>

#include <atomic>
#include <cmath>
#include <cstring>

#include "framework/base/bytes.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"

namespace {
std::atomic<int> compLevel{9};

// A zlib stream never unpacks to more than about 1032 times its length
// (one 258-byte match per two bits), so anything beyond is a damaged field.
constexpr uint64_t kMaxRatio = 1032;

// Runs deflate over the whole source into room bytes of out; the stream's
// length, or -1 when it did not fit or zlib failed.
int64_t Deflate(const unsigned char* source, uint32_t length, unsigned char* out, uint64_t room) {
  z_stream z{};
  if (deflateInit2(&z, compLevel.load(), Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return -1;
  z.next_in = const_cast<Bytef*>(source);
  z.avail_in = length;
  z.next_out = out;
  z.avail_out = static_cast<uInt>(room);
  int r = Z_OK;
  while (z.avail_in > 0 && r == Z_OK) r = deflate(&z, Z_NO_FLUSH);
  // Only the stream's end proves that every byte and the trailer fitted.
  if (r == Z_OK) r = deflate(&z, Z_FINISH);
  int64_t packed = r == Z_STREAM_END ? static_cast<int64_t>(room - z.avail_out) : -1;
  deflateEnd(&z);
  return packed;
}

// One decompressor per thread, reset for every block: its state and its
// 32 KB window are set up once instead of for each of the many small blocks
// an archive holds.
class Inflater {
 public:
  Inflater() = default;
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  ~Inflater() {
    if (ready_) inflateEnd(&z_);
  }
  // The stream, ready for a new block; null when zlib cannot start one.
  z_stream* Fresh() {
    if (ready_ && inflateReset(&z_) != Z_OK) {
      inflateEnd(&z_);
      ready_ = false;
    }
    if (!ready_) {
      z_ = z_stream{};
      ready_ = inflateInit(&z_) == Z_OK;
    }
    return ready_ ? &z_ : nullptr;
  }

 private:
  z_stream z_{};
  bool ready_ = false;
};
thread_local Inflater inflater;

// Inflates packed bytes into exactly unpacked bytes of out; true at the
// stream's end.
bool Inflate(const unsigned char* packed, uint32_t packedLength, unsigned char* out, uint32_t unpacked) {
  z_stream* z = inflater.Fresh();
  if (!z) return false;
  z->next_in = const_cast<Bytef*>(packed);
  z->avail_in = packedLength;
  z->next_out = out;
  z->avail_out = unpacked;
  int r = Z_DATA_ERROR;  // no input never reaches the end
  while (z->avail_in > 0) {
    r = inflate(z, Z_SYNC_FLUSH);
    if (r != Z_OK) break;
  }
  return r == Z_STREAM_END;
}
}  // namespace

uint64_t SYS_ZCompressRoom(uint32_t length) {
  return static_cast<uint64_t>(std::llround(static_cast<float>(length) * 1.001f)) + 12;
}

int SYS_ZCompress(const void* source, uint32_t length, void** result, uint32_t* resultLength) {
  errClear();
  if (!source || length == 0 || !result || !resultLength) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  *result = nullptr;
  *resultLength = 0;
  const uint64_t room = SYS_ZCompressRoom(length);
  if (room > UINT32_MAX - SYS_ZBLOCK_HEADER) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  auto* work = static_cast<unsigned char*>(SYS_MemGet(room));
  if (!work) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  const int64_t packed = Deflate(static_cast<const unsigned char*>(source), length, work, room);
  if (packed < 0) {
    SYS_MemFree(work);
    errSetLastError(ERR_ZLIB);
    return -1;
  }
  const uint32_t total = static_cast<uint32_t>(packed) + SYS_ZBLOCK_HEADER;
  auto* block = static_cast<unsigned char*>(SYS_MemGet(total));
  if (!block) {
    SYS_MemFree(work);
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  SYS_ByteWriter::PutU32(block, length);
  SYS_ByteWriter::PutU32(block + 4, static_cast<uint32_t>(packed));
  SYS_ByteWriter::PutU32(block + 8, static_cast<uint32_t>(crc32(0L, work, static_cast<uInt>(packed))));
  std::memcpy(block + SYS_ZBLOCK_HEADER, work, static_cast<size_t>(packed));
  SYS_MemFree(work);
  *result = block;
  *resultLength = total;
  return 0;
}

int SYS_ZUncompress(const void* block, uint64_t blockLength, void** result, uint32_t* resultLength) {
  errClear();
  if (!block || !result || !resultLength) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  *result = nullptr;
  *resultLength = 0;
  SYS_ByteReader header(block, blockLength);
  const uint32_t unpacked = header.u32();
  const uint32_t packed = header.u32();
  header.skip(4);  // the CRC is the writer's; zlib checks its own trailer
  if (!header.ok()) {
    errSetLastError(ERR_ZLIB);
    return -1;
  }
  if (unpacked == 0) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  if (!header.has(packed) || unpacked > uint64_t(packed) * kMaxRatio) {
    errSetLastError(ERR_ZLIB);
    return -1;
  }
  auto* out = static_cast<unsigned char*>(SYS_MemGet(unpacked));
  if (!out) {
    errSetLastError(ERR_NOMEM);
    return -1;
  }
  if (!Inflate(header.take(packed).data(), packed, out, unpacked)) {
    SYS_MemFree(out);
    errSetLastError(ERR_ZLIB);
    return -1;
  }
  *result = out;
  *resultLength = unpacked;
  return 0;
}

int SYS_ZSetCompLevel(int level) {
  errClear();
  if (level < 0 || level > 9) {
    errSetLastError(ERR_ZLEVEL);
    return -1;
  }
  compLevel.store(level);
  return 0;
}

int64_t SYS_ZCrc32(const void* buffer, uint32_t length) {
  errClear();
  if (!buffer || length == 0) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return static_cast<int64_t>(crc32(0L, static_cast<const Bytef*>(buffer), length));
}

int64_t SYS_ZAdler(const void* buffer, uint32_t length) {
  errClear();
  if (!buffer || length == 0) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return static_cast<int64_t>(adler32(1L, static_cast<const Bytef*>(buffer), length));
}
