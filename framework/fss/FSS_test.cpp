// The sound device and music objects, heard through OpenAL Soft's wave
// writer: what a test played is in the file the writer leaves.
#include "framework/fss/FSS.h"

#include <AL/al.h>
#include <vorbis/codec.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/thread.h"
#include "testsupport/fss/fss.h"
#include "testsupport/bass/wave.h"
#include "testsupport/testsupport.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int32_t kStereo44100 = FSS_RATE_44100 | FSS_STEREO_SOURCE;
constexpr double kRate = 44100;
constexpr float kAmplitude = 0.5f;

// A folder with the wave writer's configuration; the sound device of a child
// started through Run writes its output to `out.wav` there.
class WaveOutput {
 public:
  WaveOutput() { qt::WriteFile(dir_ / "alsoft.conf", "drivers=wave\n[wave]\nfile=" + dir_ / "out.wav" + "\n"); }
  std::string operator/(const std::string& name) const { return dir_ / name; }

  // Runs the body in a child whose OpenAL plays into the file; checks failed
  // there fail the test.
  void Run(const std::function<void()>& body, int timeoutSeconds = 60) const {
    const std::string conf = dir_ / "alsoft.conf";
    const qt::ChildResult r = qt::RunInChild(
        [&] {
          setenv("ALSOFT_CONF", conf.c_str(), 1);
          unsetenv("ALSOFT_DRIVERS");
          SYS_ThreadInit();
          body();
          if (::testing::Test::HasFailure()) _exit(1);
        },
        timeoutSeconds);
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  }
  bass_test::WaveData Written() const { return bass_test::ReadWave(qt::ReadFile(dir_ / "out.wav")); }

 private:
  qt::TempDir dir_;
};

// What a failed call may leave behind.
struct Resources {
  size_t openFiles;
  std::vector<std::string> blocks;
  static Resources Now() { return {fsstest::OpenFiles(), fsstest::TrackedBlocks()}; }
  bool operator==(const Resources&) const = default;
};

// Where the left channel of an output sounds, in 5 ms windows.
struct Heard {
  double first = 0;    // seconds from the start of the output
  double last = 0;     // end of the last window that sounds
  double total = 0;    // seconds of windows that sound
  double longestGap = 0;  // longest silence between first and last
  double peak = 0;
};

Heard Listen(const bass_test::WaveData& w) {
  constexpr size_t kWindow = 220;
  Heard h;
  bool any = false;
  double gap = 0;
  for (size_t at = 0; at + kWindow <= w.Frames(); at += kWindow) {
    double peak = 0;
    for (size_t i = at; i < at + kWindow; ++i) peak = std::max(peak, std::abs(w.At(i, 0)));
    h.peak = std::max(h.peak, peak);
    const double start = static_cast<double>(at) / kRate, length = kWindow / kRate;
    if (peak > 0.02) {
      if (!any) h.first = start;
      any = true;
      h.last = start + length;
      h.total += length;
      h.longestGap = std::max(h.longestGap, gap);
      gap = 0;
    } else if (any) {
      gap += length;
    }
  }
  return h;
}

// Seconds from the start of the output to the first 20 ms window in which a
// tone of `hz` (a multiple of 50 Hz, so that tones of other such multiples
// do not leak into its window) makes up a fair share of the left channel;
// negative when it never does.
double Onset(const bass_test::WaveData& w, double hz) {
  constexpr size_t kWindow = 882;
  for (size_t at = 0; at + kWindow <= w.Frames(); at += kWindow)
    if (bass_test::ToneShare(w, at, kWindow, hz) > 0.15) return static_cast<double>(at) / kRate;
  return -1;
}

// Waits until the object reaches `state`; false when it does not in time.
bool WaitForState(FSS_Music_p music, int state, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (FSS_GetMusicState(music) != state) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(5ms);
  }
  return true;
}

// The source's OpenAL state.
ALint SourceState(FSS_Music_p music) {
  ALint state = 0;
  alGetSourcei(music->source, AL_SOURCE_STATE, &state);
  return state;
}

