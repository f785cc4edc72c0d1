#include "framework/fr/FR.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/fr/fr.h"
#include "testsupport/testsupport.h"

namespace {

class FontRegistry : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(ftInit(), 0); }
  void TearDown() override { ftDone(); }
};

TEST_F(FontRegistry, LoadingOneFileTwiceRegistersOneFace) {
  ASSERT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  FR_Face_t* face = ftFindFace(frtest::kDejaVu);
  ASSERT_NE(face, nullptr);
  EXPECT_STREQ(face->name, frtest::kDejaVu);
  EXPECT_EQ(face->scalable, 1);
  EXPECT_EQ(face->bold, 0);
  EXPECT_EQ(face->italic, 0);
  EXPECT_NE(face->render, nullptr);
  const uint8_t* buffer = face->buffer;
  ASSERT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  EXPECT_EQ(ftFindFace(frtest::kDejaVu), face);
  EXPECT_EQ(face->buffer, buffer);
}

TEST_F(FontRegistry, FacesAreFoundByExactName) {
  ASSERT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  std::string upper = frtest::kDejaVu;
  upper.back() = 'F';
  EXPECT_EQ(ftFindFace(upper.c_str()), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  EXPECT_EQ(ftFindFace(nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST_F(FontRegistry, FilesThatAreNoFontsAreRefused) {
  qt::TempDir dir;
  const std::string text = dir / "notes.txt";
  std::ofstream(text) << "this is not a font file, only some words\n";
  EXPECT_EQ(ftLoadFace(text.c_str()), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  EXPECT_EQ(ftFindFace(text.c_str()), nullptr);
  // An empty file is read (no bytes) and offered to the backends, which
  // refuse it as they refuse any other non-font.
  const std::string empty = dir / "empty.ttf";
  std::ofstream(empty).flush();
  EXPECT_EQ(ftLoadFace(empty.c_str()), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  EXPECT_EQ(ftFindFace(empty.c_str()), nullptr);

  // A missing file fails in the file layer, which tells the error callback
  // its code and the font's name.
  static std::vector<std::pair<int, std::string>> reported;
  reported.clear();
  errSetCallback([](int code, const char* text) { reported.emplace_back(code, text ? text : "(null)"); });
  // (No handler has a name that is nowhere: the file layer's code is 11.)
  const std::string missing = dir / "missing.ttf";
  EXPECT_EQ(ftLoadFace(missing.c_str()), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  errSetCallback(nullptr);
  ASSERT_EQ(reported.size(), 1u);
  EXPECT_EQ(reported[0].first, ERR_UNSUPPORTED);
  EXPECT_EQ(reported[0].second, missing);
  EXPECT_EQ(ftFindFace(missing.c_str()), nullptr);

  // A refused buffer stays the caller's.
  auto* buffer = static_cast<uint8_t*>(SYS_MemGet(16));
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(ftAddFace("sixteen zeros", buffer, 16), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  EXPECT_EQ(SYS_MemSize(buffer), 16);
  EXPECT_EQ(ftAddFace("no bytes", buffer, 0), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);
  EXPECT_EQ(ftAddFace("below zero", buffer, -1), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  SYS_MemFree(buffer);
  EXPECT_EQ(ftAddFace("empty", nullptr, 0), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST_F(FontRegistry, NewFontsTakeTheirFourValues) {
  FR_Font_t* font = ftNewFont(FR_ENC_UTF8, 0x11223344u, FR_HALIGN_CENTRE, FR_VALIGN_TOP);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(font->encoding, FR_ENC_UTF8);
  EXPECT_EQ(font->colour, 0x11223344u);
  EXPECT_EQ(font->halign, FR_HALIGN_CENTRE);
  EXPECT_EQ(font->valign, FR_VALIGN_TOP);
  EXPECT_EQ(font->size, FR_DEFAULT_SIZE);
  EXPECT_EQ(font->face, nullptr);
  EXPECT_EQ(ftFreeFont(font), 0);
  for (int bad : {0, 3, 21, 31}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(ftNewFont(bad, 0, 0, 0), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
  }
}

TEST_F(FontRegistry, SetFontStoresTheNameEvenWithoutAFace) {
  ASSERT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  FR_Font_t* font = ftNewFont(FR_ENC_LATIN1, 0, 0, 0);
  ASSERT_NE(font, nullptr);
  ASSERT_EQ(ftSetFont(font, frtest::kDejaVu, 24, 800, 1), 0);
  EXPECT_EQ(font->face, ftFindFace(frtest::kDejaVu));
  EXPECT_EQ(ftSetFont(font, "no such face", 12, 100, 0), -1);
  EXPECT_EQ(errGetLastError(), ERR_NOTLISTED);
  EXPECT_EQ(font->face, nullptr);
  EXPECT_STREQ(font->face_name, "no such face");
  EXPECT_EQ(font->size, 12);
  EXPECT_EQ(font->weight, 100);
  EXPECT_EQ(font->italic, 0);
  ftFreeFont(font);
}

TEST_F(FontRegistry, SettersRefuseBadValuesAndChangeNothing) {
  FR_Font_t* font = ftNewFont(FR_ENC_LATIN1, 0xFF0000FFu, FR_HALIGN_LEFT, FR_VALIGN_CENTRE);
  ASSERT_NE(font, nullptr);
  struct Case {
    const char* what;
    std::function<int(FR_Font_t*)> set;
    int result;
  };
  const Case cases[] = {
      {"valign 1", [](FR_Font_t* f) { return ftSetVAlign(f, 1); }, -1},
      {"valign 5", [](FR_Font_t* f) { return ftSetVAlign(f, 5); }, -1},
      {"halign 3", [](FR_Font_t* f) { return ftSetHAlign(f, 3); }, -1},
      {"halign -1", [](FR_Font_t* f) { return ftSetHAlign(f, -1); }, -1},
      {"encoding 3", [](FR_Font_t* f) { return ftSetEncoding(f, 3); }, -1},
      {"encoding 31", [](FR_Font_t* f) { return ftSetEncoding(f, 31); }, -1},
  };
  const FR_Font_t before = *font;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.set(font), c.result);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(std::memcmp(&before, font, sizeof before), 0);
  }
  ftFreeFont(font);
}

TEST_F(FontRegistry, SettersStoreTheirValues) {
  FR_Font_t* font = ftNewFont(FR_ENC_LATIN1, 0, FR_HALIGN_LEFT, FR_VALIGN_CENTRE);
  ASSERT_NE(font, nullptr);
  EXPECT_EQ(ftSetSize(font, 31), 0);
  EXPECT_EQ(ftSetEncoding(font, FR_ENC_UCS2), 0);
  EXPECT_EQ(ftSetColor(font, 0x80402010u), 0);
  EXPECT_EQ(ftSetWeight(font, 800), 0);
  EXPECT_EQ(ftSetItalic(font, 1), 0);
  EXPECT_EQ(ftSetHAlign(font, FR_HALIGN_RIGHT), 0);
  EXPECT_EQ(ftSetVAlign(font, FR_VALIGN_BOTTOM), 0);
  EXPECT_EQ(font->size, 31);
  EXPECT_EQ(font->encoding, FR_ENC_UCS2);
  EXPECT_EQ(font->colour, 0x80402010u);
  EXPECT_EQ(font->weight, 800);
  EXPECT_EQ(font->italic, 1);
  EXPECT_EQ(font->halign, FR_HALIGN_RIGHT);
  EXPECT_EQ(font->valign, FR_VALIGN_BOTTOM);
  // Every alignment of the ranges is taken, the ends included.
  for (int align : {FR_HALIGN_LEFT, FR_HALIGN_RIGHT, FR_HALIGN_CENTRE}) {
    EXPECT_EQ(ftSetHAlign(font, align), 0) << align;
    EXPECT_EQ(font->halign, align);
  }
  for (int align : {FR_VALIGN_CENTRE, FR_VALIGN_TOP, FR_VALIGN_BOTTOM}) {
    EXPECT_EQ(ftSetVAlign(font, align), 0) << align;
    EXPECT_EQ(font->valign, align);
  }
  EXPECT_EQ(ftSetPosition(font, 7, -3), 0);
  EXPECT_EQ(font->halign, -1);
  EXPECT_EQ(font->valign, -1);
  EXPECT_EQ(font->x, 7);
  EXPECT_EQ(font->y, -3);
  ftFreeFont(font);
}

TEST_F(FontRegistry, NullFontsAreBadArguments) {
  const std::function<int()> calls[] = {
      [] { return ftFreeFont(nullptr); },
      [] { return ftSetFont(nullptr, "x", 10, 100, 0); },
      [] { return ftSetSize(nullptr, 10); },
      [] { return ftSetEncoding(nullptr, 1); },
      [] { return ftSetHAlign(nullptr, 0); },
      [] { return ftSetVAlign(nullptr, 2); },
      [] { return ftSetPosition(nullptr, 0, 0); },
      [] { return ftSetColor(nullptr, 0); },
      [] { return ftSetWeight(nullptr, 0); },
      [] { return ftSetItalic(nullptr, 0); },
      [] { return ftRender(nullptr, nullptr, "x", nullptr, nullptr); },
  };
  for (size_t i = 0; i < std::size(calls); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(calls[i](), -1);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
  }
}

TEST_F(FontRegistry, RenderRefusals) {
  ASSERT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  FR_Font_t* font = ftNewFont(FR_ENC_LATIN1, 0xFFFFFFFFu, 0, 3);
  ASSERT_NE(font, nullptr);
  frtest::Target target(16, 16, 32);
  int width = -7, height = -7;

  EXPECT_EQ(ftRender(font, target.bitmap(), nullptr, &width, &height), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(ftRender(font, target.bitmap(), "", &width, &height), 0);
  EXPECT_EQ(width, -7);
  EXPECT_EQ(height, -7);
  EXPECT_EQ(ftRender(font, target.bitmap(), "A", &width, &height), -1);
  EXPECT_EQ(errGetLastError(), ERR_UNSUPPORTED);

  ASSERT_EQ(ftSetFont(font, frtest::kDejaVu, 12, 100, 0), 0);
  target.bitmap()->subtype = TX_SUB_PALETTE;
  EXPECT_EQ(ftRender(font, target.bitmap(), "A", &width, &height), -1);
  EXPECT_EQ(errGetLastError(), TX_ERR_WRITETYPE);
  target.bitmap()->subtype = TX_SUB_32;
  target.bitmap()->sizes[0] = 16;  // claims fewer bytes than its pixels need
  EXPECT_EQ(ftRender(font, target.bitmap(), "A", &width, &height), -1);
  EXPECT_EQ(errGetLastError(), TX_ERR_WRITETYPE);
  EXPECT_EQ(width, -7);
  EXPECT_TRUE(target.fencesIntact());
  ftFreeFont(font);
}

TEST(FontLifecycle, DoneReleasesEveryFaceAndInitStartsAgain) {
  ASSERT_EQ(ftInit(), 0);
  ASSERT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  EXPECT_EQ(ftDone(), 0);
  EXPECT_EQ(ftFindFace(frtest::kDejaVu), nullptr);
  ASSERT_EQ(ftInit(), 0);
  EXPECT_EQ(ftLoadFace(frtest::kDejaVu), 0);
  EXPECT_NE(ftFindFace(frtest::kDejaVu), nullptr);
  EXPECT_EQ(ftDone(), 0);
}

}  // namespace

TEST(TextBytes, UcsTextsEndAtAZeroCodeTheOthersAtAZeroByte) {
  struct Case {
    const char* what;
    int encoding;
    const char* text;  // every text has two zero bytes after its last character
    int64_t bytes;
  };
  const Case cases[] = {
      {"UCS-2 with zero high bytes", FR_ENC_UCS2, "\0A\0B\0\0", 4},
      {"UCS-2 with a zero low byte", FR_ENC_UCS2, "A\0\0\0", 2},
      {"UCS-2 empty", FR_ENC_UCS2, "\0\0", 0},
      {"UTF-8", FR_ENC_UTF8, "AB\0", 2},
      {"Latin-1", FR_ENC_LATIN1, "abc\0", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(frTextBytes(c.encoding, c.text), c.bytes);
  }
}
