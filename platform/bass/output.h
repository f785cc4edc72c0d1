// Output through OpenAL: the one device with its context, and a playing
// channel that a feeder thread keeps supplied with decoded buffers.
#pragma once
#include <AL/al.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <thread>
#include <vector>

#include "platform/bass/decoder.h"

namespace bass {

// Opens the default device and makes a context for it current; freq 0
// keeps the device's own rate. Returns 0 or a BASS_ERROR_ code.
int OpenDevice(uint32_t freq);
void CloseDevice();
bool DeviceIsOpen();
// The listener gain, 0 to 1; kept while no device is open.
void SetOutputGain(float gain);

// Makes the next feeder that looks hold off for `ms` milliseconds, so that
// tests can starve a source into an underrun.
void StallNextFeederForTesting(int ms);

class Channel {
 public:
  // nullptr when OpenAL has no source or buffers left.
  static std::unique_ptr<Channel> Create(std::unique_ptr<Decoder> decoder);
  struct Key {
   private:
    friend class Channel;
    Key() = default;
  };
  explicit Channel(Key) {}
  ~Channel();
  Channel(const Channel&) = delete;
  Channel& operator=(const Channel&) = delete;

  int Channels() const { return decoder_->Channels(); }
  uint32_t Rate() const { return decoder_->Rate(); }

  // Starts playback: resumes where a stop left it, or from the beginning
  // when restart is set or the stream has ended.
  void Play(bool restart);
  // Stops synchronously: the feeder has ended when this returns.
  void Stop();
  // One of the BASS_ACTIVE_ values.
  uint32_t Activity();
  // Frames of the stream that have played.
  uint64_t PositionFrames();
  // Copies the frames audible now into out (interleaved, zeros past the
  // queued data); false, with out zeroed, while the channel does not play.
  bool AudibleFrames(std::span<int16_t> out);

 private:
  struct Chunk {
    ALuint buffer = 0;
    std::vector<int16_t> pcm;
    size_t frames = 0;
  };

  void FeederLoop();
  void StopFeeder();
  // Decodes until every free buffer is queued or the stream ends; the lock
  // is given up while decoding.
  void Refill(std::unique_lock<std::mutex>& lock);
  void QueueLocked(std::span<const int16_t> pcm, size_t frames);
  void ReclaimProcessedLocked();
  void ClearQueueLocked();
  ALint StateLocked() const;
  uint64_t PositionLocked() const;
  uint64_t QueuedFramesLocked() const;

  std::unique_ptr<Decoder> decoder_;
  ALuint source_ = 0;
  std::vector<ALuint> buffers_;     // every buffer of the channel
  std::vector<ALuint> free_;        // those not queued
  std::deque<Chunk> queued_;        // in queue order, with their samples for the spectrum
  uint64_t base_ = 0;               // frames of chunks already taken off the queue
  bool playing_ = false;            // between Play and Stop
  bool eof_ = false;                // the decoder has nothing more
  bool ended_ = false;              // ... and everything queued has played

  std::mutex lock_;
  std::condition_variable wake_;
  bool stopRequested_ = false;
  std::thread feeder_;
};

}  // namespace bass