// What takes a fraction of a second on an idle machine; generous for a
// loaded one under the sanitizers.
constexpr std::chrono::milliseconds kDeadline = 10s;

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Opens the device and a music object on the file; null (and a failed
// check) when either fails.
FSS_Music_p Open(const std::string& file) {
  EXPECT_EQ(FSS_Init(kStereo44100), 0);
  FSS_Music_p music = FSS_NewMusic(FSS_MUSIC_VORBIS, file.c_str(), 0);
  EXPECT_NE(music, nullptr) << errGetLastError();
  return music;
}

void Close(FSS_Music_p music) {
  EXPECT_EQ(FSS_FreeMusic(music), 0);
  EXPECT_EQ(FSS_Shutdown(), 0);
}

// Plays a file to its end on a fresh device; checks every step.
void PlayToTheEnd(const std::string& file, std::chrono::milliseconds limit) {
  FSS_Music_p music = Open(file);
  ASSERT_NE(music, nullptr);
  ASSERT_EQ(FSS_PlayMusic(music), 0);
  EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, limit));
  Close(music);
}

TEST(FssDevice, ModeWords) {
  qt::ExpectPassesInChild([] {
    setenv("ALSOFT_DRIVERS", "null", 1);
    SYS_ThreadInit();
    struct Case {
      int32_t mode;
      int result;
    } cases[] = {
        {FSS_RATE_44100 | FSS_STEREO_SOURCE, 0},  {FSS_RATE_44100 | FSS_MONO_SOURCE, 0},
        {FSS_RATE_11025 | FSS_MONO_SOURCE, 0},    {FSS_RATE_96000 | FSS_STEREO_SOURCE, 0},
        {FSS_RATE_44100 | 0x300, -1},             {FSS_RATE_44100, -1},
        {0x07 | FSS_STEREO_SOURCE, -1},           {0x00 | FSS_STEREO_SOURCE, -1},
        {0xFF | FSS_MONO_SOURCE, -1},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(FSS_Init(c.mode), c.result) << std::hex << c.mode;
      EXPECT_EQ(errGetLastError(), c.result ? ERR_BADARG : 0) << std::hex << c.mode;
      if (c.result == 0) {
        // One device at a time: a second would lose the first and silence
        // the objects made on its context (a plainly wrong result).
        EXPECT_EQ(FSS_Init(c.mode), -1);
        EXPECT_EQ(errGetLastError(), ERR_BADARG);
      }
      EXPECT_EQ(FSS_Shutdown(), 0);
    }
  });
}

TEST(FssDevice, NoDeviceIsAFailureNotACrash) {
  qt::TempDir dir;
  const std::string file = dir / "tone.ogg";
  fsstest::WriteTone(file, 2, 44100, 0.2, 440, kAmplitude);
  qt::ExpectPassesInChild([&] {
    setenv("ALSOFT_DRIVERS", "no-such-backend", 1);
    SYS_ThreadInit();
    // A 0 here would be a failure reported as success.
    EXPECT_EQ(FSS_Init(kStereo44100), -1);
    EXPECT_EQ(errGetLastError(), ERR_CANTOPEN);
    // Without a device a music object cannot have a source.
    EXPECT_EQ(FSS_NewMusic(FSS_MUSIC_VORBIS, file.c_str(), 0), nullptr);
    EXPECT_EQ(errGetLastError(), ERR_CANTOPEN);
    EXPECT_EQ(FSS_Shutdown(), 0);
  });
}

