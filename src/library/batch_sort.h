// Sorting a batch by one key, merging it with the tracks already written, and numbering the groups.
// Each batch is sorted in memory by each key with one particular iterative quicksort (the order it
// leaves equal keys in is part of the library, so no other sort may stand in for it), then merged
// with the key's list of written tracks (on equal keys the new track goes first). A create compares
// the collation keys kept for every track (library_context.h) as bytes; an update, or a create
// whose keys outgrew their block, compares the stored strings, reading the written tracks' strings
// back from ZRTL.DB one record at a time. Both give the same order. The final pass also numbers the
// groups of keys 0-2 (equal normalised values share a number) and gathers the genre, artist and
// album statistics.
#pragma once

#include "library/library_context.h"
#include "platform/platform.h"

namespace deltrix::library {

// Sorts the batch's entry numbers (ctx.permutation) by ctx.currentKey. kDone, or 0 when the
// quicksort's stack would overflow (never with kMaxTracks entries).
[[nodiscard]] int SortBatch(LibraryContext& ctx);

// Merges the sorted batch into the list of ctx.currentKey; a batch track gets the index
// tracksWritten + its entry number. With `final`, numbers the groups (keys 0-2) and sets the
// statistics of the key. kDone, or 0 after a trace record of site kSiteReadRecord (1 ZRTL.DB cannot
// be opened, 4 a record read short, 5 not a track record).
[[nodiscard]] int MergeBatch(LibraryContext& ctx, platform::FileSystem& files, bool final);

// For keys 0-3 sort and merge, then append the batch to ZRTL.DB and start a new batch.
// Success, CreateDataFailed (sort or merge) or WriteFileFailed (ZRTL.DB).
[[nodiscard]] int SortAndWriteBatch(LibraryContext& ctx, platform::FileSystem& files, bool final);

}  // namespace deltrix::library
