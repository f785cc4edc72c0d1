// Fuzz targets that read through the file layer work in an empty private
// folder, so that no loose file answers for a name they look up; the folder
// is removed when the fuzzer ends.
#pragma once
#include <unistd.h>

#include <cstdlib>

inline bool InEmptyFolder() {
  static char folder[] = "/tmp/fuzz-XXXXXX";
  static bool ready = [] {
    if (!mkdtemp(folder) || chdir(folder) != 0) return false;
    std::atexit([] { rmdir(folder); });
    return true;
  }();
  return ready;
}
