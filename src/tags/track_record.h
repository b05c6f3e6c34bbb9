// TrackRecord: what is learned about one audio file on its way from the tag readers to the library.
// The record owns its five text buffers (one block, no allocation); texts are native UTF-16 units,
// always terminated within their capacity. Only ReadTrackFile fills a record; the library's
// add-track step copies every field into its own entry and rewrites the path's separators in place.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace deltrix::tags {

// The type stored with each track, from the file name's extension.
enum class FileType : uint8_t { None = 0, Mp3 = 1, Aac = 2, Mp4 = 3, M4a = 4, Wav = 12, Aiff = 13 };

// Buffer capacities in UTF-16 units, terminator included.
inline constexpr size_t kGenreUnits = 30;
inline constexpr size_t kArtistUnits = 48;
inline constexpr size_t kAlbumUnits = 48;
inline constexpr size_t kTitleUnits = 64;
inline constexpr size_t kPathUnits = 256;

inline constexpr uint32_t kReservedDAllSet = 0x7FFFFF;  // 23 bits

struct TrackRecord {
  int32_t fileSize = -1;   // bytes; the end position after seeking to the end
  int32_t reservedA = -1;  // not filled by tag reading; copied as is
  int32_t reservedB = -1;
  int16_t trackNumber = -1;  // -1 when no tag gave one; 0 is a possible value
  int16_t reservedC = -1;
  uint32_t reservedD = kReservedDAllSet;  // 23 bits
  uint8_t reservedFlag = 1;               // 1 bit
  FileType fileType = FileType::None;
  char16_t genre[kGenreUnits] = {};
  char16_t artist[kArtistUnits] = {};
  char16_t album[kAlbumUnits] = {};
  char16_t title[kTitleUnits] = {};
  char16_t path[kPathUnits] = {};  // full path without drive letter and colon: \Music\a.mp3
  // The file's last modification time when opening it told it (platform::kNoTime otherwise). It is
  // not part of the track list: the run keeps it beside the library, to see later changes.
  int64_t modifiedTime = platform::kNoTime;

  // reservedD (bits 0-22), reservedFlag (bit 23) and fileType (bits 24-31) share one word.
  uint32_t PackedWord() const {
    return (reservedD & kReservedDAllSet) | uint32_t{reservedFlag & 1u} << 23 |
           uint32_t{static_cast<uint8_t>(fileType)} << 24;
  }
};

// Stores n units of decoded text into a field of `capacity` units: at most capacity - 1 units are
// kept and the field is always terminated. Storing always overwrites, also with an empty text.
inline void StoreFieldText(const char16_t* text, size_t n, char16_t* field, size_t capacity) {
  if (n + 1 > capacity) n = capacity - 1;
  for (size_t i = 0; i < n; ++i) field[i] = text[i];
  field[n] = 0;
}

}  // namespace deltrix::tags
