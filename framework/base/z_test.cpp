#include "framework/base/z.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "framework/base/log.h"
#include "framework/base/mem.h"

namespace {

uint32_t GetU32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(s[at + i]);
  return v;
}
void SetU32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::string Compress(const std::string& data) {
  void* block = nullptr;
  uint32_t length = 0;
  EXPECT_EQ(SYS_ZCompress(data.data(), static_cast<uint32_t>(data.size()), &block, &length), 0);
  EXPECT_EQ(errGetLastError(), 0);
  std::string out(static_cast<const char*>(block), length);
  SYS_MemFree(block);
  return out;
}

// Unpacks the block; the result, or the error code after a failure.
struct Unpacked {
  int result;
  int code;
  std::string data;
};
Unpacked Uncompress(const std::string& block, uint64_t available) {
  void* out = reinterpret_cast<void*>(1);
  uint32_t length = 77;
  Unpacked u{SYS_ZUncompress(block.data(), available, &out, &length), errGetLastError(), {}};
  if (u.result == 0) {
    u.data.assign(static_cast<const char*>(out), length);
    SYS_MemFree(out);
  } else {
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(length, 0u);
  }
  return u;
}
Unpacked Uncompress(const std::string& block) { return Uncompress(block, block.size()); }

std::string Random(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, 0);
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

TEST(ZBlock, RoundTrips) {
  struct Case {
    const char* what;
    std::string data;
    int level;
  } cases[] = {
      {"one byte", "x", 9},
      {"text", std::string(1000, 'a') + "tail", 9},
      {"random 1 MiB", Random(1 << 20, 1), 9},
      {"zeros 1 MiB", std::string(1 << 20, '\0'), 9},
      {"random, level 0", Random(70000, 2), 0},
      {"text, level 0", std::string(5000, 'q'), 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(SYS_ZSetCompLevel(c.level), 0);
    std::string block = Compress(c.data);
    ASSERT_GE(block.size(), 12u) << c.what;
    EXPECT_EQ(GetU32(block, 0), c.data.size()) << c.what;
    EXPECT_EQ(GetU32(block, 4) + 12, block.size()) << c.what;
    EXPECT_EQ(GetU32(block, 8), static_cast<uint32_t>(SYS_ZCrc32(block.data() + 12, GetU32(block, 4)))) << c.what;
    if (c.level == 0) {
      EXPECT_GT(block.size(), c.data.size()) << c.what;  // stored, not compressed
    }
    Unpacked u = Uncompress(block);
    EXPECT_EQ(u.result, 0) << c.what;
    EXPECT_TRUE(u.data == c.data) << c.what;
  }
  SYS_ZSetCompLevel(9);
}

TEST(ZBlock, OutputRoom) {
  EXPECT_EQ(SYS_ZCompressRoom(1000), 1013u);
  EXPECT_EQ(SYS_ZCompressRoom(1), 13u);
  EXPECT_EQ(SYS_ZCompressRoom(1 << 20), 1049625u + 12);  // 1048576 * 1.001f = 1049624.625
}

TEST(ZBlock, Level) {
  EXPECT_EQ(SYS_ZSetCompLevel(3), 0);
  EXPECT_EQ(SYS_ZSetCompLevel(10), -1);
  EXPECT_EQ(errGetLastError(), ERR_ZLEVEL);
  EXPECT_EQ(SYS_ZSetCompLevel(-1), -1);
  EXPECT_EQ(errGetLastError(), ERR_ZLEVEL);
  // Level 3 stayed: a block still round-trips and level 0 differs from it.
  std::string text(4000, 'z');
  std::string three = Compress(text);
  SYS_ZSetCompLevel(0);
  std::string zero = Compress(text);
  EXPECT_LT(three.size(), zero.size());
  SYS_ZSetCompLevel(9);
}

TEST(ZBlock, DamagedBlocks) {
  const std::string data = "The quick brown fox jumps over the lazy dog. " + std::string(300, '.') + Random(200, 3);
  const std::string good = Compress(data);
  const uint32_t packed = GetU32(good, 4);
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    uint64_t available;  // 0: the whole block
    int code;            // 0: succeeds
  } cases[] = {
      {"stream byte changed", [](std::string& b) { b[12 + 8] ^= 0x55; }, 0, ERR_ZLIB},
      {"adler trailer changed", [](std::string& b) { b[b.size() - 1] ^= 1; }, 0, ERR_ZLIB},
      {"only the crc changed", [](std::string& b) { b[8] ^= 0xFF; }, 0, 0},
      {"unpacked length smaller", [&](std::string& b) { SetU32(b, 0, uint32_t(data.size() - 8)); }, 0, ERR_ZLIB},
      {"unpacked length 0", [](std::string& b) { SetU32(b, 0, 0); }, 0, ERR_NOMEM},
      {"unpacked length absurd", [](std::string& b) { SetU32(b, 0, 0xFFFFFFF0u); }, 0, ERR_ZLIB},
      {"packed length past the block", [](std::string& b) { SetU32(b, 4, GetU32(b, 4) + 1); }, 0, ERR_ZLIB},
      {"packed length huge", [](std::string& b) { SetU32(b, 4, 0xFFFFFFFFu); }, 0, ERR_ZLIB},
      {"packed length 0", [](std::string& b) { SetU32(b, 4, 0); }, 0, ERR_ZLIB},
      {"stream cut short", [&](std::string& b) { SetU32(b, 4, packed / 2); }, 0, ERR_ZLIB},
      {"fewer bytes at hand than announced", [](std::string&) {}, 12 + packed - 1, ERR_ZLIB},
      {"header only", [](std::string&) {}, 11, ERR_ZLIB},
  };
  for (const Case& c : cases) {
    std::string block = good;
    c.damage(block);
    Unpacked u = Uncompress(block, c.available ? c.available : block.size());
    if (c.code == 0) {
      EXPECT_EQ(u.result, 0) << c.what;
      EXPECT_TRUE(u.data == data) << c.what;
    } else {
      EXPECT_EQ(u.result, -1) << c.what;
      EXPECT_EQ(u.code, c.code) << c.what;
    }
  }
}

