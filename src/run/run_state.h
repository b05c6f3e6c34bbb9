// The state of one run, shared by three threads without locks: the user-interface thread, the scan
// thread and the worker thread. Every field names its one writer; the others poll it and may see a
// value a moment old. The file list is published through its count: the scan writes a slot, then
// raises the count with release ordering; readers load the count with acquire ordering and read
// only slots below it. A stop is seen only inside the pause wait, so every stop request sets
// pauseRequested first.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "run/run_report.h"

namespace deltrix::run {

inline constexpr int32_t kMaxFiles = 150000;

enum RunMode : int { RunModeCreate = 0, RunModeUpdate = 1 };

// The list of audio paths the scan found, in the order found. Its slots are made once and reused by
// every run; a run allocates only the path texts.
class FileList {
 public:
  explicit FileList(size_t capacity = kMaxFiles) : slots_(capacity) {}

  // The list's one writer (the scan, or the worker for the merge phase). False when it is full.
  // `modified` is the file's time when its listing gave it.
  bool Append(std::u16string path, int64_t modified = platform::kNoTime) {
    const int32_t n = count_.load(std::memory_order_relaxed);
    if (n < 0 || static_cast<size_t>(n) >= slots_.size()) return false;
    slots_[n] = std::move(path);
    times_[n] = modified;
    count_.store(n + 1, std::memory_order_release);
    return true;
  }
  int32_t count() const { return count_.load(std::memory_order_acquire); }
  // The path at i for 0 <= i < count(); an empty text otherwise.
  std::u16string_view Get(int32_t i) const {
    if (i < 0 || i >= count()) return {};
    return slots_[i];
  }
  // Only while no scan or worker thread runs.
  void Clear() {
    const int32_t n = count_.load(std::memory_order_relaxed);
    for (int32_t i = 0; i < n; ++i) slots_[i].clear();
    count_.store(0, std::memory_order_release);
  }
  size_t capacity() const { return slots_.size(); }
  // The listed time of the path at i (0 <= i < count()); kNoTime where the listing gave none.
  int64_t Time(int32_t i) const { return i < 0 || i >= count() ? platform::kNoTime : times_[i]; }

 private:
  std::vector<std::u16string> slots_;
  std::vector<int64_t> times_ = std::vector<int64_t>(slots_.size(), platform::kNoTime);
  std::atomic<int32_t> count_{0};
};

struct RunState {
  explicit RunState(size_t fileListCapacity = kMaxFiles)
      : files(fileListCapacity), mergeFiles(fileListCapacity) {}

  // Settings: written by the starter before the run begins.
  std::u16string driveRoot;
  int32_t tagLanguage = 0;
  int32_t runMode = RunModeCreate;
  bool rereadChanged = false;  // an update reads changed files again

  // Counters. foundCount is the file list's count (scan thread).
  std::atomic<int32_t> processedCount{0};  // worker: files taken in
  std::atomic<int32_t> skippedCount{0};    // worker: files skipped by the user
  std::atomic<int32_t> phaseTotal{0};      // worker, update merge phase
  std::atomic<int32_t> phaseProcessed{0};  // worker, update merge phase
  std::atomic<int32_t> phaseSkipped{0};    // worker, update merge phase

  // Flags.
  std::atomic<bool> pauseRequested{false};  // UI thread
  std::atomic<bool> stopRequested{false};   // UI thread (StopAndJoin)
  std::atomic<bool> scanDone{false};        // scan thread
  std::atomic<bool> workerStarted{false};   // worker
  std::atomic<bool> phaseActive{false};     // worker, update merge phase
  std::atomic<bool> estimateFrozen{
      false};                             // library builder on the worker: a batch is being written
  std::atomic<bool> isIpodVolume{false};  // UI thread at start

  FileList files;
  // Worker, update merge phase: the queued files it reads, in order. A list of its own: the display
  // may still be reading a slot of the scan's list when the phase begins, so that one is never
  // refilled during a run.
  FileList mergeFiles;
  // What the run left out and why (run_report.h names each reason's writer, the scan thread or the
  // worker). Read once the run has ended; the worker reads the scan's part once scanDone is set.
  RunReport report;

  int32_t foundCount() const { return files.count(); }

  // Everything but the settings and the file list's slots.
  void Reset() {
    stopRequested = false, scanDone = false, workerStarted = false, phaseActive = false;
    estimateFrozen = false, pauseRequested = false;
    processedCount = 0, skippedCount = 0, phaseTotal = 0, phaseProcessed = 0, phaseSkipped = 0;
    report.Clear();
  }
};

}  // namespace deltrix::run
