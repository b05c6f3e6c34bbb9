#include "library/library_updater.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <string>

#include "base/byte_order.h"
#include "base/error_code.h"
#include "library/add_list.h"
#include "library/batch_sort.h"
#include "library/library_build.h"
#include "library/library_files.h"
#include "library/path_index.h"
#include "library/track_list_file.h"
#include "library/track_record_view.h"

namespace deltrix::library {

namespace {

constexpr uint32_t kRemoved = 0xFFFFFFFF;  // a dropped track in a sorted list, until the rebuild
constexpr uint32_t kPathBufferUnits = 256;

uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~1u; }

// The byte span of old record t, from the offsets (records are contiguous).
uint32_t RecordEnd(const LibraryContext& ctx, uint32_t t, uint32_t count) {
  return t + 1 < count ? ctx.recordOffsets[t + 1] : ctx.trackListLength;
}

}  // namespace

CLibraryUpdater::CLibraryUpdater(platform::FileSystem& files, TrackSource& source,
                                 UpdaterOptions options)
    : files_(files),
      build_(files, source, BuildMemory{options.poolBytes, options.fileBufferBytes}),
      options_(options) {}

CLibraryUpdater::~CLibraryUpdater() { Close(); }

bool CLibraryUpdater::Ready() const { return build_.IsOpen() && index_; }

int CLibraryUpdater::Open(std::u16string_view driveRoot, BuildOwner& owner) {
  Close();
  merged_ = false;
  if (options_.poolBytes < kMaxTracks + kPathIndexBytes + kEntryHeadroom) return CreateDataFailed;
  if (build_.Open(driveRoot, owner, EngineMode::kUpdate) != Success) return CreateDataFailed;
  LibraryContext& ctx = build_.ctx();
  index_ = std::make_unique<LibraryIndex>(ctx.pool.first(kPathIndexBytes));
  if (index_->Read(ctx, files_) != kDone) return CreateDataFailed;
  if (CreateAddList(ctx, files_) != kDone) return CreateDataFailed;
  ctx.phase = kPhaseOpen;
  return Success;
}

int CLibraryUpdater::CheckFile(std::u16string_view fullPath) {
  if (!Ready() || merged_) return CreateDataFailed;
  LibraryContext& ctx = build_.ctx();
  if (fullPath.size() < 2 || fullPath.size() - 2 > kMaxRelativePathUnits) return CannotOpenFile;
  int64_t size = -1;
  {
    std::unique_ptr<platform::File> audio = files_.Open(fullPath, "r");
    if (!audio || !audio->Seek(0, platform::SeekFrom::End)) return CannotOpenFile;
    size = audio->Tell();
    if (size < 0) return CannotOpenFile;
  }
  // The stored form: "/" for "\\" only (a yen sign is part of a name, as the add step keeps it).
  const uint32_t n = static_cast<uint32_t>(fullPath.size() - 2);
  char16_t relative[kPathBufferUnits];
  for (uint32_t i = 0; i < n; ++i) {
    const char16_t c = fullPath[2 + i];
    relative[i] = c == u'\\' ? u'/' : c;
  }
  const std::u16string_view stored(relative, n);
  const uint32_t bucket = PathBucket(stored);

  if (!trackList_) {
    trackList_ = OpenLibraryFile(files_, ctx.rootPath(), kTrackListFile, "rb");
    if (!trackList_) {
      Trace(ctx, kSiteCheckOpen, 1);
      return CreateDataFailed;
    }
  }
  const uint32_t count = ctx.libraryTrackCount;
  for (uint32_t node = index_->paths().First(bucket); node != PathIndex::kNone;
       node = index_->paths().Next(node)) {
    const uint32_t t = index_->paths().Track(node);
    if (t >= count || ctx.presentFlags[t] != 0) continue;
    const uint32_t offset = ctx.recordOffsets[t];
    const uint32_t want = std::min<uint32_t>(RecordEnd(ctx, t, count) - offset, kRecordReadBytes);
    size_t got = 0;
    if (trackList_->Seek(offset, platform::SeekFrom::Start))
      got = trackList_->Read(ctx.recordBuffer.data(), want);
    const uint32_t at = index_->paths().Position(node);
    if (got < kRecordHeadLength || at < kStringChunkHeadLength || at > got) {
      Trace(ctx, kSiteCheckOpen, 2);
      return CreateDataFailed;
    }
    // The stored path, to its terminator within its data and what was read.
    const uint8_t* data = ctx.recordBuffer.data() + at;
    const uint32_t dataLength =
        std::min<uint32_t>(GetLe32(data - 4), static_cast<uint32_t>(got) - at);
    uint32_t units = 0;
    while (2 * units + 1 < dataLength && GetLe16(data + 2 * units) != 0) ++units;
    if (units != n) continue;
    bool same = true;
    for (uint32_t i = 0; same && i < n; ++i) same = GetLe16(data + 2 * i) == relative[i];
    if (same) {
      ctx.presentFlags[t] = 1;
      ++ctx.totalTracks;  // the tracks found so far
      return Success;
    }
  }
  // The add list is only ever written here: a failure is a write error (a full card, or backup
  // copies that could not be taken before the first write).
  if (QueueAddListRecord(ctx, files_, static_cast<uint32_t>(size), AddListKind(fullPath), stored) !=
      kDone) {
    return WriteFileFailed;
  }
  ++ctx.filesToAdd;
  ctx.changeFlags |= kFilesQueued;
  return Success;
}

