#include "library/library_build.h"

#include <new>

#include "base/error_code.h"
#include "library/batch_sort.h"
#include "library/browse_list_file.h"
#include "library/group_tables.h"
#include "library/summary_file.h"
#include "library/track_list_file.h"

namespace deltrix::library {

namespace {
// A failed allocation is a refused open (error 3), not an exception.
template <typename T>
std::unique_ptr<T[]> AllocateArray(size_t n) {
  return std::unique_ptr<T[]>(new (std::nothrow) T[n]);
}
}  // namespace

int LibraryBuild::Open(std::u16string_view driveRoot, BuildOwner& owner, EngineMode mode) {
  Close();
  owner_ = &owner;
  batchWritten_ = false;
  times_.Clear();
  pool_ = AllocateArray<uint8_t>(memory_.poolBytes);
  fileBuffer_ = AllocateArray<uint8_t>(memory_.fileBufferBytes);
  aux_ = AllocateArray<uint32_t>(kAuxBytes / 4);
  const size_t keyBytes = mode == EngineMode::kCreate ? memory_.keyBytes : 0;
  if (keyBytes > 0) keys_ = AllocateArray<uint8_t>(keyBytes);
  ctx_.reset(new (std::nothrow) LibraryContext());
  if (!pool_ || !fileBuffer_ || !aux_ || (keyBytes > 0 && !keys_) || !ctx_) {
    Close();
    return CreateDataFailed;
  }
  const EngineMemory memory{std::span<uint8_t>(pool_.get(), memory_.poolBytes), driveRoot,
                            std::span<uint8_t>(fileBuffer_.get(), memory_.fileBufferBytes),
                            std::span<uint32_t>(aux_.get(), kAuxBytes / 4),
                            std::span<uint8_t>(keys_.get(), keyBytes)};
  const int opened =
      mode == EngineMode::kCreate ? OpenForCreate(*ctx_, memory) : OpenForUpdate(*ctx_, memory);
  return opened == kDone ? Success : CreateDataFailed;
}

int LibraryBuild::AddFile(std::u16string_view fullPath, int tagLanguage, int64_t fileTime) {
  if (!IsOpen()) return CreateDataFailed;
  if (ctx_->totalTracks >= kMaxTracks) return Success;  // full: left out, as the scan stops there
  record_ = tags::TrackRecord{};
  if (source_.ReadTrack(fullPath, tagLanguage, &record_) != 1)
    return owner_->AskSkipFile() == CannotOpenFile ? CannotOpenFile : RunAborted;
  const int32_t id = ctx_->nextTrackId;
  const AddResult added = AddTrack(*ctx_, record_);
  if (ctx_->nextTrackId != id) {
    // The listing's time, else the one the tag reader's open learned, else one query more.
    if (fileTime == platform::kNoTime) fileTime = record_.modifiedTime;
    if (fileTime == platform::kNoTime) fileTime = files_.ModifiedTime(fullPath);
    times_.Note(static_cast<uint32_t>(id), StoredFileTime(fileTime));
  }
  if (added == kAdded || added == kLibraryFull) return Success;
  if (added != kBatchFull) return CreateDataFailed;  // a full batch was not written before
  batchWritten_ = true;
  owner_->SetBatchInProgress(true);
  const int code = library::SortAndWriteBatch(*ctx_, files_, false);
  owner_->SetBatchInProgress(false);
  return code;
}

int LibraryBuild::SortAndWriteBatch(bool final) {
  if (!IsOpen()) return CreateDataFailed;
  return library::SortAndWriteBatch(*ctx_, files_, final);
}

int LibraryBuild::WriteFinalFiles(bool patch) {
  if (!IsOpen()) return CreateDataFailed;
  LibraryContext& ctx = *ctx_;
  // Everything added must be in ZRTL.DB, numbered by a final pass.
  if (ctx.batchCount != 0 || ctx.tracksWritten != ctx.totalTracks) return CreateDataFailed;
  if (ctx.trackListScratch) {
    // A create of several batches: ZRTL.DB reaches the drive now, once, numbered as it goes.
    if (const int code = WriteTrackListFromScratch(ctx, files_); code != Success) return code;
  } else if (patch && PatchGroupNumbers(ctx, files_) != kDone) {
    return CreateDataFailed;
  }
  for (int key = kGenre; key < kGroupedKeys; ++key) {
    if (BuildGroupTables(ctx, key) != kDone) return CreateDataFailed;
  }
  // The summary counts every track for the title and the path, however the figures were gathered.
  ctx.stats[kTitle].count = ctx.totalTracks;
  ctx.stats[kPath].count = ctx.totalTracks;
  if (WriteBrowseList(ctx, files_) != kDone) return WriteFileFailed;
  if (WriteSummary(ctx, files_) != kDone) return WriteFileFailed;
  return Success;
}

void LibraryBuild::Close() {
  if (ctx_) CloseContext(*ctx_);
  ctx_.reset();
  aux_.reset();
  keys_.reset();
  fileBuffer_.reset();
  pool_.reset();
  owner_ = nullptr;
}

}  // namespace deltrix::library
