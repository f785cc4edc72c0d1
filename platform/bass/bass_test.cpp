#include "platform/bass/bass.h"

#include <AL/al.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "platform/bass/output.h"
#include "testsupport/bass/ogg.h"
#include "testsupport/bass/wave.h"
#include "testsupport/testsupport.h"

namespace {

using namespace std::chrono_literals;

constexpr DWORD kFftIndividual = BASS_DATA_FFT512 | BASS_DATA_FFT_INDIVIDUAL;
constexpr QWORD kNoPosition = ~QWORD{0};
// What takes a fraction of a second on an idle machine; generous for a
// loaded one under the sanitizers.
constexpr std::chrono::milliseconds kDeadline = 10s;
// The bytes of a tenth of a second of 16-bit stereo at 44.1 kHz.
constexpr QWORD kTenthOfASecond = 176400 / 10;

// Waits until the stream's position has passed `bytes`.
bool PlayedPast(HSTREAM h, QWORD bytes) {
  return qt::WaitUntil([&] { return BASS_ChannelGetPosition(h) > bytes; }, kDeadline);
}

// The library keeps process-wide state (the device, the handle table), so
// every case runs in a child of its own; failures there fail the child.
void InChild(const std::function<void()>& body, int timeoutSeconds = 60) {
  const qt::ChildResult r = qt::RunInChild(
      [&] {
        body();
        std::fflush(stdout);
        if (::testing::Test::HasFailure()) _exit(1);
      },
      timeoutSeconds);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

void StartOnTheNullBackend() {
  setenv("ALSOFT_DRIVERS", "null", 1);
  ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
}

HSTREAM PlayFromMemory(const std::vector<uint8_t>& image) {
  const HSTREAM h = BASS_StreamCreateFile(TRUE, image.data(), 0, static_cast<DWORD>(image.size()),
                                          BASS_STREAM_PRESCAN);
  EXPECT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_TRUE(BASS_ChannelPlay(h, FALSE));
  return h;
}

// Polls until the stream is no longer active; returns the last position
// seen while it was, and checks that the position never went back.
QWORD WaitForTheEnd(HSTREAM h, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  QWORD last = 0;
  while (BASS_ChannelIsActive(h) != BASS_ACTIVE_STOPPED) {
    const QWORD pos = BASS_ChannelGetPosition(h);
    EXPECT_GE(pos, last);
    last = pos;
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "still active at position " << pos;
      break;
    }
    std::this_thread::sleep_for(5ms);
  }
  return last;
}

TEST(Bass, InitFailsWithoutADevice) {
  InChild([] {
    setenv("ALSOFT_DRIVERS", "no-such-backend", 1);
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    const auto image = bass_test::StereoTone(0.1, 440.0, 0.5f, 0.5f);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, image.data(), 0, static_cast<DWORD>(image.size()), 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_FALSE(BASS_Free());
  });
}

TEST(Bass, InitOnceOnTheDefaultDevice) {
  InChild([] {
    setenv("ALSOFT_DRIVERS", "null", 1);
    EXPECT_FALSE(BASS_Init(7, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    EXPECT_FALSE(BASS_Init(-1, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
  });
}

TEST(Bass, AStreamFromMemoryPlaysToItsEnd) {
  InChild([] {
    StartOnTheNullBackend();
    // One second at 44.1 kHz, then half a second at 22.05 kHz, which
    // reports as if it were 44.1 kHz.
    struct Case {
      long rate;
      double seconds;
      QWORD bytes;
    };
    for (const Case c : {Case{44100, 1.0, 176400}, Case{22050, 0.5, 88200}}) {
      const auto image = bass_test::StereoTone(c.seconds, 440.0, 0.5f, 0.5f, c.rate);
      const HSTREAM h = BASS_StreamCreateFile(TRUE, image.data(), 0, static_cast<DWORD>(image.size()),
                                              BASS_STREAM_PRESCAN);
      ASSERT_NE(h, 0u);
      EXPECT_EQ(BASS_ChannelGetPosition(h), 0u);
      EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
      ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
      EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
      const QWORD whilePlaying = WaitForTheEnd(h, 5s);
      EXPECT_LE(whilePlaying, c.bytes);
      EXPECT_EQ(BASS_ChannelGetPosition(h), c.bytes) << c.rate;
      EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
      // Nothing plays, so the spectrum is silent.
      std::vector<float> fft(512, -1.0f);
      BASS_ChannelGetData(h, fft.data(), kFftIndividual);
      for (float v : fft) EXPECT_EQ(v, 0.0f);
      EXPECT_TRUE(BASS_ChannelStop(h));
      EXPECT_TRUE(BASS_MusicFree(h) == FALSE);
      EXPECT_TRUE(BASS_StreamFree(h));
    }
  });
}

TEST(Bass, ALeftOnlyToneShowsInTheEvenValues) {
  InChild([] {
    StartOnTheNullBackend();
    const auto image = bass_test::StereoTone(1.0, 1000.0, 0.5f, 0.0f);
    const HSTREAM h = PlayFromMemory(image);
    ASSERT_TRUE(PlayedPast(h, kTenthOfASecond));
    std::vector<float> fft(512, -1.0f);
    BASS_ChannelGetData(h, fft.data(), kFftIndividual);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
    size_t peak = 0;
    for (size_t k = 1; k < 256; ++k)
      if (fft[2 * k] > fft[2 * peak]) peak = k;
    // 1000 Hz lies between bins 11 (947 Hz) and 12 (1034 Hz).
    EXPECT_GE(peak, 11u);
    EXPECT_LE(peak, 12u);
    EXPECT_GT(fft[2 * peak], 0.2f);
    for (size_t k = 0; k < 256; ++k) EXPECT_LT(fft[2 * k + 1], 0.01f) << "right bin " << k;
    // Mixed, the tone is there at half the left's strength.
    std::vector<float> mixed(256, -1.0f);
    BASS_ChannelGetData(h, mixed.data(), BASS_DATA_FFT512);
    EXPECT_GT(mixed[peak], 0.1f);
    EXPECT_LT(mixed[peak], fft[2 * peak]);
    EXPECT_TRUE(BASS_StreamFree(h));
  });
}

TEST(Bass, FreeDuringPlayReleasesTheImage) {
  InChild([] {
    StartOnTheNullBackend();
    auto image = std::make_unique<std::vector<uint8_t>>(bass_test::StereoTone(1.0, 440.0, 0.5f, 0.5f));
    const HSTREAM h = PlayFromMemory(*image);
    ASSERT_TRUE(PlayedPast(h, 0));
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
    EXPECT_TRUE(BASS_StreamFree(h));
    // Under AddressSanitizer any later read of the image would be caught.
    image.reset();
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
    EXPECT_EQ(BASS_ChannelGetPosition(h), kNoPosition);
    EXPECT_FALSE(BASS_StreamFree(h));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  });
}

TEST(Bass, StopHoldsThePositionAndPlayResumesOrRestarts) {
  InChild([] {
    StartOnTheNullBackend();
    const auto image = bass_test::StereoTone(2.0, 440.0, 0.5f, 0.5f);
    const HSTREAM h = PlayFromMemory(image);
    ASSERT_TRUE(PlayedPast(h, kTenthOfASecond));
    EXPECT_TRUE(BASS_ChannelStop(h));
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
    const QWORD stoppedAt = BASS_ChannelGetPosition(h);
    EXPECT_GT(stoppedAt, kTenthOfASecond);
    EXPECT_LT(stoppedAt, 176400u);
    // Held: a second stream plays a tenth of a second meanwhile, so the
    // mixer has run, and the stopped one has not moved.
    const HSTREAM other = PlayFromMemory(image);
    EXPECT_TRUE(PlayedPast(other, kTenthOfASecond));
    EXPECT_TRUE(BASS_StreamFree(other));
    EXPECT_EQ(BASS_ChannelGetPosition(h), stoppedAt);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    EXPECT_TRUE(PlayedPast(h, stoppedAt));
    ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
    EXPECT_LT(BASS_ChannelGetPosition(h), stoppedAt);
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_PLAYING);
  });
}

TEST(Bass, AnUnderrunRestartsThePlaybackWithoutLosingItsPlace) {
  InChild([] {
    StartOnTheNullBackend();
    const auto image = bass_test::StereoTone(1.0, 440.0, 0.5f, 0.5f);
    const HSTREAM h = PlayFromMemory(image);
    ASSERT_TRUE(PlayedPast(h, 0));
    // The queue holds well under the stall, so the source runs dry.
    bass::StallNextFeederForTesting(700);
    bool stalled = false;
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    DWORD state;
    while ((state = BASS_ChannelIsActive(h)) != BASS_ACTIVE_STOPPED &&
           std::chrono::steady_clock::now() < deadline) {
      if (state == BASS_ACTIVE_STALLED) stalled = true;
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(stalled);
    EXPECT_EQ(state, BASS_ACTIVE_STOPPED);
    // Every frame played once: neither skipped nor replayed.
    EXPECT_EQ(BASS_ChannelGetPosition(h), 176400u);
    // Joins the feeder, which ended with the stream: a thread left unjoined
    // at the child's exit is a leak to ThreadSanitizer.
    EXPECT_TRUE(BASS_StreamFree(h));
  });
}

TEST(Bass, VolumeIsClampedAndBecomesTheListenerGain) {
  InChild([] {
    EXPECT_EQ(BASS_GetVolume(), 100u);
    EXPECT_TRUE(BASS_SetVolume(30));  // kept until the device opens
    StartOnTheNullBackend();
    ALfloat gain = -1.0f;
    alGetListenerf(AL_GAIN, &gain);
    EXPECT_FLOAT_EQ(gain, 0.3f);
    struct Case {
      DWORD set;
      DWORD got;
    };
    for (const Case c : {Case{0, 0}, Case{100, 100}, Case{57, 57}, Case{250, 100},
                         Case{static_cast<DWORD>(-5), 0}}) {
      EXPECT_TRUE(BASS_SetVolume(c.set));
      EXPECT_EQ(BASS_GetVolume(), c.got) << c.set;
      alGetListenerf(AL_GAIN, &gain);
      EXPECT_FLOAT_EQ(gain, static_cast<float>(c.got) / 100.0f) << c.set;
    }
  });
}

TEST(Bass, NoStreamAndBadRequests) {
  InChild([] {
    StartOnTheNullBackend();
    std::vector<float> fft(512, -1.0f);
    for (DWORD h : {0u, 12345u}) {
      EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
      EXPECT_EQ(BASS_ChannelGetPosition(h), kNoPosition);
      EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
      EXPECT_FALSE(BASS_ChannelStop(h));
      EXPECT_FALSE(BASS_StreamFree(h));
      EXPECT_EQ(BASS_ChannelGetData(h, fft.data(), kFftIndividual), ~DWORD{0});
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
      for (float v : fft) EXPECT_EQ(v, 0.0f);
    }
    // Images that hold no Ogg Vorbis stream, or none at all.
    const std::vector<uint8_t> junk(4096, 0x4f);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, junk.data(), 0, static_cast<DWORD>(junk.size()), 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, nullptr, 0, 100, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, "music.ogg", 0, 0, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    // Only spectrum requests are served.
    const auto image = bass_test::StereoTone(0.2, 440.0, 0.5f, 0.5f);
    const HSTREAM h = BASS_StreamCreateFile(TRUE, image.data(), 0, static_cast<DWORD>(image.size()), 0);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(BASS_ChannelGetData(h, fft.data(), 2048), ~DWORD{0});
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_EQ(BASS_ChannelGetData(h, nullptr, kFftIndividual), ~DWORD{0});
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_TRUE(BASS_Free());
    EXPECT_EQ(BASS_ChannelIsActive(h), BASS_ACTIVE_STOPPED);
  });
}

TEST(Bass, TheWaveBackendWritesWhatPlayed) {
  qt::TempDir dir;
  const std::string wav = dir / "out.wav";
  const std::string conf = dir / "alsoft.conf";
  ASSERT_TRUE(qt::WriteFile(conf, "drivers=wave\n[wave]\nfile=" + wav + "\n"));
  InChild([&] {
    setenv("ALSOFT_CONF", conf.c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    const auto image = bass_test::StereoTone(0.5, 440.0, 0.5f, 0.0f);
    const HSTREAM h = PlayFromMemory(image);
    WaitForTheEnd(h, 5s);
    EXPECT_TRUE(BASS_Free());  // closes the file
  });
  const bass_test::WaveData w = bass_test::ReadWave(qt::ReadFile(wav));
  ASSERT_EQ(w.channels, 2);
  ASSERT_TRUE((w.isFloat && w.bits == 32) || (!w.isFloat && w.bits == 16)) << w.bits;
  const size_t frames = w.Frames();
  double peakLeft = 0, peakRight = 0;
  for (size_t i = 0; i < frames; ++i) {
    peakLeft = std::max(peakLeft, std::abs(w.At(i, 0)));
    peakRight = std::max(peakRight, std::abs(w.At(i, 1)));
  }
  EXPECT_GE(frames, 22050u);
  EXPECT_NEAR(peakLeft, 0.5, 0.1);
  EXPECT_LT(peakRight, 0.05);
  // What played is the tone, and only the tone.
  size_t start = 0;
  while (start < frames && std::abs(w.At(start, 0)) < 0.1) ++start;
  EXPECT_GT(bass_test::ToneShare(w, start + 1000, 11025, 440.0), 0.9);
  EXPECT_LT(bass_test::ToneShare(w, start + 1000, 11025, 1500.0), 0.1);
}

}  // namespace
