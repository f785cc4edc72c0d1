// Ogg Vorbis streams: vorbisfile decodes, the file layer supplies the bytes
// through vorbisfile's callbacks. Every decoder call holds the stream's lock,
// as the player thread reads and seeks while the owner asks for positions.
#include "framework/fss/Vorbis.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>

#include "framework/base/log.h"
#include "framework/base/mem.h"

#define VORBIS_LOG(level, ...) SYS_LOG_TAGGED(level, "[vorbis]", __VA_ARGS__)

namespace {

// The PCM that every read asks vorbisfile for: 16-bit signed words, little
// endian.
constexpr int kLittleEndian = 0;
constexpr int kWordBytes = 2;
constexpr int kSigned = 1;
// vorbisfile's link number for the whole stream, all links together.
constexpr int kWholeStream = -1;
// The most that one decoder read of Vorbis_DecodeAll asks for.
constexpr int64_t kDecodeChunk = 8192;

OggVorbis_File* Decoder(const Vorbis_t* stream) { return static_cast<OggVorbis_File*>(stream->decoder); }
SYS_File_p FileOf(void* source) { return static_cast<SYS_File_p>(source); }

// Holds a stream's lock for the lifetime of the object.
class DecoderLock {
 public:
  explicit DecoderLock(const Vorbis_t* stream) : mutex_(stream->lock) { SYS_MutexLock(mutex_); }
  ~DecoderLock() { SYS_MutexUnlock(mutex_); }
  DecoderLock(const DecoderLock&) = delete;
  DecoderLock& operator=(const DecoderLock&) = delete;

 private:
  SYS_Thread_Mutex_p mutex_;
};

// Bytes of PCM for a count of samples per channel. A corrupt stream may
// claim any length: an unknown (negative) one counts as none, and one too
// large for 64 bits is cut to the largest.
int64_t PcmBytes(int64_t samples, int32_t channels) {
  if (samples <= 0 || channels <= 0) return 0;
  int64_t bytes = 0;
  if (__builtin_mul_overflow(samples, int64_t(channels) * kWordBytes, &bytes))
    return std::numeric_limits<int64_t>::max();
  return bytes;
}

int64_t TotalBytes(const Vorbis_t* stream) {
  return PcmBytes(ov_pcm_total(Decoder(stream), kWholeStream), stream->channels);
}

long DecoderRead(Vorbis_t* stream, void* buffer, int length) {
  return ov_read(Decoder(stream), static_cast<char*>(buffer), length, kLittleEndian, kWordBytes, kSigned, nullptr);
}

// --- vorbisfile callbacks: the data source is the stream's SYS_File_t -------

size_t _Vorbis_ReadFunc(void* buffer, size_t itemSize, size_t itemCount, void* source) {
  if (itemSize == 0 || itemCount == 0) return 0;
  // vorbisfile tells the end of the data from a read error by errno, which
  // it clears before the call: whatever the file layer leaves in it on a
  // good read must not read as a failure.
  const int before = errno;
  const uint64_t most = uint64_t(std::numeric_limits<int64_t>::max()) / itemSize;
  const uint64_t items = std::min<uint64_t>(itemCount, most);
  const int64_t got = SYS_FileRead(FileOf(source), buffer, int64_t(items * itemSize));
  if (got < 0) {
    errno = EIO;
    return 0;
  }
  errno = before;
  return static_cast<size_t>(uint64_t(got) / itemSize);
}

int _Vorbis_SeekFunc(void* source, ogg_int64_t offset, int whence) {
  SYS_File_p file = FileOf(source);
  int64_t base = 0;
  switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = SYS_FileTell(file); break;
    case SEEK_END: base = file ? file->size : -1; break;
    default: return -1;
  }
  // An unknown position or size, or a target before the start or beyond
  // 64 bits, is no place to seek to.
  int64_t position = 0;
  if (base < 0 || __builtin_add_overflow(base, int64_t(offset), &position) || position < 0) return -1;
  return SYS_FileSeek(file, position) == 0 ? 0 : -1;
}

int _Vorbis_CloseFunc(void* source) {
  SYS_FileClose(FileOf(source));
  return 0;
}

long _Vorbis_TellFunc(void* source) { return static_cast<long>(SYS_FileTell(FileOf(source))); }

const ov_callbacks _Vorbis_Callbacks = {_Vorbis_ReadFunc, _Vorbis_SeekFunc, _Vorbis_CloseFunc, _Vorbis_TellFunc};

// The stream's own blocks and lock; the file is closed by the caller.
void Release(Vorbis_t* stream) {
  if (!stream) return;
  SYS_MutexDestroy(stream->lock);
  SYS_MemFree(stream->decoder);
  SYS_MemFree(stream);
}

Vorbis_t* Refuse(Vorbis_t* stream, int code) {
  Release(stream);
  errSetLastError(code);
  return nullptr;
}

// The entry of every call but the read: clears the last error, and refuses
// a null stream with code 10.
bool Entered(const Vorbis_t* stream) {
  errClear();
  if (stream) return true;
  errSetLastError(ERR_BADARG);
  return false;
}

