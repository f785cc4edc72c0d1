// Feeds arbitrary bytes to the effect-project reader: whatever the counts
// say, it stays inside the bytes, and a project it accepts has exactly the
// arrays its counts promise, and no count larger than the bytes can hold.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/effect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FEX_Project project;
  std::string error;
  if (EffectReadProject(project, std::span<const uint8_t>(data, size), error) == kEffectOk) {
    const auto fits = [size](int32_t count, size_t recordSize) {
      return count >= 0 && uint64_t(count) * recordSize <= size;
    };
    if (!fits(project.operatorcount, kFexOperatorSize)) __builtin_trap();
    if (!fits(project.scenecount, kFexShortStringSize) || !fits(project.interfacecount, kFexShortStringSize))
      __builtin_trap();
    for (int32_t i = 0; i < project.operatorcount; ++i) {
      const FEX_Operator& op = project.operators[i];
      if (!fits(op.keycount, kFexKeySize)) __builtin_trap();
      // Touch every key so a short array shows up under the sanitizer.
      for (int32_t k = 0; k < op.keycount; ++k)
        if (op.keys[k].ease == 0xFF && op.keys[k].endvalue == 0x7FFFFFFF) return 0;
    }
  }
  EffectFreeProject(project);
  return 0;
}