int CLibraryUpdater::Merge(int tagLanguage) {
  if (!Ready() || merged_) return CreateDataFailed;
  LibraryContext& ctx = build_.ctx();
  merged_ = true;
  trackList_.reset();  // the rewrite replaces the file
  if (FlushAddList(ctx, files_) != kDone) return WriteFileFailed;
  if (ctx.totalTracks != ctx.libraryTrackCount) ctx.changeFlags |= kTracksRemoved;
  if (ctx.changeFlags == 0) return Success;  // nothing changed: nothing is written
  if ((ctx.changeFlags & kTracksRemoved) != 0) {
    if (const int code = RewriteTrackList(); code != Success) return code;
  }
  if (Rebuild() != kDone) return CreateDataFailed;
  if ((ctx.changeFlags & kFilesQueued) == 0)
    return NumberGroups() == kDone ? Success : CreateDataFailed;
  return AddQueuedFiles(tagLanguage);
}

int CLibraryUpdater::RewriteTrackList() {
  LibraryContext& ctx = build_.ctx();
  ctx.phase = kPhaseRewriting;
  std::unique_ptr<platform::File> source;
  std::unique_ptr<platform::File> target;
  // A step that could not read the library is a data error; one that could not write ZRTB.DB or put
  // it in place is a write error, as on a full card.
  auto fail = [&](uint32_t step, int code = CreateDataFailed) {
    source.reset();
    target.reset();
    (void)DeleteLibraryFile(files_, ctx.rootPath(), kRewriteFile);
    Trace(ctx, kSiteRewrite, step);
    return code;
  };
  for (int s = kGenre; s < kStringCount; ++s) {
    ctx.stats[s].total = 0;
    ctx.stats[s].compact = 0;
  }
  ctx.previousPath.fill(0);
  ctx.previousPathUnits = 0;

  source = OpenLibraryFile(files_, ctx.rootPath(), kTrackListFile, "rb");
  if (!source) {
    Trace(ctx, kSiteRewrite, 1);
    return CreateDataFailed;
  }
  target = OpenLibraryFile(files_, ctx.rootPath(), kRewriteFile, "w+b");
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
      newIndex[i] = kRemoved;
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
  if (ReplaceLibraryFile(files_, ctx.rootPath(), &target, kRewriteFile, kTrackListFile) != 0)
    return fail(12, WriteFileFailed);

  // Every list names each old track once: renumbering in place is replacing its first occurrence.
  for (auto& list : ctx.sortedLists) {
    for (uint32_t p = 0; p < count; ++p) list[p] = newIndex[list[p]];
  }
  ctx.trackListLength = written;
  ctx.removedTracks = removed;
  return Success;
}

