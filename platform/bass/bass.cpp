// The audio library's entry points: the handle table, the error code and
// the global volume; decoding, output and the spectrum are their own
// modules.
#include "platform/bass/bass.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "platform/bass/decoder.h"
#include "platform/bass/output.h"
#include "platform/bass/fft.h"

namespace {

// Positions are reported as if every stream were 44100 Hz 16-bit stereo.
constexpr uint64_t kReportRate = 44100;
constexpr uint64_t kReportBytesPerFrame = 4;

thread_local int t_error = BASS_OK;

std::mutex g_lock;  // the stream table and the spectrum's work space
std::map<HSTREAM, std::unique_ptr<bass::Channel>> g_streams;
HSTREAM g_lastHandle = 0;
std::atomic<int> g_volume{100};

template <typename T>
T Fail(int code, T result) {
  t_error = code;
  return result;
}

template <typename T>
T Succeed(T result) {
  t_error = BASS_OK;
  return result;
}

bass::Spectrum& SpectrumWorkspace() {
  static bass::Spectrum spectrum;
  return spectrum;
}

bass::Channel* FindLocked(DWORD handle) {
  const auto it = g_streams.find(handle);
  return it == g_streams.end() ? nullptr : it->second.get();
}

// Small numbers, never 0, not reused while the wrapped counter finds a
// live stream.
HSTREAM NextHandleLocked() {
  do {
    ++g_lastHandle;
  } while (g_lastHandle == 0 || g_streams.count(g_lastHandle) != 0);
  return g_lastHandle;
}

uint64_t ReportedBytes(uint64_t frames, uint32_t rate) {
  // Split so that the rescaling cannot overflow for any real length.
  const uint64_t scaled = frames / rate * kReportRate + frames % rate * kReportRate / rate;
  return scaled * kReportBytesPerFrame;
}

void FreeAtExit() { BASS_Free(); }

}  // namespace

extern "C" {

BOOL BASS_Init(int device, DWORD freq, DWORD /*flags*/, HWND /*win*/, const void* /*dsguid*/) {
  if (device != -1 && device != 1) return Fail(BASS_ERROR_DEVICE, FALSE);
  std::lock_guard<std::mutex> guard(g_lock);
  const int error = bass::OpenDevice(freq);
  if (error != BASS_OK) return Fail(error, FALSE);
  bass::SetOutputGain(static_cast<float>(g_volume.load()) / 100.0f);
  // The device is otherwise left to the end of the process; closing it at
  // a normal exit lets file-writing backends finish their output.
  static bool registered = false;
  if (!registered) registered = std::atexit(FreeAtExit) == 0;
  return Succeed(TRUE);
}

BOOL BASS_Free(void) {
  std::lock_guard<std::mutex> guard(g_lock);
  if (!bass::DeviceIsOpen()) return Fail(BASS_ERROR_INIT, FALSE);
  g_streams.clear();
  bass::CloseDevice();
  return Succeed(TRUE);
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD /*offset*/, DWORD length,
                              DWORD /*flags*/) {
  if (!mem) return Fail(BASS_ERROR_NOTAVAIL, HSTREAM{0});
  if (file == nullptr || length == 0) return Fail(BASS_ERROR_ILLPARAM, HSTREAM{0});
  std::lock_guard<std::mutex> guard(g_lock);
  if (!bass::DeviceIsOpen()) return Fail(BASS_ERROR_INIT, HSTREAM{0});
  auto decoder = bass::Decoder::Open({static_cast<const uint8_t*>(file), length});
  if (!decoder) return Fail(BASS_ERROR_FILEFORM, HSTREAM{0});
  auto channel = bass::Channel::Create(std::move(decoder));
  if (!channel) return Fail(BASS_ERROR_NOCHAN, HSTREAM{0});
  const HSTREAM handle = NextHandleLocked();
  g_streams.emplace(handle, std::move(channel));
  return Succeed(handle);
}

BOOL BASS_StreamFree(HSTREAM handle) {
  std::lock_guard<std::mutex> guard(g_lock);
  const auto it = g_streams.find(handle);
  if (it == g_streams.end()) return Fail(BASS_ERROR_HANDLE, FALSE);
  // The channel stops and joins its feeder here, before the caller may
  // free the image.
  g_streams.erase(it);
  return Succeed(TRUE);
}

BOOL BASS_MusicFree(HMUSIC /*handle*/) { return Fail(BASS_ERROR_HANDLE, FALSE); }

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
  std::lock_guard<std::mutex> guard(g_lock);
  bass::Channel* channel = FindLocked(handle);
  if (channel == nullptr) return Fail(BASS_ERROR_HANDLE, FALSE);
  channel->Play(restart != FALSE);
  return Succeed(TRUE);
}

