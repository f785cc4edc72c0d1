// Music objects: one Ogg Vorbis stream each, played through a queue of four
// OpenAL buffers on one source that a player thread of the object refills.
//
// The player owns the source's queue while it runs. It lets the queue play
// out at the end of the stream, starts the source again after it ran dry,
// and unqueues only the buffers the source has finished with. The owner's
// thread asks it to stop through the thread's stop request and waits for it
// (SYS_ThreadKill); the player polls that request once per idle round, which
// costs the 25 ms of its own-record look-up.
#include <AL/al.h>
#include <vorbis/codec.h>

#include <array>
#include <new>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/str.h"
#include "framework/base/time.h"
#include "framework/fss/FSS.h"

#define FSS_MUS_LOG(level, ...) SYS_LOG_TAGGED(level, "[fss][mus]", __VA_ARGS__)

namespace {

constexpr int kPlayerPriority = 2;  // highest
constexpr const char* kPlayerName = "FSS Music Player";
constexpr uint32_t kIdleSleepMs = 1;
// Gaps in the data are skipped; a stream made of nothing but gaps ends.
constexpr int kMaxHolesPerBlock = 64;

using Block = std::array<char, FSS_MUSIC_BUFFER_SIZE>;

// Reads PCM into the block until it is full, the stream ends or it fails;
// returns the bytes read.
int32_t ReadBlock(Vorbis_t* stream, Block& block) {
  int32_t filled = 0;
  int holes = 0;
  while (filled < FSS_MUSIC_BUFFER_SIZE) {
    const int32_t n = Vorbis_Read(stream, block.data() + filled, FSS_MUSIC_BUFFER_SIZE - filled);
    if (n == OV_HOLE && ++holes <= kMaxHolesPerBlock) continue;
    if (n <= 0) break;
    filled += n;
  }
  return filled;
}

void ApplyPendingSeeks(FSS_Music_p music) {
  const int64_t position = music->pendingPosition.exchange(FSS_NO_SEEK);
  if (position != FSS_NO_SEEK) Vorbis_Seek(music->stream, position);
  const int32_t time = music->pendingTime.exchange(FSS_NO_SEEK);
  if (time != FSS_NO_SEEK) Vorbis_SeekTime(music->stream, time);
}

ALint SourceInt(ALuint source, ALenum what) {
  ALint value = 0;
  alGetSourcei(source, what, &value);
  return value;
}

// Starts the source unless its owner has paused the music (the owner's
// resume starts it then) or it plays already (a play would start it over);
// whether it plays now.
bool StartSource(FSS_Music_p music) {
  std::lock_guard<std::mutex> guard(music->sourceLock);
  if (music->paused) return false;
  if (SourceInt(music->source, AL_SOURCE_STATE) != AL_PLAYING) alSourcePlay(music->source);
  return true;
}

// Pauses or resumes the source. A resume starts a source that the player
// held back because of the pause; one that ran dry is left to the player,
// which starts it again from the right buffer.
void SetPaused(FSS_Music_p music, bool paused) {
  std::lock_guard<std::mutex> guard(music->sourceLock);
  music->paused = paused;
  const ALint state = SourceInt(music->source, AL_SOURCE_STATE);
  if (paused && state == AL_PLAYING) alSourcePause(music->source);
  const bool heldBack = state == AL_INITIAL && SourceInt(music->source, AL_BUFFERS_QUEUED) > 0;
  if (!paused && (state == AL_PAUSED || heldBack)) alSourcePlay(music->source);
}

// Takes every buffer off the source (stopping it first) so that the buffers
// can be filled, deleted or queued again, and leaves the source as new: the
// next player finds it initial, not stopped.
void UnqueueAll(FSS_Music_p music) {
  alSourceStop(music->source);
  for (ALint n = SourceInt(music->source, AL_BUFFERS_QUEUED); n > 0; --n) {
    ALuint buffer = 0;
    alSourceUnqueueBuffers(music->source, 1, &buffer);
  }
  alSourceRewind(music->source);
}

bool StopRequested() { return SYS_ThreadStopRequested(SYS_ThreadSelf()) != 0; }

// The player's view of its source's queue.
//
// A source that has played all it had stops, and a stopped source counts
// every buffer on its queue as processed, also one queued after it stopped
// that it never played. So the player counts the buffers it queued onto a
// stopped source; when it starts the source again it takes back only the
// others (they have played), and the source goes on from the first unplayed
// one.
class Player {
 public:
  explicit Player(FSS_Music_p music) : music_(music) {
    for (int i = FSS_MUSIC_BUFFERS - 1; i >= 0; --i) Idle(music->buffers[i]);
  }

