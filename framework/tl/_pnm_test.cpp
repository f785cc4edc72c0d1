#include "framework/tl/_pnm.h"

#include <gtest/gtest.h>

#include <string>

#include "framework/base/log.h"
#include "testsupport/tl/fixtures.h"
#include "testsupport/testsupport.h"

using tlfix::Bytes;

namespace {

txBitmap* Read(const Bytes& file) {
  tlfix::Exact e(file);
  return pnmRead(e.data(), e.size());
}

Bytes Level0(const txBitmap* b) { return {b->data[0], b->data[0] + b->sizes[0]}; }

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(PnmRead, GreyAndColour) {
  Bytes grey = tlfix::Pattern(6);
  txBitmap* g = Read(tlfix::Pnm("P5", 3, 2, "255", grey));
  ASSERT_NE(g, nullptr);
  EXPECT_EQ(g->bits, 8);
  EXPECT_EQ(g->subtype, 3);
  EXPECT_EQ(g->type, 0);
  EXPECT_EQ(Level0(g), grey);
  txFree(&g);

  // R, G, B samples come out B, G, R; a comment may stand between the lines.
  Bytes rgb = {10, 20, 30, 40, 50, 60};
  txBitmap* c = Read(tlfix::Pnm("P6", 2, 1, "255", rgb, "made by a test"));
  ASSERT_NE(c, nullptr) << errGetLastError();
  EXPECT_EQ(c->width, 2);
  EXPECT_EQ(c->height, 1);
  EXPECT_EQ(c->bits, 24);
  EXPECT_EQ(c->subtype, 0);
  EXPECT_EQ(c->type, 0);
  EXPECT_EQ(Level0(c), (Bytes{30, 20, 10, 60, 50, 40}));
  txFree(&c);

  Bytes commented = Text("P5\n# one\n2 1\n# two\n255\n");
  commented.insert(commented.end(), {7, 8});
  txBitmap* k = Read(commented);
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(Level0(k), (Bytes{7, 8}));
  txFree(&k);
}

TEST(PnmRead, RefusedHeaders) {
  struct Case {
    const char* what;
    Bytes file;
    int code;
  };
  Bytes two = {1, 2, 3, 4, 5, 6};
  const Case cases[] = {
      {"maximum 65535", tlfix::Pnm("P5", 1, 1, "65535", two), 1000},
      {"maximum 15", tlfix::Pnm("P5", 1, 1, "15", two), 1000},
      {"ASCII pixmap", tlfix::Pnm("P3", 1, 1, "255", Text("1 2 3\n")), 1000},
      {"bitmap", tlfix::Pnm("P4", 8, 1, "255", two), 1000},
      {"unknown magic", tlfix::Pnm("P7", 1, 1, "255", two), 1000},
      {"one number", Text("P5\n12\n255\n\1"), 1000},
      {"zero width: no block for no pixels", tlfix::Pnm("P5", 0, 1, "255", two), 5},
      {"negative width (unsafe input)", Text("P5\n-1 -1\n255\n\1"), 1000},
      {"width beyond 32 bits (unsafe input)", Text("P5\n4294967297 1\n255\n\1"), 1000},
      {"maximum line with a carriage return", Text("P5\n1 1\n255\r\n\1"), 1000},
      {"magic line with a carriage return", Text("P5\r\n1 1\n255\n\1"), 1000},
      {"a long line", Text("P5\n" + std::string(200, ' ') + "1 1\n255\n\1"), 1000},
      {"no maximum line", Text("P5\n1 1\n"), 1000},
      {"huge size", Text("P6\n999999999 999999999\n255\n\1\2\3"), 1002},
      {"sides whose product 64 bits cannot count", Text("P6\n2147483647 2147483647\n255\n\1\2\3"), 1002},
      {"samples missing", tlfix::Pnm("P6", 2, 2, "255", two), 1002},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Read(c.file), nullptr);
    EXPECT_EQ(errGetLastError(), c.code);
  }
}