BOOL BASS_ChannelStop(DWORD handle) {
  std::lock_guard<std::mutex> guard(g_lock);
  bass::Channel* channel = FindLocked(handle);
  if (channel == nullptr) return Fail(BASS_ERROR_HANDLE, FALSE);
  channel->Stop();
  return Succeed(TRUE);
}

DWORD BASS_ChannelIsActive(DWORD handle) {
  std::lock_guard<std::mutex> guard(g_lock);
  bass::Channel* channel = FindLocked(handle);
  if (channel == nullptr) return Fail(BASS_ERROR_HANDLE, DWORD{BASS_ACTIVE_STOPPED});
  return Succeed(DWORD{channel->Activity()});
}

QWORD BASS_ChannelGetPosition(DWORD handle) {
  std::lock_guard<std::mutex> guard(g_lock);
  bass::Channel* channel = FindLocked(handle);
  if (channel == nullptr) return Fail(BASS_ERROR_HANDLE, ~QWORD{0});
  return Succeed(QWORD{ReportedBytes(channel->PositionFrames(), channel->Rate())});
}

DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
  const bool individual = length == (BASS_DATA_FFT512 | BASS_DATA_FFT_INDIVIDUAL);
  if (!individual && length != BASS_DATA_FFT512) return Fail(BASS_ERROR_NOTAVAIL, ~DWORD{0});
  if (buffer == nullptr) return Fail(BASS_ERROR_ILLPARAM, ~DWORD{0});
  const std::span<float> out(static_cast<float*>(buffer), individual ? 2 * bass::Spectrum::kBins
                                                                      : bass::Spectrum::kBins);
  std::fill(out.begin(), out.end(), 0.0f);
  std::lock_guard<std::mutex> guard(g_lock);
  bass::Channel* channel = FindLocked(handle);
  if (channel == nullptr) return Fail(BASS_ERROR_HANDLE, ~DWORD{0});
  const int width = channel->Channels();
  std::vector<int16_t> frames(bass::Spectrum::kFrames * static_cast<size_t>(width));
  const DWORD analysed = static_cast<DWORD>(frames.size() * sizeof(int16_t));
  // Silence while the stream does not play; the values are zero then.
  if (!channel->AudibleFrames(frames)) return Succeed(analysed);
  bass::Spectrum& spectrum = SpectrumWorkspace();
  if (individual) {
    spectrum.Analyse(frames, width, 0, out, 2);
    spectrum.Analyse(frames, width, 1, out.subspan(1), 2);
  } else {
    spectrum.Analyse(frames, width, -1, out, 1);
  }
  return Succeed(analysed);
}

DWORD BASS_GetVolume(void) { return Succeed(static_cast<DWORD>(g_volume.load())); }

BOOL BASS_SetVolume(DWORD volume) {
  const int32_t asked = static_cast<int32_t>(volume);
  const int level = std::clamp<int32_t>(asked, 0, 100);
  std::lock_guard<std::mutex> guard(g_lock);
  g_volume = level;
  bass::SetOutputGain(static_cast<float>(level) / 100.0f);
  return Succeed(TRUE);
}

int BASS_ErrorGetCode(void) { return t_error; }

}  // extern "C"
