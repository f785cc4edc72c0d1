// How long the owner of a playing music object waits for stop, pause and
// free: the goal is under 150 ms each. The player polls its stop request
// once per idle round (its 25 ms own-record look-up plus a 1 ms sleep), and a
// stop that arrives during a refill waits for the refill.
//
// Runs on OpenAL Soft's null backend: the mixing clock runs as with a card.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "framework/base/thread.h"
#include "framework/fss/FSS.h"
#include "testsupport/bass/ogg.h"

namespace {

using Clock = std::chrono::steady_clock;

// A 20 s stereo tone in a temporary file, written once.
const std::string& ToneFile() {
  static const std::string path = [] {
    std::string p = "/tmp/fss_bench_XXXXXX";
    const int fd = mkstemp(p.data());
    const auto ogg = bass_test::StereoTone(20.0, 440.0, 0.5f, 0.5f);
    if (fd < 0 || write(fd, ogg.data(), ogg.size()) != static_cast<ssize_t>(ogg.size())) std::abort();
    close(fd);
    return p;
  }();
  return path;
}

struct Device {
  Device() {
    setenv("ALSOFT_DRIVERS", "null", 1);
    SYS_ThreadInit();
    if (FSS_Init(FSS_RATE_44100 | FSS_STEREO_SOURCE) != 0) std::abort();
  }
  ~Device() { FSS_Shutdown(); }
};

// Times `call` on an object that has played for a while.
template <class Call>
void Measure(benchmark::State& state, Call call, bool freesTheObject) {
  Device device;
  FSS_Music_p music = nullptr;
  double worst = 0;
  for (auto _ : state) {
    if (!music) music = FSS_NewMusic(FSS_MUSIC_VORBIS, ToneFile().c_str(), 0);
    FSS_PlayMusic(music);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    const auto start = Clock::now();
    call(music);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    worst = std::max(worst, seconds * 1000);
    if (freesTheObject) music = nullptr;
    else FSS_StopMusic(music);
  }
  if (music) FSS_FreeMusic(music);
  state.counters["worst_ms"] = worst;
}

void Stop(benchmark::State& state) { Measure(state, [](FSS_Music_p m) { FSS_StopMusic(m); }, false); }
void Pause(benchmark::State& state) { Measure(state, [](FSS_Music_p m) { FSS_PauseMusic(m); }, false); }
void Free(benchmark::State& state) { Measure(state, [](FSS_Music_p m) { FSS_FreeMusic(m); }, true); }

}  // namespace

BENCHMARK(Stop)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(Pause)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(Free)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);
