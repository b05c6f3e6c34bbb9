// The modification times of the files behind a library's tracks, in a file of our own beside the
// backup copies (KORVANE\TIMES.DAT, outside the library folder the player reads). An update that
// looks for changed files compares each known file's time now with the time recorded when its
// track was read. The file is tied to the library it describes by ZRTL.DB's length, its track count
// and a digest of its track ids in track order (an id is never given twice, so any change of the
// tracks changes the digest), and checked by its length and a CRC-32 when read.
//
// Layout, all little-endian, 4 bytes a track:
//   0 "dxtm" | 4 u32 1 (version) | 8 u32 ZRTL.DB length | 12 u32 track count | 16 u32 id digest |
//   20 count x u32 time (seconds since 1970 UTC; kUnknownFileTime where not known) |
//   u32 CRC-32 of every byte before it
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace deltrix::library {

inline constexpr std::u16string_view kTimesFile = u"TIMES.DAT";
inline constexpr uint32_t kUnknownFileTime = 0xFFFFFFFF;
inline constexpr uint32_t kIdDigestSeed = 2166136261u;

// root + "KORVANE\TIMES.DAT".
std::u16string TimesFilePath(std::u16string_view root);

// What ties a times file to a library.
struct LibraryStamp {
  uint32_t trackListLength = 0;
  uint32_t trackCount = 0;
  uint32_t idDigest = kIdDigestSeed;
  bool operator==(const LibraryStamp&) const = default;
};

// Folds the next track id (in track order) into a digest that starts at kIdDigestSeed.
inline uint32_t FoldTrackId(uint32_t digest, uint32_t id) {
  for (int b = 0; b < 4; ++b) digest = (digest ^ ((id >> (8 * b)) & 0xFF)) * 16777619u;
  return digest;
}

// A platform time as stored: kUnknownFileTime for kNoTime or a time the 32 bits cannot hold.
uint32_t StoredFileTime(int64_t seconds);

// Whether a file whose time was `recorded` and is `now` counts as unchanged. FAT keeps times to
// 2 seconds, and some systems show them an hour off across a daylight-saving change: a difference
// of 2 s or less, or of exactly one hour, is no change. An unknown time on either side decides
// nothing (the size alone decides then).
bool SameFileTime(uint32_t recorded, uint32_t now);

enum class TimesFileState { kLoaded, kMissing, kStale, kDamaged };

// Reads the times file on the drive for the library `library`: kLoaded fills `times` (one a track,
// in track order); kMissing when it cannot be opened, kDamaged when its length, tag, version or
// checksum is wrong, kStale when it describes another library. `times` is empty unless loaded.
[[nodiscard]] TimesFileState ReadTimesFile(platform::FileSystem& files, std::u16string_view root,
                                           const LibraryStamp& library,
                                           std::vector<uint32_t>* times);

// Reads ZRTL.DB on the drive back for its stamp and its track ids in track order. False when it
// cannot be read or is not laid out as the writer lays it out.
[[nodiscard]] bool StampTrackList(platform::FileSystem& files, std::u16string_view root,
                                  LibraryStamp* stamp, std::vector<uint32_t>* ids);

// The times of the tracks a run read or kept, by track id, written at the end of a run in the
// track order of the library it wrote.
class TrackTimes {
 public:
  void Note(uint32_t id, uint32_t time) { notes_.emplace_back(id, time); }
  void Clear() { notes_.clear(); }
  // Writes the times file for the library now on the drive; a track without a note gets
  // kUnknownFileTime. False when ZRTL.DB cannot be read back or the file cannot be written: the
  // times file is then removed, so that no later run trusts an old one.
  [[nodiscard]] bool Write(platform::FileSystem& files, std::u16string_view root);

 private:
  std::vector<std::pair<uint32_t, uint32_t>> notes_;  // id, time
};

}  // namespace deltrix::library