  // Fills the four buffers and starts the source; false when the stream
  // gave nothing to play.
  bool Start() {
    Refill();
    const int prefilled = FSS_MUSIC_BUFFERS - idleCount_;
    if (prefilled == 0) return false;
    FSS_MUS_LOG(SYS_DBG_MSG, " [_FSS_MusicPlayer] prefilled buffers: %d\n", prefilled);
    if (StartSource(music_)) unplayed_ = 0;
    return true;
  }

  // One round: takes back what has played and refills it, or starts a
  // source that ran dry again. Sets `busy` when there was work; false when
  // the stream has played out.
  bool Round(bool& busy) {
    if (SourceInt(music_->source, AL_SOURCE_STATE) == AL_STOPPED) return Restart(busy);
    busy = Reclaim(SourceInt(music_->source, AL_BUFFERS_PROCESSED));
    busy = Refill() || busy;
    return true;
  }

 private:
  bool Restart(bool& busy) {
    busy = Reclaim(SourceInt(music_->source, AL_BUFFERS_QUEUED) - unplayed_);
    busy = Refill() || busy;
    if (SourceInt(music_->source, AL_BUFFERS_QUEUED) == 0) return false;  // played out
    if (StartSource(music_)) unplayed_ = 0;
    return true;
  }

  // Takes `count` buffers off the front of the queue.
  bool Reclaim(ALint count) {
    bool any = false;
    for (ALint i = 0; i < count && idleCount_ < FSS_MUSIC_BUFFERS; ++i) {
      ALuint buffer = 0;
      alSourceUnqueueBuffers(music_->source, 1, &buffer);
      Idle(buffer);
      any = true;
    }
    return any;
  }

  // Fills idle buffers and queues them until none is idle or the stream has
  // ended; returns whether anything was queued.
  bool Refill() {
    bool queued = false;
    while (!ended_ && idleCount_ > 0) {
      ALuint buffer = idle_[static_cast<size_t>(--idleCount_)];
      if (music_->fill(music_, buffer) == 0) {
        Idle(buffer);
        ended_ = true;
        break;
      }
      alSourceQueueBuffers(music_->source, 1, &buffer);
      if (SourceInt(music_->source, AL_SOURCE_STATE) == AL_STOPPED) ++unplayed_;
      queued = true;
    }
    return queued;
  }

  void Idle(ALuint buffer) { idle_[static_cast<size_t>(idleCount_++)] = buffer; }

