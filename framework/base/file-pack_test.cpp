#include "framework/base/file-pack.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "testsupport/base/file-pack.h"
#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/main.h"
#include "framework/base/mem.h"
#include "testsupport/testsupport.h"

namespace {

struct Call {
  int code;
  std::string text;
};
std::vector<Call> calls;
void RecordCall(int code, const char* text) { calls.push_back({code, text ? text : "(null)"}); }

std::string Random(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, 0);
  for (char& c : s) c = static_cast<char>('a' + rng() % 4);
  return s;
}

const std::string kThousand = Random(1000, 7);

// Archives are mounted in a folder of their own and released after each
// test, so the tests do not see each other's entries.
class Pack : public ::testing::Test {
 protected:
  void SetUp() override {
    cd_ = std::make_unique<qt::ChangeDir>(dir_.path());
    calls.clear();
    errSetCallback(RecordCall);
  }
  void TearDown() override {
    errSetCallback(nullptr);
    SYS_PackUnmountAll();
    cd_.reset();
  }
  // Writes and mounts an archive; the mount's result.
  int Mount(const std::string& file, const std::string& bytes) {
    qt::WriteFile(file, bytes);
    return SYS_FilePackOpen_pack(file.c_str());
  }
  void MountFixture() {
    ASSERT_EQ(Mount("fixture.dat", packtest::Archive({{"plain.txt", "ab\ncd"},
                                                      {"big.bin", kThousand, true},
                                                      {"empty.txt", ""},
                                                      {"dir\\x.txt", "in a folder", true},
                                                      {"crlf.txt", "one\r\ntwo\r\n", true},
                                                      {"zero.txt", std::string("ab\0cd\n", 6)}})),
              0);
  }

  qt::TempDir dir_;
  std::unique_ptr<qt::ChangeDir> cd_;
};

