// Feeds arbitrary bytes to the track table as "tracks.dat", builds every
// record's extraction name and draws the table's texts on the main and
// bonus screens: whatever the length bytes and columns say, reading stays
// inside the records and the texts inside their 255 characters.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "app/extract.h"
#include "app/glyphs.h"
#include "app/musicdisk.h"
#include "app/playback.h"
#include "app/screens.h"
#include "testsupport/app/gl.h"

namespace {

// Glyphs of several widths, so that the texts move the pen as real ones do.
void GiveGlyphsWidths() {
  for (int i = 0; i < kGlyphSlots; ++i) Glyphs.GlyphWidth[i] = static_cast<uint8_t>(3 + i % 6);
  Glyphs.GlyphCount = 44;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool glyphsReady = (GiveGlyphsWidths(), true);
  (void)glyphsReady;
  apptest::InstallGLRecorder();
  // A copy of exactly the input's size, so a read past it is caught.
  std::vector<uint8_t> bytes(data, data + size);
  TrackTableFromBytes(bytes);
  for (int i = 0; i < kTrackCount; ++i) {
    const ShortString name = ExtractTrackName(i);
    if (name.size() > ShortString::capacity()) __builtin_trap();
  }
  // No click: drawing the rows must not start a piece.
  Disk.MouseClicked = false;
  Disk.VirtualMouseX = Disk.VirtualMouseY = -1;
  const int32_t fromInput = size ? data[0] : 0;
  for (int32_t playing : {0, kMainTracks - 1, fromInput}) {
    Playback.CurrentTrack = playing;
    Playback.CurrentBonus = playing % kBonusTracks;
    DrawTrackList();
    DrawNowPlaying();
    DrawBonusList();
  }
  return 0;
}