  FSS_Music_p music_;
  std::array<ALuint, FSS_MUSIC_BUFFERS> idle_{};
  int idleCount_ = 0;
  int unplayed_ = 0;   // queued onto the stopped source
  bool ended_ = false;  // the stream has given all it has
};

// The player's work from the prefill until the stream has played out or a
// stop is requested.
void Play(FSS_Music_p music) {
  Player player(music);
  if (!player.Start()) return;
  while (!StopRequested()) {
    bool busy = false;
    if (!player.Round(busy)) return;
    if (!busy) SYS_Sleep(kIdleSleepMs);
  }
}

int _FSS_MusicPlayer(void* argument) {
  auto* music = static_cast<FSS_Music_p>(argument);
  FSS_MUS_LOG(SYS_DBG_MSG, " [_FSS_MusicPlayer] start playing...\n");
  Play(music);
  // Said before the state, so that a play that finds the state changed by a
  // pause after the end knows there is nothing left to resume.
  music->playerDone.store(true);
  UnqueueAll(music);
  music->state.store(FSS_STATE_ENDED);
  FSS_MUS_LOG(SYS_DBG_MSG, " [_FSS_MusicPlayer] stop playing...\n");
  SYS_ThreadExit(nullptr);
  return 0;
}

// Fills one buffer with the next block of the stream; 0 at its end.
int32_t _FSS_MusicFill(FSS_Music_p music, uint32_t buffer) {
  ApplyPendingSeeks(music);
  Block block;
  int32_t bytes = ReadBlock(music->stream, block);
  if (bytes == 0 && music->loop.load()) {
    // Only one rewind per fill: a stream with nothing in it ends even when
    // it loops.
    Vorbis_Seek(music->stream, 0);
    bytes = ReadBlock(music->stream, block);
  }
  if (bytes == 0) return 0;
  alBufferData(buffer, music->format, block.data(), bytes, music->stream->rate);
  return bytes;
}

// Ends the player, if there is one, and waits until it has ended.
void EndPlayer(FSS_Music_p music) {
  if (!music->thread) return;
  SYS_ThreadKill(music->thread);
  music->thread = nullptr;
}

// Stops the music: ends the player and waits for it. Without a player the
// kill reports code 10, which is left set: nothing failed.
void StopPlayer(FSS_Music_p music) {
  SYS_ThreadKill(music->thread);
  music->thread = nullptr;
  music->state.store(FSS_STATE_STOPPED);
}

// Releases whatever a music object holds; safe on a half-made object.
void Release(FSS_Music_p music) {
  if (music->source) {
    UnqueueAll(music);
    alDeleteSources(1, &music->source);
  }
  alDeleteBuffers(FSS_MUSIC_BUFFERS, music->buffers);
  if (music->stream) Vorbis_Close(music->stream);
  if (music->mutex) SYS_MutexDestroy(music->mutex);
  if (music->name) SYS_MemFree(music->name);
  music->~FSS_Music_t();
  void* block = music;
  _SYS_MemFree(&block, "new handle", __LINE__);
}

FSS_Music_p Fail(FSS_Music_p music, int code) {
  Release(music);
  errSetLastError(code);
  return nullptr;
}

bool MakeOpenALObjects(FSS_Music_p music) {
  alGetError();
  alGenBuffers(FSS_MUSIC_BUFFERS, music->buffers);
  if (alGetError() != AL_NO_ERROR) {
    for (uint32_t& b : music->buffers) b = 0;
    return false;
  }
  alGenSources(1, &music->source);
  if (alGetError() != AL_NO_ERROR) {
    music->source = 0;
    return false;
  }
  return true;
}

// Serialises the owner's calls on one object.
class MusicLock {
 public:
  explicit MusicLock(FSS_Music_p music) : mutex_(music->mutex) { SYS_MutexLock(mutex_); }
  ~MusicLock() { SYS_MutexUnlock(mutex_); }
  MusicLock(const MusicLock&) = delete;
  MusicLock& operator=(const MusicLock&) = delete;

 private:
  SYS_Thread_Mutex_p mutex_;
};

bool Refuse(const void* music) {
  errClear();
  if (music) return false;
  errSetLastError(ERR_BADARG);
  return true;
}

// A player that has ended at the end of the stream plays the stream again
// from its start. No player runs, so the stream is the caller's to seek; a
// pending seek still applies after the rewind.
void RewindIfPlayedOut(FSS_Music_p music) {
  if (Vorbis_Tell(music->stream) >= Vorbis_GetSize(music->stream)) Vorbis_Seek(music->stream, 0);
}

// Whether a player is there that a play can resume.
bool PlayerRuns(FSS_Music_p music) { return music->thread && !music->playerDone.load(); }

}  // namespace

FSS_Music_p FSS_NewMusic(int32_t type, const char* name, int32_t fromMemory) {
  errClear();
  void* block = _SYS_MemGet(sizeof(FSS_Music_t), "new handle", __LINE__);
  if (!block) {
    errSetLastError(ERR_NOMEM);
    return nullptr;
  }
  auto* music = new (block) FSS_Music_t{};
  music->pendingPosition.store(FSS_NO_SEEK);
  music->pendingTime.store(FSS_NO_SEEK);
  if (fromMemory) {
    FSS_MUS_LOG(SYS_DBG_MSG, "  ! Sorry, loading from memory not implemented.\n");
    return Fail(music, ERR_NOTIMPL);
  }
  music->state.store(FSS_STATE_STOPPED);
  music->type = type;
  if (!name) return Fail(music, ERR_BADARG);
  music->name = SYS_StrDup(name);
  if (!music->name) return Fail(music, ERR_NOMEM);
  if (type != FSS_MUSIC_VORBIS) return Fail(music, ERR_BADARG);
  music->stream = Vorbis_Open(name);
  if (!music->stream) {
    const int code = errPeekLastError();
    FSS_MUS_LOG(SYS_DBG_MSG, "  ! error when tried to loading vorbis file: %s -> %d\n", name, code);
    return Fail(music, code);
  }
  music->fill = _FSS_MusicFill;
  if (music->stream->channels == 1) {
    music->format = AL_FORMAT_MONO16;
  } else if (music->stream->channels == 2) {
    music->format = AL_FORMAT_STEREO16;
  } else {
    FSS_MUS_LOG(SYS_DBG_MSG, " [FSS_NewMusic] too many channels (%d)...\n", music->stream->channels);
    return Fail(music, ERR_BADARG);
  }
  if (!MakeOpenALObjects(music)) {
    FSS_MUS_LOG(SYS_DBG_MSG, "  ! no OpenAL buffers or source for: %s\n", name);
    return Fail(music, ERR_CANTOPEN);
  }
  music->mutex = SYS_MutexCreate();
  if (!music->mutex) return Fail(music, ERR_NOMEM);
  return music;
}

