// Test-side writer of effect project files, written from the file layout
// alone (it shares no code with the reader).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/effect.h"
#include "framework/base/bytes.h"

namespace projecttest {

struct KeySpec {
  int32_t start, end;
  uint8_t ease;
  int32_t startValue, midValue, endValue;
};

struct OperatorSpec {
  int32_t optype = 0;
  int32_t target = 0;
  uint8_t firstParam = 0;  // without params: params[i] = firstParam + i
  uint32_t keyPointer = 0;
  std::vector<KeySpec> keys;
  int32_t keycount = -1;  // the stored count; -1 stores keys.size()
  std::string name;
  std::vector<uint8_t> params;  // the first bytes of params, zeros after
};

struct ProjectSpec {
  std::string name = "project";
  std::vector<std::string> scenes;
  std::vector<std::string> interfaces;
  std::vector<OperatorSpec> operators;
};

inline void PutShortString(SYS_ByteWriter& w, const std::string& text) {
  w.u8(static_cast<uint8_t>(text.size()));
  w.text(text);
  // Bytes beyond the length are undefined in the format: not zero here.
  for (size_t i = text.size() + 1; i < kFexShortStringSize; ++i) w.u8(0xCD);
}

inline uint8_t ParamByte(const OperatorSpec& op, size_t i) {
  if (op.params.empty()) return static_cast<uint8_t>(op.firstParam + i);
  return i < op.params.size() ? op.params[i] : 0;
}

inline std::vector<uint8_t> WriteProject(const ProjectSpec& p) {
  SYS_ByteWriter w;
  PutShortString(w, p.name);
  for (uint32_t reserved : {11u, 22u, 33u, 44u}) w.u32(reserved);
  w.u32(uint32_t(p.scenes.size()));
  w.u32(uint32_t(p.interfaces.size()));
  w.u32(uint32_t(p.operators.size()));
  for (const std::string& s : p.scenes) PutShortString(w, s);
  for (const std::string& s : p.interfaces) PutShortString(w, s);
  for (const OperatorSpec& op : p.operators) {
    w.u32(uint32_t(op.optype));
    w.u32(uint32_t(op.target));
    for (size_t i = 0; i < 32; ++i) w.u8(ParamByte(op, i));
    w.u32(op.keyPointer);
    w.u32(uint32_t(op.keycount < 0 ? int32_t(op.keys.size()) : op.keycount));
    PutShortString(w, op.name);
  }
  for (const OperatorSpec& op : p.operators)
    for (const KeySpec& k : op.keys) {
      w.u32(uint32_t(k.start));
      w.u32(uint32_t(k.end));
      w.u8(k.ease);
      w.text("\x7f\x7f\x7f");
      w.u32(uint32_t(k.startValue));
      w.u32(uint32_t(k.midValue));
      w.u32(uint32_t(k.endValue));
    }
  return w.release();
}

}  // namespace projecttest