TEST(FssMusic, RefusesWhatItCannotPlay) {
  qt::TempDir dir;
  fsstest::WriteTone(dir / "three.ogg", 3, 44100, 0.2, 440, kAmplitude);
  qt::WriteFile(dir / "text.ogg", "this is not an Ogg Vorbis stream\n");
  const std::string log = dir / "debug.log";
  qt::ExpectPassesInChild([&] {
    setenv("ALSOFT_DRIVERS", "null", 1);
    SYS_ThreadInit();
    SYS_DbgLogFile(log.c_str());
    SYS_DbgInit();  // the log's lock: players write to it too
    SYS_DbgSetFlag(SYS_DBG_ON);
    ASSERT_EQ(FSS_Init(kStereo44100), 0);
    const Resources before = Resources::Now();
    const std::string three = dir / "three.ogg", text = dir / "text.ogg", missing = dir / "missing.ogg";
    struct Case {
      int32_t type;
      const char* name;
      int32_t fromMemory;
      int code;
    } cases[] = {
        {FSS_MUSIC_VORBIS, three.c_str(), 1, ERR_NOTIMPL}, {1, three.c_str(), 0, ERR_BADARG},
        {FSS_MUSIC_VORBIS, three.c_str(), 0, ERR_BADARG},  {FSS_MUSIC_VORBIS, missing.c_str(), 0, ERR_NOTFOUND},
        {FSS_MUSIC_VORBIS, text.c_str(), 0, ERR_NOTFOUND}, {FSS_MUSIC_VORBIS, nullptr, 0, ERR_BADARG},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(FSS_NewMusic(c.type, c.name, c.fromMemory), nullptr) << (c.name ? c.name : "null");
      EXPECT_EQ(errGetLastError(), c.code) << (c.name ? c.name : "null");
      EXPECT_EQ(Resources::Now(), before) << (c.name ? c.name : "null");
    }
    EXPECT_EQ(FSS_Shutdown(), 0);
    const std::string written = qt::ReadFile(log);
    EXPECT_TRUE(qt::Contains(written, "]  ! Sorry, loading from memory not implemented.\n"));
    EXPECT_TRUE(qt::Contains(written, "] [FSS_NewMusic] too many channels (3)...\n"));
    EXPECT_TRUE(qt::Contains(written, "]  ! error when tried to loading vorbis file: " + missing + " -> 1\n"));
  });
}

TEST(FssMusic, NullObjects) {
  EXPECT_EQ(FSS_FreeMusic(nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  const std::vector<std::function<int64_t()>> calls = {
      [] { return FSS_PlayMusic(nullptr); },        [] { return FSS_StopMusic(nullptr); },
      [] { return FSS_PauseMusic(nullptr); },       [] { return FSS_GetMusicPos(nullptr); },
      [] { return FSS_GetMusicTime(nullptr); },     [] { return FSS_SetMusicPos(nullptr, 10); },
      [] { return FSS_SetMusicTime(nullptr, 10); }, [] { return FSS_GetMusicState(nullptr); },
      [] { return FSS_SetMusicLoop(nullptr, 1); },  [] { return FSS_GetMusicLoop(nullptr); },
      [] { return FSS_SetMusicVolume(nullptr, 0.5f); },
  };
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(calls[i](), -1) << i;
    EXPECT_EQ(errGetLastError(), ERR_BADARG) << i;
  }
  EXPECT_EQ(FSS_GetMusicVolume(nullptr), -1.0f);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

// Streams of any length play out whole, the end of the queue included, at
// the tone of the file: stopping at the last fill, or not starting a stream
// of three buffers or fewer, would lose audio.
TEST(FssPlayback, StreamsPlayToTheirEnd) {
  struct Case {
    int channels;
    long rate;
    double seconds;
    double hz;
  } cases[] = {
      {2, 44100, 0.5, 440},   // less than the four buffers hold
      {2, 44100, 3.0, 660},   // many refills
      {2, 44100, 0.2, 1000},  // less than one buffer
      {1, 22050, 0.5, 550},   // mono, resampled by the device
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.seconds);
    WaveOutput out;
    fsstest::WriteTone(out / "tone.ogg", c.channels, c.rate, c.seconds, c.hz, kAmplitude);
    out.Run([&] { PlayToTheEnd(out / "tone.ogg", std::chrono::milliseconds(static_cast<int>(c.seconds * 1000) + 3000)); });
    const bass_test::WaveData w = out.Written();
    const Heard h = Listen(w);
    EXPECT_NEAR(h.last - h.first, c.seconds, 0.02);
    EXPECT_LT(h.longestGap, 0.01);
    // A mono source is spread over both sides.
    EXPECT_NEAR(h.peak, c.channels == 2 ? kAmplitude : 0.3, 0.05);
    const size_t middle = static_cast<size_t>((h.first + c.seconds / 2 - 0.05) * kRate);
    EXPECT_GT(bass_test::ToneShare(w, middle, 4410, c.hz), 0.9);
  }
}

// A pending seek, by bytes or by time, is where the next fill reads from.
// A seek to 0 is no seek at all: the decoder stays where it is. A place
// the decoder refuses (before the start) is taken and leaves it there too.
TEST(FssPlayback, SeeksBeforePlaying) {
  struct Case {
    bool byTime;
    int64_t where;     // bytes or milliseconds
    bool playedFirst;  // the file has played from 1 s to its end already
    double heard;      // seconds of the file heard in all
  } cases[] = {
      {false, 44100 * 4, false, 1.0},  // byte position of 1 s
      {true, 1500, false, 0.5},
      {false, 0, true, 1.0},  // stays at the end: nothing more to hear
      {true, 0, true, 1.0},
      {false, -4, false, 2.0},  // refused by the decoder: from the start
      {true, -1, false, 2.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    WaveOutput out;
    fsstest::WriteTone(out / "tone.ogg", 2, 44100, 2.0, 440, kAmplitude);
    out.Run([&] {
      FSS_Music_p music = Open((out / "tone.ogg"));
      ASSERT_NE(music, nullptr);
      if (c.playedFirst) {
        ASSERT_EQ(FSS_SetMusicTime(music, 1000), 0);
        ASSERT_EQ(FSS_PlayMusic(music), 0);
        EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 4s));
        ASSERT_EQ(FSS_StopMusic(music), 0);
        ASSERT_EQ(FSS_GetMusicPos(music), 2 * 44100 * 4);
      }
      ASSERT_EQ(c.byTime ? FSS_SetMusicTime(music, static_cast<int32_t>(c.where)) : FSS_SetMusicPos(music, c.where), 0);
      EXPECT_EQ(errGetLastError(), 0);
      ASSERT_EQ(FSS_PlayMusic(music), 0);
      EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 5s));
      EXPECT_EQ(FSS_GetMusicTime(music), 2000);
      Close(music);
    });
    EXPECT_NEAR(Listen(out.Written()).total, c.heard, 0.03);
  }
}

