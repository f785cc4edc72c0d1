// Test-side builder of scene files, written from the file layout alone (it
// shares no code with the writer), and the base scene the tests and the
// fuzz seeds start from: one material; a quad of two triangles sharing an
// edge, with every per-vertex array and its adjacency; a bare triangle with
// no colours, texture coordinates or normals; one keyed light; two camera
// and two target keys.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace scenetest {

// Payload pieces, little-endian.
inline std::string U8(uint8_t v) { return std::string(1, static_cast<char>(v)); }
inline std::string I32(int32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(uint32_t(v) >> (8 * i));
  return s;
}
inline std::string F32(float v) {
  uint32_t bits;
  std::memcpy(&bits, &v, 4);
  return I32(static_cast<int32_t>(bits));
}
inline std::string Floats(std::initializer_list<float> values) {
  std::string s;
  for (float v : values) s += F32(v);
  return s;
}
inline std::string Ints(std::initializer_list<int32_t> values) {
  std::string s;
  for (int32_t v : values) s += I32(v);
  return s;
}
inline std::string Words(std::initializer_list<uint16_t> values) {
  std::string s;
  for (uint16_t v : values) s += U8(static_cast<uint8_t>(v)) + U8(static_cast<uint8_t>(v >> 8));
  return s;
}
// A 256-byte text: length byte, characters, zero tail.
inline std::string Text(const std::string& text) {
  std::string s = U8(static_cast<uint8_t>(text.size())) + text;
  s.resize(256, '\0');
  return s;
}
inline std::string Key(int32_t frame, float x, float y, float z) { return I32(frame) + Floats({x, y, z}); }

// Element types of the layout.
enum : uint8_t { kByte = 1, kWord = 2, kInt = 3, kSingle = 4, kUV = 5, kVec = 6, kRGBA = 7, kText = 8 };
enum : uint8_t { kFace = 9, kKey = 10, kQuat = 11, kMatrix = 12, kBool = 13 };
constexpr int32_t kBytesOf[] = {1, 1, 2, 4, 4, 8, 12, 16, 256, 12, 16, 20, 64, 1};

struct Chunk {
  uint8_t type;
  uint8_t kind;
  int32_t index;
  std::string payload;
  int32_t count = -1;  // -1: payload bytes / element size
  int32_t size = -1;   // -1: payload bytes
  int32_t packed = 0;
};

inline std::string Encode(const Chunk& c) {
  const int32_t per = c.type < 14 ? kBytesOf[c.type] : 1;
  const int32_t count = c.count >= 0 ? c.count : static_cast<int32_t>(c.payload.size()) / per;
  const int32_t size = c.size != -1 ? c.size : static_cast<int32_t>(c.payload.size());
  return "QZ" + U8(c.type) + U8(c.kind) + I32(count) + I32(size) + I32(c.packed) + I32(c.index) + c.payload;
}
inline std::string Encode(const std::vector<Chunk>& chunks) {
  std::string out;
  for (const Chunk& c : chunks) out += Encode(c);
  return out;
}

// The position of the first chunk of the kind and index (chunks.size() when none).
inline size_t Find(const std::vector<Chunk>& chunks, uint8_t kind, int32_t index = 0) {
  auto it = std::find_if(chunks.begin(), chunks.end(), [&](const Chunk& c) { return c.kind == kind && c.index == index; });
  return static_cast<size_t>(it - chunks.begin());
}

