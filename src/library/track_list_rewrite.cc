#include "library/track_list_rewrite.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <span>
#include <string_view>

#include "base/byte_order.h"
#include "base/error_code.h"
#include "library/batch_sort.h"
#include "library/library_files.h"
#include "library/library_format.h"
#include "library/track_record_view.h"

namespace deltrix::library {

namespace {

constexpr uint32_t kPathBufferUnits = 256;

uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~1u; }

}  // namespace

int RewriteTrackList(LibraryContext& ctx, platform::FileSystem& files) {
  ctx.phase = kPhaseRewriting;
  std::unique_ptr<platform::File> source;
  std::unique_ptr<platform::File> target;
  // A step that could not read the library is a data error; one that could not write ZRTB.DB or put
  // it in place is a write error, as on a full card.
  auto fail = [&](uint32_t step, int code = CreateDataFailed) {
    source.reset();
    target.reset();
    (void)DeleteLibraryFile(files, ctx.rootPath(), kRewriteFile);
    Trace(ctx, kSiteRewrite, step);
    return code;
  };
  for (int s = kGenre; s < kStringCount; ++s) {
    ctx.stats[s].total = 0;
    ctx.stats[s].compact = 0;
  }
  ctx.previousPath.fill(0);
  ctx.previousPathUnits = 0;

  source = OpenLibraryFile(files, ctx.rootPath(), kTrackListFile, "rb");
  if (!source) {
    Trace(ctx, kSiteRewrite, 1);
    return CreateDataFailed;
  }
  target = OpenLibraryFile(files, ctx.rootPath(), kRewriteFile, "w+b");
  if (!target) return fail(3, WriteFileFailed);
  uint8_t head[kTrackListHeadLength];
  if (source->Read(head, sizeof head) != sizeof head) return fail(4);
  if (target->Write(head, sizeof head) != sizeof head) return fail(40, WriteFileFailed);

  const uint32_t count = ctx.libraryTrackCount;
  std::span<uint32_t> newIndex(ctx.permutation.data(), count);  // old index -> new, or kRemoved
  uint8_t* buffer = ctx.fileBuffer.data();
  const size_t flushAt = ctx.fileBuffer.size() - kFlushReserve;
  uint32_t written = kTrackListHeadLength;
  size_t gathered = 0;
  uint32_t u = 0;
  uint32_t removed = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t flag = ctx.presentFlags[i];
    if (flag == 0) {
      newIndex[i] = kRemovedTrack;
      ++removed;
      continue;
    }
    if (flag != 1) return fail(7);
    const uint32_t offset = ctx.recordOffsets[i];
    const uint32_t want = std::min<uint32_t>(RecordEnd(ctx, i, count) - offset, kRecordReadBytes);
    size_t got = 0;
    if (source->Seek(offset, platform::SeekFrom::Start))
      got = source->Read(buffer + gathered, want);
    if (got < kRecordHeadLength) return fail(6);
    TrackRecordView strings;
    if (ParseTrackRecord(std::span<const uint8_t>(buffer + gathered, got), &strings) !=
        kRecordSound)
      return fail(30);
    uint8_t* record = buffer + gathered;
    PutLe32(record + 20, u);
    // Recount the title and the path of the kept record from the chunks' data lengths (rounded up
    // to 4, the terminator held): each counts its data length + 2, and its compact size from that
    // (8-bit text in half; paths share their prefix with the previous kept path, except at every
    // 20th old index).
    {
      const uint8_t* title = record + strings.dataAt[kTitle];
      const uint32_t w = strings.dataLength[kTitle] + 2;
      ctx.stats[kTitle].total += w;
      ctx.stats[kTitle].compact +=
          NarrowUnits(title, 0, strings.units[kTitle]) ? RoundUpEven(w / 2) : w;
      const uint8_t* path = record + strings.dataAt[kPath];
      char16_t units[kPathBufferUnits];
      for (uint32_t k = 0; k < strings.units[kPath]; ++k)
        units[k] = static_cast<char16_t>(GetLe16(path + 2 * k));
      const uint32_t n = strings.dataLength[kPath] + 2;
      CountPathStatistics(ctx, std::u16string_view(units, strings.units[kPath]), n, n,
                          i % kPathShareInterval == 0);
    }
    ctx.recordOffsets[u] = written + static_cast<uint32_t>(gathered);  // u <= i: read already
    newIndex[i] = u;
    gathered += strings.length;
    ++u;
    if (gathered > flushAt) {
      if (target->Write(buffer, gathered) != gathered) return fail(8, WriteFileFailed);
      written += static_cast<uint32_t>(gathered);
      gathered = 0;
    }
  }
  if (gathered > 0 && target->Write(buffer, gathered) != gathered) return fail(9, WriteFileFailed);
  written += static_cast<uint32_t>(gathered);
  std::memcpy(head, kTrackListTag, 4);
  PutLe32(head + 4, kTrackListHeadLength);
  PutLe32(head + 8, written);
  PutLe32(head + 12, u);
  if (!target->Seek(0, platform::SeekFrom::Start) ||
      target->Write(head, sizeof head) != sizeof head) {
    return fail(10, WriteFileFailed);
  }
  source.reset();
  // ZRTB.DB takes the place of ZRTL.DB in one step: at no moment is there no track list.
  if (ReplaceLibraryFile(files, ctx.rootPath(), &target, kRewriteFile, kTrackListFile) != 0)
    return fail(12, WriteFileFailed);

  // Every list names each old track once: renumbering in place is replacing its first occurrence.
  for (auto& list : ctx.sortedLists) {
    for (uint32_t p = 0; p < count; ++p) list[p] = newIndex[list[p]];
  }
  ctx.trackListLength = written;
  ctx.removedTracks = removed;
  return Success;
}

int DropRemovedTracks(LibraryContext& ctx) {
  ctx.phase = kPhaseRebuild;
  const uint32_t total = ctx.totalTracks;
  for (auto& list : ctx.sortedLists) {
    uint32_t kept = 0;
    for (uint32_t p = 0; p < ctx.libraryTrackCount && kept < total; ++p) {
      if (list[p] != kRemovedTrack) list[kept++] = list[p];
    }
    if (kept != total) {
      Trace(ctx, kSiteRebuild, 2);
      return 0;
    }
  }
  ctx.tracksWritten = total;
  ctx.batchCount = 0;
  return kDone;
}

int NumberKeptGroups(LibraryContext& ctx, platform::FileSystem& files) {
  // When new tracks are added the final pass numbers everything again, so this runs only when none
  // is.
  ctx.phase = kPhaseNumbering;
  for (int key = kGenre; key < kGroupedKeys; ++key) {
    ctx.currentKey = static_cast<uint16_t>(key);
    const uint32_t traced = ctx.traceCount;
    if (MergeBatch(ctx, files, true) != kDone) {
      const bool openFailed = ctx.traceCount > traced &&
                              ctx.trace[traced].site == kSiteReadRecord &&
                              ctx.trace[traced].step == 1;
      Trace(ctx, kSiteRebuild, openFailed ? 1 : 2);
      return 0;
    }
  }
  return kDone;
}

}  // namespace deltrix::library
