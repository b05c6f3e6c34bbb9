// Fills a fixed buffer (the run's file buffer) with little-endian fields. A write that does not fit
// sets the overflow flag and writes nothing; callers check overflowed() before flushing, and tests
// assert it clear.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "base/byte_order.h"

namespace deltrix {

class ByteWriter {
 public:
  explicit ByteWriter(std::span<uint8_t> buffer) : buf_(buffer) {}

  size_t size() const { return used_; }
  size_t capacity() const { return buf_.size(); }
  bool overflowed() const { return overflow_; }
  std::span<const uint8_t> written() const { return buf_.first(used_); }
  uint8_t* at(size_t offset) { return buf_.data() + offset; }
  void Clear() {
    used_ = 0;
    overflow_ = false;
  }

  void U8(uint8_t v) {
    if (uint8_t* p = Grab(1)) *p = v;
  }
  void Le16(uint16_t v) {
    if (uint8_t* p = Grab(2)) PutLe16(p, v);
  }
  void Le32(uint32_t v) {
    if (uint8_t* p = Grab(4)) PutLe32(p, v);
  }
  void Bytes(const void* src, size_t n) {
    if (uint8_t* p = Grab(n)) std::memcpy(p, src, n);
  }
  void Zeros(size_t n) {
    if (uint8_t* p = Grab(n)) std::memset(p, 0, n);
  }
  // Overwrites a field already written (a length known only later). Out of range sets overflow.
  void PatchLe32(size_t offset, uint32_t v) {
    if (offset > used_ || used_ - offset < 4) {
      overflow_ = true;
      return;
    }
    PutLe32(buf_.data() + offset, v);
  }

 private:
  uint8_t* Grab(size_t n) {
    if (overflow_ || n > buf_.size() - used_) {
      overflow_ = true;
      return nullptr;
    }
    uint8_t* p = buf_.data() + used_;
    used_ += n;
    return p;
  }

  std::span<uint8_t> buf_;
  size_t used_ = 0;
  bool overflow_ = false;
};

}  // namespace deltrix
