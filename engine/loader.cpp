#include "engine/loader.h"

#include <cstdlib>

#include "units/sysunit.h"

int32_t ChunkElementSize[kChunkElementTypes];
uint8_t LoaderVersionMajor;
uint8_t LoaderVersionMinor;

namespace {
LoaderLogSink logSink = nullptr;
}  // namespace

void InitChunkSizes(void) {
  static constexpr int32_t kSizes[kChunkElementTypes] = {1, 1, 2, 4, 4, 8, 12, 16, 256, 12, 16, 20, 64, 1};
  for (int i = 0; i < kChunkElementTypes; ++i) ChunkElementSize[i] = kSizes[i];
}

void InitLoaderUnit(void) {
  LoaderVersionMajor = 1;
  LoaderVersionMinor = 2;
  InitChunkSizes();
}

void* LoaderGetMem(size_t size) { return std::calloc(size ? size : 1, 1); }

void LoaderRelease(void* block) { std::free(block); }

LoaderLogSink LoaderSetLogSink(LoaderLogSink sink) {
  LoaderLogSink old = logSink;
  logSink = sink;
  return old;
}

void LoaderLog(std::string_view text) {
  if (logSink) {
    logSink(text);
    return;
  }
  Log(ShortString(text));
}

std::string SceneHostPath(std::string_view name) {
  std::string path(name);
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}
