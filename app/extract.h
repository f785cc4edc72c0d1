// "-extract": copies the music and the cover picture out of the archive into
// a folder of its own, with an M3U playlist of the music.
#pragma once
#include "units/shortstr.h"

// The unit's state: the folder the music goes to, with its separator.
struct ExtractionState {
  ShortString ExtractFolder;
};
extern ExtractionState Extraction;

// Ends the program with the run-time library's input/output error when a
// folder or file cannot be written (an existing folder included).
void ExtractMusic(void);
// The output name of track record i (0 to 27).
ShortString ExtractTrackName(int i);