TEST(FssPlayback, LoopsWithoutAGap) {
  WaveOutput out;
  fsstest::WriteTone(out / "tone.ogg", 2, 44100, 0.5, 440, kAmplitude);
  out.Run([&] {
    FSS_Music_p music = Open((out / "tone.ogg"));
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(FSS_SetMusicLoop(music, 1), 0);
    EXPECT_EQ(FSS_GetMusicLoop(music), 1);
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    std::this_thread::sleep_for(1700ms);
    EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PLAYING);
    Close(music);
  });
  const Heard h = Listen(out.Written());
  EXPECT_GT(h.last - h.first, 1.5);
  EXPECT_LT(h.longestGap, 0.01);
}

TEST(FssPlayback, PauseTogglesAndPlayResumes) {
  WaveOutput out;
  fsstest::WriteTone(out / "tone.ogg", 2, 44100, 1.0, 440, kAmplitude);
  const std::string log = out / "debug.log";
  out.Run([&] {
    SYS_DbgLogFile(log.c_str());
    SYS_DbgInit();  // the log's lock: players write to it too
    SYS_DbgSetFlag(SYS_DBG_ON);
    FSS_Music_p music = Open((out / "tone.ogg"));
    ASSERT_NE(music, nullptr);
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    ASSERT_EQ(FSS_PlayMusic(music), 0);  // already playing: no second player
    // A pause at once holds, even before the player has started the source
    // (judged by the source's state, it would start the music: a plainly
    // wrong result).
    ASSERT_EQ(FSS_PauseMusic(music), 0);
    std::this_thread::sleep_for(300ms);
    ALint source = 0;
    alGetSourcei(music->source, AL_SOURCE_STATE, &source);
    EXPECT_NE(source, AL_PLAYING);
    ASSERT_EQ(FSS_PauseMusic(music), 0);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(FSS_PauseMusic(music), 0);
    EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PAUSED);
    std::this_thread::sleep_for(400ms);
    ASSERT_EQ(FSS_PauseMusic(music), 0);  // resumes; the state stays "paused"
    EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PAUSED);
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(FSS_PauseMusic(music), 0);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(FSS_PlayMusic(music), 0);  // play after a pause resumes the same player
    EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PLAYING);
    EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 3s));
    // Played out: play starts again from the start.
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 3s));
    Close(music);
  });
  const Heard h = Listen(out.Written());
  EXPECT_NEAR(h.total, 2.0, 0.05);  // the file twice, nothing lost to the pauses
  EXPECT_GT(h.longestGap, 0.35);
  const std::string written = qt::ReadFile(log);
  size_t players = 0;
  for (size_t at = written.find("start playing..."); at != std::string::npos;
       at = written.find("start playing...", at + 1))
    ++players;
  EXPECT_EQ(players, 2u);
}

