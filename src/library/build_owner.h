// What a library builder asks of the run that owns it. Called on the worker thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace deltrix::library {

class BuildOwner {
 public:
  virtual ~BuildOwner() = default;
  // A file could not be read: 2 skips it, 8 stops the run (the drive may be gone).
  [[nodiscard]] virtual int AskSkipFile() = 0;
  // Set while a full batch is sorted and written, so the time estimate holds still.
  virtual void SetBatchInProgress(bool on) = 0;

  // The merge phase of an update, in which new files are read and added with their own progress.
  // The run implements all of these; the defaults serve builders and tests that never merge.
  // The run's stop control: on while new files are read, off for the final write.
  virtual void EnableStop(bool on) { (void)on; }
  // The pause wait: false when the run was stopped.
  [[nodiscard]] virtual bool WaitWhilePaused() { return true; }
  // Starts the phase's own file list and switches the display to the phase's counters ("Added"),
  // at 0.
  virtual void BeginMergePhase() {}
  // Appends a full path (E:\Music\a.mp3) to the phase's file list; false when the list is full.
  [[nodiscard]] virtual bool AppendMergePath(std::u16string path) {
    (void)path;
    return false;
  }
  // The number of paths appended: the display's total from now on.
  virtual void SetPhaseTotal(int32_t total) { (void)total; }
  // The path at `index` of the file list, empty outside it.
  virtual std::u16string_view MergePath(int32_t index) {
    (void)index;
    return {};
  }
  // One new file handled: added to the library, or skipped by the user.
  virtual void CountMergeFile(bool added) { (void)added; }
};

}  // namespace deltrix::library
