#include "app/spare.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "testsupport/app/gl.h"
#include "framework/base/main.h"
#include "testsupport/testsupport.h"

namespace {

TEST(SpareNumbers, IntStrAndTwoDigitStr) {
  struct Case {
    int32_t value;
    const char* decimal;
    const char* twoDigits;
  } cases[] = {{7, "7", "07"},     {29, "29", "29"}, {100, "100", "100"},
               {-5, "-5", "-5"},   {0, "0", "00"},   {INT_MIN, "-2147483648", "-2147483648"},
               {INT_MAX, "2147483647", "2147483647"}};
  for (const auto& c : cases) {
    EXPECT_EQ(IntStr(c.value), c.decimal);
    EXPECT_EQ(TwoDigitStr(c.value), c.twoDigits);
  }
}

TEST(SpareSpline, PointsAndTangents) {
  SplineVector points[3] = {{0, 0, 0}, {100, 0, 0}, {100, 60, 30}};
  SplineVector tangents[3] = {};
  PointPath path{3, tangents, points, nullptr};
  SplineTangents(path);
  EXPECT_FLOAT_EQ(tangents[0].x, 100.0f / 6);
  EXPECT_FLOAT_EQ(tangents[1].x, 100.0f / 6);
  EXPECT_FLOAT_EQ(tangents[1].y, 10.0f);
  EXPECT_FLOAT_EQ(tangents[2].z, 5.0f);

  SplineVector out{};
  SplinePoint(out, &path, -1);
  EXPECT_FLOAT_EQ(out.x, 0);
  SplinePoint(out, &path, 2);
  EXPECT_FLOAT_EQ(out.y, 60);
  SplinePoint(out, &path, 7);
  EXPECT_FLOAT_EQ(out.z, 30);
  SplinePoint(out, &path, 1);  // a whole parameter is the start of its segment
  EXPECT_FLOAT_EQ(out.x, 100);
  EXPECT_FLOAT_EQ(out.y, 0);

  SplineVector two[2] = {{0, 0, 0}, {100, 0, 0}};
  SplineVector twoTangents[2] = {};
  PointPath line{2, twoTangents, two, nullptr};
  SplineTangents(line);
  SplinePoint(out, &line, 0.5f);
  EXPECT_FLOAT_EQ(out.x, 50);

  // One point has no neighbour: the tangents are left alone, nothing past
  // the point is read.
  SplineVector lone[1] = {{4, 5, 6}};
  SplineVector loneTangent[1] = {{9, 9, 9}};
  PointPath single{1, loneTangent, lone, nullptr};
  SplineTangents(single);
  EXPECT_FLOAT_EQ(loneTangent[0].x, 9);
  SplinePoint(out, &single, 0.5f);
  EXPECT_FLOAT_EQ(out.y, 5);
  PointPath empty{0, nullptr, nullptr, nullptr};
  SplinePoint(out, &empty, 0.5f);
  EXPECT_FLOAT_EQ(out.x, 0);
}

TEST(SpareWords, RewriteWordsEndsForAnyLength) {
  uint8_t block[7] = {1, 2, 3, 4, 5, 6, 7};
  RewriteWords(block, 7);
  const uint8_t expected[7] = {1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(std::memcmp(block, expected, 7), 0);
  RewriteWords(block, 0);
  RewriteWords(block, 3);
}

TEST(SpareGL, LogGLErrors) {
  auto r = qt::RunInChild([] {
    apptest::InstallGLRecorder();
    LogGLErrors();  // nothing pending: nothing written
    apptest::Rec().pendingErrors = {GL_INVALID_ENUM, GL_OUT_OF_MEMORY};
    LogGLErrors();
  });
  EXPECT_EQ(r.exitCode, 0);
  // The second code has no text: gluErrorString gives null for it.
  EXPECT_EQ(r.out, "GL_ERROR:invalid enumerant\nGL_ERROR:\n");
}

TEST(SpareFiles, WholeFilesAndFloatLines) {
  qt::TempDir dir;
  ASSERT_TRUE(qt::WriteFile(dir / "data.bin", std::string("ab\0cd", 5)));
  ASSERT_TRUE(qt::WriteFile(dir / "empty.bin", ""));
  ASSERT_TRUE(qt::WriteFile(dir / "reals.txt", " 2.5e1 \n12abc\n"));
  auto r = qt::RunInChild([&] {
    qt::ChangeDir cd(dir.path());
    qt::Args args{"\\bin\\prog"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    int64_t size = -1;
    uint8_t* data = LoadWholeFile("data.bin", &size);
    std::printf("size %lld byte3 %c\n", static_cast<long long>(size), data ? data[3] : '?');
    FreeWholeFile(data);
    uint8_t* empty = LoadWholeFile("empty.bin", &size);
    std::printf("empty %lld %s\n", static_cast<long long>(size), empty ? "block" : "null");
    FreeWholeFile(empty);
    std::printf("missing %s\n", LoadWholeFile("none.bin") ? "block" : "null");
    SYS_File_p f = SYS_FileOpen("reals.txt", SYS_FILE_TEXT);
    float v = 0;
    ReadFloatLine(f, v);
    std::printf("real %g\n", v);
    std::fflush(stdout);
    ReadFloatLine(f, v);  // not a number: the run-time library's conversion error
    std::printf("not reached\n");
  });
  EXPECT_EQ(r.exitCode, 106);
  EXPECT_EQ(r.out, "size 5 byte3 c\nempty 0 block\nmissing null\nreal 25\n");
  EXPECT_NE(r.err.find("'12abc'"), std::string::npos) << r.err;
}

// A kernel attribute file says it has a page of bytes and gives a few: the
// size reported is what the read brought, not what the file said.
TEST(SpareFiles, ShortReadReportsTheBytesRead) {
  const char* path = "/sys/devices/system/cpu/online";
  std::ifstream in(path, std::ios::binary);
  if (!in) GTEST_SKIP() << "no " << path;
  const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto r = qt::RunInChild([&] {
    qt::Args args{"\\bin\\prog"};
    SYS_BaseInit(nullptr, args.argc(), args.argv(), nullptr);
    int64_t size = -1;
    uint8_t* data = LoadWholeFile(path, &size);
    std::printf("said %lld got %lld\n", static_cast<long long>(SYS_FileSize(path)), static_cast<long long>(size));
    if (data) std::fwrite(data, 1, static_cast<size_t>(size), stdout);
    FreeWholeFile(data);
  });
  ASSERT_EQ(r.exitCode, 0) << r.err;
  long long said = 0, got = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "said %lld got %lld", &said, &got), 2) << r.out;
  ASSERT_GT(said, static_cast<long long>(content.size())) << "the file gives all it says: no short read to test";
  EXPECT_EQ(got, static_cast<long long>(content.size()));
  EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), content);
}

}  // namespace
