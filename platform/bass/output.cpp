#include "platform/bass/output.h"

#include <AL/alc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>

#include "platform/alclose.h"
#include "platform/bass/bass.h"

namespace bass {
namespace {

// 8 buffers of 2048 frames keep about 370 ms queued at 44.1 kHz, far more
// than the feeder's 10 ms polling needs.
constexpr size_t kBuffers = 8;
constexpr size_t kChunkFrames = 2048;
constexpr auto kFeederPeriod = std::chrono::milliseconds(10);

ALCdevice* g_device = nullptr;
ALCcontext* g_context = nullptr;
float g_gain = 1.0f;
std::atomic<int> g_testStallMs{0};

}  // namespace

int OpenDevice(uint32_t freq) {
  if (g_device != nullptr) return BASS_ERROR_ALREADY;
  ALCdevice* device = alcOpenDevice(nullptr);
  if (device == nullptr) return BASS_ERROR_DEVICE;
  const ALCint rate = static_cast<ALCint>(std::min<uint32_t>(freq, INT_MAX));
  const ALCint attrs[] = {ALC_FREQUENCY, rate, 0};
  ALCcontext* context = alcCreateContext(device, freq != 0 ? attrs : nullptr);
  if (context == nullptr || alcMakeContextCurrent(context) != ALC_TRUE) {
    SYS_ReleaseAlDevice(context, device);
    return BASS_ERROR_DRIVER;
  }
  g_device = device;
  g_context = context;
  alListenerf(AL_GAIN, g_gain);
  return BASS_OK;
}

void CloseDevice() {
  if (g_device == nullptr) return;
  SYS_ReleaseAlDevice(g_context, g_device);
  g_context = nullptr;
  g_device = nullptr;
}

bool DeviceIsOpen() { return g_device != nullptr; }

void StallNextFeederForTesting(int ms) { g_testStallMs = ms; }

void SetOutputGain(float gain) {
  g_gain = gain;
  if (g_device != nullptr) alListenerf(AL_GAIN, gain);
}

std::unique_ptr<Channel> Channel::Create(std::unique_ptr<Decoder> decoder) {
  auto ch = std::make_unique<Channel>(Key{});
  ch->decoder_ = std::move(decoder);
  alGetError();
  alGenSources(1, &ch->source_);
  if (alGetError() != AL_NO_ERROR) {
    ch->source_ = 0;
    return nullptr;
  }
  std::vector<ALuint> ids(kBuffers);
  alGenBuffers(static_cast<ALsizei>(ids.size()), ids.data());
  if (alGetError() != AL_NO_ERROR) return nullptr;
  ch->buffers_ = ids;
  ch->free_ = ids;
  // Played as it is, not placed in space.
  alSourcei(ch->source_, AL_SOURCE_RELATIVE, AL_TRUE);
  alSource3f(ch->source_, AL_POSITION, 0.0f, 0.0f, 0.0f);
  alSourcef(ch->source_, AL_ROLLOFF_FACTOR, 0.0f);
  return ch;
}

Channel::~Channel() {
  Stop();
  if (source_ != 0) {
    alSourceStop(source_);
    alSourcei(source_, AL_BUFFER, 0);
    alDeleteSources(1, &source_);
  }
  if (!buffers_.empty()) alDeleteBuffers(static_cast<ALsizei>(buffers_.size()), buffers_.data());
}

ALint Channel::StateLocked() const {
  ALint state = AL_INITIAL;
  alGetSourcei(source_, AL_SOURCE_STATE, &state);
  return state;
}

uint64_t Channel::QueuedFramesLocked() const {
  uint64_t frames = 0;
  for (const Chunk& c : queued_) frames += c.frames;
  return frames;
}

uint64_t Channel::PositionLocked() const {
  // The offset first: should the source stop in between, the state then
  // says so and the whole queue counts as played.
  ALint offset = 0;
  alGetSourcei(source_, AL_SAMPLE_OFFSET, &offset);
  const ALint state = StateLocked();
  const uint64_t queued = QueuedFramesLocked();
  if (state == AL_PLAYING || state == AL_PAUSED)
    return base_ + std::min<uint64_t>(static_cast<uint64_t>(std::max(offset, 0)), queued);
  if (state == AL_STOPPED) return base_ + queued;
  return base_;
}

void Channel::ReclaimProcessedLocked() {
  ALint processed = 0;
  alGetSourcei(source_, AL_BUFFERS_PROCESSED, &processed);
  const size_t n = std::min(static_cast<size_t>(std::max(processed, 0)), queued_.size());
  if (n == 0) return;
  std::vector<ALuint> ids(n);
  alSourceUnqueueBuffers(source_, static_cast<ALsizei>(n), ids.data());
  for (size_t i = 0; i < n; ++i) {
    base_ += queued_.front().frames;
    free_.push_back(queued_.front().buffer);
    queued_.pop_front();
  }
}

void Channel::ClearQueueLocked() {
  alSourceStop(source_);
  ReclaimProcessedLocked();  // a stopped source has processed its whole queue
  alSourceRewind(source_);
  for (const Chunk& c : queued_) free_.push_back(c.buffer);
  queued_.clear();
}

void Channel::QueueLocked(std::span<const int16_t> pcm, size_t frames) {
  if (free_.empty()) return;
  // A source that ran dry has played all it holds; its queue is emptied
  // first, since starting it again would replay from the queue's head.
  const ALint state = StateLocked();
  if (state == AL_STOPPED) ReclaimProcessedLocked();
  Chunk chunk;
  chunk.buffer = free_.back();
  free_.pop_back();
  chunk.frames = frames;
  chunk.pcm.assign(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(frames * Channels()));
  const ALenum format = Channels() == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16;
  alBufferData(chunk.buffer, format, chunk.pcm.data(),
               static_cast<ALsizei>(chunk.pcm.size() * sizeof(int16_t)), static_cast<ALsizei>(Rate()));
  alSourceQueueBuffers(source_, 1, &chunk.buffer);
  queued_.push_back(std::move(chunk));
  // Restart after an underrun.
  if (state == AL_STOPPED) alSourcePlay(source_);
}

void Channel::Refill(std::unique_lock<std::mutex>& lock) {
  std::vector<int16_t> pcm(kChunkFrames * static_cast<size_t>(Channels()));
  while (!free_.empty() && !eof_ && !stopRequested_) {
    lock.unlock();
    const size_t frames = decoder_->Read(pcm);
    lock.lock();
    if (frames == 0) {
      eof_ = true;
      break;
    }
    QueueLocked(pcm, frames);
  }
}

void Channel::FeederLoop() {
  std::unique_lock<std::mutex> lock(lock_);
  while (!stopRequested_ && !ended_) {
    if (StateLocked() == AL_STOPPED && eof_) {
      ended_ = true;
      break;
    }
    if (const int stall = g_testStallMs.exchange(0); stall > 0) {
      wake_.wait_for(lock, std::chrono::milliseconds(stall), [this] { return stopRequested_; });
      continue;
    }
    ReclaimProcessedLocked();
    Refill(lock);
    wake_.wait_for(lock, kFeederPeriod, [this] { return stopRequested_; });
  }
}

void Channel::StopFeeder() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopRequested_ = true;
  }
  wake_.notify_all();
  if (feeder_.joinable()) feeder_.join();
  std::lock_guard<std::mutex> guard(lock_);
  stopRequested_ = false;
}

