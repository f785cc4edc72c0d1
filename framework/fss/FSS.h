// The streaming sound system: one OpenAL device and context for the program,
// and music objects that stream an Ogg Vorbis file each through a queue of
// four buffers on one source, refilled by a player thread of their own.
//
// Every call clears the last error on entry. A null object gives code 10 and
// -1 (-1.0 for the volume). Codes: 5 out of memory, 10 bad argument, 16
// loading from memory, and the stream layer's code when a file cannot be
// opened or is not Ogg Vorbis.
//
// Where this differs from the plain description, and the fault it mends:
// - The device "DirectSound3D" is the system's default output: no device of
//   that name exists here, and every later call would fail silently (failure
//   reported as success).
// - FSS_Init gives -1 with code 2 when no device or context can be had, and
//   FSS_NewMusic null with code 2 when it gets no buffers or source (failure
//   reported as success).
// - A second FSS_Init is refused with code 10: it would lose the open device
//   and silence the objects made on its context (plainly wrong result).
// - Positions and pending seeks are 64-bit: 32 bits wrap past 2 GiB of PCM
//   (plainly wrong result).
// - A pause toggles the object's own paused flag, not the source's state: a
//   source not yet started or run dry would make a pause start the music
//   (plainly wrong result).
// - The player lets the queue play out at the end, restarts a source that
//   ran dry, and plays streams of three buffers or fewer (lost audio).
// - The player passes over a gap in the data (at most 64 per buffer) instead
//   of taking it for the end of the stream (lost audio).
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "framework/base/thread.h"
#include "framework/fss/Vorbis.h"

// Mode word of FSS_Init: low byte the sample rate, second byte the sources.
#define FSS_RATE_11025 0x01
#define FSS_RATE_22050 0x02
#define FSS_RATE_44100 0x03
#define FSS_RATE_48000 0x04
#define FSS_RATE_88200 0x05
#define FSS_RATE_96000 0x06
#define FSS_MONO_SOURCE 0x100
#define FSS_STEREO_SOURCE 0x200

// Music object states.
#define FSS_STATE_STOPPED 0
#define FSS_STATE_PLAYING 1
#define FSS_STATE_PAUSED 2  // a pause was toggled
#define FSS_STATE_ENDED 3   // the player has ended

// The only music type: an Ogg Vorbis file.
#define FSS_MUSIC_VORBIS 0

// Playback buffers of a music object.
#define FSS_MUSIC_BUFFERS 4
#define FSS_MUSIC_BUFFER_SIZE 32768

// Hz by the mode word's low byte (1 to 6).
extern const int32_t _FSS_SampleRates[6];

// A pending seek of 0 means none.
#define FSS_NO_SEEK 0

struct FSS_Music_t;
typedef FSS_Music_t* FSS_Music_p;
typedef int32_t (*FSS_Fill_t)(FSS_Music_p music, uint32_t buffer);

// A music object. Its first three fields are the public head. The fields the
// player thread shares with the owner's thread are atomic; the mutex orders
// the owner's play, stop, pause and free calls among themselves (the player
// never takes it, so a stop may wait for the player under it). Whether the
// source may play is decided under the source lock, which the owner's pause
// and resume and the player's start and restart of the source take.
struct FSS_Music_t {
  char* name;                          // tracked copy of the file name
  uint32_t buffers[FSS_MUSIC_BUFFERS];  // OpenAL buffer names
  uint32_t source;                     // OpenAL source name
  std::atomic<int32_t> state;          // FSS_STATE_*
  int32_t type;                        // FSS_MUSIC_VORBIS
  int32_t format;                      // AL_FORMAT_MONO16 or AL_FORMAT_STEREO16
  std::atomic<int32_t> loop;           // non-zero: start again at the end
  FSS_Fill_t fill;                     // the buffer-fill routine
  Vorbis_t* stream;
  std::atomic<int64_t> pendingPosition;  // PCM byte position, or FSS_NO_SEEK
  std::atomic<int32_t> pendingTime;      // milliseconds, or FSS_NO_SEEK
  SYS_Thread_p thread;                 // the player thread while one exists
  SYS_Thread_Mutex_p mutex;
  std::atomic<bool> playerDone;  // the player has stopped playing
  std::mutex sourceLock;
  bool paused;  // under the source lock: the owner has paused the music
};

// Opens the default device with the mode's rate and source; 0, or -1 with
// code 10 for a bad mode (or a device already open) and 2 when no device or
// context can be had.
int FSS_Init(int32_t mode);
// Releases the context and closes the device; 0.
int FSS_Shutdown(void);

FSS_Music_p FSS_NewMusic(int32_t type, const char* name, int32_t fromMemory);
int FSS_FreeMusic(FSS_Music_p music);
int FSS_PlayMusic(FSS_Music_p music);
// Ends the player and waits until it has ended; 0. Without a player the
// thread layer's harmless code 10 stays set.
int FSS_StopMusic(FSS_Music_p music);
// Toggles the pause; the state becomes 2 whether or not a player runs.
int FSS_PauseMusic(FSS_Music_p music);
int64_t FSS_GetMusicPos(FSS_Music_p music);
int32_t FSS_GetMusicTime(FSS_Music_p music);
// Store a seek that the player applies at its next fill; 0 means none, and a
// place the decoder refuses leaves it where it is.
int FSS_SetMusicPos(FSS_Music_p music, int64_t position);
int FSS_SetMusicTime(FSS_Music_p music, int32_t milliseconds);
int FSS_GetMusicState(FSS_Music_p music);
int FSS_SetMusicLoop(FSS_Music_p music, int32_t loop);
int FSS_GetMusicLoop(FSS_Music_p music);
int FSS_SetMusicVolume(FSS_Music_p music, float volume);
float FSS_GetMusicVolume(FSS_Music_p music);