int FSS_FreeMusic(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  FSS_MUS_LOG(SYS_DBG_MSG, " [FSS_FreeMusic] freeing: %s\n", music->name);
  {
    MusicLock lock(music);
    StopPlayer(music);
  }
  Release(music);
  errClear();
  return 0;
}

int FSS_PlayMusic(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  MusicLock lock(music);
  int32_t state = music->state.load();
  if (state == FSS_STATE_PLAYING) return 0;
  // Play after a pause resumes the player that is still there.
  if (state == FSS_STATE_PAUSED && PlayerRuns(music) &&
      music->state.compare_exchange_strong(state, FSS_STATE_PLAYING)) {
    SetPaused(music, false);
    return 0;
  }
  // A player still attached here has ended, or is ending.
  const bool ended = music->thread != nullptr;
  EndPlayer(music);
  if (ended) RewindIfPlayedOut(music);
  {
    // A new player starts unpaused.
    std::lock_guard<std::mutex> guard(music->sourceLock);
    music->paused = false;
  }
  music->playerDone.store(false);
  music->state.store(FSS_STATE_PLAYING);
  music->thread = SYS_ThreadCreate(_FSS_MusicPlayer, music, kPlayerPriority, kPlayerName);
  if (!music->thread) {
    music->state.store(FSS_STATE_STOPPED);
    return -1;
  }
  errClear();
  return 0;
}

int FSS_StopMusic(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  MusicLock lock(music);
  StopPlayer(music);
  return 0;
}

int FSS_PauseMusic(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  MusicLock lock(music);
  // Also without a player: a play then starts one, unpaused.
  music->state.store(FSS_STATE_PAUSED);
  bool paused;
  {
    std::lock_guard<std::mutex> guard(music->sourceLock);
    paused = music->paused;
  }
  SetPaused(music, !paused);
  return 0;
}

int64_t FSS_GetMusicPos(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  if (music->type != FSS_MUSIC_VORBIS) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  return Vorbis_Tell(music->stream);
}

int32_t FSS_GetMusicTime(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  if (music->type != FSS_MUSIC_VORBIS) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  const double seconds = Vorbis_TellTime(music->stream);
  if (seconds < 0) return -1;
  return static_cast<int32_t>(seconds * 1000.0);
}

int FSS_SetMusicPos(FSS_Music_p music, int64_t position) {
  if (Refuse(music)) return -1;
  music->pendingPosition.store(position);
  return 0;
}

int FSS_SetMusicTime(FSS_Music_p music, int32_t milliseconds) {
  if (Refuse(music)) return -1;
  music->pendingTime.store(milliseconds);
  return 0;
}

int FSS_GetMusicState(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  return music->state.load();
}

int FSS_SetMusicLoop(FSS_Music_p music, int32_t loop) {
  if (Refuse(music)) return -1;
  music->loop.store(loop);
  return 0;
}

int FSS_GetMusicLoop(FSS_Music_p music) {
  if (Refuse(music)) return -1;
  return music->loop.load();
}

int FSS_SetMusicVolume(FSS_Music_p music, float volume) {
  if (Refuse(music)) return -1;
  if (!(volume >= 0.0f && volume <= 1.0f)) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  alSourcef(music->source, AL_GAIN, volume);
  return 0;
}

float FSS_GetMusicVolume(FSS_Music_p music) {
  if (Refuse(music)) return -1.0f;
  ALfloat gain = -1.0f;
  alGetSourcef(music->source, AL_GAIN, &gain);
  return gain;
}