void Channel::Play(bool restart) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (playing_ && !ended_ && !restart) return;
  }
  StopFeeder();
  std::unique_lock<std::mutex> lock(lock_);
  ClearQueueLocked();
  if (restart || ended_) {
    base_ = 0;
    eof_ = false;
    ended_ = false;
    if (!decoder_->Seek(0)) eof_ = true;
  }
  playing_ = true;
  Refill(lock);
  if (queued_.empty()) {
    ended_ = true;
    return;
  }
  alSourcePlay(source_);
  feeder_ = std::thread([this] { FeederLoop(); });
}

void Channel::Stop() {
  StopFeeder();
  std::lock_guard<std::mutex> guard(lock_);
  if (!playing_) return;
  playing_ = false;
  const uint64_t position = PositionLocked();
  ClearQueueLocked();
  base_ = position;
  // Resume where it stopped; a stream that cannot seek counts as ended,
  // so that the next play starts it afresh.
  if (!ended_) {
    eof_ = false;
    if (!decoder_->Seek(position)) ended_ = true;
  }
}

uint32_t Channel::Activity() {
  std::lock_guard<std::mutex> guard(lock_);
  if (!playing_ || ended_) return BASS_ACTIVE_STOPPED;
  if (StateLocked() == AL_STOPPED) {
    if (eof_) {
      ended_ = true;
      return BASS_ACTIVE_STOPPED;
    }
    return BASS_ACTIVE_STALLED;
  }
  return BASS_ACTIVE_PLAYING;
}

uint64_t Channel::PositionFrames() {
  std::lock_guard<std::mutex> guard(lock_);
  return PositionLocked();
}

bool Channel::AudibleFrames(std::span<int16_t> out) {
  std::fill(out.begin(), out.end(), int16_t{0});
  std::lock_guard<std::mutex> guard(lock_);
  if (!playing_ || ended_) return false;
  const size_t width = static_cast<size_t>(Channels());
  uint64_t skip = PositionLocked() - base_;
  size_t at = 0;
  for (const Chunk& c : queued_) {
    if (at >= out.size()) break;
    if (skip >= c.frames) {
      skip -= c.frames;
      continue;
    }
    const size_t from = static_cast<size_t>(skip) * width;
    const size_t n = std::min(c.pcm.size() - from, out.size() - at);
    std::memcpy(out.data() + at, c.pcm.data() + from, n * sizeof(int16_t));
    at += n;
    skip = 0;
  }
  return true;
}

}  // namespace bass
