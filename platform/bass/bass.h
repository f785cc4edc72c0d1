// The audio library interface the music disk plays its pieces through: a
// device, streams decoded from Ogg Vorbis memory images, their position and
// activity, a spectrum of what is audible, and one global volume.
// Declared here for this platform; decoding uses vorbisfile, output OpenAL
// and the spectrum kissfft.
#pragma once
#include <cstdint>

#include "platform/win32.h"

typedef uint64_t QWORD;
typedef DWORD HSTREAM;   // a stream: a small non-zero number, 0 is no stream
typedef DWORD HMUSIC;    // a tracker module; this layer creates none
typedef DWORD HCHANNEL;  // any playable handle

// Stream creation flags. Pre-scanning is what a memory stream always does
// here (its length is known when it is created); the other flags of the
// family are accepted and have no effect.
#define BASS_STREAM_PRESCAN 0x20000u

// BASS_ChannelGetData requests: a 512-sample FFT (256 magnitudes of the
// channels mixed), or with BASS_DATA_FFT_INDIVIDUAL each channel on its own
// (512 values: 2k is bin k of the left channel, 2k + 1 bin k of the right).
#define BASS_DATA_FFT512 0x80000000u
#define BASS_DATA_FFT_INDIVIDUAL 0x10u

// BASS_ChannelIsActive results.
#define BASS_ACTIVE_STOPPED 0u
#define BASS_ACTIVE_PLAYING 1u
#define BASS_ACTIVE_STALLED 2u  // waiting for data after an underrun

// Error codes of BASS_ErrorGetCode.
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_INIT 8
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_NOCHAN 18
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_DEVICE 23
#define BASS_ERROR_NOTAVAIL 37
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_UNKNOWN -1

extern "C" {

// Opens the output device: -1 or 1 is the default device, freq the output
// rate (0 keeps the device's own). Non-zero on success; 0 when no device can
// be opened (BASS_ERROR_DEVICE, BASS_ERROR_DRIVER) or when already started
// (BASS_ERROR_ALREADY). flags, win and dsguid are not used.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND win, const void* dsguid);
// Frees every stream and closes the device. Also runs at normal process exit.
BOOL BASS_Free(void);

// A stream over an Ogg Vorbis image in memory (mem must be TRUE; offset is
// not used for memory images). The image must stay untouched until
// BASS_StreamFree has returned. 0 on failure.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags);
// Stops the stream and releases it; when it returns, nothing reads the
// image any more.
BOOL BASS_StreamFree(HSTREAM handle);
// Tracker modules are not supported: always FALSE with BASS_ERROR_HANDLE.
BOOL BASS_MusicFree(HMUSIC handle);

// Starts playback; a stopped stream resumes where it stopped, an ended one
// (or any with restart TRUE) starts from the beginning.
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);
BOOL BASS_ChannelStop(DWORD handle);
// BASS_ACTIVE_STOPPED once stopped, freed, or when the last sample has
// played; also for handles that are no stream (such as 0).
DWORD BASS_ChannelIsActive(DWORD handle);
// The playback position in bytes of 44100 Hz 16-bit stereo data, whatever
// the stream's own format; (QWORD)-1 for an unknown handle.
QWORD BASS_ChannelGetPosition(DWORD handle);
// Spectrum requests (see the BASS_DATA_ flags) of the 512 frames audible
// now; the values are zero while the stream does not play, and for an
// unknown handle (which also returns (DWORD)-1). Returns the bytes of sample
// data analysed.
DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length);

// The global output volume, 0 to 100 (initially 100); values outside are
// clamped, reading the argument as signed.
DWORD BASS_GetVolume(void);
BOOL BASS_SetVolume(DWORD volume);

// The error code of the calling thread's last call.
int BASS_ErrorGetCode(void);

}  // extern "C"
