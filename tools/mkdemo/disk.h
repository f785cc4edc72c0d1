// What the music disk's data says: the track table, the pieces' musical
// descriptions, the scroll text, the credits and the dialog descriptions.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mkdemo/synth.h"

namespace mkdemo {

inline constexpr int kTrackCount = 28;
inline constexpr int kTrackRecordSize = 1025;

struct Track {
  std::string remixer;   // Line1
  std::string title;     // Line2
  std::string original;  // Line3: the artist whose piece was remixed
  int column = 0;        // 1-3 on the main screen, 0 for the bonus tracks
  SongSpec song;
  std::string OggName(int index) const;  // "01.ogg" ... "28.ogg"
};

const std::vector<Track>& Tracks();

// The intro and the outro pieces.
SongSpec IntroSong();
SongSpec OutroSong();

// "tracks.dat": 28 records of four short strings and the column byte.
std::vector<uint8_t> BuildTrackTable(const std::vector<Track>& tracks);

// "scroll.txt": the greeting text of the two scrollers.
std::string ScrollText();

// Lines of the end screen's credits; a line starting with "#" is a heading,
// an empty line a gap.
std::vector<std::string> CreditLines();

// The dialogs, in the widget toolkit's XML form; fontName is the archive
// name of the TrueType file they name.
std::string ConfigDialogXml(const std::string& fontName);
std::string MessageBoxXml(const std::string& fontName);

}  // namespace mkdemo