// Without a player a stop has nothing to end: the thread layer's code 10
// for the missing thread stays set, and the call still succeeds. A pause
// then only marks the state, also after the player has ended; the play
// after it starts a player, from the start once the stream has played out.
TEST(FssPlayback, StopAndPauseWithoutAPlayer) {
  WaveOutput out;
  fsstest::WriteTone(out / "tone.ogg", 2, 44100, 0.5, 440, kAmplitude);
  out.Run([&] {
    FSS_Music_p music = Open((out / "tone.ogg"));
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(FSS_StopMusic(music), 0);
    EXPECT_EQ(errGetLastError(), ERR_BADARG);
    EXPECT_EQ(FSS_PauseMusic(music), 0);
    EXPECT_EQ(errGetLastError(), 0);
    EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PAUSED);
    for (int round = 0; round < 2; ++round) {
      SCOPED_TRACE(round);
      ASSERT_EQ(FSS_PlayMusic(music), 0);
      EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PLAYING);
      EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 3s));
      EXPECT_EQ(FSS_PauseMusic(music), 0);
      EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PAUSED);
    }
    // The ended player is still attached: the stop ends it without a code.
    EXPECT_EQ(FSS_StopMusic(music), 0);
    EXPECT_EQ(errGetLastError(), 0);
    EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_STOPPED);
    Close(music);
  });
  EXPECT_NEAR(Listen(out.Written()).total, 1.0, 0.03);  // the file twice
}

TEST(FssPlayback, VolumeScalesTheOutput) {
  struct Case {
    float volume;
    double peak;
  } cases[] = {{1.0f, 0.5}, {0.5f, 0.25}, {0.0f, 0.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volume);
    WaveOutput out;
    fsstest::WriteTone(out / "tone.ogg", 2, 44100, 0.5, 440, kAmplitude);
    out.Run([&] {
      FSS_Music_p music = Open((out / "tone.ogg"));
      ASSERT_NE(music, nullptr);
      ASSERT_EQ(FSS_SetMusicVolume(music, c.volume), 0);
      // Out of range: refused, the gain stays.
      EXPECT_EQ(FSS_SetMusicVolume(music, 1.5f), -1);
      EXPECT_EQ(errGetLastError(), ERR_BADARG);
      EXPECT_EQ(FSS_SetMusicVolume(music, -0.1f), -1);
      EXPECT_EQ(FSS_SetMusicVolume(music, NAN), -1);
      EXPECT_FLOAT_EQ(FSS_GetMusicVolume(music), c.volume);
      ASSERT_EQ(FSS_PlayMusic(music), 0);
      EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 3s));
      Close(music);
    });
    EXPECT_NEAR(Listen(out.Written()).peak, c.peak, 0.03);
  }
}

