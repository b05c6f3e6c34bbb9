// CLibraryCreator: how a create run turns audio files into a new library. The run's create driver
// owns one for the run and calls, on the worker thread, in this order:
//   Open, AddFile once per found file, SortAndWriteBatch(true) when something was added, Finish,
//   Close (on every path, also after a failure or a stop).
// Every result is an ErrorCode (0 success). The creator shows nothing itself; files already written
// stay as they are when a step fails (restoring the previous library is the run's business).
// Files written: ZRTL.DB (created with the first batch, appended once per later batch), then at
// Finish the group numbers patched into it when there was more than one batch, ZRBL.DB, ZRDB.DB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "library/build_owner.h"
#include "library/library_context.h"
#include "library/library_format.h"
#include "library/track_source.h"
#include "platform/platform.h"
#include "tags/track_record.h"

namespace deltrix::library {

// The sizes of a run's blocks. A run uses the defaults; tests shrink the pool to make batches fill
// after a few tracks (the batch ends when fewer than 930 bytes of the pool are free).
struct CreatorOptions {
  size_t poolBytes = kPoolBytes;
  size_t fileBufferBytes = kFileBufferBytes;
};

class CLibraryCreator {
 public:
  // `files` and `source` must outlive the creator.
  CLibraryCreator(platform::FileSystem& files, TrackSource& source, CreatorOptions options = {});
  ~CLibraryCreator();
  CLibraryCreator(const CLibraryCreator&) = delete;
  CLibraryCreator& operator=(const CLibraryCreator&) = delete;

  // Allocates the run's memory once (pool, file buffer, quicksort stacks, context) and opens the
  // engine for `driveRoot` (E:\). `fileSystemKind` is the run's (1 FAT, 4 NTFS, 0 other); `owner`
  // must stay valid until Close. 0, or 3 when the memory cannot be had or the engine refuses it.
  [[nodiscard]] int Open(std::u16string_view driveRoot, BuildOwner& owner, int fileSystemKind);
  // Reads one audio file and adds its track. 0 added (also when the library just became full, when
  // a full batch was written, and when the library was already full: the file is then left out);
  // 3 or 4 when writing a full batch failed; for an unreadable file the owner's AskSkipFile answer
  // (2 skip it, 8 stop the run).
  [[nodiscard]] int AddFile(std::u16string_view fullPath, int tagLanguage);
  // Sorts, merges and appends the current batch; `final` numbers the groups. 0, 3 (sort or merge),
  // 4 (ZRTL.DB).
  [[nodiscard]] int SortAndWriteBatch(bool final);
  // After the final batch: patches the group numbers (when an earlier batch was written), builds
  // the group tables, writes ZRBL.DB and ZRDB.DB. 0, 3 (patch or tables, or no final batch written
  // before), 4 (ZRBL.DB or ZRDB.DB).
  [[nodiscard]] int Finish();
  // Closes the engine and releases the memory. Safe to call more than once.
  void Close();

  // The engine's state, for diagnostics and tests (the trace); null before Open.
  const LibraryContext* context() const { return ctx_.get(); }

 private:
  platform::FileSystem& files_;
  TrackSource& source_;
  CreatorOptions options_;
  BuildOwner* owner_ = nullptr;
  bool batchWritten_ = false;  // a batch was written before the final pass
  std::unique_ptr<LibraryContext> ctx_;
  std::unique_ptr<uint8_t[]> pool_;
  std::unique_ptr<uint8_t[]> fileBuffer_;
  std::unique_ptr<uint32_t[]> aux_;
  tags::TrackRecord record_;  // reused for every file
};

}  // namespace deltrix::library
