// Ogg Vorbis decoding over an image in memory, as 16-bit frames of one or
// two channels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include <vorbis/vorbisfile.h>

namespace bass {

// The read position over an image that vorbisfile's callbacks move.
struct MemorySource {
  std::span<const uint8_t> bytes;
  uint64_t pos = 0;
};

class Decoder {
 public:
  // nullptr when the image holds no readable Ogg Vorbis stream. The image
  // must outlive the decoder.
  static std::unique_ptr<Decoder> Open(std::span<const uint8_t> image);
  struct Key {
   private:
    friend class Decoder;
    Key() = default;
  };
  explicit Decoder(Key) {}
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // 1 for a mono stream, otherwise 2: further channels are dropped, keeping
  // the front left and right ones.
  int Channels() const { return channels_; }
  uint32_t Rate() const { return rate_; }
  // Frames of the whole stream as its last page states (0 when unknown).
  uint64_t TotalFrames() const { return totalFrames_; }

  // Decodes up to out.size() / Channels() frames into out (interleaved);
  // returns the frames written, 0 at the end or after an unrecoverable error.
  size_t Read(std::span<int16_t> out);
  bool Seek(uint64_t frame);

 private:
  size_t ReadLink(float** pcm, int linkChannels, size_t frames, int16_t* out);

  OggVorbis_File file_{};
  bool open_ = false;
  MemorySource source_;
  int channels_ = 2;
  uint32_t rate_ = 44100;
  uint64_t totalFrames_ = 0;
};

}  // namespace bass