TEST(FssPlayback, EightObjectsAtOnce) {
  WaveOutput out;
  for (int i = 0; i < 8; ++i)
    fsstest::WriteTone(out / ("tone" + std::to_string(i) + ".ogg"), 2, 44100, 0.5 + 0.1 * i, 300 + 100 * i, 0.1f);
  out.Run([&] {
    ASSERT_EQ(FSS_Init(kStereo44100), 0);
    std::vector<FSS_Music_p> music;
    for (int i = 0; i < 8; ++i) {
      music.push_back(FSS_NewMusic(FSS_MUSIC_VORBIS, (out / ("tone" + std::to_string(i) + ".ogg")).c_str(), 0));
      ASSERT_NE(music.back(), nullptr) << i;
    }
    for (FSS_Music_p m : music) ASSERT_EQ(FSS_PlayMusic(m), 0);
    // Files open and close on this thread while the players read theirs.
    for (int i = 0; i < 20; ++i) {
      FSS_Music_p other = FSS_NewMusic(FSS_MUSIC_VORBIS, (out / "tone0.ogg").c_str(), 0);
      ASSERT_NE(other, nullptr);
      FSS_FreeMusic(other);
    }
    for (FSS_Music_p m : music) EXPECT_TRUE(WaitForState(m, FSS_STATE_ENDED, 4s));
    for (FSS_Music_p m : music) FSS_FreeMusic(m);
    FSS_Shutdown();
  });
  const bass_test::WaveData w = out.Written();
  const Heard h = Listen(w);
  // The longest of them plays whole, and no tone waited for another to end:
  // the longest and the shortest in turn would sound for 1.7 s.
  EXPECT_GT(h.last - h.first, 1.19);
  EXPECT_LT(h.last - h.first, 1.7);
  // The players start together. They start one after another, and how far
  // apart depends on the scheduler (under the thread sanitizer on a busy
  // machine more than 0.1 s, on one with four times as many jobs as cores up
  // to 0.5 s), so the bound is the shortest tone: players that started in
  // turn would be at least that far apart.
  double earliest = 1e9, latest = -1;
  for (int i = 0; i < 8; ++i) {
    const double onset = Onset(w, 300 + 100 * i);
    EXPECT_GE(onset, 0) << "tone " << i << " never sounds";
    earliest = std::min(earliest, onset);
    latest = std::max(latest, onset);
  }
  EXPECT_LE(latest - earliest, 0.5);
  // Sounding together, several tones add up beyond the amplitude of one.
  EXPECT_GT(h.peak, 0.2);
}

// Stop, pause and free act at once and are done when they return: the
// player has gone, the source is silent. Their latency goal is measured by
// bench/fss_bench; here they only must not wait for the music.
TEST(FssPlayback, StopPauseAndFreeArePrompt) {
  WaveOutput out;
  fsstest::WriteTone(out / "tone.ogg", 2, 44100, 5.0, 440, kAmplitude);
  out.Run([&] {
    FSS_Music_p music = Open((out / "tone.ogg"));
    ASSERT_NE(music, nullptr);
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    ASSERT_TRUE(qt::WaitUntil([&] { return SourceState(music) == AL_PLAYING && FSS_GetMusicPos(music) > 0; }, kDeadline));
    auto start = Clock::now();
    ASSERT_EQ(FSS_StopMusic(music), 0);
    const double stop = Milliseconds(Clock::now() - start);
    EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_STOPPED);
    ALint sourceState = 0;
    alGetSourcei(music->source, AL_SOURCE_STATE, &sourceState);
    EXPECT_NE(sourceState, AL_PLAYING);
    ALint queued = -1;
    alGetSourcei(music->source, AL_BUFFERS_QUEUED, &queued);
    EXPECT_EQ(queued, 0);
    // Stop keeps the position: play goes on from there.
    const int64_t position = FSS_GetMusicPos(music);
    EXPECT_GT(position, 0);
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    EXPECT_TRUE(qt::WaitUntil([&] { return FSS_GetMusicPos(music) > position; }, kDeadline));
    start = Clock::now();
    ASSERT_EQ(FSS_PauseMusic(music), 0);
    const double pause = Milliseconds(Clock::now() - start);
    // Played again after a stop and paused at once: held, then resumed.
    ASSERT_EQ(FSS_StopMusic(music), 0);
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    ASSERT_EQ(FSS_PauseMusic(music), 0);
    std::this_thread::sleep_for(200ms);
    alGetSourcei(music->source, AL_SOURCE_STATE, &sourceState);
    EXPECT_NE(sourceState, AL_PLAYING);
    ASSERT_EQ(FSS_PauseMusic(music), 0);
    EXPECT_TRUE(qt::WaitUntil([&] { return SourceState(music) == AL_PLAYING; }, kDeadline));
    start = Clock::now();
    ASSERT_EQ(FSS_FreeMusic(music), 0);
    const double free = Milliseconds(Clock::now() - start);
    std::printf("stop %.1f ms, pause %.1f ms, free %.1f ms\n", stop, pause, free);
    EXPECT_LT(stop, 1000);
    EXPECT_LT(pause, 1000);
    EXPECT_LT(free, 1000);
    FSS_Shutdown();
  });
  const Heard h = Listen(out.Written());
  EXPECT_LT(h.total, 1.5);
}

