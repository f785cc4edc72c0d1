// The sound device: one OpenAL device and context for the whole program.
#include "framework/fss/FSS.h"

#include <AL/al.h>
#include <AL/alc.h>

#include "framework/base/log.h"
#include "platform/alclose.h"

#define FSS_LOG(level, ...) SYS_LOG_TAGGED(level, "[fss]", __VA_ARGS__)

const int32_t _FSS_SampleRates[6] = {11025, 22050, 44100, 48000, 88200, 96000};

namespace {

ALCdevice* device = nullptr;
ALCcontext* context = nullptr;

const char* Text(const ALCchar* text) { return text ? text : ""; }

// The context's attribute list for a mode word, or false for a mode that
// names no rate or no source kind.
bool Attributes(int32_t mode, ALCint (&attributes)[9]) {
  const int rateIndex = mode & 0xFF;
  const int sources = mode & 0xFF00;
  if (rateIndex < 1 || rateIndex > 6) return false;
  if (sources != FSS_MONO_SOURCE && sources != FSS_STEREO_SOURCE) return false;
  const ALCint mono = sources == FSS_MONO_SOURCE ? 1 : 0;
  const ALCint list[9] = {ALC_FREQUENCY,      _FSS_SampleRates[rateIndex - 1],
                          ALC_MONO_SOURCES,   mono,
                          ALC_STEREO_SOURCES, 1 - mono,
                          ALC_SYNC,           0,
                          0};
  for (int i = 0; i < 9; ++i) attributes[i] = list[i];
  return true;
}

void LogDevice() {
  ALCint major = 0, minor = 0;
  alcGetIntegerv(device, ALC_MAJOR_VERSION, 1, &major);
  alcGetIntegerv(device, ALC_MINOR_VERSION, 1, &minor);
  FSS_LOG(SYS_DBG_MSG, "  - default device: %s\n", Text(alcGetString(nullptr, ALC_DEFAULT_DEVICE_SPECIFIER)));
  const char* specifier = Text(alcGetString(device, ALC_DEVICE_SPECIFIER));
  if (*specifier) FSS_LOG(SYS_DBG_MSG, "  - device specifier: %s\n", specifier);
  FSS_LOG(SYS_DBG_MSG, "  - ALC version: %d.%d\n", major, minor);
  FSS_LOG(SYS_DBG_MSG, "  - ALC extensions: %s\n", Text(alcGetString(device, ALC_EXTENSIONS)));
  FSS_LOG(SYS_DBG_MSG, "  - AL vendor: %s\n", Text(alGetString(AL_VENDOR)));
  FSS_LOG(SYS_DBG_MSG, "  - AL version: %s\n", Text(alGetString(AL_VERSION)));
  FSS_LOG(SYS_DBG_MSG, "  - AL renderer: %s\n", Text(alGetString(AL_RENDERER)));
  FSS_LOG(SYS_DBG_MSG, "  - AL extensions: %s\n", Text(alGetString(AL_EXTENSIONS)));
  FSS_LOG(SYS_DBG_MSG, "  - AL speed of sound: %.2f\n", static_cast<double>(alGetFloat(AL_SPEED_OF_SOUND)));
}

}  // namespace

int FSS_Init(int32_t mode) {
  errClear();
  FSS_LOG(SYS_DBG_MSG, " initialize...\n");
  ALCint attributes[9];
  if (!Attributes(mode, attributes) || device) {
    errSetLastError(ERR_BADARG);
    return -1;
  }
  // The device the sound system was written for ("DirectSound3D") is the
  // system's default output here.
  device = alcOpenDevice(nullptr);
  if (device) {
    context = alcCreateContext(device, attributes);
    if (context && alcMakeContextCurrent(context) != ALC_TRUE) {
      SYS_ReleaseAlDevice(context, nullptr);
      context = nullptr;
    }
  }
  if (!context) {
    FSS_LOG(SYS_DBG_MSG, "  ! no sound device\n");
    SYS_ReleaseAlDevice(nullptr, device);
    device = nullptr;
    errSetLastError(ERR_CANTOPEN);
    return -1;
  }
  LogDevice();
  return 0;
}

int FSS_Shutdown(void) {
  errClear();
  if (!device) return 0;
  SYS_ReleaseAlDevice(context, device);
  context = nullptr;
  device = nullptr;
  return 0;
}
