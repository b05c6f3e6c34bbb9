// Byte order helpers. Library files are little-endian on every host; tag formats also use
// big-endian fields (ID3v2 sizes, MP4 atom lengths). Each name says its order; none looks at the
// host's.
#pragma once

#include <cstdint>

namespace deltrix {

inline uint16_t GetLe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t GetLe32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
inline uint16_t GetBe16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t GetBe32(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}
inline uint64_t GetBe64(const uint8_t* p) { return uint64_t{GetBe32(p)} << 32 | GetBe32(p + 4); }

inline void PutLe16(uint8_t* dst, uint16_t v) {
  dst[0] = static_cast<uint8_t>(v);
  dst[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* dst, uint32_t v) {
  for (int i = 0; i < 4; ++i) dst[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutBe32(uint8_t* dst, uint32_t v) {
  for (int i = 0; i < 4; ++i) dst[i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}

}  // namespace deltrix
