// Takes a fuzzer's bytes apart: single bytes for choices, and texts cut at a separator byte, so
// that one input drives several steps and the fuzzer can still change each part alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv::fuzz {

class Input {
 public:
  Input(const uint8_t* data, size_t size) : p_(data), end_(data + size) {}
  bool empty() const { return p_ == end_; }
  size_t left() const { return static_cast<size_t>(end_ - p_); }
  // The next byte, 0 once the input is used up.
  uint8_t byte() { return p_ == end_ ? 0 : *p_++; }
  // The bytes up to the next separator (dropped) or to the end.
  std::string text(uint8_t separator = 0) {
    const uint8_t* s = p_;
    while (p_ != end_ && *p_ != separator) ++p_;
    std::string t(reinterpret_cast<const char*>(s), static_cast<size_t>(p_ - s));
    if (p_ != end_) ++p_;
    return t;
  }
  // At most n bytes.
  std::string take(size_t n) {
    if (n > left()) n = left();
    std::string t(reinterpret_cast<const char*>(p_), n);
    p_ += n;
    return t;
  }
  std::string rest() { return take(left()); }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// Stops the program loudly: a broken property is a finding like a crash.
[[noreturn]] void fail(const char* what, const std::string& detail = {});

}  // namespace qv::fuzz
