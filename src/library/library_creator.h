// CLibraryCreator: how a create run turns audio files into a new library. The run's create driver
// owns one for the run and calls, on the worker thread, in this order:
//   Open, AddFile once per found file, SortAndWriteBatch(true) when something was added, Finish,
//   Close (on every path, also after a failure or a stop).
// Every result is an ErrorCode (0 success). The creator shows nothing itself; files already written
// stay as they are when a step fails (restoring the previous library is the run's business).
// Files written, each once, front to back: ZRTL.DB (by the final pass when it is the only batch;
// else the batches are gathered in a scratch file off the drive and ZRTL.DB is written from it at
// Finish, with the final group numbers), then at Finish ZRBL.DB and ZRDB.DB.
#pragma once

#include <string_view>

#include "library/build_owner.h"
#include "library/library_build.h"
#include "library/library_context.h"
#include "library/track_source.h"
#include "platform/platform.h"

namespace deltrix::library {

// A run uses the default sizes; tests shrink the pool to make batches fill after a few tracks.
using CreatorOptions = BuildMemory;

class CLibraryCreator {
 public:
  // `files` and `source` must outlive the creator.
  CLibraryCreator(platform::FileSystem& files, TrackSource& source, CreatorOptions options = {})
      : build_(files, source, options) {}

  // Allocates the run's memory once (pool, file buffer, quicksort stacks, context) and opens the
  // engine for `driveRoot` (E:\). `owner` must stay valid until Close. 0, or 3 when the memory
  // cannot be had or the engine refuses it.
  [[nodiscard]] int Open(std::u16string_view driveRoot, BuildOwner& owner) {
    return build_.Open(driveRoot, owner, EngineMode::kCreate);
  }
  // Reads one audio file and adds its track. 0 added (also when the library just became full, when
  // a full batch was written, and when the library was already full: the file is then left out);
  // 3 or 4 when writing a full batch failed; for an unreadable file the owner's AskSkipFile answer
  // (2 skip it, 8 stop the run). `fileTime` is the file's modification time when the listing gave
  // it (else it is asked for), for the times file.
  [[nodiscard]] int AddFile(std::u16string_view fullPath, int tagLanguage,
                            int64_t fileTime = platform::kNoTime) {
    return build_.AddFile(fullPath, tagLanguage, fileTime);
  }
  // Sorts, merges and appends the current batch; `final` numbers the groups. 0, 3 (sort or merge),
  // 4 (ZRTL.DB).
  [[nodiscard]] int SortAndWriteBatch(bool final) { return build_.SortAndWriteBatch(final); }
  // After the final batch: writes ZRTL.DB from the scratch file with the group numbers patched in
  // (when an earlier batch was written), builds the group tables, writes ZRBL.DB and ZRDB.DB. 0, 3
  // (the scratch file read back or the tables, or no final batch written before), 4 (ZRTL.DB,
  // ZRBL.DB or ZRDB.DB).
  [[nodiscard]] int Finish();
  // After a run that succeeded, before Close: writes the times file (times_file.h) for the library
  // on the drive. False when it could not be written (there is then none).
  [[nodiscard]] bool WriteTimes() {
    return build_.IsOpen() && build_.times().Write(build_.files(), build_.ctx().rootPath());
  }
  // Closes the engine and releases the memory. Safe to call more than once.
  void Close() { build_.Close(); }

  // The engine's state, for diagnostics and tests (the trace); null before Open.
  const LibraryContext* context() const { return build_.context(); }

 private:
  LibraryBuild build_;
};

}  // namespace deltrix::library
