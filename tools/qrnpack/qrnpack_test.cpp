// The packer end to end: what it packs mounts and reads back through the
// file layer byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "framework/base/file-pack.h"
#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "framework/base/z.h"
#include "testsupport/testsupport.h"

namespace {

struct Outcome {
  int exitCode;
  std::string out;
};

Outcome RunQrnpack(const std::string& arguments) {
  const std::string command = std::string(QRNPACK_PATH) + " " + arguments + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {-1, {}};
  std::string out;
  char buffer[256];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  const int status = pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

std::string Random(size_t n) {
  std::mt19937 rng(11);
  std::string s(n, 0);
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

std::string ReadEntry(const char* name) {
  SYS_File_p f = SYS_FileOpen(name, 0);
  if (!f) return "<none>";
  std::string out(static_cast<size_t>(f->size), '\0');
  EXPECT_EQ(SYS_FileRead(f, out.data(), f->size), f->size);
  SYS_FileClose(f);
  return out;
}

class QrnpackTool : public ::testing::Test {
 protected:
  void SetUp() override { cd_ = std::make_unique<qt::ChangeDir>(dir_.path()); }
  void TearDown() override {
    SYS_PackUnmountAll();
    cd_.reset();
  }
  qt::TempDir dir_;
  std::unique_ptr<qt::ChangeDir> cd_;
};

TEST_F(QrnpackTool, PacksAFolderThatReadsBack) {
  struct File {
    const char* path;  // on disk
    const char* name;  // in the archive
    std::string contents;
    char kind;  // 'z' compressed, '-' stored
  } files[] = {
      {"data/tracks.dat", "tracks.dat", std::string(28 * 1025, 'T'), 'z'},
      {"data/intro.ogg", "intro.ogg", Random(5000), '-'},  // does not shrink
      {"data/empty.txt", "empty.txt", "", '-'},
      {"data/cfg.xml", "cfg.xml", "<window>\r\n" + std::string(200, ' ') + "<button/>\r\n</window>\r\n", 'z'},
      {"data/sub/01.tga", "sub\\01.tga", std::string(300, '\x01'), 'z'},
      {"data/x", "x", "x", '-'},
  };
  mkdir("data", 0777);
  mkdir("data/sub", 0777);
  for (const File& f : files) ASSERT_TRUE(qt::WriteFile(f.path, f.contents));

  ASSERT_EQ(RunQrnpack("kelm.dat data").exitCode, 0);
  ASSERT_EQ(SYS_FilePackOpen("kelm.dat"), 0);
  for (const File& f : files) {
    EXPECT_EQ(SYS_FileSize(f.name), static_cast<int64_t>(f.contents.size())) << f.name;
    EXPECT_TRUE(ReadEntry(f.name) == f.contents) << f.name;
  }
  SYS_Pack_p pack = SYS_FindPack("x");
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->count, 6u);

  // The listing, in byte order of the names.
  Outcome list = RunQrnpack("-l kelm.dat");
  ASSERT_EQ(list.exitCode, 0);
  std::istringstream lines(list.out);
  std::vector<std::string> names;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    uint64_t real = 0, stored = 0;
    char kind = 0;
    std::string name;
    fields >> real >> stored >> kind >> name;
    names.push_back(name);
    for (const File& f : files)
      if (name == f.name) {
        EXPECT_EQ(real, f.contents.size()) << name;
        EXPECT_EQ(kind, f.kind) << name;
        if (kind == '-') {
          EXPECT_EQ(stored, real) << name;
        } else {
          EXPECT_LT(stored, real) << name;
        }
      }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"cfg.xml", "empty.txt", "intro.ogg", "sub\\01.tga", "tracks.dat", "x"}));

  // The same folder packs to the same bytes.
  ASSERT_EQ(RunQrnpack("again.dat data").exitCode, 0);
  EXPECT_EQ(qt::ReadFile("again.dat"), qt::ReadFile("kelm.dat"));
}

TEST_F(QrnpackTool, EmptyFolderAndFailures) {
  mkdir("none", 0777);
  ASSERT_EQ(RunQrnpack("none.dat none").exitCode, 0);
  EXPECT_EQ(SYS_FilePackOpen("none.dat"), 0);
  Outcome list = RunQrnpack("-l none.dat");
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out, "");

  EXPECT_NE(RunQrnpack("out.dat missing-folder").exitCode, 0);
  qt::WriteFile("junk.dat", "QRNP\x05\0\0\0\x0c\0\0\0garbage");
  EXPECT_NE(RunQrnpack("-l junk.dat").exitCode, 0);
  EXPECT_NE(RunQrnpack("-l").exitCode, 0);
  EXPECT_NE(RunQrnpack("").exitCode, 0);
}

TEST_F(QrnpackTool, ArchiveInsideItsFolderIsNotPacked) {
  mkdir("self", 0777);
  qt::WriteFile("self/a.txt", "a");
  ASSERT_EQ(RunQrnpack("self/pack.dat self").exitCode, 0);
  ASSERT_EQ(RunQrnpack("self/pack.dat self").exitCode, 0);  // again, with the archive present
  ASSERT_EQ(SYS_FilePackOpen("self\\pack.dat"), 0);
  ASSERT_NE(SYS_FindPack("a.txt"), nullptr);
  EXPECT_EQ(SYS_FindPack("a.txt")->count, 1u);
}

TEST_F(QrnpackTool, WritesBlocks) {
  qt::WriteFile("in.bin", std::string(2000, 'b'));
  ASSERT_EQ(RunQrnpack("-z in.bin out.z").exitCode, 0);
  std::string block = qt::ReadFile("out.z");
  void* data = nullptr;
  uint32_t length = 0;
  ASSERT_EQ(SYS_ZUncompress(block.data(), block.size(), &data, &length), 0);
  EXPECT_EQ(std::string(static_cast<char*>(data), length), std::string(2000, 'b'));
  SYS_MemFree(data);
  qt::WriteFile("empty.bin", "");
  EXPECT_NE(RunQrnpack("-z empty.bin out.z").exitCode, 0);
}

}  // namespace
