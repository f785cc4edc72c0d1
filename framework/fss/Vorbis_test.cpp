#include "framework/fss/Vorbis.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "framework/base/file-pack.h"
#include "framework/base/log.h"
#include "framework/base/mem.h"
#include "testsupport/fss/fss.h"
#include "testsupport/testsupport.h"

namespace {

using fsstest::Bytes;

// Encoding takes a while under the sanitizers: each image is made once.
const Bytes& Stereo10s() {
  static const Bytes ogg = fsstest::ToneOgg(2, 44100, 10.0, 440.0, 0.5f);
  return ogg;
}
const Bytes& Mono1s() {
  static const Bytes ogg = fsstest::ToneOgg(1, 22050, 1.0, 440.0, 0.5f);
  return ogg;
}

// A stream and the tracked block that holds its whole PCM, released at the
// end of the scope.
struct Opened {
  explicit Opened(const std::string& name) : stream(Vorbis_Open(name.c_str())) {}
  ~Opened() {
    if (stream) Vorbis_Close(stream);
  }
  Opened(const Opened&) = delete;
  Opened& operator=(const Opened&) = delete;
  Vorbis_t* stream;
};

Bytes DecodeAll(Vorbis_t* stream) {
  void* pcm = Vorbis_DecodeAll(stream);
  if (!pcm) return {};
  const auto* bytes = static_cast<const uint8_t*>(pcm);
  Bytes out(bytes, bytes + std::max<int64_t>(stream->size, 1));
  SYS_MemFree(pcm);
  return out;
}

// Reads the stream to its end through Vorbis_Read; counts the gaps met.
Bytes ReadAll(Vorbis_t* stream, int* holes = nullptr) {
  Bytes out;
  char block[4096];
  for (;;) {
    const int32_t got = Vorbis_Read(stream, block, sizeof block);
    if (got == OV_HOLE && holes) ++*holes;
    if (got == OV_HOLE) continue;
    if (got <= 0) break;
    out.insert(out.end(), block, block + got);
  }
  return out;
}

class VorbisTest : public ::testing::Test {
 protected:
  qt::TempDir dir;
  std::string Write(const std::string& name, const Bytes& bytes) {
    EXPECT_TRUE(fsstest::WriteBytes(dir / name, bytes));
    return dir / name;
  }
};

// What the header says, and the PCM length the whole decode really gives.
TEST_F(VorbisTest, ReportsChannelsRateAndSize) {
  struct Case {
    const char* what;
    Bytes ogg;
    int32_t channels, rate;
    int64_t size;
  } cases[] = {
      {"mono 22050 Hz 1 s", Mono1s(), 1, 22050, 44100},
      {"stereo 44100 Hz 10 s", Stereo10s(), 2, 44100, 1764000},
      {"stereo 44100 Hz 0.5 s", fsstest::ToneOgg(2, 44100, 0.5, 440.0, 0.5f), 2, 44100, 88200},
      {"three channels 0.5 s", fsstest::ToneOgg(3, 44100, 0.5, 440.0, 0.5f), 3, 44100, 132300},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Opened s(Write("tone.ogg", c.ogg));
    ASSERT_NE(s.stream, nullptr) << errGetLastError();
    EXPECT_EQ(errGetLastError(), 0);
    EXPECT_EQ(s.stream->channels, c.channels);
    EXPECT_EQ(s.stream->rate, c.rate);
    EXPECT_EQ(s.stream->size, c.size);
    EXPECT_EQ(Vorbis_GetSize(s.stream), c.size);
    EXPECT_EQ(Vorbis_Tell(s.stream), 0);
    Bytes pcm = DecodeAll(s.stream);
    EXPECT_EQ(Vorbis_Tell(s.stream), c.size);
    // The tone is there: full scale is 32767, the amplitude half of it.
    int peak = 0;
    for (size_t i = 0; i + 1 < pcm.size(); i += 2) peak = std::max(peak, std::abs(int16_t(pcm[i] | pcm[i + 1] << 8)));
    EXPECT_NEAR(peak, 16384, 1200);
  }
}

// An open stream is described in the log: its name, channels, rate and
// PCM size.
TEST_F(VorbisTest, LogsTheStreamItOpens) {
  const std::string name = Write("stereo.ogg", Stereo10s());
  const std::string log = dir / "debug.log";
  qt::ChildResult r = qt::RunInChild([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgSetFlag(SYS_DBG_ON);
    Opened s(name);
    CHILD_CHECK(s.stream != nullptr);
  });
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.err, "");
  std::vector<std::string> lines;
  for (const std::string& line : qt::SplitLines(qt::ReadFile(log)))
    if (line.rfind("[vorbis]", 0) == 0) lines.push_back(line);
  ASSERT_EQ(lines.size(), 4u);
  const std::string at = "[vorbis][Vorbis.cpp:";
  const std::vector<std::string> texts = {"stream: " + name, " - channels: 2", " - rate: 44100Hz",
                                          " - size: 1764000 bytes"};
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].rfind(at, 0), 0u) << lines[i];
    EXPECT_TRUE(lines[i].ends_with(":Vorbis_Open()] " + texts[i])) << lines[i];
  }
}

