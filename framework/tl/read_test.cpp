#include "framework/tl/read.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/base/file.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/testsupport.h"

namespace {

int callbacks = 0;
void CountCallback(int, const char*) { ++callbacks; }

bool Write(const std::string& path, const tlfix::Bytes& b) { return qt::WriteFile(path, std::string(b.begin(), b.end())); }

TEST(DefaultFiles, ReadWholeFilesWithATrailingZeroArea) {
  qt::TempDir dir;
  std::string path = dir / "f.bin";
  ASSERT_TRUE(Write(path, {1, 2, 3}));
  ASSERT_EQ(txIOpen(path.c_str()), 0);
  EXPECT_EQ(txIFSize(), 3);
  uint8_t* buffer = txIRead();
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(SYS_MemSize(buffer), 6);
  EXPECT_EQ(tlfix::Bytes(buffer, buffer + 6), (tlfix::Bytes{1, 2, 3, 0, 0, 0}));
  SYS_MemFree(buffer);
  EXPECT_EQ(txIClose(), 0);
  EXPECT_EQ(txIFSize(), 0);
  EXPECT_EQ(txIFExist(path.c_str()), 3);
  EXPECT_LT(txIFExist((dir / "none").c_str()), 0);

  EXPECT_EQ(txIOpen(nullptr), -1);
  EXPECT_EQ(errGetLastError(), 1);
  std::string empty = dir / "empty";
  ASSERT_TRUE(Write(empty, {}));
  ASSERT_EQ(txIOpen(empty.c_str()), 0);
  EXPECT_EQ(txIRead(), nullptr);
  EXPECT_EQ(errGetLastError(), 5);
  txIClose();
}

TEST(DefaultFiles, MissingAlphaMapsNeverReachTheErrorCallback) {
  qt::TempDir dir;
  std::string pic = dir / "pic.tga";
  ASSERT_TRUE(Write(pic, tlfix::SimpleTga(4, 2, 24)));
  txInit(nullptr);
  callbacks = 0;
  errSetCallback(CountCallback);
  txBitmap* b = txLoad(pic.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->bits, 24);
  txFree(&b);
  // Nor does a missing image: the loader asks for the size first.
  EXPECT_EQ(txLoad((dir / "absent.tga").c_str()), nullptr);
  EXPECT_EQ(errGetLastError(), 1);
  errSetCallback(nullptr);
  EXPECT_EQ(callbacks, 0);

  ASSERT_TRUE(Write(dir / "pic_a.tga", tlfix::SimpleTga(4, 2, 8)));
  b = txLoad(pic.c_str());
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->bits, 32);
  txFree(&b);
}

}  // namespace