TEST(ZBlock, LargerLengthLeavesZeroTail) {
  const std::string data = "payload";
  std::string block = Compress(data);
  SetU32(block, 0, 20);
  Unpacked u = Uncompress(block);
  ASSERT_EQ(u.result, 0);
  EXPECT_EQ(u.data, data + std::string(13, '\0'));
}

TEST(ZBlock, BadArguments) {
  void* out = nullptr;
  uint32_t length = 0;
  const char byte = 'x';
  EXPECT_EQ(SYS_ZCompress(nullptr, 1, &out, &length), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_ZCompress(&byte, 0, &out, &length), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_ZCompress(&byte, 1, nullptr, &length), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_ZCompress(&byte, 1, &out, nullptr), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_ZUncompress(nullptr, 100, &out, &length), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  std::string block = Compress("abc");
  EXPECT_EQ(SYS_ZUncompress(block.data(), block.size(), nullptr, &length), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

TEST(ZChecksums, KnownValues) {
  EXPECT_EQ(SYS_ZCrc32("123456789", 9), 0xCBF43926);
  EXPECT_EQ(SYS_ZAdler("Wikipedia", 9), 0x11E60398);
  EXPECT_EQ(SYS_ZCrc32("a", 1), 0xE8B7BE43);
  EXPECT_EQ(SYS_ZAdler("a", 1), 0x00620062);
  EXPECT_EQ(errGetLastError(), 0);
  EXPECT_EQ(SYS_ZCrc32("", 0), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
  EXPECT_EQ(SYS_ZAdler(nullptr, 5), -1);
  EXPECT_EQ(errGetLastError(), ERR_BADARG);
}

}  // namespace
