#include "app/playback.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "app/ife.h"
#include "app/musicdisk.h"
#include "app/spare.h"
#include "framework/base/bytes.h"
#include "framework/base/file.h"
#include "units/glunit.h"
#include "units/random.h"
#include "units/sysunit.h"

using namespace qgl;

PlaybackState Playback;

ShortString TrackText(const uint8_t (&field)[256]) {
  return ShortString(std::string_view(reinterpret_cast<const char*>(field + 1), field[0]));
}

void TrackTableFromBytes(std::span<const uint8_t> bytes) {
  SYS_ByteReader reader(bytes);
  std::span<const uint8_t> table = reader.take(std::min<uint64_t>(reader.remaining(), sizeof Playback.Tracks));
  auto* out = reinterpret_cast<uint8_t*>(Playback.Tracks);
  std::fill(std::copy(table.begin(), table.end(), out), out + sizeof Playback.Tracks, uint8_t{0});
}

void ReadTrackTable(void) {
  SYS_File_p file = SYS_FileOpen("tracks.dat", 0);
  if (!file) return;
  int64_t size = SYS_FileSize("tracks.dat");
  std::vector<uint8_t> bytes(
      static_cast<size_t>(std::clamp<int64_t>(size, 0, static_cast<int64_t>(sizeof Playback.Tracks))));
  // What the read brought, not what the size promised: a short read leaves
  // the rest of the table zero.
  int64_t got = SYS_FileRead(file, bytes.data(), static_cast<int64_t>(bytes.size()));
  SYS_FileClose(file);
  bytes.resize(static_cast<size_t>(std::clamp<int64_t>(got, 0, static_cast<int64_t>(bytes.size()))));
  TrackTableFromBytes(bytes);
}

void StartPiece(const ShortString& fileName) {
  std::string name(fileName.view());
  int64_t size = 0;
  Playback.MusicImage = LoadWholeFile(name.c_str(), &size);
  // The library's lengths are 32 bits wide; larger images are no music file.
  DWORD length = size > 0 && size <= INT64_C(0xFFFFFFFF) ? static_cast<DWORD>(size) : 0;
  Playback.MusicStream = BASS_StreamCreateFile(TRUE, Playback.MusicImage, 0, length, BASS_STREAM_PRESCAN);
  if (!Playback.MusicStream) Log(ShortString("[bass] cannot play ") + fileName);
  BASS_ChannelPlay(Playback.MusicStream, FALSE);
}

void ChangeTrack(const ShortString& fileName) {
  BASS_ChannelStop(Playback.MusicStream);
  BASS_MusicFree(Playback.MusicStream);
  BASS_StreamFree(Playback.MusicStream);
  FreeWholeFile(Playback.MusicImage);
  StartPiece(fileName);
}

void BuildShuffleOrder(void) {
  for (int i = 0; i < kMainTracks; ++i) Playback.ShuffleOrder[i] = static_cast<uint8_t>(i);
  for (int i = 0; i < 1001; ++i) {
    int32_t a = Random(kMainTracks);
    int32_t b = Random(kMainTracks);
    std::swap(Playback.ShuffleOrder[a], Playback.ShuffleOrder[b]);
  }
}

// --- order of play -----------------------------------------------------------------------

void PlayRecord(int32_t record) {
  if (record < 0 || record >= kTrackCount) return;
  ChangeTrack(TrackText(Playback.Tracks[record].OggName));
}

int32_t NextMainTrack(int32_t track, bool shuffle) {
  if (!shuffle) return (track + 1) % kMainTracks;
  for (int p = 0; p < kMainTracks; ++p)
    if (Playback.ShuffleOrder[p] == track) return Playback.ShuffleOrder[(p + 1) % kMainTracks];
  return 0;
}

bool PieceEnded(void) {
  return Playback.MusicStream != 0 && BASS_ChannelIsActive(Playback.MusicStream) == BASS_ACTIVE_STOPPED;
}

void MainTrackEndTest(void) {
  if (!PieceEnded()) return;
  Playback.CurrentTrack = NextMainTrack(Playback.CurrentTrack, Playback.ShuffleOn);
  PlayRecord(Playback.CurrentTrack);
}

void BonusTrackEndTest(void) {
  if (!PieceEnded()) return;
  Playback.CurrentBonus = (Playback.CurrentBonus + 1) % kBonusTracks;
  PlayRecord(kFirstBonusRecord + Playback.CurrentBonus);
}

