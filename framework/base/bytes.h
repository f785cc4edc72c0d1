// The one bounded byte cursor that every reader of outside data goes
// through, and its counterpart that writes little-endian fields.
//
// SYS_ByteReader walks a span of bytes it does not own. Every read checks
// the bytes that are left first (in 64 bits, so no offset or count can wrap):
// a read that does not fit reads nothing, gives 0 and marks the cursor
// failed; once failed, every later read fails too, so a parser may read a
// whole header and test ok() once. Multi-byte fields are little-endian
// unless the name ends in BE.
//
// Header-only and free of framework calls, so the platform layer and the
// tools can use it as well.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

class SYS_ByteReader {
 public:
  SYS_ByteReader() = default;
  explicit SYS_ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  SYS_ByteReader(const void* data, uint64_t size)
      : bytes_(data ? static_cast<const uint8_t*>(data) : nullptr, data ? static_cast<size_t>(size) : 0) {}

  bool ok() const { return ok_; }
  uint64_t size() const { return bytes_.size(); }
  uint64_t offset() const { return at_; }
  uint64_t remaining() const { return bytes_.size() - at_; }
  bool has(uint64_t count) const { return ok_ && count <= remaining(); }
  // All the bytes, whatever the position.
  std::span<const uint8_t> bytes() const { return bytes_; }

  // Moves to an absolute offset; the end itself is a valid position.
  bool seek(uint64_t offset) {
    if (!ok_ || offset > bytes_.size()) return fail();
    at_ = offset;
    return true;
  }
  bool skip(uint64_t count) {
    if (!has(count)) return fail();
    at_ += count;
    return true;
  }

  uint8_t u8() { return static_cast<uint8_t>(le(1)); }
  uint16_t u16() { return static_cast<uint16_t>(le(2)); }
  uint32_t u32() { return static_cast<uint32_t>(le(4)); }
  uint64_t u64() { return le(8); }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  int32_t i32() { return static_cast<int32_t>(u32()); }
  uint16_t u16BE() { return static_cast<uint16_t>(be(2)); }
  uint32_t u32BE() { return static_cast<uint32_t>(be(4)); }

  // The next count bytes without copying them; an empty span (and a failed
  // cursor) when fewer are left.
  std::span<const uint8_t> take(uint64_t count) {
    if (!has(count)) {
      fail();
      return {};
    }
    std::span<const uint8_t> part = bytes_.subspan(static_cast<size_t>(at_), static_cast<size_t>(count));
    at_ += count;
    return part;
  }
  // Copies out.size() bytes; out is zeroed when they are not all there.
  bool copy(std::span<uint8_t> out) {
    std::span<const uint8_t> part = take(out.size());
    if (!ok_) {
      if (!out.empty()) std::memset(out.data(), 0, out.size());
      return false;
    }
    if (!part.empty()) std::memcpy(out.data(), part.data(), part.size());
    return true;
  }
  std::string_view text(uint64_t count) {
    std::span<const uint8_t> part = take(count);
    return part.empty() ? std::string_view() : std::string_view(reinterpret_cast<const char*>(part.data()), part.size());
  }
  // Whether the next bytes are the given ones; moves past them when they are.
  bool expect(std::string_view magic) {
    if (!has(magic.size()) || std::memcmp(bytes_.data() + at_, magic.data(), magic.size()) != 0) return fail();
    at_ += magic.size();
    return true;
  }

  // A field at a fixed offset of a span, for formats laid out as tables;
  // false (and 0) when the field does not lie wholly inside.
  static bool U16At(std::span<const uint8_t> bytes, uint64_t offset, uint16_t& value) {
    SYS_ByteReader r(bytes);
    r.seek(offset);
    value = r.u16();
    return r.ok();
  }
  static bool U32At(std::span<const uint8_t> bytes, uint64_t offset, uint32_t& value) {
    SYS_ByteReader r(bytes);
    r.seek(offset);
    value = r.u32();
    return r.ok();
  }

 private:
  bool fail() {
    ok_ = false;
    return false;
  }
  uint64_t le(unsigned n) {
    if (!has(n)) {
      fail();
      return 0;
    }
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v |= uint64_t(bytes_[static_cast<size_t>(at_ + i)]) << (8 * i);
    at_ += n;
    return v;
  }
  uint64_t be(unsigned n) {
    if (!has(n)) {
      fail();
      return 0;
    }
    uint64_t v = 0;
    for (unsigned i = 0; i < n; ++i) v = v << 8 | bytes_[static_cast<size_t>(at_ + i)];
    at_ += n;
    return v;
  }

  std::span<const uint8_t> bytes_;
  uint64_t at_ = 0;
  bool ok_ = true;
};

// Little-endian fields into a caller's fixed buffer (putAt) or appended to a
// growing one (the writers of tools and tests).
class SYS_ByteWriter {
 public:
  void u8(uint8_t v) { out_.push_back(v); }
  void u16(uint16_t v) { le(v, 2); }
  void u32(uint32_t v) { le(v, 4); }
  void u64(uint64_t v) { le(v, 8); }
  void bytes(std::span<const uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void text(std::string_view t) { out_.insert(out_.end(), t.begin(), t.end()); }
  uint64_t size() const { return out_.size(); }
  const std::vector<uint8_t>& data() const { return out_; }
  std::vector<uint8_t> release() { return std::move(out_); }

  static void PutU16(uint8_t* at, uint16_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
  }
  static void PutU32(uint8_t* at, uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
  }

 private:
  void le(uint64_t v, unsigned n) {
    for (unsigned i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  std::vector<uint8_t> out_;
};