std::string ReadAll(SYS_File_p f) {
  std::string out;
  char buffer[13];
  for (int64_t n; (n = SYS_FileRead(f, buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<size_t>(n));
  return out;
}

TEST_F(Pack, EntriesReadBack) {
  MountFixture();
  struct Case {
    const char* name;
    std::string contents;
  } cases[] = {
      {"plain.txt", "ab\ncd"},       {"big.bin", kThousand},           {"empty.txt", ""},
      {"dir\\x.txt", "in a folder"}, {"crlf.txt", "one\r\ntwo\r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SYS_FileSize(c.name), static_cast<int64_t>(c.contents.size())) << c.name;  // without opening
    EXPECT_EQ(SYS_FileExist(c.name), 0) << c.name;
    SYS_File_p f = SYS_FileOpen(c.name, 0);
    ASSERT_NE(f, nullptr) << c.name;
    EXPECT_EQ(f->handler, &SYS_FileHandlerPack);
    EXPECT_EQ(f->size, static_cast<int64_t>(c.contents.size()));
    EXPECT_TRUE(ReadAll(f) == c.contents) << c.name;
    EXPECT_EQ(SYS_FileEof(f), 1);
    SYS_FileClose(f);
  }
  EXPECT_EQ(SYS_FileExist("dir/x.txt"), -1);  // names are exact
  EXPECT_EQ(SYS_FileExist("PLAIN.TXT"), -1);
  EXPECT_EQ(SYS_FileSize_pack("nothing"), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOTFOUND);
  EXPECT_TRUE(calls.empty());
}

TEST_F(Pack, ReadsAndSeeksAtTheEnd) {
  MountFixture();
  SYS_File_p f = SYS_FileOpen("big.bin", 0);
  ASSERT_NE(f, nullptr);
  char buffer[10];
  ASSERT_EQ(SYS_FileSeek(f, 996), 0);
  EXPECT_EQ(SYS_FileEof(f), 0);
  EXPECT_EQ(SYS_FileRead(f, buffer, 10), 4);
  EXPECT_EQ(std::string(buffer, 4), kThousand.substr(996));
  EXPECT_EQ(SYS_FileRead(f, buffer, 10), 0);
  EXPECT_EQ(SYS_FileEof(f), 1);
  EXPECT_EQ(SYS_FileTell(f), 1000);

  ASSERT_EQ(SYS_FileSeek(f, 1000), 0);  // exactly the end
  EXPECT_EQ(SYS_FileEof(f), 1);
  ASSERT_EQ(SYS_FileSeek(f, 5000), 0);  // beyond: the last byte
  EXPECT_EQ(SYS_FileTell(f), 999);
  EXPECT_EQ(SYS_FileRead(f, buffer, 10), 1);
  EXPECT_EQ(buffer[0], kThousand[999]);
  EXPECT_EQ(SYS_FileSeek(f, -1), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  ASSERT_EQ(SYS_FileSeek(f, 10), 0);
  EXPECT_EQ(SYS_FileRead(f, buffer, 3), 3);
  EXPECT_EQ(std::string(buffer, 3), kThousand.substr(10, 3));
  SYS_FileClose(f);

  SYS_File_p e = SYS_FileOpen("empty.txt", 0);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(SYS_FileEof(e), 1);
  EXPECT_EQ(SYS_FileSeek(e, 5), 0);
  EXPECT_EQ(SYS_FileTell(e), 0);
  EXPECT_EQ(SYS_FileRead(e, buffer, 10), 0);
  SYS_FileClose(e);
}

std::vector<std::string> Lines(const char* name, int length) {
  SYS_File_p f = SYS_FileOpen(name, SYS_FILE_TEXT);
  if (!f) return {"<none>"};
  std::vector<std::string> lines;
  std::vector<char> buffer(static_cast<size_t>(length));
  while (SYS_FileGetStr(f, buffer.data(), length)) lines.emplace_back(buffer.data());
  SYS_FileClose(f);
  return lines;
}

TEST_F(Pack, LineReadsKeepTheLineFeed) {
  MountFixture();
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines("plain.txt", 64), (V{"ab\n", "cd"}));
  EXPECT_EQ(Lines("crlf.txt", 64), (V{"one\r\n", "two\r\n"}));
  EXPECT_EQ(Lines("crlf.txt", 3), (V{"on", "e\r", "\n", "tw", "o\r", "\n"}));
  EXPECT_EQ(Lines("empty.txt", 64), V{});
  EXPECT_EQ(Lines("zero.txt", 64), V{"ab"});  // a zero byte ends the text
  SYS_File_p f = SYS_FileOpen("plain.txt", 0);
  ASSERT_NE(f, nullptr);
  char buffer[4];
  EXPECT_EQ(SYS_FileGetStr(f, buffer, 0), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_FileGetStr(f, nullptr, 4), nullptr);
  SYS_FileClose(f);
}

TEST_F(Pack, ReadOnly) {
  MountFixture();
  for (int flags : {SYS_FILE_WRITE, SYS_FILE_APPEND, SYS_FILE_WRITE | SYS_FILE_TEXT}) {
    calls.clear();
    EXPECT_EQ(SYS_FileOpen("plain.txt", flags), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, ERR_UNSUPPORTED);
    EXPECT_EQ(calls[0].text, "plain.txt");
  }
  SYS_File_p f = SYS_FileOpen("plain.txt", 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(SYS_FilePutStr(f, "x"), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  EXPECT_EQ(SYS_FileWrite(f, "x", 1), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  SYS_FileClose(f);
}

TEST_F(Pack, EachOpenHasItsOwnPositionAndImage) {
  MountFixture();
  SYS_File_p a = SYS_FileOpen("big.bin", 0);
  SYS_File_p b = SYS_FileOpen("big.bin", 0);
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  char buffer[100];
  EXPECT_EQ(SYS_FileRead(a, buffer, 100), 100);
  EXPECT_EQ(SYS_FileTell(b), 0);
  SYS_FileClose(a);
  EXPECT_TRUE(ReadAll(b) == kThousand);
  SYS_FileClose(b);
  // The archive's own file stays open for the next opens.
  EXPECT_EQ(SYS_FileSize("big.bin"), 1000);
  SYS_File_p c = SYS_FileOpen("big.bin", 0);
  ASSERT_NE(c, nullptr);
  EXPECT_TRUE(ReadAll(c) == kThousand);
  SYS_FileClose(c);
}

TEST_F(Pack, NewestMountAnswersFirst) {
  ASSERT_EQ(Mount("old.dat", packtest::Archive({{"same.txt", "old"}, {"old.txt", "o"}})), 0);
  ASSERT_EQ(Mount("new.dat", packtest::Archive({{"same.txt", "new", true}})), 0);
  SYS_Pack_p newer = SYS_FindPack("same.txt");
  ASSERT_NE(newer, nullptr);
  EXPECT_STREQ(newer->path, "new.dat");
  EXPECT_EQ(newer->count, 1u);
  EXPECT_STREQ(SYS_FindPack("old.txt")->path, "old.dat");
  EXPECT_EQ(SYS_FindPack("none"), nullptr);
  SYS_File_p f = SYS_FileOpen("same.txt", 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "new");
  SYS_FileClose(f);
  // Mounting the older one again puts it in front.
  ASSERT_EQ(SYS_FilePackOpen("old.dat"), 0);
  EXPECT_NE(SYS_FindPack("same.txt"), newer);
  EXPECT_STREQ(SYS_FindPack("same.txt")->path, "old.dat");
}

TEST_F(Pack, EmptyArchiveMounts) {
  ASSERT_EQ(Mount("none.dat", packtest::Archive({})), 0);
  EXPECT_EQ(SYS_FindPack(""), nullptr);
  EXPECT_TRUE(calls.empty());
}

// Every damaged archive fails to mount with its code, reads nothing out of
// bounds and never reaches the error callback.
TEST_F(Pack, DamagedArchives) {
  const std::vector<packtest::Item> items = {{"a.txt", "alpha"}, {"b.bin", kThousand, true}};
  const std::string good = packtest::Archive(items);
  using packtest::Record;
  using packtest::SetU32;
  auto tweak = [&](packtest::Tweaks t) { return packtest::Archive(items, t); };
  struct Case {
    const char* what;
    std::string bytes;
    int code;
  } cases[] = {
      {"empty file", "", ERR_NOTARCHIVE},
      {"header cut short", good.substr(0, 8), ERR_NOTARCHIVE},
      {"only the magic", "QRNP", ERR_NOTARCHIVE},
      {"wrong magic", "QRNX" + good.substr(4), ERR_NOTARCHIVE},
      {"catalogue offset past the end",
       [&] { std::string s = good; SetU32(s, 8, static_cast<uint32_t>(s.size() + 1)); return s; }(), ERR_NOTARCHIVE},
      {"catalogue offset inside the header", [&] { std::string s = good; SetU32(s, 8, 4); return s; }(),
       ERR_NOTARCHIVE},
      {"catalogue missing", [&] { std::string s = good; SetU32(s, 8, static_cast<uint32_t>(s.size())); return s; }(),
       ERR_NOTARCHIVE},
      {"count larger than the catalogue", tweak({.count = [](uint32_t& c) { c = 3; }}), ERR_NOTARCHIVE},
      {"count absurd", tweak({.count = [](uint32_t& c) { c = 0xFFFFFFFFu; }}), ERR_NOTARCHIVE},
      {"name past the catalogue", tweak({.catalogue = [](std::string& c) { c[9] = '\x7f'; }}), ERR_NOTARCHIVE},
      {"record cut short", tweak({.catalogue = [](std::string& c) { c.resize(c.size() - 3); }}), ERR_NOTARCHIVE},
      {"data offset past the end", tweak({.records = [](std::vector<Record>& r) { r[0].offset = 0x7FFFFFF0u; }}),
       ERR_NOTARCHIVE},
      {"stored size past the end", tweak({.records = [](std::vector<Record>& r) { r[1].stored += 500; }}),
       ERR_NOTARCHIVE},
      {"offset and size wrapping 32 bits",
       tweak({.records = [](std::vector<Record>& r) { r[0].offset = 0xFFFFFFF0u; r[0].stored = 0x20; }}),
       ERR_NOTARCHIVE},
      {"compressed entry shorter than a block header",
       tweak({.records = [](std::vector<Record>& r) { r[1].stored = 8; }}), ERR_NOTARCHIVE},
      {"catalogue stream damaged", tweak({.block = [](std::string& b) { b[14] ^= 0x5A; }}), ERR_ZLIB},
      {"catalogue packed length too large",
       tweak({.block = [](std::string& b) { SetU32(b, 4, static_cast<uint32_t>(b.size())); }}), ERR_ZLIB},
      {"catalogue unpacked length absurd", tweak({.block = [](std::string& b) { SetU32(b, 0, 0xFFFFFFF0u); }}),
       ERR_ZLIB},
      {"catalogue unpacked length 0", tweak({.block = [](std::string& b) { SetU32(b, 0, 0); }}), ERR_NOMEM},
      {"catalogue truncated", good.substr(0, good.size() - 5), ERR_ZLIB},
  };
  for (const Case& c : cases) {
    calls.clear();
    EXPECT_EQ(Mount("bad.dat", c.bytes), -1) << c.what;
    EXPECT_EQ(errGetLastError(), c.code) << c.what;
    EXPECT_EQ(SYS_FilePackOpen("bad.dat"), -1) << c.what;
    EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED) << c.what;
    EXPECT_TRUE(calls.empty()) << c.what;
    EXPECT_EQ(SYS_FileExist("a.txt"), -1) << c.what;
    // Mounted from memory, the same bytes are refused for the same reason.
    EXPECT_EQ(SYS_FilePackOpenMem("bad.dat", c.bytes.data(), c.bytes.size()), -1) << c.what;
    EXPECT_EQ(errGetLastError(), c.code) << c.what;
    EXPECT_EQ(SYS_FileExist("a.txt"), -1) << c.what;
  }
  // The good one mounts, so the table above is about the damage only.
  EXPECT_EQ(Mount("good.dat", good), 0);
}

// A refused archive says why in the log, with "v" (file) and "c" (console
// too), whatever the module switches: the user otherwise only learns that
// an entry is missing.
TEST(PackLog, RefusalsSayWhy) {
  const std::string good = packtest::Archive({{"a.txt", "alpha"}, {"b.bin", kThousand, true}});
  using packtest::Record;
  struct Case {
    const char* what;
    std::string bytes;
    const char* reason;
  } cases[] = {
      {"wrong magic", "QRNX" + good.substr(4), "bad.dat refused: not an archive\n"},
      {"truncated", good.substr(0, good.size() - 5), "bad.dat refused: bad catalogue"},
      {"entry outside",
       packtest::Archive({{"a.txt", "alpha"}, {"b.bin", kThousand, true}},
                         {.records = [](std::vector<Record>& r) { r[1].stored += 500; }}),
       "bad.dat refused: entry outside the file: b.bin\n"},
      {"missing", "", "gone.dat refused: no such file\n"},
  };
  for (const char* logSwitch : {"-v", "-c"}) {
    for (const Case& c : cases) {
      qt::TempDir dir;
      qt::ChildResult r = qt::RunInChild([&] {
        qt::ChangeDir cd(dir.path());
        qt::Args args{"\\opt\\prog", logSwitch};
        SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
        qt::WriteFile("bad.dat", c.bytes);
        if (SYS_FilePackOpen(std::strcmp(c.what, "missing") == 0 ? "gone.dat" : "bad.dat") == 0) _exit(3);
      });
      ASSERT_EQ(r.exitCode, 0) << c.what << r.err;
      const std::string log = qt::ReadFile(dir / "debug.log");
      EXPECT_NE(log.find(std::string("[wrn][file-pack][file-pack.cpp:")), std::string::npos) << c.what << log;
      EXPECT_NE(log.find(c.reason), std::string::npos) << c.what << log;
      EXPECT_EQ(r.out.find(c.reason) != std::string::npos, std::strcmp(logSwitch, "-c") == 0) << c.what << r.out;
    }
  }
}

// An archive mounted from memory serves the file layer as one mounted from
// disk, and keeps its own copy of the bytes.
TEST_F(Pack, MountsFromMemory) {
  std::string bytes = packtest::Archive({{"plain.txt", "ab\ncd"}, {"big.bin", kThousand, true}, {"empty.txt", ""}});
  ASSERT_EQ(SYS_FilePackOpenMem("memory.dat", bytes.data(), bytes.size()), 0);
  std::fill(bytes.begin(), bytes.end(), '\0');
  EXPECT_STREQ(SYS_FindPack("big.bin")->path, "memory.dat");
  EXPECT_EQ(SYS_FileSize("big.bin"), 1000);
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines("plain.txt", 64), (V{"ab\n", "cd"}));
  for (const char* name : {"plain.txt", "big.bin", "empty.txt"}) {
    SYS_File_p f = SYS_FileOpen(name, 0);
    ASSERT_NE(f, nullptr) << name;
    const std::string expected = name[0] == 'p' ? "ab\ncd" : name[0] == 'b' ? kThousand : "";
    EXPECT_TRUE(ReadAll(f) == expected) << name;
    SYS_FileClose(f);
  }
  EXPECT_EQ(SYS_FilePackOpenMem(nullptr, "QRNP", 4), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_FilePackOpenMem("none.dat", nullptr, 0), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOTARCHIVE);
  EXPECT_TRUE(calls.empty());
}

// A plain entry is read straight from the archive: reads in pieces, seeks
// and a line read after them all agree with the stored bytes.
TEST_F(Pack, PlainEntriesReadInPieces) {
  const std::string text = Random(3000, 11) + "\nlast line\n";
  ASSERT_EQ(Mount("plain.dat", packtest::Archive({{"a.bin", "x"}, {"text.txt", text}})), 0);
  SYS_File_p f = SYS_FileOpen("text.txt", 0);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(ReadAll(f) == text);
  ASSERT_EQ(SYS_FileSeek(f, 3001), 0);
  char line[64];
  ASSERT_NE(SYS_FileGetStr(f, line, sizeof line), nullptr);
  EXPECT_STREQ(line, "last line\n");
  ASSERT_EQ(SYS_FileSeek(f, 2), 0);
  char piece[5] = {};
  EXPECT_EQ(SYS_FileRead(f, piece, 4), 4);
  EXPECT_EQ(std::string(piece), text.substr(2, 4));
  SYS_FileClose(f);
}

// Small entries are served from a window of the archive kept between reads;
// entries spread over several windows read back right in any order, and
// sizes asked before the opens agree.
TEST_F(Pack, SmallEntriesAcrossManyWindows) {
  std::vector<packtest::Item> items;
  for (int i = 0; i < 60; ++i)
    items.push_back({"e" + std::to_string(i), Random(2500 + 97 * i, 100 + i), i % 3 == 0});
  items.push_back({"large", Random(70000, 5), false});
  ASSERT_EQ(Mount("many.dat", packtest::Archive(items)), 0);
  std::vector<size_t> order(items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::vector<size_t> reversed(order.rbegin(), order.rend());
  for (const auto& sequence : {order, reversed, order}) {
    for (size_t i : sequence) {
      const packtest::Item& item = items[i];
      EXPECT_EQ(SYS_FileSize(item.name.c_str()), static_cast<int64_t>(item.data.size())) << item.name;
      SYS_File_p f = SYS_FileOpen(item.name.c_str(), 0);
      ASSERT_NE(f, nullptr) << item.name;
      EXPECT_TRUE(ReadAll(f) == item.data) << item.name;
      SYS_FileClose(f);
    }
  }
}

// While a name is open from an archive, its size comes from that open: a
// load that opens and then sizes a file asks the disk once. Once closed,
// a loose file of the name comes first again.
TEST_F(Pack, SizeOfAnOpenEntry) {
  MountFixture();
  SYS_File_p f = SYS_FileOpen("plain.txt", 0);
  ASSERT_NE(f, nullptr);
  ASSERT_TRUE(qt::WriteFile("plain.txt", "a loose file, longer"));
  EXPECT_EQ(SYS_FileSize("plain.txt"), 5);
  SYS_FileClose(f);
  EXPECT_EQ(SYS_FileSize("plain.txt"), 20);
}

TEST_F(Pack, MissingOrOddPaths) {
  EXPECT_EQ(SYS_FilePackOpen_pack("missing.dat"), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOTFOUND);
  mkdir("folder.dat", 0777);
  EXPECT_EQ(SYS_FilePackOpen_pack("folder.dat"), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOTFOUND);
  EXPECT_EQ(SYS_FilePackOpen_pack(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_TRUE(calls.empty());
}

TEST_F(Pack, DamagedEntryFailsAtOpen) {
  using packtest::Record;
  std::string bytes = packtest::Archive({{"bad.bin", kThousand, true}, {"ok.txt", "fine"}});
  bytes[12 + 12 + 6] ^= 0x33;  // inside the first entry's stream
  ASSERT_EQ(Mount("entries.dat", bytes), 0);
  for (int attempt = 0; attempt < 2; ++attempt) {
    calls.clear();
    EXPECT_EQ(SYS_FileOpen("bad.bin", 0), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_ZLIB);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].code, ERR_ZLIB);
    EXPECT_EQ(calls[0].text, "bad.bin");
  }
  SYS_File_p f = SYS_FileOpen("ok.txt", 0);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadAll(f), "fine");
  SYS_FileClose(f);
}

}  // namespace
