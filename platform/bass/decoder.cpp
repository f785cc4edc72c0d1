#include "platform/bass/decoder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace bass {
namespace {

// vorbisfile reads the image through these; every request is checked
// against the bytes the image holds.
size_t ReadImage(void* ptr, size_t size, size_t count, void* datasource) {
  auto* src = static_cast<MemorySource*>(datasource);
  if (size == 0 || count == 0 || src->pos >= src->bytes.size()) return 0;
  const uint64_t left = src->bytes.size() - src->pos;
  const uint64_t items = std::min<uint64_t>(count, left / size);
  const uint64_t bytes = items * size;
  std::memcpy(ptr, src->bytes.data() + src->pos, static_cast<size_t>(bytes));
  src->pos += bytes;
  return static_cast<size_t>(items);
}

int SeekImage(void* datasource, ogg_int64_t offset, int whence) {
  auto* src = static_cast<MemorySource*>(datasource);
  const int64_t size = static_cast<int64_t>(src->bytes.size());
  int64_t base = 0;
  switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<int64_t>(src->pos); break;
    case SEEK_END: base = size; break;
    default: return -1;
  }
  // Both terms lie within [-2^63, 2^63) and the image is far smaller, so
  // testing against the bounds before adding cannot overflow.
  if (offset < -base || offset > size - base) return -1;
  src->pos = static_cast<uint64_t>(base + offset);
  return 0;
}

long TellImage(void* datasource) {
  return static_cast<long>(static_cast<MemorySource*>(datasource)->pos);
}

// Left and right of Vorbis's channel orders: three and five to eight
// channels put the centre second.
int RightChannelOf(int channels) {
  if (channels <= 1) return 0;
  if (channels == 3 || (channels >= 5 && channels <= 8)) return 2;
  return 1;
}

int16_t ToSample(float v) {
  if (std::isnan(v)) return 0;
  v = std::clamp(v, -1.0f, 1.0f);
  return static_cast<int16_t>(std::lrint(v * 32767.0f));
}

// A run of broken packets is skipped, but a stream that yields nothing else
// is given up rather than read for ever.
constexpr int kMaxHolesInARow = 64;

}  // namespace

std::unique_ptr<Decoder> Decoder::Open(std::span<const uint8_t> image) {
  auto dec = std::make_unique<Decoder>(Key{});
  dec->source_.bytes = image;
  const ov_callbacks callbacks{ReadImage, SeekImage, nullptr, TellImage};
  if (ov_open_callbacks(&dec->source_, &dec->file_, nullptr, 0, callbacks) < 0) return nullptr;
  dec->open_ = true;
  const vorbis_info* info = ov_info(&dec->file_, -1);
  if (info == nullptr || info->channels < 1 || info->rate < 1 || info->rate > 0x7fffffffL) return nullptr;
  dec->channels_ = info->channels == 1 ? 1 : 2;
  dec->rate_ = static_cast<uint32_t>(info->rate);
  const ogg_int64_t total = ov_pcm_total(&dec->file_, -1);
  dec->totalFrames_ = total > 0 ? static_cast<uint64_t>(total) : 0;
  return dec;
}

Decoder::~Decoder() {
  if (open_) ov_clear(&file_);
}

size_t Decoder::ReadLink(float** pcm, int linkChannels, size_t frames, int16_t* out) {
  const int right = RightChannelOf(linkChannels);
  for (size_t i = 0; i < frames; ++i) {
    if (channels_ == 1) {
      *out++ = ToSample(pcm[0][i]);
    } else {
      *out++ = ToSample(pcm[0][i]);
      *out++ = ToSample(pcm[right][i]);
    }
  }
  return frames;
}

size_t Decoder::Read(std::span<int16_t> out) {
  const size_t wanted = out.size() / static_cast<size_t>(channels_);
  size_t done = 0;
  int holes = 0;
  while (done < wanted) {
    float** pcm = nullptr;
    int link = 0;
    const size_t ask = std::min<size_t>(wanted - done, 4096);
    const long got = ov_read_float(&file_, &pcm, static_cast<int>(ask), &link);
    if (got == OV_HOLE && ++holes < kMaxHolesInARow) continue;
    if (got <= 0) break;
    holes = 0;
    const vorbis_info* info = ov_info(&file_, link);
    if (info == nullptr || info->channels < 1) break;
    const size_t frames = std::min<size_t>(static_cast<size_t>(got), wanted - done);
    ReadLink(pcm, info->channels, frames, out.data() + done * static_cast<size_t>(channels_));
    done += frames;
  }
  return done;
}

bool Decoder::Seek(uint64_t frame) {
  if (frame > static_cast<uint64_t>(INT64_MAX)) return false;
  return ov_pcm_seek(&file_, static_cast<ogg_int64_t>(frame)) == 0;
}

}  // namespace bass