int CLibraryUpdater::Rebuild() {
  LibraryContext& ctx = build_.ctx();
  ctx.phase = kPhaseRebuild;
  const uint32_t total = ctx.totalTracks;
  for (auto& list : ctx.sortedLists) {
    uint32_t kept = 0;
    for (uint32_t p = 0; p < ctx.libraryTrackCount && kept < total; ++p) {
      if (list[p] != kRemoved) list[kept++] = list[p];
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

int CLibraryUpdater::NumberGroups() {
  // The groups of the kept tracks in each key's order, and the genre, artist and album figures
  // counted over the distinct values as a final pass counts them. When new tracks are added the
  // final pass numbers everything again, so this runs only when none is.
  LibraryContext& ctx = build_.ctx();
  ctx.phase = kPhaseNumbering;
  for (int key = kGenre; key < kGroupedKeys; ++key) {
    ctx.currentKey = static_cast<uint16_t>(key);
    const uint32_t traced = ctx.traceCount;
    if (MergeBatch(ctx, files_, true) != kDone) {
      const bool openFailed = ctx.traceCount > traced &&
                              ctx.trace[traced].site == kSiteReadRecord &&
                              ctx.trace[traced].step == 1;
      Trace(ctx, kSiteRebuild, openFailed ? 1 : 2);
      return 0;
    }
  }
  return kDone;
}

int CLibraryUpdater::AddQueuedFiles(int tagLanguage) {
  LibraryContext& ctx = build_.ctx();
  BuildOwner& owner = build_.owner();
  owner.EnableStop(true);
  owner.BeginMergePhase();

  // The queued paths become the run's file list: drive letter and colon, then the stored path.
  AddListReader reader(ctx, files_);
  char16_t path[kPathBufferUnits];
  uint32_t units = 0;
  int32_t queued = 0;
  for (;;) {
    const AddListRead r = reader.Next(path, &units);
    if (r == kAddListEnded) break;
    if (r == kAddListBroken) return CreateDataFailed;
    if (static_cast<uint32_t>(queued) >= ctx.filesToAdd) {
      Trace(ctx, kSiteReadAddList, 1);  // more records than files were queued
      return CreateDataFailed;
    }
    if (!owner.WaitWhilePaused()) return RunStopped;
    std::u16string full(ctx.root.data(), 2);
    for (uint32_t i = 0; i < units; ++i) full.push_back(path[i] == u'/' ? u'\\' : path[i]);
    if (!owner.AppendMergePath(std::move(full))) {
      Trace(ctx, kSiteReadAddList, 2);
      return CreateDataFailed;
    }
    ++queued;
  }
  if (static_cast<uint32_t>(queued) != ctx.filesToAdd) {
    Trace(ctx, kSiteReadAddList, 1);
    return CreateDataFailed;
  }
  owner.SetPhaseTotal(queued);

  // The path index is not needed any more: the pool holds the new tracks from here on.
  if (options_.batchBytes != 0 && options_.batchBytes < ctx.pool.size()) {
    ctx.pool = ctx.pool.first(std::max<size_t>(options_.batchBytes, kEntryHeadroom + 4));
  }
  uint32_t added = 0;
  for (int32_t i = 0; i < queued; ++i) {
    if (!owner.WaitWhilePaused()) return RunStopped;
    const uint32_t before = ctx.totalTracks;
    const int code = build_.AddFile(owner.MergePath(i), tagLanguage);
    if (code != Success && code != CannotOpenFile) return code;
    if (ctx.totalTracks > before) ++added;
    owner.CountMergeFile(code == Success);  // a file left out of a full library counts as added
  }

  owner.EnableStop(false);
  if (!owner.WaitWhilePaused()) return RunStopped;
  if (added == 0) {
    ctx.changeFlags &= ~uint32_t{kFilesQueued};
    if ((ctx.changeFlags & kTracksRemoved) == 0) return Success;  // nothing changed after all
    return NumberGroups() == kDone ? Success : CreateDataFailed;
  }
  return build_.SortAndWriteBatch(true);
}

int CLibraryUpdater::Finish() {
  if (!Ready() || !merged_) return CreateDataFailed;
  if (build_.ctx().changeFlags == 0) return Success;
  return build_.WriteFinalFiles(true);
}

void CLibraryUpdater::Close() {
  trackList_.reset();
  if (build_.IsOpen()) (void)DeleteLibraryFile(files_, build_.ctx().rootPath(), kAddListFile);
  build_.Close();
  index_.reset();
}

}  // namespace deltrix::library
