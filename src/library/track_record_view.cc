#include "library/track_record_view.h"

#include "base/byte_order.h"

namespace deltrix::library {

namespace {

uint32_t RoundUp4(uint32_t n) { return (n + 3) & ~3u; }

// The most units a string can have: 8-bit text keeps one byte of its limit for the terminator,
// UTF-16 text one unit; no path is longer than a file may have.
uint32_t MostUnits(int s, bool narrow) {
  const uint32_t most = narrow ? kStoredLimit[s] - 1 : kStoredLimit[s] / 2 - 1;
  return s == kPath && most > kMaxRelativePathUnits ? kMaxRelativePathUnits : most;
}

}  // namespace

bool NarrowUnits(const uint8_t* data, uint32_t from, uint32_t units) {
  for (uint32_t i = from; i < units; ++i) {
    if (GetLe16(data + 2 * i) >= 0x100) return false;
  }
  return true;
}

RecordFault ParseTrackRecord(std::span<const uint8_t> bytes, TrackRecordView* out) {
  if (bytes.size() < kRecordHeadLength || !HasTag(bytes.data(), kRecordTag))
    return kNotATrackRecord;
  const uint8_t* p = bytes.data();
  const uint32_t head = GetLe32(p + 4);
  const uint32_t length = GetLe32(p + 8);
  if (head != kRecordHeadLength || length < head || length > bytes.size() ||
      GetLe32(p + 12) != kStringCount) {
    return kNotATrackRecord;
  }
  // Bit 23 of reservedD is a flag byte; the head's padding and the top bit of bits 0-22 are zero.
  if (p[17] > 1 || p[18] != 0 || p[19] != 0 || (p[46] & 0x80) != 0 || p[47] != 0)
    return kNotATrackRecord;
  uint32_t at = head;
  for (int s = 0; s < kStringCount; ++s) {
    if (length - at < kStringChunkHeadLength || !HasTag(p + at, kStringChunkTag))
      return kNoPathChunk;
    const uint8_t* chunk = p + at;
    const uint32_t chunkLength = GetLe32(chunk + 8);
    const uint32_t dataLength = GetLe32(chunk + 20);
    if (GetLe32(chunk + 4) != kStringChunkHeadLength || GetLe32(chunk + 12) != uint32_t(s) ||
        chunkLength < kStringChunkHeadLength || chunkLength > length - at ||
        dataLength != chunkLength - kStringChunkHeadLength) {
      return kNotATrackRecord;
    }
    const uint32_t group = GetLe32(chunk + 16);
    if (s > kAlbum && group != 0) return kNotATrackRecord;
    const uint8_t* data = chunk + kStringChunkHeadLength;
    uint32_t units = 0;
    while (2 * units + 1 < dataLength && GetLe16(data + 2 * units) != 0) ++units;
    if (2 * units + 2 > dataLength || dataLength != RoundUp4(2 * units + 2))
      return kNotATrackRecord;
    for (uint32_t i = 2 * units; i < dataLength; ++i) {
      if (data[i] != 0) return kNotATrackRecord;
    }
    if (units > MostUnits(s, NarrowUnits(data, 0, units))) return kNotATrackRecord;
    if (s == kPath) {
      for (uint32_t i = 0; i < units; ++i) {
        if (GetLe16(data + 2 * i) == u'\\') return kNotATrackRecord;
      }
    }
    if (s <= kAlbum) out->groupNumber[s] = group;
    out->dataAt[s] = at + kStringChunkHeadLength;
    out->dataLength[s] = dataLength;
    out->units[s] = units;
    at += chunkLength;
  }
  if (at != length) return kNotATrackRecord;  // nothing after the path's chunk
  out->length = length;
  out->index = GetLe32(p + 20);
  out->id = GetLe32(p + 24);
  out->trackNumber = GetLe16(p + 36);
  return kRecordSound;
}

}  // namespace deltrix::library
