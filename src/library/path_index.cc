#include "library/path_index.h"

#include <algorithm>
#include <cstring>

namespace deltrix::library {

namespace {
constexpr uint32_t kHashUnits = 257;
}  // namespace

void PathHash::Add(char16_t unit) {
  if (units_++ >= kHashUnits) return;
  const uint32_t high = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(unit >> 8)));
  const uint32_t low =
      static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(unit & 0xFF)));
  h_ = h_ * 37u + ((high << 8) | low);
}

uint32_t PathHash::Bucket() const {
  const int32_t h = static_cast<int32_t>(h_);
  const uint32_t magnitude = h < 0 ? 0u - h_ : h_;
  return magnitude % kPathBuckets;
}

uint32_t PathBucket(std::u16string_view path) {
  PathHash hash;
  for (size_t i = 0; i < path.size() && path[i] != 0; ++i) hash.Add(path[i]);
  return hash.Bucket();
}

void PathIndex::Clear() {
  std::fill(area_.begin(), area_.begin() + 4 * size_t{kPathBuckets}, uint8_t{0xFF});
  nodes_ = 0;
}

bool PathIndex::Add(uint32_t bucket, uint32_t track, uint32_t position) {
  if (nodes_ >= kMaxTracks) return false;
  const uint32_t node = nodes_++;
  Store(Node(node), track);
  Store(Node(node) + 4, position);
  Store(Node(node) + 8, kNone);
  uint8_t* link = Head(bucket);
  while (Load(link) != kNone) link = Node(Load(link)) + 8;
  Store(link, node);
  return true;
}

uint32_t PathIndex::Load(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void PathIndex::Store(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }

}  // namespace deltrix::library
