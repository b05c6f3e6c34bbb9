#include "library/library_updater.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <span>
#include <string>

#include "base/byte_order.h"
#include "base/error_code.h"
#include "library/add_list.h"
#include "library/batch_sort.h"
#include "library/browse_list_file.h"
#include "library/group_tables.h"
#include "library/library_build.h"
#include "library/library_files.h"
#include "library/path_index.h"
#include "library/summary_file.h"
#include "library/track_list_file.h"
#include "library/track_record_view.h"

namespace deltrix::library {

namespace {

constexpr uint32_t kRemoved = 0xFFFFFFFF;  // a dropped track in a sorted list, until the rebuild
constexpr uint32_t kPathBufferUnits = 256;

uint32_t RoundUpEven(uint32_t n) { return (n + 1) & ~1u; }

// Serves ZRTL.DB front to back through the file buffer, refilling it from the asked offset.
class SequentialReader {
 public:
  SequentialReader(platform::File& file, std::span<uint8_t> buffer, uint64_t fileLength)
      : file_(file), buffer_(buffer), fileLength_(fileLength) {}
  // The bytes [offset, offset + want), fewer at the file's end; empty when they cannot be read.
  std::span<const uint8_t> At(uint64_t offset, size_t want) {
    if (offset >= fileLength_) return {};
    want = static_cast<size_t>(std::min<uint64_t>(want, fileLength_ - offset));
    if (offset < start_ || offset + want > start_ + filled_) {
      filled_ = 0;
      start_ = offset;
      if (!file_.Seek(static_cast<int64_t>(offset), platform::SeekFrom::Start)) return {};
      filled_ =
          file_.Read(buffer_.data(),
                     static_cast<size_t>(std::min<uint64_t>(buffer_.size(), fileLength_ - offset)));
    }
    const size_t have = static_cast<size_t>(std::min<uint64_t>(want, start_ + filled_ - offset));
    return {buffer_.data() + (offset - start_), have};
  }