// A byte position seeks to the sample that holds it (whole samples of all
// channels); a time seeks to that time.
TEST_F(VorbisTest, SeeksToTheSampleOfAPosition) {
  const std::string stereo = Write("stereo.ogg", Stereo10s());
  const std::string mono = Write("mono.ogg", Mono1s());
  struct Case {
    const std::string& name;
    int64_t byte;
    int64_t tell;
  } cases[] = {{stereo, 4, 4}, {stereo, 3, 0}, {stereo, 7, 4}, {stereo, 400004, 400004}, {mono, 3, 2}, {mono, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + " byte " + std::to_string(c.byte));
    Opened s(c.name);
    ASSERT_NE(s.stream, nullptr);
    EXPECT_EQ(Vorbis_Seek(s.stream, c.byte), 0);
    EXPECT_EQ(Vorbis_Tell(s.stream), c.tell);
  }
  Opened s(stereo);
  ASSERT_NE(s.stream, nullptr);
  EXPECT_EQ(Vorbis_SeekTime(s.stream, 1500), 0);
  EXPECT_DOUBLE_EQ(Vorbis_TellTime(s.stream), 1.5);
  EXPECT_EQ(Vorbis_Tell(s.stream), 66150 * 4);
  // Before the start and past the end are refused by the decoder, which
  // stays where it was.
  EXPECT_EQ(Vorbis_Seek(s.stream, -4), OV_EINVAL);
  EXPECT_EQ(Vorbis_Seek(s.stream, s.stream->size + 4), OV_EINVAL);
  EXPECT_EQ(Vorbis_SeekTime(s.stream, -1), OV_EINVAL);
  EXPECT_EQ(Vorbis_Tell(s.stream), 66150 * 4);
}

// A whole decode from a position gives the rest of the stream, the same
// bytes a decode from the start has there, and zeros after them.
TEST_F(VorbisTest, DecodeAllFromAPositionFillsTheRestWithZeros) {
  Opened s(Write("stereo.ogg", Stereo10s()));
  ASSERT_NE(s.stream, nullptr);
  const Bytes whole = DecodeAll(s.stream);
  const int64_t position = 441000 * 2;  // 5 s
  ASSERT_EQ(Vorbis_Seek(s.stream, position), 0);
  const Bytes rest = DecodeAll(s.stream);
  ASSERT_EQ(Vorbis_Tell(s.stream), s.stream->size);
  const int64_t decoded = s.stream->size - position;
  ASSERT_EQ(rest.size(), whole.size());
  EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + decoded, whole.begin() + position));
  EXPECT_TRUE(std::all_of(rest.begin() + decoded, rest.end(), [](uint8_t b) { return b == 0; }));
  // At the end nothing is left to decode.
  const Bytes none = DecodeAll(s.stream);
  EXPECT_EQ(none.size(), whole.size());
  EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](uint8_t b) { return b == 0; }));
}

// The stream reads the same from a loose file, a mounted folder and a packed
// archive (stored plainly or compressed): the file layer's handlers all
// seek and read alike for the decoder.
TEST_F(VorbisTest, DecodesAlikeFromEveryFileHandler) {
  qt::ExpectPassesInChild([&] {
    qt::ChangeDir cd(dir.path());
    ASSERT_EQ(mkdir("folder", 0777), 0);
    ASSERT_TRUE(fsstest::WriteBytes("folder/inside.ogg", Stereo10s()));
    ASSERT_TRUE(fsstest::WriteBytes("loose.ogg", Stereo10s()));
    ASSERT_TRUE(fsstest::WriteArchive("music.dat", {{"plain.ogg", fsstest::AsText(Stereo10s()), false},
                                                    {"music\\packed.ogg", fsstest::AsText(Stereo10s()), true}}));
    ASSERT_EQ(SYS_FilePackOpen("folder"), 0);
    ASSERT_EQ(SYS_FilePackOpen("music.dat"), 0);

    Opened loose("loose.ogg");
    ASSERT_NE(loose.stream, nullptr);
    const Bytes expected = DecodeAll(loose.stream);
    ASSERT_EQ(expected.size(), 1764000u);
    struct Case {
      const char* name;
      const SYS_FileHandler_t* handler;
    } cases[] = {{"inside.ogg", &SYS_FileHandlerDir},
                 {"plain.ogg", &SYS_FileHandlerPack},
                 {"music\\packed.ogg", &SYS_FileHandlerPack}};
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      Opened s(c.name);
      ASSERT_NE(s.stream, nullptr) << errGetLastError();
      EXPECT_EQ(s.stream->file->handler, c.handler);
      EXPECT_EQ(s.stream->size, 1764000);
      EXPECT_TRUE(DecodeAll(s.stream) == expected);
      // A seek goes back through the handler's seek.
      ASSERT_EQ(Vorbis_Seek(s.stream, 1000000), 0);
      const Bytes tail = ReadAll(s.stream);
      EXPECT_TRUE(std::equal(tail.begin(), tail.end(), expected.begin() + 1000000, expected.end()));
    }
    SYS_PackUnmountAll();
  });
}

