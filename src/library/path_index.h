// An update's index of the library's paths, built at open in the front of the pool (after the
// still-present flags): kPathBuckets bucket heads, then one node per track of (track index,
// position of the path's data in its record, next node). A path's bucket comes from its hash:
// h = h * 37 + v over its units (at most 257, up to a zero unit) in signed 32-bit arithmetic that
// wraps, v being the unit's high byte sign-extended and shifted left by 8, OR its low byte
// sign-extended; the bucket is |h| mod 180000. New nodes go to the end of their bucket's chain.
// Values are kept in the host's order: the index lives only for the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "library/library_format.h"

namespace deltrix::library {

inline constexpr uint32_t kPathBuckets = 180000;
inline constexpr size_t kPathIndexBytes =
    4 * size_t{kPathBuckets} + 12 * size_t{kMaxTracks};  // 2520000

// The path hash over units handed in one by one.
class PathHash {
 public:
  void Add(char16_t unit);
  uint32_t Bucket() const;

 private:
  uint32_t h_ = 0;  // the signed hash's bits: unsigned arithmetic wraps as the signed one does
  uint32_t units_ = 0;
};

// The bucket of a stored path ("/Music/a.mp3").
uint32_t PathBucket(std::u16string_view path);

class PathIndex {
 public:
  static constexpr uint32_t kNone = 0xFFFFFFFF;
  // `area` holds at least kPathIndexBytes.
  explicit PathIndex(std::span<uint8_t> area) : area_(area) {}

  void Clear();
  // False when every node is taken (never: a library holds at most kMaxTracks tracks).
  bool Add(uint32_t bucket, uint32_t track, uint32_t position);
  uint32_t First(uint32_t bucket) const { return Load(Head(bucket)); }
  uint32_t Track(uint32_t node) const { return Load(Node(node)); }
  uint32_t Position(uint32_t node) const { return Load(Node(node) + 4); }
  uint32_t Next(uint32_t node) const { return Load(Node(node) + 8); }

 private:
  static uint32_t Load(const uint8_t* p);
  static void Store(uint8_t* p, uint32_t v);
  uint8_t* Head(uint32_t bucket) const { return area_.data() + 4 * size_t{bucket}; }
  uint8_t* Node(uint32_t node) const {
    return area_.data() + 4 * size_t{kPathBuckets} + 12 * size_t{node};
  }

  std::span<uint8_t> area_;
  uint32_t nodes_ = 0;
};

}  // namespace deltrix::library