 private:
  platform::File& file_;
  std::span<uint8_t> buffer_;
  uint64_t fileLength_;
  uint64_t start_ = 0;
  size_t filled_ = 0;
};

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
  maxTrackId_ = 0;
  if (options_.poolBytes < kMaxTracks + kPathIndexBytes + kEntryHeadroom) return CreateDataFailed;
  if (build_.Open(driveRoot, owner, EngineMode::kUpdate) != Success) return CreateDataFailed;
  LibraryContext& ctx = build_.ctx();
  index_ = std::make_unique<PathIndex>(ctx.pool.first(kPathIndexBytes));
  if (IndexTrackList() != kDone) return CreateDataFailed;
  if (CreateAddList(ctx, files_) != kDone) return CreateDataFailed;
  if (ReadListsAndSummary() != kDone) return CreateDataFailed;
  ctx.phase = kPhaseOpen;
  return Success;
}

int CLibraryUpdater::IndexTrackList() {
  LibraryContext& ctx = build_.ctx();
  ctx.phase = kPhaseIndexing;
  auto fail = [&](uint32_t step) {
    Trace(ctx, kSiteUpdateIndex, step);
    return 0;
  };
  // Read only: an update that changes nothing must not open a library file for writing.
  std::unique_ptr<platform::File> file =
      OpenLibraryFile(files_, ctx.rootPath(), kTrackListFile, "rb");
  if (!file) return fail(1);
  uint8_t head[kTrackListHeadLength];
  if (file->Read(head, sizeof head) != sizeof head || !HasTag(head, kTrackListTag)) return fail(3);
  const uint32_t headLength = GetLe32(head + 4);
  const uint32_t fileLength = GetLe32(head + 8);
  const uint32_t count = GetLe32(head + 12);
  int64_t size = -1;
  if (file->Seek(0, platform::SeekFrom::End)) size = file->Tell();
  // Appends land at the header's length, and every offset is counted from it: it must be the end.
  if (count > kMaxTracks || size != int64_t{fileLength} || headLength != kTrackListHeadLength ||
      headLength > fileLength) {
    return fail(3);
  }
  index_->Clear();
  figures_ = OpenFigures{};
  std::span<uint32_t> ids(ctx.permutation.data(), count);
  SequentialReader in(*file, ctx.fileBuffer, fileLength);
  uint32_t offset = headLength;
  for (uint32_t i = 0; i < count; ++i) {
    // Each record as it is read: whole and sound, carrying its own index and group numbers.
    const std::span<const uint8_t> bytes = in.At(offset, kRecordReadBytes);
    TrackRecordView record;
    if (const RecordFault fault = ParseTrackRecord(bytes, &record); fault != kRecordSound)
      return fail(fault);
    if (record.index != i) return fail(kNotATrackRecord);
    for (int key = 0; key < kTitle; ++key) {
      if (record.groupNumber[key] == kGroupNumberUnset) return fail(kNotATrackRecord);
      ctx.groupNumbers[key][i] = record.groupNumber[key];
    }
    ctx.presentFlags[i] = 0;
    ctx.recordOffsets[i] = offset;
    ids[i] = record.id;
    figures_.Add(record);
    PathHash hash;
    const uint8_t* path = bytes.data() + record.dataAt[kPath];
    for (uint32_t u = 0; u < record.units[kPath]; ++u)
      hash.Add(static_cast<char16_t>(GetLe16(path + 2 * u)));
    if (!index_->Add(hash.Bucket(), i, record.dataAt[kPath])) return fail(3);
    offset += record.length;  // within the file: the record lies inside what was read
  }
  if (offset != fileLength) return fail(3);  // records must end where the header says
  // Track ids are never given twice.
  std::sort(ids.begin(), ids.end());
  if (std::adjacent_find(ids.begin(), ids.end()) != ids.end()) return fail(9);
  maxTrackId_ = count > 0 ? ids.back() : 0;
  ctx.libraryTrackCount = count;
  ctx.trackListLength = fileLength;
  return kDone;
}

void CLibraryUpdater::OpenFigures::Add(const TrackRecordView& record) {
  // A create counts a string's UTF-16 bytes with its terminator; an update that drops tracks
  // recounts it from its data length + 2. The summary holds one of the two for every track.
  for (int s = kTitle; s <= kPath; ++s) {
    const uint32_t bytes = 2 * record.units[s] + 2;
    least[s - kTitle] += bytes;
    most[s - kTitle] += record.dataLength[s] + 2;
  }
}

int CLibraryUpdater::ReadListsAndSummary() {
  LibraryContext& ctx = build_.ctx();
  const uint32_t count = ctx.libraryTrackCount;
  if (ReadBrowseList(ctx, files_, count) != kDone) return 0;
  // The records' group numbers have been held against the lists; a merge numbers them again.
  for (auto& numbers : ctx.groupNumbers) numbers.fill(kGroupNumberUnset);
  // A summary that announces sections it does not hold is cut short or damaged: left as it is, an
  // update would write the library again without its statistics and its list directory.
  const uint32_t traced = ctx.traceCount;
  SummaryContents summary;
  if (ReadSummary(ctx, files_, &summary) != 1) return 0;
  for (uint32_t r = traced; r < ctx.traceCount; ++r) {
    if (ctx.trace[r].site == kSiteReadStats) return 0;
  }
  // New tracks take ids from here on: each must be new, and 150000 of them must fit.
  if (ctx.nextTrackId < 0 ||
      ctx.nextTrackId > std::numeric_limits<int32_t>::max() - int32_t{kMaxTracks} ||
      (count > 0 && static_cast<uint32_t>(ctx.nextTrackId) <= maxTrackId_)) {
    Trace(ctx, kSiteReadSummary, 3);
    return 0;
  }
  // What the summary says of the library must be what the other files say: its counts, the title
  // and path totals and the list directory (a summary taken from another library does not fit).
  if ((ctx.flags & kFlagStatsValid) != 0 && !SummaryFits(summary)) {
    Trace(ctx, kSiteReadSummary, 4);
    return 0;
  }
  return kDone;
}

bool CLibraryUpdater::SummaryFits(const SummaryContents& summary) const {
  const LibraryContext& ctx = *build_.context();
  const uint32_t count = ctx.libraryTrackCount;
  if (!summary.hasStatistics || !summary.hasDirectory) return false;
  for (int s = kGenre; s < kTitle; ++s) {
    if (summary.stats[s].count != ctx.listEntries[s][0]) return false;
  }
  for (int s = kTitle; s <= kPath; ++s) {
    const uint32_t total = summary.stats[s].total;
    if (summary.stats[s].count != count || total < figures_.least[s - kTitle] ||
        total > figures_.most[s - kTitle]) {
      return false;
    }
  }
  size_t e = 0;
  for (uint32_t i = 0; i < kSortKeys; ++i) {
    for (uint32_t j = 0; j <= 3 - i; ++j, ++e) {
      const bool trackList = j == 3 - i;
      const SummaryContents::DirectoryEntry& d = summary.directory[e];
      if (d.key != i || d.kind != (trackList ? kListKindTracks : kListKindGroups) ||
          d.attribute != i + j || d.level != j ||
          d.entries != (trackList ? count : ctx.listEntries[i][j])) {
        return false;
      }
    }
  }
  return true;
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
  for (uint32_t node = index_->First(bucket); node != PathIndex::kNone; node = index_->Next(node)) {
    const uint32_t t = index_->Track(node);
    if (t >= count || ctx.presentFlags[t] != 0) continue;
    const uint32_t offset = ctx.recordOffsets[t];
    const uint32_t want = std::min<uint32_t>(RecordEnd(ctx, t, count) - offset, kRecordReadBytes);
    size_t got = 0;
    if (trackList_->Seek(offset, platform::SeekFrom::Start))
      got = trackList_->Read(ctx.recordBuffer.data(), want);
    const uint32_t at = index_->Position(node);
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
    const int r = reader.Next(path, &units);
    if (r == 0) break;
    if (r < 0) return CreateDataFailed;
    if (static_cast<uint32_t>(queued) >= ctx.filesToAdd) {
      Trace(ctx, kSiteReadAddList, 1);  // more records than files were queued
      return CreateDataFailed;
    }
    if (!owner.WaitWhilePaused()) return -1;
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
    if (!owner.WaitWhilePaused()) return -1;
    const uint32_t before = ctx.totalTracks;
    const int code = build_.AddFile(owner.MergePath(i), tagLanguage);
    if (code != Success && code != CannotOpenFile) return code;
    if (ctx.totalTracks > before) ++added;
    owner.CountMergeFile(code == Success);  // a file left out of a full library counts as added
  }

  owner.EnableStop(false);
  if (!owner.WaitWhilePaused()) return -1;
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