// Whatever fails to open leaves no file open and no block taken.
TEST_F(VorbisTest, RefusesWhatIsNoStream) {
  const Bytes& ogg = Stereo10s();
  const std::vector<fsstest::OggPage> pages = fsstest::OggPages(ogg);
  ASSERT_GT(pages.size(), 2u);
  const std::string text = Write("notes.txt", Bytes{'j', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '\n'});
  const std::string firstPage = Write("first.ogg", Bytes(ogg.begin(), ogg.begin() + pages[1].offset));
  const std::string empty = Write("empty.ogg", Bytes{});
  const std::string missing = dir / "missing.ogg";
  // The first open takes what the libraries keep for good: count after it.
  { Opened warm(Write("warm.ogg", Mono1s())); }
  const size_t files = fsstest::OpenFiles();
  const size_t blocks = fsstest::TrackedBlocks().size();
  struct Case {
    const char* what;
    const char* name;
    int code;
  } cases[] = {{"text", text.c_str(), ERR_NOTFOUND},
               {"the first page only", firstPage.c_str(), ERR_NOTFOUND},
               {"empty", empty.c_str(), ERR_NOTFOUND},
               {"missing", missing.c_str(), ERR_NOTFOUND},
               {"a folder", dir.path().c_str(), ERR_NOTFOUND},
               {"null", nullptr, ERR_BADARG}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Vorbis_Open(c.name), nullptr);
    EXPECT_EQ(errGetLastError(), c.code);
  }
  EXPECT_EQ(fsstest::OpenFiles(), files);
  EXPECT_EQ(fsstest::TrackedBlocks().size(), blocks);
}

