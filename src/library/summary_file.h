// ZRDB.DB, the summary: the next free track id, the string statistics and a directory of the lists
// in ZRBL.DB. Written last, with one write. All integers little-endian.
//
// Header, 32 bytes: 0 "zrdb" | 4 u32 32 | 8 u32 32 | 12 u32 2 | 16 u32 0 | 20 u32 1 |
//                  24 u32 next track id | 28 u16 2 | 30 u16 sections that follow (2, or 0 when the
//                  statistics are not valid)
// Statistics section: "zrts" | u32 16 | u32 376 | u32 5, then per string index 0-4 (genre, artist,
//   album, title, path) an entry of 72 bytes:
//                  0 "zrss" | 4 u32 24 | 8 u32 72 | 12 u32 string index |
//                 16 u32 count (distinct values for 0-2, every track for 3 and 4) | 20 u32 2 values
//                 | 24 "zrsd" | 28 u32 24 | 32 u32 24 | 36 u32 0 (total) | 40 u32 0 | 44 u32 total
//                 bytes | 48 "zrsd" | 52 u32 24 | 56 u32 24 | 60 u32 kind: 1 compact, 3 for the
//                 path (compact with shared prefixes) | 64 u32 0, for the path 20 (the sharing
//                 restart) | 68 u32 compact
// List directory: "zrbs" | u32 16 | u32 240 (the entries' length, head not included) | u32 10, then
//   for key i = 0..3 and j = 0..3-i an entry of 24 bytes:
//                  0 "zras" | 4 u32 24 | 8 u32 24 | 12 u32 key i | 16 u8 2 for a group list (j < 3
//                  - i),
//                 1 for the track list | 17 u8 attribute i + j | 18 u8 j | 19 u8 0 |
//                 20 u32 entries (the group list's at level j + 1, or every track)
// A summary with both sections is 664 bytes.
#pragma once

#include "library/library_context.h"
#include "platform/platform.h"

namespace deltrix::library {

// Writes ZRDB.DB from the context (statistics, next id) and ctx.listEntries (set by
// WriteBrowseList). kDone, or 0 after a trace record of site kSiteWriteSummary (1 open, 2 write).
[[nodiscard]] int WriteSummary(LibraryContext& ctx, platform::FileSystem& files);

// What an existing summary says beyond the context's fields, for an update to hold against the
// other files: every string kind's statistics and the list directory, as far as they were read.
struct SummaryContents {
  bool hasStatistics = false;
  bool hasDirectory = false;
  StringStats stats[kStringCount];
  DirectoryEntry directory[kDirectoryEntries];
};

// An update's reading: next track id, and the title and path statistics (the rest into
// `contents`, when given). kDone (a missing or malformed statistics section only clears
// kFlagStatsValid, with a trace record of kSiteReadStats), or 0 after a trace record of site
// kSiteReadSummary (1 open, 2 header short or not a summary).
[[nodiscard]] int ReadSummary(LibraryContext& ctx, platform::FileSystem& files,
                              SummaryContents* contents = nullptr);

}  // namespace deltrix::library
