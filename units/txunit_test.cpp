#include "units/txunit.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/base/log.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/testsupport.h"
#include "units/sysunit.h"

namespace {

TEST(TextureLoaderUnit, RegistersEntryFour) {
  TextureLoaderUnitInit();
  const SYS_TExitEntry& init = SYS_InitTable[4];
  const SYS_TExitEntry& exit = SYS_ExitTable[4];
  EXPECT_TRUE(init.active);
  EXPECT_EQ(init.name, "Texture loader ...");
  EXPECT_EQ(init.proc, &TextureLoaderInit);
  EXPECT_TRUE(exit.active);
  EXPECT_EQ(exit.name, "Uninit texture loader ...");
  EXPECT_EQ(exit.proc, &TextureLoaderDone);
}

TEST(TextureLoaderUnit, LoadsAndSavesThroughTheFileLayer) {
  qt::TempDir dir;
  tlfix::Bytes tga = tlfix::SimpleTga(3, 2, 24);
  ASSERT_TRUE(qt::WriteFile(dir / "in.tga", std::string(tga.begin(), tga.end())));
  TextureLoaderInit();
  txOptions(TX_OPT_ORDER, 0);
  txBitmap* b = TxLoad(ShortString(dir / "in.tga"));
  ASSERT_NE(b, nullptr) << errGetLastError();
  EXPECT_EQ(b->width, 3);
  EXPECT_EQ(b->filter, 0);
  ASSERT_EQ(TxSave(0, ShortString(dir / "out.tga"), b), 0);
  txFree(&b);
  b = TxLoad(ShortString(dir / "out.tga"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(tlfix::Bytes(b->data[0], b->data[0] + b->sizes[0]), tlfix::Pattern(18));
  txFree(&b);
  EXPECT_EQ(TxSave(7, ShortString(dir / "out.dcm"), b), -1);  // no DICOM writer
  EXPECT_EQ(errGetLastError(), 1000);
}

}  // namespace
