// A cursor over bytes we did not write (tags, library files read back). A read that does not fit
// fails and moves nothing. Lengths taken from the data are compared with remaining(), never added
// to a position, so no length can carry a read outside the span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "base/byte_order.h"

namespace deltrix {

class ByteReader {
 public:
  ByteReader() = default;
  explicit ByteReader(std::span<const uint8_t> bytes) : rest_(bytes) {}

  size_t remaining() const { return rest_.size(); }
  const uint8_t* data() const { return rest_.data(); }
  std::span<const uint8_t> rest() const { return rest_; }

  [[nodiscard]] bool ReadU8(uint8_t* v) {
    if (rest_.empty()) return false;
    *v = rest_[0];
    rest_ = rest_.subspan(1);
    return true;
  }
  [[nodiscard]] bool ReadLe16(uint16_t* v) { return Take(2, v, GetLe16); }
  [[nodiscard]] bool ReadLe32(uint32_t* v) { return Take(4, v, GetLe32); }
  [[nodiscard]] bool ReadBe16(uint16_t* v) { return Take(2, v, GetBe16); }
  [[nodiscard]] bool ReadBe32(uint32_t* v) { return Take(4, v, GetBe32); }
  [[nodiscard]] bool ReadBe64(uint64_t* v) { return Take(8, v, GetBe64); }

  // n comes from the data: compared with remaining().
  [[nodiscard]] bool Skip(size_t n) {
    if (n > rest_.size()) return false;
    rest_ = rest_.subspan(n);
    return true;
  }
  // The next n bytes as a span, consumed; fails when fewer remain.
  [[nodiscard]] bool ReadSpan(size_t n, std::span<const uint8_t>* out) {
    if (n > rest_.size()) return false;
    *out = rest_.first(n);
    rest_ = rest_.subspan(n);
    return true;
  }
  // A sub-reader over the next n bytes, consumed from this one.
  [[nodiscard]] bool Sub(size_t n, ByteReader* out) {
    std::span<const uint8_t> s;
    if (!ReadSpan(n, &s)) return false;
    *out = ByteReader(s);
    return true;
  }

 private:
  template <typename T, typename F>
  bool Take(size_t n, T* v, F get) {
    if (rest_.size() < n) return false;
    *v = get(rest_.data());
    rest_ = rest_.subspan(n);
    return true;
  }

  std::span<const uint8_t> rest_;
};

}  // namespace deltrix