inline std::vector<Chunk> BaseScene() {
  std::vector<Chunk> c = {
      {kByte, 0x01, 0, U8(1)},
      {kByte, 0x02, 0, U8(2)},
      {kText, 0x03, 0, Text("base")},
      {kInt, 0x04, 0, I32(7)},
      {kInt, 0x05, 0, I32(1)},
      {kInt, 0x06, 0, I32(2)},
      {kSingle, 0x07, 0, F32(0.8f)},
      {kSingle, 0x08, 0, F32(1.0f)},
      {kSingle, 0x09, 0, F32(500.0f)},
      {kInt, 0x0A, 0, I32(2)},
      {kInt, 0x0B, 0, I32(2)},
      {kSingle, 0x54, 0, F32(300.0f)},
      {kSingle, 0x5A, 0, F32(0.5f)},
  };
  auto add = [&](uint8_t type, uint8_t kind, int32_t index, std::string payload) {
    c.push_back({type, kind, index, std::move(payload)});
  };
  // Material 0.
  add(kText, 0x0C, 0, Text("stone"));
  add(kText, 0x0D, 0, Text("stone.tga"));
  add(kText, 0x0E, 0, Text("env.jpg"));
  add(kSingle, 0x0F, 0, F32(0.25f));
  add(kSingle, 0x10, 0, F32(2.0f));
  add(kSingle, 0x11, 0, F32(3.0f));
  add(kSingle, 0x12, 0, F32(0.5f));
  add(kSingle, 0x13, 0, F32(0.75f));
  add(kSingle, 0x14, 0, F32(1.5f));
  add(kInt, 0x15, 0, I32(3));
  add(kInt, 0x16, 0, I32(20));
  add(kBool, 0x17, 0, U8(1));
  add(kBool, 0x18, 0, U8(1));
  add(kBool, 0x19, 0, U8(1));
  add(kByte, 0x1A, 0, U8(1));
  add(kByte, 0x1B, 0, U8(2));
  add(kByte, 0x1C, 0, U8(1));
  add(kByte, 0x1D, 0, U8(32));
  add(kVec, 0x1E, 0, Floats({0.1f, 0.2f, 0.3f}));
  add(kVec, 0x1F, 0, Floats({0.4f, 0.5f, 0.6f}));
  add(kVec, 0x20, 0, Floats({0.7f, 0.8f, 0.9f}));
  add(kByte, 0x52, 0, U8(1));
  add(kSingle, 0x5C, 0, F32(0.4f));
  add(kVec, 0x5D, 0, Floats({1.0f, 0.5f, 0.25f}));
  add(kBool, 0x5E, 0, U8(1));
  // Object 0: the quad (0,1,2) + (0,2,3), sharing the edge 0-2.
  add(kText, 0x21, 0, Text("quad"));
  add(kInt, 0x22, 0, I32(4));
  add(kInt, 0x23, 0, I32(2));
  add(kInt, 0x24, 0, I32(0));
  add(kInt, 0x25, 0, I32(2));
  add(kInt, 0x26, 0, I32(1));
  add(kInt, 0x27, 0, I32(1));
  add(kInt, 0x28, 0, I32(4));
  add(kInt, 0x29, 0, I32(1));
  add(kBool, 0x2A, 0, U8(1));
  add(kBool, 0x2B, 0, U8(1));
  add(kBool, 0x2C, 0, U8(1));
  add(kBool, 0x2D, 0, U8(1));
  add(kBool, 0x2E, 0, U8(1));
  add(kByte, 0x2F, 0, U8(1));
  {
    std::string matrix;
    for (int i = 0; i < 16; ++i) matrix += F32(static_cast<float>(i));
    add(kMatrix, 0x30, 0, matrix);
  }
  add(kVec, 0x31, 0, Floats({0.5f, 0.5f, 0.0f}));
  add(kWord, 0x32, 0, Words({1, 2, 0, 3}));
  add(kVec, 0x33, 0, Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}));
  add(kFace, 0x34, 0, Ints({0, 1, 2, 0, 2, 3}));
  add(kFace, 0x63, 0, Ints({0, 1, 2, 0, 2, 3}));
  add(kFace, 0x56, 0, Ints({-1, -1, 1, 0, -1, -1}));
  add(kVec, 0x35, 0, Floats({1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 1, 1}));
  add(kUV, 0x36, 0, Floats({0, 0, 1, 0, 1, 1, 0, 1}));
  add(kVec, 0x37, 0, Floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}));
  add(kKey, 0x38, 0, Key(0, 0, 0, 0) + Key(10, 1, 2, 3));
  add(kQuat, 0x39, 0, I32(0) + Floats({0, 0, 0, 1}));
  add(kKey, 0x3A, 0, Key(0, 1, 1, 1));
  add(kText, 0x3B, 0, Text("spark.tga"));
  add(kInt, 0x3C, 0, I32(5));
  add(kSingle, 0x3D, 0, F32(1.0f));
  add(kSingle, 0x3E, 0, F32(0.125f));
  add(kSingle, 0x3F, 0, F32(2.0f));
  add(kBool, 0x40, 0, U8(1));
  add(kByte, 0x41, 0, U8(3));
  add(kVec, 0x42, 0, Floats({0, 0, 1}));
  add(kVec, 0x43, 0, Floats({0.1f, 0.1f, 0}));
  add(kVec, 0x44, 0, Floats({1, 1, 0}));
  add(kVec, 0x45, 0, Floats({0, 0.5f, 0}));
  add(kBool, 0x50, 0, U8(1));
  add(kByte, 0x53, 0, U8(1));
  add(kBool, 0x58, 0, U8(1));
  add(kBool, 0x59, 0, U8(1));
  add(kVec, 0x5B, 0, Floats({0.01f, 0.02f, 0}));
  add(kBool, 0x5F, 0, U8(1));
  add(kByte, 0x60, 0, U8(2));
  add(kVec, 0x61, 0, Floats({0.05f, 10, 100}));
  add(kRGBA, 0x62, 0, Floats({0.2f, 0.3f, 0.4f, 1}));
  // Object 1: a bare triangle.
  add(kText, 0x21, 1, Text("bare"));
  add(kInt, 0x22, 1, I32(3));
  add(kInt, 0x23, 1, I32(1));
  add(kInt, 0x24, 1, I32(0));
  add(kVec, 0x33, 1, Floats({0, 0, 0, 0, 1, 0, 0, 0, 1}));
  add(kFace, 0x34, 1, Ints({0, 1, 2}));
  add(kFace, 0x56, 1, Ints({-1, -1, -1}));
  // Camera and target.
  add(kKey, 0x46, 0, Key(0, 10, 0, 5) + Key(100, 0, 10, 5));
  add(kKey, 0x47, 0, Key(0, 0, 0, 0) + Key(100, 1, 1, 0));
  // Light 0.
  add(kText, 0x48, 0, Text("sun"));
  add(kInt, 0x49, 0, I32(2));
  add(kBool, 0x4A, 0, U8(1));
  add(kVec, 0x4B, 0, Floats({0, 0, 50}));
  add(kVec, 0x4C, 0, Floats({0.1f, 0.1f, 0.1f}));
  add(kVec, 0x4D, 0, Floats({0.9f, 0.9f, 0.8f}));
  add(kVec, 0x4E, 0, Floats({1, 1, 1}));
  add(kKey, 0x4F, 0, Key(0, 0, 0, 50) + Key(50, 10, 0, 50));
  c.insert(c.begin(), Chunk{kInt, 0x57, 0, I32(static_cast<int32_t>(c.size() + 1))});
  return c;
}

}  // namespace scenetest