int32_t ClampToInt32(long value) {
  return static_cast<int32_t>(std::clamp<long>(value, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

Vorbis_t* Vorbis_Open(const char* name) {
  errClear();
  if (!name) {
    errSetLastError(ERR_BADARG);
    return nullptr;
  }
  auto* stream = static_cast<Vorbis_t*>(_SYS_MemGet(sizeof(Vorbis_t), "struct", __LINE__));
  if (!stream) return Refuse(nullptr, ERR_NOMEM);
  stream->decoder = _SYS_MemGet(sizeof(OggVorbis_File), "file struct", __LINE__);
  stream->lock = SYS_MutexCreate();
  if (!stream->decoder || !stream->lock) return Refuse(stream, ERR_NOMEM);

  stream->file = SYS_FileOpen(name, 0);
  if (!stream->file) return Refuse(stream, ERR_NOTFOUND);
  // A refused stream leaves the file open: vorbisfile closes only what it
  // has taken.
  if (ov_open_callbacks(stream->file, Decoder(stream), nullptr, 0, _Vorbis_Callbacks) != 0) {
    SYS_FileClose(stream->file);
    return Refuse(stream, ERR_NOTFOUND);
  }
  const vorbis_info* info = ov_info(Decoder(stream), kWholeStream);
  stream->channels = info ? info->channels : 0;
  stream->rate = info ? ClampToInt32(info->rate) : 0;
  stream->size = TotalBytes(stream);
  // The file layer's passing codes (a read at the end) are no failure.
  errClear();

  VORBIS_LOG(SYS_DBG_MSG, " stream: %s\n", name);
  VORBIS_LOG(SYS_DBG_MSG, "  - channels: %d\n", stream->channels);
  VORBIS_LOG(SYS_DBG_MSG, "  - rate: %dHz\n", stream->rate);
  VORBIS_LOG(SYS_DBG_MSG, "  - size: %lld bytes\n", static_cast<long long>(stream->size));
  return stream;
}

int Vorbis_Close(Vorbis_t* stream) {
  if (!Entered(stream)) return -1;
  {
    DecoderLock lock(stream);
    ov_clear(Decoder(stream));  // closes the file through the close callback
  }
  Release(stream);
  return 0;
}

int32_t Vorbis_Read(Vorbis_t* stream, void* buffer, int32_t length) {
  if (!stream || length < 0 || (!buffer && length > 0)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  if (length == 0) return 0;
  DecoderLock lock(stream);
  return static_cast<int32_t>(DecoderRead(stream, buffer, length));
}

void* Vorbis_DecodeAll(Vorbis_t* stream) {
  if (!Entered(stream)) return nullptr;
  // An empty stream still gets a block (of one zero byte), so that null
  // keeps meaning a failure.
  const int64_t size = std::max<int64_t>(stream->size, 0);
  auto* buffer = static_cast<char*>(_SYS_MemGet(static_cast<size_t>(std::max<int64_t>(size, 1)), "buffer", __LINE__));
  if (!buffer) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  // Every read is bounded by the room left. A gap in the data is passed
  // over; any other failure ends the decode with what came before it.
  int64_t offset = 0;
  {
    DecoderLock lock(stream);
    while (offset < size) {
      const int room = static_cast<int>(std::min(kDecodeChunk, size - offset));
      const long got = DecoderRead(stream, buffer + offset, room);
      if (got == OV_HOLE) continue;
      if (got <= 0) break;
      offset += std::min<long>(got, room);
    }
  }
  return buffer;
}

int64_t Vorbis_Tell(Vorbis_t* stream) {
  if (!Entered(stream)) return -1;
  DecoderLock lock(stream);
  const ogg_int64_t samples = ov_pcm_tell(Decoder(stream));
  return samples < 0 ? samples : PcmBytes(samples, stream->channels);
}

double Vorbis_TellTime(Vorbis_t* stream) {
  if (!Entered(stream)) return -1.0;
  DecoderLock lock(stream);
  // After a seek or read that the decoder could not finish its position is
  // unknown, and vorbisfile's time lookup would index its tables with -1.
  if (ov_pcm_tell(Decoder(stream)) < 0) return -1.0;
  return ov_time_tell(Decoder(stream));
}

int64_t Vorbis_GetSize(Vorbis_t* stream) {
  if (!Entered(stream)) return -1;
  DecoderLock lock(stream);
  return TotalBytes(stream);
}

int Vorbis_Seek(Vorbis_t* stream, int64_t position) {
  if (!Entered(stream)) return -1;
  const int64_t sample = position / std::max<int32_t>(stream->channels, 1) / kWordBytes;
  DecoderLock lock(stream);
  return ov_pcm_seek(Decoder(stream), sample);
}

int Vorbis_SeekTime(Vorbis_t* stream, int32_t milliseconds) {
  if (!Entered(stream)) return -1;
  const float seconds = static_cast<float>(milliseconds) * 0.001f;
  DecoderLock lock(stream);
  return ov_time_seek(Decoder(stream), seconds);
}
