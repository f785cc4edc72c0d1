// mkdemo OUTDIR [--preview DIR] [--jobs N]
// Writes every file of the music disk's data archive into OUTDIR, the same
// bytes on every run; with --preview also PNG pictures of the screens.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tools/mkdemo/art.h"
#include "tools/mkdemo/disk.h"
#include "tools/mkdemo/layers.h"
#include "tools/mkdemo/mockup.h"
#include "tools/mkdemo/synth.h"
#include "tools/mkdemo/text.h"

#ifndef MKDEMO_FONT_DIR
#define MKDEMO_FONT_DIR "/usr/share/fonts/truetype/dejavu"
#endif

namespace fs = std::filesystem;
using namespace mkdemo;

namespace {

// The archive name of the dialogs' TrueType face.
constexpr const char* kDialogFont = "DejaVuSans.ttf";
// Vorbis quality: about 72 kbit/s, which keeps 14 minutes of music small.
constexpr float kOggQuality = 0.1f;

bool WriteBytes(const fs::path& path, const void* data, size_t size) {
  std::ofstream out(path, std::ios::binary);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

bool WriteText(const fs::path& path, const std::string& text) {
  return WriteBytes(path, text.data(), text.size());
}

struct Piece {
  std::string file;
  SongSpec song;
  std::string artist, title;
};

std::vector<Piece> Pieces() {
  std::vector<Piece> pieces;
  pieces.push_back({"intro.ogg", IntroSong(), "arbolt", "intro"});
  const auto& tracks = Tracks();
  for (int i = 0; i < kTrackCount; ++i) {
    const Track& t = tracks[static_cast<size_t>(i)];
    pieces.push_back({t.OggName(i), t.song, t.remixer, t.title + " (" + t.original + ")"});
  }
  pieces.push_back({"end.ogg", OutroSong(), "arbolt", "outro"});
  return pieces;
}

// Runs jobs 0..count-1 on up to `threads` threads; false when any failed.
bool RunParallel(int count, int threads, const std::function<bool(int)>& job) {
  std::atomic<int> next{0};
  std::atomic<bool> ok{true};
  std::vector<std::thread> pool;
  for (int t = 0; t < std::max(1, threads); ++t)
    pool.emplace_back([&] {
      for (int i = next++; i < count; i = next++)
        if (!job(i)) ok = false;
    });
  for (std::thread& th : pool) th.join();
  return ok;
}

bool WriteMusic(const fs::path& out, int threads) {
  const std::vector<Piece> pieces = Pieces();
  return RunParallel(static_cast<int>(pieces.size()), threads, [&](int i) {
    const Piece& p = pieces[static_cast<size_t>(i)];
    const Stereo audio = RenderSong(p.song);
    const bool ok = WriteOggVorbis((out / p.file).string(), audio, kOggQuality, 1000 + i, p.artist, p.title);
    if (!ok) std::fprintf(stderr, "mkdemo: cannot encode %s\n", p.file.c_str());
    return ok;
  });
}

bool CopyFile(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
  return !ec;
}

int Fail(const std::string& what) {
  std::fprintf(stderr, "mkdemo: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string outDir, previewDir;
  int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--preview") == 0 && i + 1 < argc)
      previewDir = argv[++i];
    else if (std::strcmp(argv[i], "--jobs") == 0 && i + 1 < argc)
      threads = std::max(1, std::atoi(argv[++i]));
    else if (outDir.empty() && argv[i][0] != '-')
      outDir = argv[i];
    else
      return Fail("usage: mkdemo OUTDIR [--preview DIR] [--jobs N]");
  }
  if (outDir.empty()) return Fail("usage: mkdemo OUTDIR [--preview DIR] [--jobs N]");
  const fs::path out(outDir);
  std::error_code ec;
  fs::create_directories(out, ec);
  if (ec) return Fail("cannot create " + outDir);

  const fs::path fontDir(MKDEMO_FONT_DIR);
  const Face regular((fontDir / "DejaVuSans.ttf").string());
  const Face bold((fontDir / "DejaVuSans-Bold.ttf").string());
  if (!regular.ok() || !bold.ok()) return Fail("cannot open the DejaVu fonts in " MKDEMO_FONT_DIR);
  const Fonts fonts{regular, bold};

  // Music first, on worker threads, while this thread draws the pictures.
  bool musicOk = true;
  std::thread music([&] { musicOk = WriteMusic(out, threads); });

  bool ok = true;
  const std::vector<uint8_t> table = BuildTrackTable(Tracks());
  ok &= WriteBytes(out / "tracks.dat", table.data(), table.size());
  const std::vector<uint8_t> fontset = BuildFontset();
  ok &= WriteBytes(out / "fontset.dat", fontset.data(), fontset.size());
  ok &= WriteText(out / "scroll.txt", ScrollText());
  ok &= WriteText(out / "cfg.xml", ConfigDialogXml(kDialogFont));
  ok &= WriteText(out / "msgbox.xml", MessageBoxXml(kDialogFont));
  ok &= CopyFile(fontDir / "DejaVuSans.ttf", out / kDialogFont);

  const std::vector<IfeFile> layers = BuildLayerFiles();
  for (const IfeFile& f : layers) ok &= WriteText(out / f.name, FormatIfe(f));
  const std::vector<Texture> textures = BuildInterfaceTextures(fonts);
  for (const Texture& t : textures) ok &= t.canvas.WriteTga((out / t.name).string(), t.bits);
  std::vector<Canvas> photos;
  for (int n = 0; n < 27; ++n) {
    photos.push_back(Photo(n, fonts));
    char name[16];
    std::snprintf(name, sizeof name, "%02d.tga", n + 1);
    ok &= photos.back().WriteTga((out / name).string(), 24);
  }
  ok &= Cover(fonts).WriteJpeg((out / "folder.jpg").string(), 88);

  if (!previewDir.empty()) {
    fs::create_directories(previewDir, ec);
    ok &= WriteMockups(previewDir, DemoContent{layers, textures, photos, fontset});
  }
  music.join();
  if (!ok) return Fail("cannot write the data files into " + outDir);
  if (!musicOk) return Fail("cannot write the music into " + outDir);
  return 0;
}
