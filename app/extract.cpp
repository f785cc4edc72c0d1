#include "app/extract.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/playback.h"
#include "app/spare.h"
#include "framework/base/file.h"
#include "platform/files.h"
#include "platform/kernel.h"
#include "platform/rtl.h"

ExtractionState Extraction;

namespace {

constexpr const char* kFolder = "VA-Zentrove_Remix_compo2-Morrowkin";
constexpr const char* kPlaylist = "00-VA-Zentrove_Remix_compo2-Morrowkin.m3u";

std::string HostName(const ShortString& frameworkName) { return plat::HostPath(frameworkName.view()); }

FILE* Create(const ShortString& name) {
  FILE* f = std::fopen(HostName(name).c_str(), "wb");
  if (!f) RtlIOError("rewrite", errno);
  return f;
}

void Close(FILE* f) {
  if (std::fclose(f) != 0) RtlIOError("close", errno);
}

// One file, whole: one read from the file layer and one write.
void CopyOut(const ShortString& source, const ShortString& outputName) {
  FILE* out = Create(Extraction.ExtractFolder + outputName);
  std::string name(source.view());
  int64_t size = 0;
  uint8_t* block = LoadWholeFile(name.c_str(), &size);
  if (size > 0 && (!block || std::fwrite(block, 1, static_cast<size_t>(size), out) != static_cast<size_t>(size)))
    RtlIOError("blockwrite", errno);
  FreeWholeFile(block);
  Close(out);
}

void ListLine(FILE* playlist, const ShortString& name) {
  std::string line(name.view());
  line += "\r\n";
  if (std::fwrite(line.data(), 1, line.size(), playlist) != line.size()) RtlIOError("writeln", errno);
}

}  // namespace

ShortString ExtractTrackName(int i) {
  const TrackRecord& r = Playback.Tracks[i];
  ShortString ogg = TrackText(r.OggName);
  // Characters 3 to 6 of the Ogg name: its extension, such as ".ogg". A
  // name of two characters or fewer has none.
  std::string_view ext = ogg.view().size() > 2 ? ogg.view().substr(2, 4) : std::string_view("");
  return TwoDigitStr(i + 2) + "-" + TrackText(r.Line3) + "-" + TrackText(r.Line1) + "_" + TrackText(r.Line2) + ext;
}

void ExtractMusic(void) {
  if (plat::MakeFolder(kFolder) != plat::MakeFolderResult::Made) RtlIOError("mkdir", errno);
  Extraction.ExtractFolder = ShortString(kFolder) + "\\";
  FILE* playlist = Create(Extraction.ExtractFolder + kPlaylist);
  CopyOut("intro.ogg", "01-arbolt-intro.ogg");
  ListLine(playlist, "01-arbolt-intro.ogg");
  for (int i = 0; i < kTrackCount; ++i) {
    ShortString name = ExtractTrackName(i);
    CopyOut(TrackText(Playback.Tracks[i].OggName), name);
    ListLine(playlist, name);
  }
  CopyOut("end.ogg", "30-arbolt-outro.ogg");
  ListLine(playlist, "30-arbolt-outro.ogg");
  CopyOut("folder.jpg", "folder.jpg");
  Close(playlist);
}
