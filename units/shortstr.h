// The units' text type: at most N characters behind a length, cut (never
// overflowing) when longer texts are stored or appended.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

template <unsigned N>
class ShortStr {
  static_assert(N <= 255, "a short string holds at most 255 characters");

 public:
  ShortStr() = default;
  ShortStr(const char* text) { Assign(text ? std::string_view(text) : std::string_view()); }  // NOLINT
  ShortStr(std::string_view text) { Assign(text); }                                            // NOLINT
  ShortStr(const std::string& text) { Assign(text); }                                          // NOLINT
  template <unsigned M>
  ShortStr(const ShortStr<M>& other) {  // NOLINT
    Assign(other.view());
  }

  unsigned size() const { return len_; }
  bool empty() const { return len_ == 0; }
  static constexpr unsigned capacity() { return N; }
  std::string_view view() const { return std::string_view(data_, len_); }
  const char* data() const { return data_; }
  char operator[](unsigned i) const { return i < len_ ? data_[i] : '\0'; }

  ShortStr& operator+=(std::string_view more) {
    size_t room = N - len_;
    size_t n = more.size() < room ? more.size() : room;
    // An empty view may carry a null pointer, which memcpy must not see.
    if (n) std::memcpy(data_ + len_, more.data(), n);
    len_ = static_cast<uint8_t>(len_ + n);
    data_[len_] = 0;
    return *this;
  }
  ShortStr& operator+=(const char* more) { return *this += std::string_view(more ? more : ""); }
  ShortStr& operator+=(char c) { return *this += std::string_view(&c, 1); }
  template <unsigned M>
  ShortStr& operator+=(const ShortStr<M>& more) {
    return *this += more.view();
  }
  template <class T>
  friend ShortStr operator+(ShortStr a, const T& b) {
    a += b;
    return a;
  }
  friend bool operator==(const ShortStr& a, std::string_view b) { return a.view() == b; }
  template <unsigned M>
  friend bool operator==(const ShortStr& a, const ShortStr<M>& b) {
    return a.view() == b.view();
  }

 private:
  void Assign(std::string_view text) {
    len_ = static_cast<uint8_t>(text.size() < N ? text.size() : N);
    if (len_) std::memcpy(data_, text.data(), len_);
    data_[len_] = 0;
  }
  uint8_t len_ = 0;
  char data_[N + 1] = {};  // kept zero-terminated for the debugger; use PasStr for the framework
};

using ShortString = ShortStr<255>;
