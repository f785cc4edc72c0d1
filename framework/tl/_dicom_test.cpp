#include "framework/tl/_dicom.h"

#include <gtest/gtest.h>

#include "framework/base/log.h"
#include "testsupport/tl/fixtures.h"

using tlfix::Bytes;

namespace {

txBitmap* Read(const Bytes& file) {
  tlfix::Exact e(file);
  return dicomRead(e.data(), e.size());
}

Bytes Level0(const txBitmap* b) { return {b->data[0], b->data[0] + b->sizes[0]}; }

TEST(DicomRead, OneAndThreeSamples) {
  struct Case {
    const char* what;
    uint16_t samples;
    const char* vr;
    bool sequence;
    int bits, type, subtype;
  };
  const Case cases[] = {
      {"grey, OB", 1, "OB", false, 8, 0, 3},
      {"grey, OW", 1, "OW", false, 8, 0, 3},
      {"grey after an undefined-length sequence", 1, "OB", true, 8, 0, 3},
      {"RGB", 3, "OB", false, 24, 1, -1},
      {"two samples", 2, "OB", false, 16, 0, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    tlfix::DicomSpec s;
    s.samples = c.samples;
    s.pixelVR = c.vr;
    s.undefinedSequence = c.sequence;
    s.pixels = tlfix::Pattern(2u * 3u * c.samples);
    Bytes file = tlfix::Dicom(s);
    ASSERT_EQ(dicomDetect(file.data(), static_cast<int64_t>(file.size())), 0);
    txBitmap* b = Read(file);
    ASSERT_NE(b, nullptr) << errGetLastError();
    EXPECT_EQ(b->width, 3);
    EXPECT_EQ(b->height, 2);
    EXPECT_EQ(b->bits, c.bits);
    EXPECT_EQ(b->type, c.type);
    EXPECT_EQ(b->subtype, c.subtype);
    EXPECT_EQ(Level0(b), s.pixels);
    txFree(&b);
  }
}

TEST(DicomRead, LevelSizeIsThePixelElementsLength) {
  // Values have even lengths: a 3 x 1 grey image comes with a padding byte,
  // and the level holds all that the element holds.
  tlfix::DicomSpec s;
  s.rows = 1;
  s.pixels = tlfix::Pattern(4);
  txBitmap* b = Read(tlfix::Dicom(s));
  ASSERT_NE(b, nullptr) << errGetLastError();
  EXPECT_EQ(b->sizes[0], 4);
  EXPECT_EQ(Level0(b), s.pixels);
  txFree(&b);
}

TEST(DicomRead, RefusedFiles) {
  tlfix::DicomSpec noPixels;
  noPixels.withPixels = false;
  tlfix::DicomSpec shortPixels;
  shortPixels.pixels = tlfix::Pattern(5);
  // Enough bytes for one sample per pixel, not for the three the file names.
  tlfix::DicomSpec shortColour;
  shortColour.samples = 3;
  shortColour.pixels = tlfix::Pattern(2u * 3u);
  // R planes, then G, then B: reading them as interleaved pixels would give
  // wrong colours.
  tlfix::DicomSpec planes;
  planes.samples = 3;
  planes.planar = 1;
  planes.pixels = tlfix::Pattern(2u * 3u * 3u);
  tlfix::DicomSpec noSamples;
  noSamples.samples = 0;
  noSamples.pixels = tlfix::Pattern(6);
  Bytes encapsulated = tlfix::Dicom(noPixels);
  tlfix::DicomLong(encapsulated, 0x7FE0, 0x0010, "OB", Bytes{}, 0xFFFFFFFFu);
  Bytes implicitVr = tlfix::Dicom(noPixels);
  tlfix::Put16(implicitVr, 0x7FE0);
  tlfix::Put16(implicitVr, 0x0010);
  tlfix::Put32(implicitVr, 6);
  implicitVr.insert(implicitVr.end(), 6, 1);
  Bytes longValue = tlfix::Dicom(noPixels);  // a length past the end of the file
  tlfix::DicomLong(longValue, 0x0009, 0x0010, "UN", Bytes{1, 2}, 0x7FFFFFF0u);
  struct Case {
    const char* what;
    Bytes file;
    int code;
  };
  const Case cases[] = {
      {"no pixel element", tlfix::Dicom(noPixels), 1002},
      {"too few pixel bytes", tlfix::Dicom(shortPixels), 1002},
      {"too few pixel bytes for three samples (unsafe input)", tlfix::Dicom(shortColour), 1002},
      {"planar colour (plainly wrong result)", tlfix::Dicom(planes), 1004},
      {"no samples (unsafe input)", tlfix::Dicom(noSamples), 1004},
      {"encapsulated pixels", encapsulated, 1004},
      {"implicit VR", implicitVr, 1000},
      {"value beyond the end", longValue, 1002},
      {"preamble only", Bytes(131, 0), 1002},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Read(c.file), nullptr);
    EXPECT_EQ(errGetLastError(), c.code);
  }
}

TEST(DicomRead, EveryTruncationFails) {
  tlfix::DicomSpec s;
  s.undefinedSequence = true;
  s.pixels = tlfix::Pattern(6);
  Bytes file = tlfix::Dicom(s);
  for (size_t n = 0; n < file.size(); ++n) {
    tlfix::Exact e(file, n);
    txBitmap* b = dicomRead(e.data(), e.size());
    EXPECT_EQ(b, nullptr) << "length " << n;
    EXPECT_NE(errGetLastError(), 0) << "length " << n;
    if (b) txFree(&b);
  }
}

TEST(DicomDetect, PreambleAndMagic) {
  Bytes good(128, 0);
  tlfix::PutText(good, "DICM");
  Bytes dirty = good;
  dirty[5] = 1;
  tlfix::Exact g(good), d(dirty), s(good, 131);
  EXPECT_EQ(dicomDetect(g.data(), g.size()), 0);
  EXPECT_EQ(dicomDetect(d.data(), d.size()), 1000);
  EXPECT_EQ(dicomDetect(s.data(), s.size()), 1000);
}

}  // namespace
