// The browse tables of keys 0-2, built from a key's sorted list and the group numbers of the final
// pass. Levels: key 0 genre > artist > album, key 1 artist > album, key 2 album. A table entry
// (GroupEntry, library_context.h) names its first track; above the deepest level its first child
// and count point into the next level's table, at the deepest level into the key's sorted track
// list. Index in parent is the entry's position among its parent's sub-groups (0x1FFFFF at the
// first level).
//
// More than 1000 genres: the genre table keeps its first 1000 entries (the genres numbered 0-999).
// The last stored genre counts only its own artists; the artist entries of the further genres
// (group number 0xFFFFFFFE) stay in the artist-in-genre table, with their albums linked as usual,
// but belong to no stored genre: their index in parent stays 0x1FFFFF. So every stored entry's
// first child and count stay inside the next table and every genre lists only its own artists.
#pragma once

#include "library/library_context.h"

namespace deltrix::library {

// Builds the tables of one key (0, 1 or 2). kDone, or 0 after a trace record of site
// kSiteGroupBuild: 1 the key is out of range; 2 or 3 a first track is missing from the next level
// or the sorted list (inconsistent input; never after a complete final pass).
[[nodiscard]] int BuildGroupTables(LibraryContext& ctx, int key);

// Entries stored in a table: from the first until its capacity or the first free entry.
uint32_t StoredEntries(const LibraryContext& ctx, int table);

}  // namespace deltrix::library
