// CLibraryUpdater: how an update run brings the library on a drive in line with the drive without
// reading the tags of the files it already holds. The run's update driver owns one for the run and
// calls, on the worker thread, in this order:
//   Open, CheckFile once per found file, Merge, Finish, Close (on every path).
// Every result is an ErrorCode (0 success); the updater shows nothing itself.
//
// Open indexes ZRTL.DB by path (a hash table in the front of the pool: 180000 bucket heads, then a
// node of track index, position of the path in the record and next node per track) and reads the
// four sorted lists of ZRBL.DB and the summary. CheckFile marks a known file's track present, or
// queues a new file in ZRTA.LST (add_list.h). Merge drops the tracks whose files were not found
// (rewriting ZRTL.DB through ZRTB.DB, renumbering the tracks and the sorted lists), renumbers the
// groups, then reads the tags of the queued files and adds them in batches, with its own progress
// through the owner. Finish patches the group numbers and writes ZRBL.DB and ZRDB.DB.
//
// An update that changed nothing opens none of the three library files for writing. A library that
// is missing, truncated, foreign or damaged fails Open with 3 before anything is written (what is
// checked: library_index.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "library/build_owner.h"
#include "library/library_build.h"
#include "library/library_context.h"
#include "library/library_format.h"
#include "library/library_index.h"
#include "library/times_file.h"
#include "library/track_record_view.h"
#include "library/track_source.h"
#include "platform/platform.h"

namespace deltrix::library {

// The sizes of a run's blocks. A run uses the defaults. Tests cap the part of the pool a batch of
// new tracks may fill (batchBytes, 0 for all of it), so that batches end after a few tracks; the
// pool itself must hold the present flags and the path index.
struct UpdaterOptions {
  size_t poolBytes = kPoolBytes;
  size_t fileBufferBytes = kFileBufferBytes;
  size_t batchBytes = 0;
  // Read changed files again: a known file whose size differs from its record's, or whose time
  // differs from the one the times file recorded (SameFileTime), has its track dropped and is
  // added again like a new file.
  bool rereadChanged = false;
};

class CLibraryUpdater {
 public:
  // `files` and `source` must outlive the updater.
  CLibraryUpdater(platform::FileSystem& files, TrackSource& source, UpdaterOptions options = {});
  ~CLibraryUpdater();
  CLibraryUpdater(const CLibraryUpdater&) = delete;
  CLibraryUpdater& operator=(const CLibraryUpdater&) = delete;

  // Allocates the run's memory once, indexes ZRTL.DB, creates ZRTA.LST empty and reads the sorted
  // lists and the summary of the library on `driveRoot` (E:\). `owner` must stay valid until Close.
  // 0, or 3 when anything fails (the library is missing, unreadable, foreign or corrupt).
  [[nodiscard]] int Open(std::u16string_view driveRoot, BuildOwner& owner);

  // Looks up one audio file (E:\Music\a.mp3): a known file marks its track present, a new one is
  // queued in ZRTA.LST. 0 handled; 2 the file cannot be used (its path without drive letter and
  // colon is longer than 255 units, or it cannot be opened or measured); 3 ZRTL.DB cannot be read;
  // 4 ZRTA.LST cannot be written. ZRTL.DB stays open for reading from the first check to the merge.
  // `listedTime` is the file's modification time when its listing gave it; with rereadChanged a
  // known file's time is otherwise asked of the file system.
  [[nodiscard]] int CheckFile(std::u16string_view fullPath, int64_t listedTime = platform::kNoTime);

  // After the last CheckFile: marks present every track not found whose file lies below one of
  // `folders` (drive form, E:\Music\Live; the drive root keeps every track), compared without
  // regard to ASCII case, as FAT names are. For folders the scan could not list: their tracks are
  // unknown, not gone. 0, or 3 when ZRTL.DB cannot be read.
  [[nodiscard]] int KeepTracksBelow(std::span<const std::u16string> folders);

  // The tracks of the library, and how many of them the merge would drop now.
  uint32_t libraryTrackCount() const;
  uint32_t tracksToRemove() const;

  // Drops the tracks not found and renumbers, then (the merge phase) reads the tags of the queued
  // files with `tagLanguage` and adds them. Nothing changed: 0 and nothing written. Otherwise 0;
  // 3 a library file or ZRTA.LST could not be read; 4 ZRTA.LST, ZRTB.DB or ZRTL.DB could not be
  // written or ZRTB.DB not put in the place of ZRTL.DB;
  // 8 the owner's AskSkipFile answered stop at an unreadable file; RunStopped the owner reported a
  // stop.
  [[nodiscard]] int Merge(int tagLanguage);

  // After Merge: nothing changed, 0 and no file touched. Otherwise patches the group numbers (3),
  // builds the group tables (3), writes ZRBL.DB then ZRDB.DB (4).
  [[nodiscard]] int Finish();

  // What Open found of the times file: without kLoaded, sizes alone find changed files.
  TimesFileState timesState() const { return timesState_; }

  // After a Finish that succeeded, when the whole run has: writes the times file when the library
  // changed, or when rereadChanged found none to trust or learned a time it lacked; otherwise
  // touches nothing. False when it
  // had to be written and could not be (there is then none).
  [[nodiscard]] bool WriteTimes();

  // Deletes ZRTA.LST, closes the engine, releases the memory. Safe to call more than once.
  void Close();

  // The engine's state, for diagnostics and tests (the trace, the change flags); null before Open.
  const LibraryContext* context() const { return build_.context(); }

 private:
  [[nodiscard]] int AddQueuedFiles(int tagLanguage);
  // The stored path of the track at path-index `node` (units before its terminator); false when
  // its record cannot be read.
  bool ReadStoredPath(uint32_t node, const uint8_t** data, uint32_t* units);
  bool OpenTrackList();
  bool Ready() const;

  platform::FileSystem& files_;
  LibraryBuild build_;
  UpdaterOptions options_;
  bool merged_ = false;
  std::unique_ptr<LibraryIndex> index_;
  std::unique_ptr<platform::File> trackList_;  // ZRTL.DB, read-only, during the check pass
  TimesFileState timesState_ = TimesFileState::kMissing;
  std::vector<uint32_t> recordedTimes_;  // by track index of the library opened, when loaded
  std::vector<int64_t> queuedTimes_;     // the file time of each queued file, where known
  bool timesLearned_ = false;            // a known time was found for a track recorded without
};

}  // namespace deltrix::library
