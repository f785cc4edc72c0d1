#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "testsupport/testsupport.h"

namespace {

using plat::PathKind;

std::string CurrentDir() {
  char path[4096];
  return getcwd(path, sizeof path) ? path : "";
}

// Each test works in a fresh folder of its own, with framework paths.
class Files : public ::testing::Test {
 protected:
  qt::TempDir dir_;
  qt::ChangeDir cd_{dir_.path()};
};

TEST_F(Files, StatusOfPathsAndLinks) {
  ASSERT_TRUE(qt::WriteFile("five.txt", "12345"));
  ASSERT_TRUE(plat::MakeFolder("sub") == plat::MakeFolderResult::Made);
  ASSERT_TRUE(qt::WriteFile("sub/in.txt", "abc"));
  ASSERT_EQ(symlink("five.txt", "link.txt"), 0);
  ASSERT_EQ(symlink("sub", "link-dir"), 0);
  ASSERT_EQ(symlink("nowhere", "dangling"), 0);
  struct Case {
    const char* path;
    PathKind followed;
    PathKind itself;
    int64_t size;  // when followed
  } cases[] = {
      {"five.txt", PathKind::File, PathKind::File, 5},      {"sub", PathKind::Folder, PathKind::Folder, -2},
      {"sub\\in.txt", PathKind::File, PathKind::File, 3},   {".\\sub\\in.txt", PathKind::File, PathKind::File, 3},
      {"link.txt", PathKind::File, PathKind::Link, 5},      {"link-dir", PathKind::Folder, PathKind::Link, -2},
      {"dangling", PathKind::None, PathKind::Link, -1},     {"missing", PathKind::None, PathKind::None, -1},
      {"sub\\missing", PathKind::None, PathKind::None, -1},
  };
  for (const Case& c : cases) {
    const plat::PathStatus followed = plat::StatPath(c.path);
    EXPECT_EQ(followed.kind, c.followed) << c.path;
    if (c.size != -2) {
      EXPECT_EQ(followed.size, c.size) << c.path;
    }
    EXPECT_EQ(plat::StatLink(c.path).kind, c.itself) << c.path;
  }
  FILE* f = std::fopen("five.txt", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(plat::StatStream(f).kind, PathKind::File);
  EXPECT_EQ(plat::StatStream(f).size, 5);
  std::fclose(f);
  EXPECT_EQ(plat::StatStream(nullptr).kind, PathKind::None);
}

TEST_F(Files, ListsAFolder) {
  ASSERT_TRUE(plat::MakeFolder("list") == plat::MakeFolderResult::Made);
  for (const char* name : {"list/b.txt", "list/A.TXT"}) ASSERT_TRUE(qt::WriteFile(name, "x"));
  ASSERT_TRUE(plat::MakeFolder("list\\deeper") == plat::MakeFolderResult::Made);
  std::vector<std::string> names;
  ASSERT_TRUE(plat::ListFolder("list", names));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "A.TXT", "b.txt", "deeper"}));
  names.clear();
  EXPECT_FALSE(plat::ListFolder("no-such-folder", names));
  EXPECT_TRUE(names.empty());
}

TEST_F(Files, MakesChangesRemovesAndRenames) {
  EXPECT_EQ(plat::MakeFolder("made"), plat::MakeFolderResult::Made);
  EXPECT_EQ(plat::MakeFolder("made"), plat::MakeFolderResult::Failed);  // exists already
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(plat::MakeFolder("gone\\below"), plat::MakeFolderResult::MissingParent);
  EXPECT_EQ(plat::MakeFolder("made\\below"), plat::MakeFolderResult::Made);

  ASSERT_TRUE(qt::WriteFile("made/below/f.txt", "data"));
  EXPECT_TRUE(plat::RenameFile("made\\below\\f.txt", "made\\g.txt"));
  EXPECT_EQ(qt::ReadFile("made/g.txt"), "data");
  EXPECT_FALSE(plat::RenameFile("made\\below\\f.txt", "made\\h.txt"));
  EXPECT_TRUE(plat::RemoveFile("made\\g.txt"));
  EXPECT_FALSE(qt::FileExists("made/g.txt"));
  EXPECT_FALSE(plat::RemoveFile("made\\g.txt"));
  EXPECT_EQ(errno, ENOENT);

  const std::string before = CurrentDir();
  EXPECT_TRUE(plat::ChangeFolder("made\\below"));
  EXPECT_EQ(CurrentDir(), before + "/made/below");
  EXPECT_FALSE(plat::ChangeFolder("no-such-folder"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(CurrentDir(), before + "/made/below");
}

// A positioned read leaves the stream where it was, buffer and all.
TEST_F(Files, ReadsAtAnOffsetWithoutMovingTheStream) {
  ASSERT_TRUE(qt::WriteFile("data.bin", "0123456789"));
  FILE* f = std::fopen("data.bin", "rb");
  ASSERT_NE(f, nullptr);
  char c = 0;
  ASSERT_EQ(std::fread(&c, 1, 1, f), 1u);
  char buffer[8] = {};
  EXPECT_EQ(plat::ReadAt(f, 6, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), "678");
  EXPECT_EQ(plat::ReadAt(f, 8, buffer, 8), 2);  // short only at the end
  EXPECT_EQ(std::string(buffer, 2), "89");
  EXPECT_EQ(plat::ReadAt(f, 10, buffer, 4), 0);
  EXPECT_EQ(plat::ReadAt(f, 20, buffer, 4), 0);
  EXPECT_EQ(std::ftell(f), 1);
  ASSERT_EQ(std::fread(&c, 1, 1, f), 1u);
  EXPECT_EQ(c, '1');
  std::fclose(f);
  EXPECT_EQ(plat::ReadAt(nullptr, 0, buffer, 1), -1);
}

}  // namespace
