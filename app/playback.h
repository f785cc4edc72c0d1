// The track table and the one way a piece changes: the Ogg file is read
// whole and handed to the audio library as a stream from memory.
#pragma once
#include <cstdint>

#include "platform/bass/bass.h"
#include "units/shortstr.h"

constexpr int kTrackCount = 28;
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

extern TrackRecord Tracks[kTrackCount];
extern HSTREAM MusicStream;
extern uint8_t* MusicImage;
extern int32_t CurrentTrack;
extern int32_t CurrentBonus;
extern bool ShuffleOn;
extern uint8_t ShuffleOrder[19];
extern float Spectrum[512];
extern int32_t EqTexture;
extern int32_t VolumeTexture;

// A text field of a record as a short string.
ShortString TrackText(const uint8_t (&field)[256]);
// Reads "tracks.dat": as many bytes as it has, at most the 28 records;
// missing records stay zero.
void ReadTrackTable(void);
// Loads the piece and plays it from memory (no stream to stop before it).
void StartPiece(const ShortString& fileName);
// Stops and frees the playing stream and its image, then starts the piece.
void ChangeTrack(const ShortString& fileName);
// 0 to 18, then 1001 exchanges of two drawn positions.
void BuildShuffleOrder(void);
