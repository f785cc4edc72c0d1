#include "engine/scenetext.h"

#include <charconv>
#include <cstdio>

#include "engine/loader.h"
#include "framework/base/log.h"

std::string SceneFormatNumber(float value) {
  constexpr int kDecimals = 4;
  char buffer[64];  // the largest float has 39 digits before the point
  auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, kDecimals);
  return std::string(buffer, r.ptr);
}

int SceneWriteTextFile(std::string_view fileName, std::string_view text) {
  FILE* f = std::fopen(SceneHostPath(fileName).c_str(), "wb");
  if (!f) return ERR_CANTCREATE;
  bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  bool closed = std::fclose(f) == 0;
  return written && closed ? ERR_NONE : ERR_CANTCREATE;
}
