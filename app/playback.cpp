#include "app/playback.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "app/random.h"
#include "app/spare.h"
#include "framework/base/file.h"
#include "units/sysunit.h"

TrackRecord Tracks[kTrackCount] = {};
HSTREAM MusicStream = 0;
uint8_t* MusicImage = nullptr;
int32_t CurrentTrack = 0;
int32_t CurrentBonus = 0;
bool ShuffleOn = false;
uint8_t ShuffleOrder[19] = {};
float Spectrum[512] = {};
int32_t EqTexture = 0;
int32_t VolumeTexture = 0;

ShortString TrackText(const uint8_t (&field)[256]) {
  return ShortString(std::string_view(reinterpret_cast<const char*>(field + 1), field[0]));
}

void ReadTrackTable(void) {
  SYS_File_p file = SYS_FileOpen("tracks.dat", 0);
  if (!file) return;
  int64_t size = SYS_FileSize("tracks.dat");
  int64_t wanted = std::clamp<int64_t>(size, 0, static_cast<int64_t>(sizeof Tracks));
  SYS_FileRead(file, Tracks, wanted);
  SYS_FileClose(file);
}

void StartPiece(const ShortString& fileName) {
  std::string name(fileName.view());
  int64_t size = 0;
  MusicImage = LoadWholeFile(name.c_str(), &size);
  // The library's lengths are 32 bits wide; larger images are no music file.
  DWORD length = size > 0 && size <= INT64_C(0xFFFFFFFF) ? static_cast<DWORD>(size) : 0;
  MusicStream = BASS_StreamCreateFile(TRUE, MusicImage, 0, length, BASS_STREAM_PRESCAN);
  BASS_ChannelPlay(MusicStream, FALSE);
}

void ChangeTrack(const ShortString& fileName) {
  BASS_ChannelStop(MusicStream);
  BASS_MusicFree(MusicStream);
  BASS_StreamFree(MusicStream);
  FreeWholeFile(MusicImage);
  StartPiece(fileName);
}

void BuildShuffleOrder(void) {
  for (int i = 0; i < 19; ++i) ShuffleOrder[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 1001; ++i) {
    int32_t a = Random(19);
    int32_t b = Random(19);
    std::swap(ShuffleOrder[a], ShuffleOrder[b]);
  }
}