TEST(PnmRead, SizeLinesReadAsTwoNumbers) {
  struct Case {
    const char* what;
    std::string sizeLine;
  };
  const Case cases[] = {
      {"plain", "2 1"},
      {"text after the numbers", "2 1 pixels"},
      {"a carriage return after the numbers", "2 1\r"},
      {"leading zeros", "0000000002 01"},
      {"blanks and signs", " \t+2\t1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes file = Text("P5\n" + c.sizeLine + "\n255\n");
    file.insert(file.end(), {7, 8});
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->width, 2);
    EXPECT_EQ(b->height, 1);
    EXPECT_EQ(Level0(b), (Bytes{7, 8}));
    txFree(&b);
  }
}

TEST(PnmRead, EveryTruncationFails) {
  Bytes file = tlfix::Pnm("P6", 3, 2, "255", tlfix::Pattern(18), "c");
  for (size_t n = 0; n < file.size(); ++n) {
    tlfix::Exact e(file, n);
    txBitmap* b = pnmRead(e.data(), e.size());
    EXPECT_EQ(b, nullptr) << "length " << n;
    EXPECT_NE(errGetLastError(), 0) << "length " << n;
    if (b) txFree(&b);
  }
}

TEST(PnmDetect, NearMisses) {
  struct Case {
    std::string head;
    int result;
  };
  const Case cases[] = {{"P6\n", 0}, {"P5\n", 0}, {"P6 ", 1000}, {"P3\n", 1000}, {"P6", 1000}, {"p6\n", 1000}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.head);
    tlfix::Exact e(Text(c.head));
    EXPECT_EQ(pnmDetect(e.data(), e.size()), c.result);
  }
}

TEST(PnmWrite, RoundTripsAndChannelOrder) {
  qt::TempDir dir;
  std::string path = dir / "out.ppm";
  struct Case {
    const char* what;
    int kind, type;
    std::string magic;
    bool swapped;  // the file holds R and B exchanged against the bitmap
  };
  const Case cases[] = {
      {"B, G, R", 0, 0, "P6", true}, {"R, G, B", 0, 1, "P6", false}, {"dummy kind 1", 1, 1, "P6", false},
      {"grey", 3, 3, "P5", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    txBitmap* b = txCreateDummy(c.kind, 3, 2);
    b->type = c.type;
    Bytes pixels = tlfix::Pattern(static_cast<size_t>(b->sizes[0]));
    std::copy(pixels.begin(), pixels.end(), b->data[0]);
    ASSERT_EQ(pnmWrite(path.c_str(), b), 0) << errGetLastError();
    EXPECT_EQ(Level0(b), pixels);
    std::string file = qt::ReadFile(path);
    std::string header = c.magic + "\n# Created by Quarnel's PNM output filter\n3 2\n255\n";
    ASSERT_EQ(file.substr(0, header.size()), header);
    Bytes stored(file.begin() + static_cast<long>(header.size()), file.end());
    Bytes expect = pixels;
    if (c.swapped)
      for (size_t k = 0; k + 2 < expect.size(); k += 3) std::swap(expect[k], expect[k + 2]);
    EXPECT_EQ(stored, expect);
    // Reading it back gives the B, G, R order of the readers.
    txBitmap* back = Read(Bytes(file.begin(), file.end()));
    ASSERT_NE(back, nullptr);
    Bytes bgr = pixels;
    if (c.magic == "P6" && c.type == 1)
      for (size_t k = 0; k + 2 < bgr.size(); k += 3) std::swap(bgr[k], bgr[k + 2]);
    EXPECT_EQ(Level0(back), bgr);
    txFree(&back);
    txFree(&b);
  }
}

TEST(PnmWrite, Refusals) {
  qt::TempDir dir;
  txBitmap* b = txCreateDummy(2, 2, 2);  // 32 bits, subtype 2
  std::string path = dir / "x.ppm";
  EXPECT_EQ(pnmWrite(path.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 1000);
  txFree(&b);
  b = txCreateDummy(0, 2, 2);
  std::string missing = dir / "none/x.ppm";
  EXPECT_EQ(pnmWrite(missing.c_str(), b), -1);
  EXPECT_EQ(errGetLastError(), 9);
  txFree(&b);
}

}  // namespace
