// The open audio file as the tag readers see it: the file's measured size and a window of one
// block over it. Cards are slow and tags sit next to megabytes of audio and cover art, so the
// readers ask only for the bytes their walk needs, and this class reads them in blocks of at most
// kBlockBytes that never pass the end the caller names (the end of the tag body, of the LIST chunk,
// of the "ilst" atom). Seeking is free: the file is moved only before a read that needs it.
//
// Bytes past the measured size count as a failed read, as a read there would. The class owns its
// block; it allocates nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/platform.h"

namespace deltrix::tags {

class TagFile {
 public:
  static constexpr size_t kBlockBytes = 4096;

  // `size` is the file's size as measured; `position` where the file stands now (-1: unknown).
  TagFile(platform::File& file, int64_t size, int64_t position = -1)
      : file_(file), size_(size), filePosition_(position) {}
  TagFile(const TagFile&) = delete;
  TagFile& operator=(const TagFile&) = delete;

  int64_t size() const { return size_; }

  // Makes the `n` bytes at `offset` available in `*bytes` (valid until the next Fetch). When they
  // are not in the window, reads from `offset` on as far as `readEnd` allows (but always the n
  // bytes, and never more than kBlockBytes or past the file's end). False when n exceeds
  // kBlockBytes, when the bytes lie past the file's end, or when a seek or read fails.
  [[nodiscard]] bool Fetch(int64_t offset, size_t n, int64_t readEnd,
                           std::span<const uint8_t>* bytes);

 private:
  platform::File& file_;
  const int64_t size_;
  int64_t filePosition_;  // where the platform file stands; -1 when unknown
  int64_t windowStart_ = 0;
  size_t windowLength_ = 0;
  uint8_t window_[kBlockBytes];
};

}  // namespace deltrix::tags
