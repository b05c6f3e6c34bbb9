// One run from start to end, without any window: the run state, the scan and worker threads, the
// create driver, the backup, and the stop. The user interface (run dialog, console, test host)
// drives it from its own thread:
//   StartRun()                      UI thread; starts the scan and worker threads
//   poll state() every tick         UI thread; counters and flags have one writer each
//   RequestPause() / Resume()       UI thread; the stop question is asked while paused
//   StopAndJoin()                   UI thread; on a confirmed stop and on every close request
// The worker asks its questions through the host while the stop control is disabled, and ends by
// calling host.RequestClose(); the UI thread then calls StopAndJoin(), which never waits on a
// thread that waits for it.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "library/build_owner.h"
#include "platform/platform.h"
#include "run/backup.h"
#include "run/builders.h"
#include "run/run_host.h"
#include "run/run_state.h"

namespace deltrix::run {

// Not a user-visible code: another run holds the drive. ReportError shows nothing for it; the
// front- end says it in its own words.
inline constexpr int kDriveBusy = 9;

struct RunOptions {
  size_t fileListCapacity = kMaxFiles;  // the scan stops when the list is full
  LibraryCheck libraryCheck;            // structural check used to recover after a killed run
};

class RunController : public library::BuildOwner {
 public:
  RunController(platform::Platform& platform, RunHost& host, BuilderFactories factories,
                RunOptions options = {});
  ~RunController() override;

  RunState& state() { return state_; }
  const RunState& state() const { return state_; }

  // UI thread. Sets the settings, prepares the backup and starts both threads. False when the run
  // did not start: the backup failed (error 4 reported) or another run holds the drive
  // (kDriveBusy).
  bool StartRun(std::u16string_view driveRoot, int tagLanguage, int runMode);
  void RequestPause() { state_.pauseRequested = true; }
  void Resume() { state_.pauseRequested = false; }
  // Ends both threads: sets the stop flag and joins. Call with the pause flag set when the threads
  // may still be working (a confirmed stop); the worker's own close request needs no pause.
  void StopAndJoin();
  bool running() const { return scan_.joinable() || worker_.joinable(); }

  // The run's outcome once the worker has ended: 0 success, the code reported, 8 after a stop, or
  // kDriveBusy.
  int resultCode() const { return resultCode_; }
  // The calendar second at which the last StartRun began, before its backup: where the progress
  // display's elapsed time starts.
  int64_t startSeconds() const { return startSeconds_; }
  // True when the last update ended because the removal of most of the library was declined: the
  // result is 8 and the library files were never written.
  bool removalDeclined() const { return removalDeclined_; }
  // Set when the backup could not be put back; the .bak files are then in this folder.
  const std::u16string& keptBackupFolder() const { return keptBackupFolder_; }

  // The pause wait of both threads: false when a stop was seen.
  bool WaitWhilePaused() override;

  // library::BuildOwner, on the worker thread. The skip question names the file the builder was
  // last handed: the found file being added or checked, or the merge path last read. After a Skip
  // All the later files of the run are skipped without a question. Every skipped file is noted in
  // state().skipped.
  int AskSkipFile() override;
  void SetBatchInProgress(bool on) override { state_.estimateFrozen = on; }
  void EnableStop(bool on) override { host_.EnableStop(on); }
  void BeginMergePhase() override;
  bool AppendMergePath(std::u16string path) override {
    return state_.mergeFiles.Append(std::move(path));
  }
  void SetPhaseTotal(int32_t total) override { state_.phaseTotal = total; }
  std::u16string_view MergePath(int32_t index) override {
    const std::u16string_view path = state_.mergeFiles.Get(index);
    handedPath_.assign(path);
    return path;
  }
  void CountMergeFile(bool added) override {
    ++(added ? state_.phaseProcessed : state_.phaseSkipped);
  }

 private:
  int ScanThreadMain();
  int WorkerThreadMain();
  bool RunCreate();
  bool RunUpdate();
  // Reports `code` with `text` and notes it as the run's result; false.
  bool Fail(int code, std::u16string_view text);
  // The main loop of both drivers. False after a stop or a failed step (reported).
  // The step gets each found path with its listed time (kNoTime where the listing gave none).
  bool HandFoundFiles(const std::function<int(std::u16string_view path, int64_t listedTime)>& step);
  // Disables the stop and holds while paused; false when a stop was seen.
  bool FinishingAllowed();
  // The end-of-run check: no file found and the drive gone is error 7.
  bool DriveStillThere();
  // Worker: a file skipped because it could not be read (or its path is too long to store).
  void NoteUnreadable(std::u16string_view path);
  // Update, after the check pass: keeps the tracks below the folders the scan could not list (a
  // drive that is gone is error 7), then asks before removing most of the library. False when the
  // run ends here.
  bool KeepUnlistedTracks(UpdateBuilder& updater);
  bool RemovalAllowed(UpdateBuilder& updater);

  platform::Platform& platform_;
  RunHost& host_;
  BuilderFactories factories_;
  RunOptions options_;
  RunState state_;
  Backup backup_;
  // What the builders are handed: the same platform, with writes to the library folder guarded so
  // that a deferred backup is taken before the first one.
  BackupOnWrite guardedFiles_;
  platform::Platform builderPlatform_;
  std::unique_ptr<platform::Lock> driveLock_;
  std::thread scan_;
  std::thread worker_;
  std::u16string handedPath_;  // worker: the file the builder is working on
  bool skipAll_ = false;       // worker: Skip All was answered; no more questions this run
  int resultCode_ = 0;
  bool removalDeclined_ = false;  // worker: the library is left as it was, nothing to restore
  int64_t startSeconds_ = 0;
  std::u16string keptBackupFolder_;
};

}  // namespace deltrix::run
