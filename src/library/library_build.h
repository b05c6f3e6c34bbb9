// What a create and an update share: the run's memory (allocated once, at Open), the engine
// context, the track source and the owner, and the two steps both make the same way: adding one
// audio file (reading its tags, adding its track, writing a full batch) and writing the final files
// (group numbers, group tables, ZRBL.DB, ZRDB.DB). CLibraryCreator and CLibraryUpdater sequence a
// create and an update over one of these. Results are ErrorCodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "library/build_owner.h"
#include "library/library_context.h"
#include "library/library_format.h"
#include "library/times_file.h"
#include "library/track_source.h"
#include "platform/platform.h"
#include "tags/track_record.h"

namespace deltrix::library {

// The sizes of a run's blocks. A run uses the defaults; tests shrink the pool to make batches fill
// after a few tracks (a batch ends when fewer than 930 bytes of the pool are free).
struct BuildMemory {
  size_t poolBytes = kPoolBytes;
  size_t fileBufferBytes = kFileBufferBytes;
  size_t keyBytes = kKeyBytes;  // a create's collation keys (an update takes none)
};

enum class EngineMode { kCreate, kUpdate };

class LibraryBuild {
 public:
  // `files` and `source` must outlive the build.
  LibraryBuild(platform::FileSystem& files, TrackSource& source, BuildMemory memory)
      : files_(files), source_(source), memory_(memory) {}
  ~LibraryBuild() { Close(); }
  LibraryBuild(const LibraryBuild&) = delete;
  LibraryBuild& operator=(const LibraryBuild&) = delete;

  // Allocates the pool, the file buffer, the quicksort stacks, a create's key block and the
  // context, and opens the engine for `driveRoot` (E:\) in `mode`. `owner` must stay valid until
  // Close. Success, or 3 when the memory cannot be had or the engine refuses it.
  [[nodiscard]] int Open(std::u16string_view driveRoot, BuildOwner& owner, EngineMode mode);
  bool IsOpen() const { return ctx_ && library::IsOpen(*ctx_) && owner_ != nullptr; }

  // Reads one audio file and adds its track, writing the batch when it is full (the owner's
  // batch-in-progress mark set meanwhile). Success: added, or left out because the library is full.
  // CannotOpenFile: unreadable, and the user chose to skip it; RunAborted: to stop the run. 3 or 4
  // when writing the batch failed. The track's file time (`fileTime`, or asked of the file system
  // when kNoTime) is noted for the times file.
  [[nodiscard]] int AddFile(std::u16string_view fullPath, int tagLanguage,
                            int64_t fileTime = platform::kNoTime);
  // Sorts, merges and appends the current batch; `final` numbers the groups. Success, 3 (sort or
  // merge), 4 (ZRTL.DB).
  [[nodiscard]] int SortAndWriteBatch(bool final);
  // After a final pass that left every track written: a create that gathered its track list in the
  // scratch file writes ZRTL.DB from it with the group numbers patched in (3 reading it back, 4
  // writing); an update patches them into ZRTL.DB in place when `patch` (3). Then builds the group
  // tables (3), writes ZRBL.DB then ZRDB.DB (4).
  [[nodiscard]] int WriteFinalFiles(bool patch);
  // Closes the engine and releases the memory. Safe to call more than once.
  void Close();

  LibraryContext& ctx() { return *ctx_; }
  const LibraryContext* context() const { return ctx_.get(); }
  BuildOwner& owner() { return *owner_; }
  // The file times of the tracks added (and, in an update, kept) since Open.
  TrackTimes& times() { return times_; }
  platform::FileSystem& files() { return files_; }
  // A full batch was written by AddFile (its group numbers are final only after a patch).
  bool batchWritten() const { return batchWritten_; }

 private:
  platform::FileSystem& files_;
  TrackSource& source_;
  BuildMemory memory_;
  BuildOwner* owner_ = nullptr;
  bool batchWritten_ = false;
  std::unique_ptr<LibraryContext> ctx_;
  std::unique_ptr<uint8_t[]> pool_;
  std::unique_ptr<uint8_t[]> fileBuffer_;
  std::unique_ptr<uint32_t[]> aux_;
  std::unique_ptr<uint8_t[]> keys_;
  tags::TrackRecord record_;  // reused for every file
  TrackTimes times_;
};

}  // namespace deltrix::library
