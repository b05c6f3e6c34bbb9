#include "library/library_creator.h"

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

CLibraryCreator::CLibraryCreator(platform::FileSystem& files, TrackSource& source,
                                 CreatorOptions options)
    : files_(files), source_(source), options_(options) {}

CLibraryCreator::~CLibraryCreator() { Close(); }

int CLibraryCreator::Open(std::u16string_view driveRoot, BuildOwner& owner, int fileSystemKind) {
  Close();
  owner_ = &owner;
  batchWritten_ = false;
  pool_ = AllocateArray<uint8_t>(options_.poolBytes);
  fileBuffer_ = AllocateArray<uint8_t>(options_.fileBufferBytes);
  aux_ = AllocateArray<uint32_t>(kAuxBytes / 4);
  ctx_.reset(new (std::nothrow) LibraryContext());
  if (!pool_ || !fileBuffer_ || !aux_ || !ctx_) {
    Close();
    return CreateDataFailed;
  }
  const EngineMemory memory{std::span<uint8_t>(pool_.get(), options_.poolBytes), driveRoot,
                            std::span<uint8_t>(fileBuffer_.get(), options_.fileBufferBytes),
                            std::span<uint32_t>(aux_.get(), kAuxBytes / 4)};
  if (OpenForCreate(*ctx_, memory, static_cast<uint32_t>(fileSystemKind)) != kDone)
    return CreateDataFailed;
  return Success;
}

int CLibraryCreator::AddFile(std::u16string_view fullPath, int tagLanguage) {
  if (!ctx_ || !IsOpen(*ctx_) || owner_ == nullptr) return CreateDataFailed;
  if (ctx_->totalTracks >= kMaxTracks) return Success;  // full: the scan stops before this
  record_ = tags::TrackRecord{};
  if (source_.ReadTrack(fullPath, tagLanguage, &record_) != 1) return owner_->AskSkipFile();
  const int added = AddTrack(*ctx_, record_);
  if (added == 0 || added == 2) return Success;
  if (added != 1) return CreateDataFailed;  // a full batch was not written before
  batchWritten_ = true;
  owner_->SetBatchInProgress(true);
  const int code = library::SortAndWriteBatch(*ctx_, files_, false);
  owner_->SetBatchInProgress(false);
  return code;
}

int CLibraryCreator::SortAndWriteBatch(bool final) {
  if (!ctx_ || !IsOpen(*ctx_)) return CreateDataFailed;
  return library::SortAndWriteBatch(*ctx_, files_, final);
}

int CLibraryCreator::Finish() {
  if (!ctx_ || !IsOpen(*ctx_)) return CreateDataFailed;
  // Everything added must be in ZRTL.DB, numbered by a final pass.
  if (ctx_->batchesWritten == 0 || ctx_->batchCount != 0 ||
      ctx_->tracksWritten != ctx_->totalTracks) {
    return CreateDataFailed;
  }
  if (batchWritten_ && PatchGroupNumbers(*ctx_, files_) != kDone) return CreateDataFailed;
  for (int key = 0; key < 3; ++key) {
    if (BuildGroupTables(*ctx_, key) != kDone) return CreateDataFailed;
  }
  if (WriteBrowseList(*ctx_, files_) != kDone) return WriteFileFailed;
  if (WriteSummary(*ctx_, files_) != kDone) return WriteFileFailed;
  return Success;
}

void CLibraryCreator::Close() {
  if (ctx_) CloseContext(*ctx_);
  ctx_.reset();
  aux_.reset();
  fileBuffer_.reset();
  pool_.reset();
  owner_ = nullptr;
}

}  // namespace deltrix::library