ShortString PlayTimeStr(uint32_t position) {
  uint32_t seconds = position / 176400u;
  return TwoDigitStr(static_cast<int32_t>(seconds / 60)) + ":" + TwoDigitStr(static_cast<int32_t>(seconds % 60));
}

// --- spectrum, meters and volume ------------------------------------------------------------

namespace {

struct SpectrumLayer {
  ife_interface* layers;
  int channel;
  int first, last;
  float factor;
};

struct MeterBand {
  int first, last;
  float factor;
  float y;
};

constexpr MeterBand kBands[7] = {
    {1, 2, 50, 15},    {3, 6, 45, 23},     {7, 14, 40, 31},   {15, 30, 35, 39},
    {31, 62, 30, 47},  {63, 126, 25, 55},  {127, 255, 20, 63},
};

void EqBlock(float x, float y) {
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex2f(x, y);
  glTexCoord2f(1, 1);
  glVertex2f(x + 8, y);
  glTexCoord2f(1, 0);
  glVertex2f(x + 8, y + 8);
  glTexCoord2f(0, 0);
  glVertex2f(x, y + 8);
  glEnd();
}

void EqBar(int32_t count, float x, float y, float step) {
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(Playback.EqTexture));
  for (int32_t k = 1; k <= count; ++k, x += step) EqBlock(x, y);
}

// The bar's quad from x 851 to 851 + width, its texture as wide in 256ths.
void VolumeQuad(float width) {
  const float s = width / 256.0f;
  glBegin(GL_QUADS);
  glTexCoord2f(0, 1);
  glVertex2f(851, 413);
  glTexCoord2f(s, 1);
  glVertex2f(851 + width, 413);
  glTexCoord2f(s, 0);
  glVertex2f(851 + width, 421);
  glTexCoord2f(0, 0);
  glVertex2f(851, 421);
  glEnd();
}

}  // namespace

float SpectrumSum(int channel, int first, int last) {
  float sum = 0;
  for (int bin = std::max(first, 0); bin <= last && bin < 256; ++bin) sum += Playback.Spectrum[2 * bin + channel];
  return sum;
}

int32_t MeterBlocks(int channel, int band) {
  if (band < 1 || band > 7) return 0;
  const MeterBand& b = kBands[band - 1];
  return ife_round(b.factor * SpectrumSum(channel, b.first, b.last));
}

void DrawEqBarRight(int32_t count, float x, float y) { EqBar(count, x, y, 4); }

void DrawEqBarLeft(int32_t count, float x, float y) { EqBar(count, x, y, -4); }

void DrawSpectrum(void) {
  BASS_ChannelGetData(Playback.MusicStream, Playback.Spectrum, BASS_DATA_FFT512 | BASS_DATA_FFT_INDIVIDUAL);
  const SpectrumLayer layers[6] = {
      {&Disk.LayersLeftLow, 0, 1, 2, 250},    {&Disk.LayersLeftMid, 0, 2, 41, 150},
      {&Disk.LayersLeftHigh, 0, 42, 251, 60}, {&Disk.LayersRightLow, 1, 1, 2, 250},
      {&Disk.LayersRightMid, 1, 2, 41, 150},  {&Disk.LayersRightHigh, 1, 42, 251, 60},
  };
  for (const SpectrumLayer& l : layers) ife_render(*l.layers, l.factor * SpectrumSum(l.channel, l.first, l.last));
  ife_drawing_space();
  for (int band = 1; band <= 7; ++band) DrawEqBarLeft(MeterBlocks(0, band), 633, kBands[band - 1].y);
  for (int band = 1; band <= 7; ++band) DrawEqBarRight(MeterBlocks(1, band), 645, kBands[band - 1].y);
}

int32_t VolumeAt(int32_t x) { return ife_round((x - 851) / 2.15); }

void DrawVolumeBar(void) {
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE);
  glColor4f(1, 1, 1, 1);
  glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(Playback.VolumeTexture));
  VolumeQuad(215);
  // A failed query reads as -1: the level is drawn within the bar all the same.
  const auto volume = std::clamp(static_cast<int32_t>(BASS_GetVolume()), 0, 100);
  VolumeQuad(2.15f * static_cast<float>(volume));
  if (Disk.MouseHeld == 1 && Disk.VirtualMouseX > 850 && Disk.VirtualMouseX < 1066 && Disk.VirtualMouseY > 412 &&
      Disk.VirtualMouseY < 425)
    BASS_SetVolume(static_cast<DWORD>(VolumeAt(Disk.VirtualMouseX)));
}
