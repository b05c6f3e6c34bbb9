#include "library/library_updater.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/error_code.h"
#include "base/utf16.h"
#include "library/add_list.h"
#include "library/library_build.h"
#include "library/library_files.h"
#include "library/path_index.h"
#include "library/track_list_rewrite.h"
#include "library/track_record_view.h"

namespace deltrix::library {

namespace {

constexpr uint32_t kPathBufferUnits = 256;

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
  timesState_ = ReadTimesFile(files_, driveRoot, index_->stamp(), &recordedTimes_);
  queuedTimes_.clear();
  timesLearned_ = false;
  if (CreateAddList(ctx, files_) != kDone) return CreateDataFailed;
  ctx.phase = kPhaseOpen;
  return Success;
}

int CLibraryUpdater::CheckFile(std::u16string_view fullPath, int64_t listedTime) {
  if (!Ready() || merged_) return CreateDataFailed;
  LibraryContext& ctx = build_.ctx();
  if (fullPath.size() < 2 || fullPath.size() - 2 > kMaxRelativePathUnits) return CannotOpenFile;
  int64_t size = -1;
  {
    std::unique_ptr<platform::File> audio = files_.Open(fullPath, "r");
    if (!audio || !audio->Seek(0, platform::SeekFrom::End)) return CannotOpenFile;
    size = audio->Tell();
    if (size < 0) return CannotOpenFile;
    if (listedTime == platform::kNoTime && options_.rereadChanged)
      listedTime = audio->ModifiedTime();  // free where the open learned it
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

  if (!OpenTrackList()) return CreateDataFailed;
  const uint32_t count = ctx.libraryTrackCount;
  for (uint32_t node = index_->paths().First(bucket); node != PathIndex::kNone;
       node = index_->paths().Next(node)) {
    const uint32_t t = index_->paths().Track(node);
    if (t >= count || ctx.presentFlags[t] != 0) continue;
    const uint8_t* data = nullptr;
    uint32_t units = 0;
    if (!ReadStoredPath(node, &data, &units)) return CreateDataFailed;
    if (units != n) continue;
    bool same = true;
    for (uint32_t i = 0; same && i < n; ++i) same = GetLe16(data + 2 * i) == relative[i];
    if (!same) continue;
    const uint8_t* head = ctx.recordBuffer.data();
    const uint32_t recorded = recordedTimes_.empty() ? kUnknownFileTime : recordedTimes_[t];
    uint32_t time = recorded;
    if (options_.rereadChanged) {
      if (listedTime == platform::kNoTime) listedTime = files_.ModifiedTime(fullPath);
      const uint32_t now = StoredFileTime(listedTime);
      if (static_cast<int32_t>(GetLe32(head + 28)) != static_cast<int32_t>(size) ||
          !SameFileTime(recorded, now)) {
        break;  // changed: its track is dropped as missing, and the file queued as new
      }
      if (recorded == kUnknownFileTime && now != kUnknownFileTime) {
        time = now;
        timesLearned_ = true;  // worth writing even when nothing else changed
      }
    }
    ctx.presentFlags[t] = 1;
    ++ctx.totalTracks;  // the tracks found so far
    build_.times().Note(GetLe32(head + 24), time);
    return Success;
  }
  // The add list is only ever written here: a failure is a write error (a full card, or backup
  // copies that could not be taken before the first write).
  if (QueueAddListRecord(ctx, files_, static_cast<uint32_t>(size), AddListKind(fullPath), stored) !=
      kDone) {
    return WriteFileFailed;
  }
  ++ctx.filesToAdd;
  queuedTimes_.push_back(listedTime);
  ctx.changeFlags |= kFilesQueued;
  return Success;
}

bool CLibraryUpdater::OpenTrackList() {
  if (trackList_) return true;
  LibraryContext& ctx = build_.ctx();
  trackList_ = OpenLibraryFile(files_, ctx.rootPath(), kTrackListFile, "rb");
  if (!trackList_) Trace(ctx, kSiteCheckOpen, 1);
  return trackList_ != nullptr;
}

bool CLibraryUpdater::ReadStoredPath(uint32_t node, const uint8_t** data, uint32_t* units) {
  LibraryContext& ctx = build_.ctx();
  const uint32_t count = ctx.libraryTrackCount;
  const uint32_t t = index_->paths().Track(node);
  const uint32_t offset = ctx.recordOffsets[t];
  const uint32_t want = std::min<uint32_t>(RecordEnd(ctx, t, count) - offset, kRecordReadBytes);
  size_t got = 0;
  if (trackList_->Seek(offset, platform::SeekFrom::Start))
    got = trackList_->Read(ctx.recordBuffer.data(), want);
  const uint32_t at = index_->paths().Position(node);
  if (got < kRecordHeadLength || at < kStringChunkHeadLength || at > got) {
    Trace(ctx, kSiteCheckOpen, 2);
    return false;
  }
  // The stored path, to its terminator within its data and what was read.
  *data = ctx.recordBuffer.data() + at;
  const uint32_t dataLength =
      std::min<uint32_t>(GetLe32(*data - 4), static_cast<uint32_t>(got) - at);
  uint32_t n = 0;
  while (2 * n + 1 < dataLength && GetLe16(*data + 2 * n) != 0) ++n;
  *units = n;
  return true;
}

int CLibraryUpdater::KeepTracksBelow(std::span<const std::u16string> folders) {
  if (!Ready() || merged_) return CreateDataFailed;
  if (folders.empty()) return Success;
  LibraryContext& ctx = build_.ctx();
  // The folders in the stored form, each ending in "/": "/Music/Live/", or "/" for the root.
  std::vector<std::u16string> prefixes;
  for (const std::u16string& folder : folders) {
    std::u16string prefix;
    for (size_t i = std::min<size_t>(2, folder.size()); i < folder.size(); ++i)
      prefix.push_back(folder[i] == u'\\' ? u'/' : folder[i]);
    if (prefix.empty() || prefix.back() != u'/') prefix.push_back(u'/');
    prefixes.push_back(std::move(prefix));
  }
  if (!OpenTrackList()) return CreateDataFailed;
  const uint32_t count = ctx.libraryTrackCount;
  // One node per track, in track order.
  for (uint32_t node = 0; node < count; ++node) {
    const uint32_t t = index_->paths().Track(node);
    if (t >= count || ctx.presentFlags[t] != 0) continue;
    const uint8_t* data = nullptr;
    uint32_t units = 0;
    if (!ReadStoredPath(node, &data, &units)) return CreateDataFailed;
    for (const std::u16string& prefix : prefixes) {
      if (units < prefix.size()) continue;
      bool below = true;
      for (size_t i = 0; below && i < prefix.size(); ++i) {
        below = AsciiUpper(GetLe16(data + 2 * i)) == AsciiUpper(prefix[i]);
      }
      if (below) {
        ctx.presentFlags[t] = 1;
        ++ctx.totalTracks;
        break;
      }
    }
  }
  return Success;
}

uint32_t CLibraryUpdater::libraryTrackCount() const {
  return build_.IsOpen() ? build_.context()->libraryTrackCount : 0;
}

uint32_t CLibraryUpdater::tracksToRemove() const {
  if (!build_.IsOpen()) return 0;
  const LibraryContext& ctx = *build_.context();
  return ctx.totalTracks < ctx.libraryTrackCount ? ctx.libraryTrackCount - ctx.totalTracks : 0;
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
    if (const int code = RewriteTrackList(ctx, files_); code != Success) return code;
  }
  if (DropRemovedTracks(ctx) != kDone) return CreateDataFailed;
  if ((ctx.changeFlags & kFilesQueued) == 0)
    return NumberKeptGroups(ctx, files_) == kDone ? Success : CreateDataFailed;
  return AddQueuedFiles(tagLanguage);
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
    const int64_t time =
        static_cast<size_t>(i) < queuedTimes_.size() ? queuedTimes_[i] : platform::kNoTime;
    const int code = build_.AddFile(owner.MergePath(i), tagLanguage, time);
    if (code != Success && code != CannotOpenFile) return code;
    if (ctx.totalTracks > before) ++added;
    owner.CountMergeFile(code == Success);  // a file left out of a full library counts as added
  }

