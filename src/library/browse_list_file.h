// ZRBL.DB, the browse lists: for each sort key the sorted list of track indexes and one group list
// per browse level (group_tables.h). All integers little-endian.
//
// Header, 16 bytes:  0 "zrbl" | 4 u32 16 (where the first block starts) | 8 u32 file length |
//                   12 u32 4 (blocks)
// One block per key 0, 1, 2, 3, in this order. Block head, 20 bytes:
//                    0 "zrbi" | 4 u32 20 | 8 u32 block length (20 + its lists) |
//                   12 u32 lists in the block (levels + 1: 4, 3, 2, 1) | 16 u32 key
// Then the track list, then the group list of each level from the first. List head, 20 bytes:
//                    0 "zrba" | 4 u32 20 | 8 u32 list length (20 + 4 N, or 20 + 16 N) |
//                   12 u8 kind (1 track list, 2 group list) | 13 u8 attribute (3 for the track
//                   list, key + level - 1 for a group list) | 14 u8 level (0 track list; 1, 2, 3) |
//                   15 u8 0 | 16 u32 N (every track of the library, or the entries of the group
//                   list)
// Track list data: N u32 track indexes in the key's order. Group list data: N entries of four u32:
// first track, first child, count, index in parent. A group list holds the table's entries from
// the first until its capacity or the first free entry.
#pragma once

#include <cstdint>

#include "library/library_context.h"
#include "platform/platform.h"

namespace deltrix::library {

// Writes ZRBL.DB from the sorted lists and the group tables of keys 0-2 (built first), and keeps
// the entries written per key and level in ctx.listEntries for ZRDB.DB. kDone, or 0 after a trace
// record of site kSiteWriteBrowseList: 1 open; 2 header, 3 block head, 4 track list, 6 group list
// when writing out the gathered bytes failed while that part was being added; 8 when the last
// write or the close failed.
[[nodiscard]] int WriteBrowseList(LibraryContext& ctx, platform::FileSystem& files);

// An update's reading of ZRBL.DB for a library of `count` tracks whose records' group numbers are
// in ctx.groupNumbers: the four sorted lists go to ctx.sortedLists, and the entries of each group
// list to ctx.listEntries. Everything is checked as it is read: the layout as the writer writes it,
// each sorted list naming every track once, the group numbers counting up along each list, and
// each group list holding what a finish would build from the lists and the numbers (the group
// tables are left cleared). kDone, or 0 after a trace record of site kSiteReadBrowseList: 1 open;
// 2 header (or the file does not end with the last block); 3 block head; 4 list head; 5 track list;
// 6 group numbers; 7 group list.
[[nodiscard]] int ReadBrowseList(LibraryContext& ctx, platform::FileSystem& files, uint32_t count);

}  // namespace deltrix::library