// A file cut after its headers is an empty stream, whose whole decode is a
// block of one zero byte (a refused empty block would report out of memory:
// a plainly wrong result); one cut in the middle of its audio has the
// length its last whole page tells, and decodes to it.
TEST_F(VorbisTest, ACutFileEndsEarly) {
  const Bytes& ogg = Stereo10s();
  const std::vector<fsstest::OggPage> pages = fsstest::OggPages(ogg);
  ASSERT_GT(pages.size(), 4u);
  const fsstest::OggPage& middle = pages[pages.size() / 2];
  struct Case {
    const char* what;
    size_t length;
    bool empty;
  } cases[] = {{"after the headers", pages[2].offset, true},
               {"in the middle", middle.offset + middle.length / 2, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Opened s(Write("cut.ogg", Bytes(ogg.begin(), ogg.begin() + static_cast<std::ptrdiff_t>(c.length))));
    ASSERT_NE(s.stream, nullptr);
    EXPECT_EQ(s.stream->size == 0, c.empty);
    EXPECT_LT(s.stream->size, 1764000);
    EXPECT_EQ(DecodeAll(s.stream).size(), std::max<size_t>(s.stream->size, 1));
    EXPECT_EQ(Vorbis_Tell(s.stream), s.stream->size);
  }
}

// A page missing from the middle is a gap that the decoder reports once and
// then reads past; a whole decode passes over it and stays in its buffer.
TEST_F(VorbisTest, PassesOverAGapInTheData) {
  const Bytes& ogg = Stereo10s();
  const std::vector<fsstest::OggPage> pages = fsstest::OggPages(ogg);
  const Bytes gapped = fsstest::WithoutPage(ogg, pages[pages.size() / 2]);
  const std::string name = Write("gap.ogg", gapped);
  {
    Opened s(name);
    ASSERT_NE(s.stream, nullptr);
    int holes = 0;
    const Bytes pcm = ReadAll(s.stream, &holes);
    EXPECT_EQ(holes, 1);
    EXPECT_GT(pcm.size(), 1764000u / 2);
  }
  Opened s(name);
  ASSERT_NE(s.stream, nullptr);
  // Decoded on to the end: sound past the gap in the middle.
  const Bytes pcm = DecodeAll(s.stream);
  EXPECT_EQ(Vorbis_Tell(s.stream), s.stream->size);
  const auto last = std::find_if(pcm.rbegin(), pcm.rend(), [](uint8_t b) { return b != 0; });
  EXPECT_GT(pcm.rend() - last, s.stream->size / 2);
}

// The archive behind an open stream shrinks: the file layer's reads fail,
// and the stream ends where its data could no longer be read.
TEST_F(VorbisTest, AFailedReadEndsTheStream) {
  qt::ExpectPassesInChild([&] {
    qt::ChangeDir cd(dir.path());
    // Noise packs poorly: the stream is far larger than the archive
    // handler's read window, so the decoder has to come back to the file.
    uint32_t seed = 1;
    const Bytes noise = bass_test::EncodeOgg(2, 44100, 132300, [&](long, int) {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
    });
    ASSERT_GT(noise.size(), 128u * 1024);
    ASSERT_TRUE(fsstest::WriteArchive("music.dat", {{"noise.ogg", fsstest::AsText(noise), false}}));
    ASSERT_EQ(SYS_FilePackOpen("music.dat"), 0);
    Opened s("noise.ogg");
    ASSERT_NE(s.stream, nullptr);
    ASSERT_EQ(truncate("music.dat", 16 * 1024), 0);
    char block[4096];
    int32_t got = 0;
    int64_t total = 0;
    while ((got = Vorbis_Read(s.stream, block, sizeof block)) > 0) total += got;
    EXPECT_LE(got, 0);
    EXPECT_GT(total, 0);
    EXPECT_LT(total, s.stream->size / 2);
    SYS_PackUnmountAll();
  });
}

// A seek or read that the decoder cannot finish leaves the position
// unknown: the stream says so instead of looking it up outside the
// decoder's tables (a crash). The only audio page fails its checksum.
TEST_F(VorbisTest, ALostPositionIsUnknown) {
  Bytes ogg = fsstest::ToneOgg(2, 44100, 0.3, 660.0, 0.5f);
  const std::vector<fsstest::OggPage> pages = fsstest::OggPages(ogg);
  ASSERT_EQ(pages.size(), 3u);  // identification; comment and codebooks; audio
  ogg[pages[2].offset + pages[2].length - 1] ^= 0x55;
  Opened s(Write("damaged.ogg", ogg));
  ASSERT_NE(s.stream, nullptr);
  EXPECT_LT(Vorbis_Seek(s.stream, 0), 0);
  char block[64];
  EXPECT_LE(Vorbis_Read(s.stream, block, sizeof block), 0);
  EXPECT_EQ(Vorbis_Tell(s.stream), -1);
  EXPECT_EQ(Vorbis_TellTime(s.stream), -1.0);
}

// A null stream is refused by every call with code 10; so are bad read
// arguments.
TEST_F(VorbisTest, RefusesANullStream) {
  errClear();
  char block[8];
  EXPECT_EQ(Vorbis_Read(nullptr, block, sizeof block), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(Vorbis_Close(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(Vorbis_DecodeAll(nullptr), nullptr);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(Vorbis_Tell(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(Vorbis_TellTime(nullptr), -1.0);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(Vorbis_GetSize(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(Vorbis_Seek(nullptr, 0), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(Vorbis_SeekTime(nullptr, 0), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);

  Opened s(Write("mono.ogg", Mono1s()));
  ASSERT_NE(s.stream, nullptr);
  EXPECT_EQ(Vorbis_Read(s.stream, nullptr, 8), -1);
  EXPECT_EQ(Vorbis_Read(s.stream, block, -1), -1);
  EXPECT_EQ(Vorbis_Read(s.stream, block, 0), 0);
  EXPECT_EQ(Vorbis_Tell(s.stream), 0);
}

// The owner asks for positions while another thread decodes: each answer
// is a position the decoder has passed, never one it went back from.
TEST_F(VorbisTest, TellsWhileAnotherThreadReads) {
  Opened s(Write("stereo.ogg", Stereo10s()));
  ASSERT_NE(s.stream, nullptr);
  std::atomic<bool> done{false};
  std::thread reader([&] {
    ReadAll(s.stream);
    done = true;
  });
  int64_t last = 0;
  bool ordered = true;
  while (!done) {
    const int64_t at = Vorbis_Tell(s.stream);
    const double seconds = Vorbis_TellTime(s.stream);
    ordered = ordered && at >= last && at <= s.stream->size && seconds >= 0.0 && seconds <= 10.0;
    last = at;
  }
  reader.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(Vorbis_Tell(s.stream), s.stream->size);
}

}  // namespace
