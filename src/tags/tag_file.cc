#include "tags/tag_file.h"

#include <algorithm>
#include <cstring>

namespace deltrix::tags {

bool TagFile::Fetch(int64_t offset, size_t n, int64_t readEnd, std::span<const uint8_t>* bytes) {
  if (offset < 0 || n > kBlockBytes || offset > size_ || static_cast<int64_t>(n) > size_ - offset) {
    return false;
  }
  const int64_t windowEnd = windowStart_ + static_cast<int64_t>(windowLength_);
  if (offset >= windowStart_ && offset + static_cast<int64_t>(n) <= windowEnd) {
    *bytes = std::span<const uint8_t>(window_ + (offset - windowStart_), n);
    return true;
  }
  // Keep what the window already holds from `offset` on, so a walk that moves forward reads on
  // where it stopped, without a seek.
  size_t kept = 0;
  if (offset >= windowStart_ && offset < windowEnd) {
    kept = static_cast<size_t>(windowEnd - offset);
    std::memmove(window_, window_ + (offset - windowStart_), kept);
  }
  windowStart_ = offset;
  windowLength_ = kept;

  int64_t end = std::max(readEnd, offset + static_cast<int64_t>(n));
  end = std::min({end, offset + static_cast<int64_t>(kBlockBytes), size_});
  const int64_t from = offset + static_cast<int64_t>(kept);
  if (filePosition_ != from) {
    if (!file_.Seek(from, platform::SeekFrom::Start)) {
      filePosition_ = -1;
      return false;
    }
    filePosition_ = from;
  }
  const size_t want = static_cast<size_t>(end - from);
  const size_t got = std::min(file_.Read(window_ + kept, want), want);
  filePosition_ += static_cast<int64_t>(got);
  windowLength_ += got;
  if (windowLength_ < n) return false;
  *bytes = std::span<const uint8_t>(window_, n);
  return true;
}

}  // namespace deltrix::tags