  owner.EnableStop(false);
  if (!owner.WaitWhilePaused()) return RunStopped;
  if (added == 0) {
    ctx.changeFlags &= ~uint32_t{kFilesQueued};
    if ((ctx.changeFlags & kTracksRemoved) == 0) return Success;  // nothing changed after all
    return NumberKeptGroups(ctx, files_) == kDone ? Success : CreateDataFailed;
  }
  return build_.SortAndWriteBatch(true);
}

int CLibraryUpdater::Finish() {
  if (!Ready() || !merged_) return CreateDataFailed;
  if (build_.ctx().changeFlags == 0) return Success;
  return build_.WriteFinalFiles(true);
}

bool CLibraryUpdater::WriteTimes() {
  if (!Ready() || !merged_) return false;
  const bool trusted =
      !options_.rereadChanged || (timesState_ == TimesFileState::kLoaded && !timesLearned_);
  if (build_.ctx().changeFlags == 0 && trusted) return true;  // the recorded times still hold
  return build_.times().Write(files_, build_.ctx().rootPath());
}

void CLibraryUpdater::Close() {
  trackList_.reset();
  if (build_.IsOpen()) (void)DeleteLibraryFile(files_, build_.ctx().rootPath(), kAddListFile);
  build_.Close();
  index_.reset();
}

}  // namespace deltrix::library
