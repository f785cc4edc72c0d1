// The track table and the one way a piece changes: the Ogg file is read
// whole and handed to the audio library as a stream from memory.
#pragma once
#include <cstdint>
#include <span>

#include "platform/bass/bass.h"
#include "units/shortstr.h"

constexpr int kTrackCount = 28;
// The first 19 records are the main screen's tracks, the last 9 the bonus
// screen's.
constexpr int kMainTracks = 19;
constexpr int kBonusTracks = 9;
constexpr int kFirstBonusRecord = kMainTracks;
static_assert(kMainTracks + kBonusTracks == kTrackCount);
constexpr int kTrackRecordSize = 1025;

// One record of "tracks.dat" as it lies in the file: four short strings of
// a length byte and 255 characters, then the column of the main list.
struct TrackRecord {
  uint8_t Line1[256];
  uint8_t Line2[256];
  uint8_t Line3[256];
  uint8_t OggName[256];
  uint8_t Column;
};
static_assert(sizeof(TrackRecord) == kTrackRecordSize);

// The unit's state: the track table, the playing piece, the order of play
// and the spectrum of the last frame.
struct PlaybackState {
  TrackRecord Tracks[kTrackCount] = {};
  HSTREAM MusicStream = 0;
  uint8_t* MusicImage = nullptr;
  int32_t CurrentTrack = 0;
  int32_t CurrentBonus = 0;
  bool ShuffleOn = false;
  uint8_t ShuffleOrder[kMainTracks] = {};
  float Spectrum[512] = {};
  int32_t EqTexture = 0;
  int32_t VolumeTexture = 0;
};
extern PlaybackState Playback;

// A text field of a record as a short string.
ShortString TrackText(const uint8_t (&field)[256]);
// Reads "tracks.dat": as many bytes as it has, at most the 28 records;
// missing records stay zero.
void ReadTrackTable(void);
// The track table from the bytes of a "tracks.dat": the first 28 records'
// worth, the rest (a record cut short included) zero.
void TrackTableFromBytes(std::span<const uint8_t> bytes);
// Loads the piece and plays it from memory (no stream to stop before it).
void StartPiece(const ShortString& fileName);
// Stops and frees the playing stream and its image, then starts the piece.
void ChangeTrack(const ShortString& fileName);
// The main tracks in order, then 1001 exchanges of two drawn positions.
void BuildShuffleOrder(void);


// The piece of a record, played through ChangeTrack.
void PlayRecord(int32_t record);
// The main track after `track` in the order of play: the next one, or the
// next in ShuffleOrder (track 0 when `track` is not in it).
int32_t NextMainTrack(int32_t track, bool shuffle);
// Whether the playing piece has ended. A piece whose stream could not be
// made has no end to wait for: it does not count as ended, so a broken file
// is not loaded again every frame.
bool PieceEnded(void);
// The end-of-track tests of the main and bonus screens: the next piece.
void MainTrackEndTest(void);
void BonusTrackEndTest(void);

// "mm:ss" of a position in bytes of 44.1 kHz 16-bit stereo; more than 99
// minutes give three digits.
ShortString PlayTimeStr(uint32_t position);

// The sum of bins first to last of one channel (0 left, 1 right) of
// Spectrum, in single precision.
float SpectrumSum(int channel, int first, int last);
// The blocks of bar meter `band` (1 to 7) of a channel.
int32_t MeterBlocks(int channel, int band);
// n blocks of 8 x 8 from (x, y), each 4 units right of (or left of) the last.
void DrawEqBarRight(int32_t count, float x, float y);
void DrawEqBarLeft(int32_t count, float x, float y);
// Takes the FFT of the playing stream and draws the six spectrum layer sets
// and the fourteen bar meters.
void DrawSpectrum(void);
// The volume a press at drawing-space x sets.
int32_t VolumeAt(int32_t x);
// The volume bar with its level, and the volume set while the button is
// held over it.
void DrawVolumeBar(void);