// A player that was held up longer than its queue lasts starts the source
// again, and nothing of the stream is skipped (left stopped, the rest of the
// stream would be lost audio).
TEST(FssPlayback, RestartsAfterAnUnderrun) {
  WaveOutput out;
  fsstest::WriteTone(out / "tone.ogg", 2, 44100, 3.0, 440, kAmplitude);
  out.Run([&] {
    FSS_Music_p music = Open((out / "tone.ogg"));
    ASSERT_NE(music, nullptr);
    static FSS_Fill_t fill = music->fill;
    static int fills = 0;
    music->fill = [](FSS_Music_p m, uint32_t buffer) {
      if (++fills == 6) std::this_thread::sleep_for(1200ms);
      return fill(m, buffer);
    };
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 8s));
    Close(music);
  });
  const Heard h = Listen(out.Written());
  EXPECT_NEAR(h.total, 3.0, 0.05);
  EXPECT_GT(h.longestGap, 0.3);
}

// PCM bytes a stream gives before its first gap.
int64_t BytesBeforeTheGap(const std::string& file) {
  Vorbis_t* stream = Vorbis_Open(file.c_str());
  if (!stream) return -1;
  std::vector<char> block(4096);
  int64_t bytes = 0;
  for (int32_t n; (n = Vorbis_Read(stream, block.data(), 4096)) != OV_HOLE; bytes += n)
    if (n <= 0) {
      bytes = -1;
      break;
    }
  Vorbis_Close(stream);
  return bytes;
}

// A gap in the data is skipped, not taken for the end of the stream (or,
// looping, for a reason to rewind): the rest of the stream would be lost
// audio. The player starts one block before the
// gap, so that the gap is the first thing its second fill meets.
TEST(FssPlayback, PlaysOnAfterAGap) {
  WaveOutput out;
  // Noise takes many pages, so one page is a small part of the stream.
  std::mt19937 random(7);
  std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
  const fsstest::Bytes whole = bass_test::EncodeOgg(2, 44100, 4 * 44100, [&](long, int) { return noise(random); });
  const std::vector<fsstest::OggPage> pages = fsstest::OggPages(whole);
  ASSERT_GT(pages.size(), 10u);
  fsstest::WriteBytes(out / "gap.ogg", fsstest::WithoutPage(whole, pages[pages.size() / 2]));
  const int64_t gap = BytesBeforeTheGap(out / "gap.ogg");
  ASSERT_GT(gap, 2 * FSS_MUSIC_BUFFER_SIZE);
  out.Run([&] {
    for (int loop : {1, 0}) {
      FSS_Music_p music = Open((out / "gap.ogg"));
      ASSERT_NE(music, nullptr);
      FSS_SetMusicLoop(music, loop);
      FSS_SetMusicPos(music, gap - FSS_MUSIC_BUFFER_SIZE);
      ASSERT_EQ(FSS_PlayMusic(music), 0);
      if (loop) {
        EXPECT_TRUE(qt::WaitUntil([&] { return FSS_GetMusicPos(music) > gap; }, kDeadline));  // past the gap, not rewound
        EXPECT_EQ(FSS_GetMusicState(music), FSS_STATE_PLAYING);
      } else {
        EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 5s));
      }
      Close(music);
    }
  });
  // Played on to the end of the stream, not a block and stop.
  EXPECT_GT(Listen(out.Written()).total, 1.0);
}

// A looping stream with nothing in it ends instead of rewinding for ever.
TEST(FssPlayback, AnEmptyLoopEnds) {
  WaveOutput out;
  fsstest::WriteTone(out / "empty.ogg", 2, 44100, 0.0, 440, kAmplitude);
  out.Run([&] {
    FSS_Music_p music = Open((out / "empty.ogg"));
    ASSERT_NE(music, nullptr);
    FSS_SetMusicLoop(music, 1);
    ASSERT_EQ(FSS_PlayMusic(music), 0);
    EXPECT_TRUE(WaitForState(music, FSS_STATE_ENDED, 1s));
    Close(music);
  });
}

}  // namespace
