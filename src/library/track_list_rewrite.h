// The steps of an update that drop the tracks whose files were not found, in the order the updater
// calls them: RewriteTrackList copies the kept records of ZRTL.DB to ZRTB.DB (renumbered, the
// title and path figures recounted), puts ZRTB.DB in the place of ZRTL.DB and renumbers the sorted
// lists; DropRemovedTracks then closes the gaps in the sorted lists. NumberKeptGroups numbers the
// groups of the kept tracks when no new track is added (a final pass numbers everything otherwise).
#pragma once

#include <cstdint>

#include "library/library_context.h"
#include "platform/platform.h"

namespace deltrix::library {

// A dropped track in a sorted list, from the rewrite until DropRemovedTracks.
inline constexpr uint32_t kRemovedTrack = 0xFFFFFFFF;

// The end of old record t of the `count` in ZRTL.DB, from the offsets (records are contiguous).
inline uint32_t RecordEnd(const LibraryContext& ctx, uint32_t t, uint32_t count) {
  return t + 1 < count ? ctx.recordOffsets[t + 1] : ctx.trackListLength;
}

// Rewrites ZRTL.DB without the tracks whose present flag is 0. An ErrorCode, as the two kinds of
// failure differ: 0; 3 ZRTL.DB could not be read or holds a broken record; 4 ZRTB.DB could not be
// written or put in the place of ZRTL.DB. A failure deletes ZRTB.DB and leaves a trace record of
// site kSiteRewrite.
[[nodiscard]] int RewriteTrackList(LibraryContext& ctx, platform::FileSystem& files);

// Closes the gaps of the dropped tracks in every sorted list and counts the kept tracks as written,
// before any batch of new ones. kDone, or 0 after a trace record of site kSiteRebuild (step 2) when
// a list does not hold the kept tracks.
[[nodiscard]] int DropRemovedTracks(LibraryContext& ctx);

// The groups of the kept tracks in each key's order, and the genre, artist and album figures
// counted over the distinct values as a final pass counts them. kDone, or 0 after a trace record
// of site kSiteRebuild (1 ZRTL.DB could not be opened, 2 otherwise).
[[nodiscard]] int NumberKeptGroups(LibraryContext& ctx, platform::FileSystem& files);

}  // namespace deltrix::library
