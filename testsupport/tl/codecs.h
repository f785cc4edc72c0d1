// Test helpers shared by the PNG and JPEG filter tests: the writers'
// common refusals, ImageMagick as an independent decoder, and the writing
// of fuzz seeds.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "framework/base/log.h"
#include "framework/tl/TL.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/tl/memfiles.h"
#include "testsupport/testsupport.h"

namespace tlfix {

inline Bytes FileBytes(const std::string& path) {
  std::string file = qt::ReadFile(path);
  return Bytes(file.begin(), file.end());
}

inline Bytes Level0(const txBitmap* b) { return {b->data[0], b->data[0] + b->sizes[0]}; }

// What no writer stores: a type it does not know (`unknownType`, the first
// above those it takes), a layout it does not know, a layout the bits
// contradict; and a file it cannot create. Nothing is written, nothing kept.
inline void ExpectWriterRefusals(int (*write)(const char*, txBitmap*), const qt::TempDir& dir, const std::string& name,
                                 int unknownType) {
  size_t blocks = TrackedBlocks().size();
  std::string path = dir / name;
  txBitmap* b = txCreateDummy(2, 2, 2);
  struct Case {
    const char* what;
    int type, subtype;
  };
  const Case cases[] = {{"unknown type", unknownType, 2},
                        {"palette", 0, 4},
                        {"24 bits that hold 32", 0, 0},
                        {"grey of 32 bits", 0, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    b->type = c.type;
    b->subtype = c.subtype;
    EXPECT_EQ(write(path.c_str(), b), -1);
    EXPECT_EQ(errGetLastError(), 1005);
  }
  EXPECT_FALSE(qt::FileExists(path));
  b->type = 0;
  b->subtype = 2;
  std::string missing = dir / ("no-such-folder/" + name);
  EXPECT_EQ(write(missing.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 9);
  txFree(&b);
  EXPECT_EQ(TrackedBlocks().size(), blocks);
}

// ImageMagick as an independent coder: `source` (a PPM) converted with
// `args` into `file`, and that file as ImageMagick reads it, in 8-bit samples
// of `raw` ("rgb", "rgba", "gray"). False when a command fails.
inline bool MagickConvert(const qt::TempDir& dir, const Bytes& source, const std::string& args, const std::string& file,
                          const std::string& raw, Bytes* written, Bytes* pixels) {
  const std::string convert = "/usr/bin/convert";
  if (!qt::WriteFile(dir / "src.ppm", std::string(source.begin(), source.end()))) return false;
  std::string make = convert + " " + dir / "src.ppm" + " " + args + dir / file;
  std::string read = convert + " " + dir / file + " -depth 8 " + raw + ":" + dir / "out.raw";
  if (std::system(make.c_str()) != 0 || std::system(read.c_str()) != 0) return false;
  *written = FileBytes(dir / file);
  *pixels = FileBytes(dir / "out.raw");
  return true;
}

inline bool HaveMagick() { return access("/usr/bin/convert", X_OK) == 0; }

// A fuzz seed: checked to read by the caller, written to
// $QUARN_WRITE_SEEDS/<corpus>/<name> when that is set.
inline void WriteSeed(const std::string& corpus, const std::string& name, const Bytes& bytes) {
  const char* out = std::getenv("QUARN_WRITE_SEEDS");
  if (!out) return;
  std::string folder = std::string(out) + "/" + corpus;
  mkdir(folder.c_str(), 0755);
  ASSERT_TRUE(qt::WriteFile(folder + "/" + name, std::string(bytes.begin(), bytes.end())));
}

}  // namespace tlfix
