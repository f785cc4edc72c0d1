// Feeds arbitrary bytes to the effect-project reader: whatever the counts
// say, it stays inside the bytes, and a project it accepts has exactly the
// arrays its counts promise, within the format's bounds.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/effect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FEX_Project project;
  std::string error;
  if (EffectReadProject(project, std::span<const uint8_t>(data, size), error) == kEffectOk) {
    if (project.operatorcount < 0 || project.operatorcount > kFexMaxCount) __builtin_trap();
    for (int32_t i = 0; i < project.operatorcount; ++i) {
      const FEX_Operator& op = project.operators[i];
      if (op.keycount < 0 || op.keycount > kFexMaxCount) __builtin_trap();
      // Touch every key so a short array shows up under the sanitizer.
      for (int32_t k = 0; k < op.keycount; ++k)
        if (op.keys[k].ease == 0xFF && op.keys[k].endvalue == 0x7FFFFFFF) return 0;
    }
  }
  EffectFreeProject(project);
  return 0;
}
