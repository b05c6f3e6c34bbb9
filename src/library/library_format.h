// The numbers that the library files' writers and readers share: limits, tags, head lengths and
// the sizes of a run's memory. The layout of each file is described once, in its writer's header
// (track_list_file.h, browse_list_file.h, summary_file.h). The player reads these files byte for
// byte: none of these values may change.
#pragma once

#include <cstddef>
#include <cstdint>

namespace deltrix::library {

// --- limits shared by every part of the library ----------------------------------------------
inline constexpr uint32_t kMaxTracks = 150000;
inline constexpr uint32_t kMaxGenreGroups = 1000;

// The five strings of a track, in their stored order (also the string index in ZRTL.DB).
enum StringIndex : int { kGenre = 0, kArtist = 1, kAlbum = 2, kTitle = 3, kPath = 4 };
inline constexpr int kStringCount = 5;
// Stored text per string, in bytes of its stored form.
inline constexpr uint32_t kStoredLimit[kStringCount] = {60, 96, 96, 128, 512};
// Units compared per string (half the stored limits); the path is never compared.
inline constexpr uint32_t kCompareLimit[4] = {30, 48, 48, 64};
// Distinct values numbered per sort key; further values get kGroupNumberOverflow.
inline constexpr uint32_t kGroupLimit[3] = {kMaxGenreGroups, kMaxTracks, kMaxTracks};
inline constexpr uint32_t kGroupNumberUnset = 0xFFFFFFFF;
inline constexpr uint32_t kGroupNumberOverflow = 0xFFFFFFFE;

// Sort keys: 0 genre, 1 artist, 2 album, 3 title. Keys 0-2 have 3, 2, 1 browse levels.
inline constexpr int kSortKeys = 4;
// Keys 0-2 (genre, artist, album) number their groups and have browse levels; the title has none.
inline constexpr int kGroupedKeys = 3;
inline constexpr int LevelsOfKey(int key) { return 3 - key; }

// --- memory of one run ------------------------------------------------------------------------
inline constexpr size_t kPoolBytes = 17825792;
inline constexpr size_t kFileBufferBytes = 2400056;
inline constexpr size_t kAuxBytes = 1200000;  // two quicksort stacks of kMaxTracks entries
// A create's collation keys, computed once per track (library_context.h). A library whose keys do
// not fit sorts and merges on from the stored strings, with the same result.
inline constexpr size_t kKeyBytes = 16 * 1024 * 1024;
// Writes through the file buffer are flushed when the filled part exceeds its size minus this.
inline constexpr size_t kFlushReserve = 2064;
// A record read back is at most this long.
inline constexpr size_t kRecordReadBytes = 2048;

// --- ZRTL.DB: track list ----------------------------------------------------------------------
inline constexpr char kTrackListTag[4] = {'z', 'r', 't', 'l'};
inline constexpr char kRecordTag[4] = {'z', 'r', 't', 'i'};
inline constexpr char kStringChunkTag[4] = {'z', 'r', 's', 't'};
inline constexpr uint32_t kTrackListHeadLength = 16;
inline constexpr uint32_t kRecordHeadLength = 48;
inline constexpr uint32_t kStringChunkHeadLength = 24;

// --- ZRBL.DB: browse lists ---------------------------------------------------------------------
inline constexpr char kBrowseListTag[4] = {'z', 'r', 'b', 'l'};
inline constexpr char kBlockTag[4] = {'z', 'r', 'b', 'i'};
inline constexpr char kListTag[4] = {'z', 'r', 'b', 'a'};
inline constexpr uint32_t kBrowseListHeadLength = 16;
inline constexpr uint32_t kBlockHeadLength = 20;
inline constexpr uint32_t kListHeadLength = 20;
inline constexpr uint8_t kListKindTracks = 1;
inline constexpr uint8_t kListKindGroups = 2;
inline constexpr uint8_t kTrackListAttribute = 3;
inline constexpr uint32_t kGroupRowBytes = 16;

// --- ZRDB.DB: summary --------------------------------------------------------------------------
inline constexpr char kSummaryTag[4] = {'z', 'r', 'd', 'b'};
inline constexpr char kStatsSectionTag[4] = {'z', 'r', 't', 's'};
inline constexpr char kStatsEntryTag[4] = {'z', 'r', 's', 's'};
inline constexpr char kStatsValueTag[4] = {'z', 'r', 's', 'd'};
inline constexpr char kDirectorySectionTag[4] = {'z', 'r', 'b', 's'};
inline constexpr char kDirectoryEntryTag[4] = {'z', 'r', 'a', 's'};
inline constexpr uint32_t kSummaryHeadLength = 32;
inline constexpr uint32_t kSectionHeadLength = 16;
inline constexpr uint32_t kStatsEntryLength = 72;
inline constexpr uint32_t kStatsSectionLength = kSectionHeadLength + 5 * kStatsEntryLength;  // 376
inline constexpr uint32_t kDirectoryEntryLength = 24;
inline constexpr uint32_t kDirectoryEntries = 10;
inline constexpr uint32_t kSummaryFileLength = kSummaryHeadLength + kStatsSectionLength +
                                               kSectionHeadLength +
                                               kDirectoryEntries * kDirectoryEntryLength;
inline constexpr uint32_t kPathShareInterval = 20;  // path prefix sharing restarts every 20 tracks

// One string kind's statistics in ZRDB.DB: UTF-16 bytes with terminators, compact bytes, values.
struct StringStats {
  uint32_t total = 0;
  uint32_t compact = 0;
  uint32_t count = 0;
};

// One entry of ZRDB.DB's list directory: a list of ZRBL.DB and its number of entries.
struct DirectoryEntry {
  uint32_t key = 0;
  uint8_t kind = 0;  // kListKindTracks or kListKindGroups
  uint8_t attribute = 0;
  uint8_t level = 0;
  uint32_t entries = 0;
};

inline bool HasTag(const uint8_t* p, const char (&tag)[4]) {
  return p[0] == uint8_t(tag[0]) && p[1] == uint8_t(tag[1]) && p[2] == uint8_t(tag[2]) &&
         p[3] == uint8_t(tag[3]);
}

}  // namespace deltrix::library
