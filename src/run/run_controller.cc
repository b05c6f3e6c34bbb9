#include "run/run_controller.h"

#include <cstdio>
#include <utility>

#include "base/error_code.h"
#include "base/utf16.h"
#include "library/track_record_view.h"
#include "run/drive_checks.h"
#include "run/error_report.h"
#include "run/messages.h"
#include "run/scan.h"

namespace deltrix::run {

namespace {

// How long a worker that has caught up with a running scan sleeps before it looks again. A
// zero-length yield here would spin: on a busy machine every sched_yield hands the core to another
// process, and the scan that the worker waits for is slowed by it.
constexpr int kIdlePollMilliseconds = 1;

// An update asks before it removes more than half of the library's tracks, and at least this many.
constexpr uint32_t kAskRemovalFrom = 50;

}  // namespace

RunController::RunController(platform::Platform& platform, RunHost& host,
                             BuilderFactories factories, RunOptions options)
    : platform_(platform),
      host_(host),
      factories_(std::move(factories)),
      options_(std::move(options)),
      state_(options_.fileListCapacity),
      backup_(platform.files),
      guardedFiles_(platform.files, backup_),
      builderPlatform_{guardedFiles_, platform.drives, platform.text, platform.clock,
                       platform.locks} {}

RunController::~RunController() {
  if (running()) {
    state_.pauseRequested = true;
    StopAndJoin();
  }
}

bool RunController::StartRun(std::u16string_view driveRoot, int tagLanguage, int runMode) {
  // The elapsed time counts from here: the backup below is part of the run.
  startSeconds_ = platform_.clock.NowSeconds();
  state_.driveRoot = std::u16string(driveRoot);
  state_.tagLanguage = tagLanguage;
  state_.runMode = runMode;
  state_.Reset();
  resultCode_ = Success;
  removalDeclined_ = false;
  keptBackupFolder_.clear();
  skipAll_ = false;

  // Two runs must never write the same drive, whichever front-end started them.
  driveLock_ = platform_.locks.TryLockDrive(driveRoot);
  if (!driveLock_) {
    resultCode_ = kDriveBusy;
    host_.RequestClose();
    return false;
  }

  bool recovered = false;
  // An update takes its copies only when it is about to write: one that changes nothing leaves the
  // card untouched.
  if (!backup_.PrepareBackup(driveRoot, options_.libraryCheck, &recovered,
                             runMode != RunModeCreate)) {
    resultCode_ = WriteFileFailed;
    ReportError(host_, WriteFileFailed, u"");
    host_.RequestClose();
    driveLock_.reset();
    return false;
  }
  if (recovered) {
    host_.Notice(u"An interrupted run was found: the library of before it has been put back.");
  }

  state_.files.Clear();
  state_.mergeFiles.Clear();
  state_.isIpodVolume = IsIpodVolume(platform_.files, state_.driveRoot);
  state_.pauseRequested = false;
  host_.EnableStop(true);
  scan_ = std::thread([this] { ScanThreadMain(); });
  worker_ = std::thread([this] { WorkerThreadMain(); });
  return true;
}

bool RunController::WaitWhilePaused() {
  while (state_.pauseRequested) {
    platform_.clock.Sleep(10);
    if (state_.stopRequested) return false;
  }
  return true;
}

int RunController::ScanThreadMain() {
  platform_.clock.Sleep(50);
  DriveScan scan(platform_.files, state_.files, state_.report,
                 [this] { return WaitWhilePaused(); });
  if (scan.Walk(state_.driveRoot, state_.isIpodVolume)) {
    platform_.clock.Sleep(10);
    state_.scanDone = true;
  }
  return 0;
}

int RunController::WorkerThreadMain() {
  platform_.clock.Sleep(50);
  state_.workerStarted = true;
  const bool ok = state_.runMode != RunModeCreate ? RunUpdate() : RunCreate();
  platform_.clock.Sleep(10);
  // Where the library of before is, when it could not be put back in place.
  auto keptBackup = [this](const std::u16string& folder) {
    keptBackupFolder_ = folder;
    host_.Notice(u"The previous library could not be put back. Its files are kept in " +
                 FromUtf8(platform_.drives.ToUserPath(folder)) +
                 u" (ZRDB.DB.bak, ZRTL.DB.bak, ZRBL.DB.bak).");
  };
  if (ok) {
    resultCode_ = Success;
    host_.StopTick();
    const std::u16string folder = backup_.record().backupFolder;
    // A create writes the library only when it took in a file.
    if (!backup_.KeepNewLibrary(state_.processedCount > 0)) keptBackup(folder);
    host_.ShowCompletion();
    const int count = state_.runMode != RunModeCreate ? state_.phaseProcessed.load()
                                                      : state_.processedCount.load();
    char text[64];
    std::snprintf(text, sizeof text, "%d files are processed.", count);
    host_.ShowFinishMessage(FromUtf8(text));
  } else {
    if (resultCode_ == Success) resultCode_ = RunAborted;
    const std::u16string folder = backup_.record().backupFolder;
    if (removalDeclined_) {
      // Only the add list was written (and deleted at close): the library files are as they were.
      backup_.DiscardBackup();
    } else if (!backup_.RestoreBackup()) {
      keptBackup(folder);
    }
  }
  host_.RequestClose();
  return 0;
}

bool RunController::Fail(int code, std::u16string_view text) {
  // The stop that follows a failure already reported (a drive found gone at a file) keeps its code.
  if (code == RunAborted && resultCode_ != Success) return false;
  resultCode_ = code;
  ReportError(host_, code, text);
  return false;
}

bool RunController::HandFoundFiles(
    const std::function<int(std::u16string_view path, int64_t listedTime)>& step) {
  // Files go to the builder in the order the scan found them, while the scan goes on. A step
  // answers 0 (taken), 2 (skipped by the user) or the code that ends the run.
  int32_t index = 0;
  while (true) {
    if (index >= state_.foundCount() && state_.scanDone) return true;
    if (!WaitWhilePaused()) return false;
    if (index < state_.foundCount()) {
      const std::u16string_view path = state_.files.Get(index);
      handedPath_.assign(path);
      const int r = step(path, state_.files.Time(index));
      if (r == CannotOpenFile) {
        ++state_.skippedCount;
      } else if (r == Success) {
        ++state_.processedCount;
      } else {
        return Fail(r, path);  // 8 (Abort, or a drive already reported gone) shows nothing
      }
      index = state_.processedCount + state_.skippedCount;
    } else {
      platform_.clock.Sleep(kIdlePollMilliseconds);  // caught up with the scan: poll, do not spin
    }
  }
}

bool RunController::FinishingAllowed() {
  // From here on the run can no longer be stopped (an update's merge phase enables it again).
  host_.EnableStop(false);
  return WaitWhilePaused();
}

bool RunController::DriveStillThere() {
  if (state_.foundCount() == 0 && !IsDrivePresent(platform_.drives, state_.driveRoot)) {
    return Fail(DeviceRemoved, state_.driveRoot);
  }
  return true;
}

bool RunController::RunCreate() {
  const int kind = GetFileSystemKind(platform_.drives, state_.driveRoot);
  std::unique_ptr<CreateBuilder> creator =
      factories_.create
          ? factories_.create(BuilderRequest{builderPlatform_, state_.driveRoot, kind, *this})
          : nullptr;
  if (!creator) return Fail(CreateDataFailed, u"");
  struct CloseAtEnd {
    CreateBuilder& builder;
    ~CloseAtEnd() { builder.Close(); }
  } closeAtEnd{*creator};

  if (const int code = creator->Open(); code != Success) return Fail(code, u"");
  if (!HandFoundFiles([&](std::u16string_view path, int64_t listedTime) {
        return creator->AddFile(path, state_.tagLanguage, listedTime);
      })) {
    return false;
  }
  if (!FinishingAllowed()) return false;
  if (state_.processedCount > 0) {
    if (const int code = creator->SortAndWriteBatch(true); code != Success) return Fail(code, u"");
    if (const int code = creator->Finish(); code != Success) return Fail(code, u"");
  }
  if (!DriveStillThere()) return false;
  creator->WriteTimes();  // the run has succeeded: nothing after this can fail it
  return true;
}

bool RunController::RunUpdate() {
  const int kind = GetFileSystemKind(platform_.drives, state_.driveRoot);
  std::unique_ptr<UpdateBuilder> updater =
      factories_.update ? factories_.update(BuilderRequest{builderPlatform_, state_.driveRoot, kind,
                                                           *this, state_.rereadChanged})
                        : nullptr;
  if (!updater) return Fail(CreateDataFailed, u"");
  struct CloseAtEnd {
    UpdateBuilder& builder;
    ~CloseAtEnd() { builder.Close(); }
  } closeAtEnd{*updater};

  if (const int code = updater->Open(); code != Success) {
    const bool ok = Fail(code, u"");
    if (code == CreateDataFailed) host_.Notice(std::u16string(kLibraryNotUpdatableNotice));
    return ok;
  }
  if (state_.rereadChanged) {
    const library::TimesFileState times = updater->TimesState();
    if (times != library::TimesFileState::kLoaded) {
      std::u16string notice(times == library::TimesFileState::kMissing ? kTimesFileMissing
                            : times == library::TimesFileState::kStale ? kTimesFileStale
                                                                       : kTimesFileDamaged);
      host_.Notice(notice.append(kTimesFileSizeOnly));
    }
  }
  const bool walked = HandFoundFiles([&](std::u16string_view path, int64_t listedTime) {
    const int r = updater->CheckFile(path, listedTime);
    return r == CannotOpenFile ? AskSkipFile() : r;
  });
  if (!walked || !FinishingAllowed()) return false;
  if (!KeepUnlistedTracks(*updater) || !RemovalAllowed(*updater)) return false;
  // Merge and finish run even when nothing was found.
  int code = updater->Merge(state_.tagLanguage);
  if (code == Success) code = updater->Finish();
  // -1 (a stop in the merge phase) and 8 (Abort) show nothing.
  if (code != Success) return Fail(code == -1 ? RunAborted : code, state_.driveRoot);
  if (!DriveStillThere()) return false;
  updater->WriteTimes();  // the run has succeeded: nothing after this can fail it
  return true;
}

void RunController::NoteUnreadable(std::u16string_view path) {
  const bool tooLong = path.size() > 2 + library::kMaxRelativePathUnits;
  state_.report.AddPath(tooLong ? LeftOutReason::PathTooLong : LeftOutReason::Unreadable, path);
}

bool RunController::KeepUnlistedTracks(UpdateBuilder& updater) {
  const RunReport& report = state_.report;
  const int64_t failed = report.count(LeftOutReason::Unlistable);
  if (failed == 0) return true;
  // A card pulled during the scan fails its listings too: that is the drive gone, not a folder.
  if (!IsDrivePresent(platform_.drives, state_.driveRoot)) {
    return Fail(DeviceRemoved, state_.driveRoot);
  }
  std::vector<std::u16string> folders;
  if (static_cast<size_t>(failed) > report.list(LeftOutReason::Unlistable).size()) {
    folders.push_back(state_.driveRoot);  // more than the list holds: keep every track not found
  } else {
    for (const RunReport::Entry& entry : report.list(LeftOutReason::Unlistable))
      folders.push_back(DrivePathOf(entry));
  }
  if (const int code = updater.KeepTracksBelow(folders); code != Success) return Fail(code, u"");
  return true;
}

bool RunController::RemovalAllowed(UpdateBuilder& updater) {
  // Losing most of a library is more often a card read wrong than music deleted: ask first.
  const uint32_t removed = updater.tracksToRemove();
  const uint32_t total = updater.libraryTrackCount();
  if (removed < kAskRemovalFrom || uint64_t{removed} * 2 <= total) return true;
  if (host_.AskRemoveTracks(RemovalQuestion(removed, total))) return true;
  removalDeclined_ = true;
  resultCode_ = RunAborted;
  return false;
}

void RunController::BeginMergePhase() {
  // The display follows the phase counters and the phase's own list once phaseActive is set, and
  // the total stays 0 until the list is complete, so the tick never reads a slot being filled.
  state_.mergeFiles.Clear();
  state_.phaseTotal = 0;
  state_.phaseActive = true;
  state_.phaseProcessed = 0;
  state_.phaseSkipped = 0;
}

int RunController::AskSkipFile() {
  const int answer =
      run::AskSkipFile(host_, platform_.drives, state_.driveRoot, handedPath_, &skipAll_);
  if (answer == DeviceRemoved) {
    // Reported already: the run ends with that code, and the builder's stop shows nothing more.
    resultCode_ = DeviceRemoved;
    return RunAborted;
  }
  if (answer == CannotOpenFile) NoteUnreadable(handedPath_);
  return answer;
}

void RunController::StopAndJoin() {
  state_.stopRequested = true;
  platform_.clock.Sleep(10);
  if (scan_.joinable()) scan_.join();
  if (worker_.joinable()) worker_.join();
  host_.StopTick();
  state_.files.Clear();
  state_.mergeFiles.Clear();
  driveLock_.reset();
}

}  // namespace deltrix::run
