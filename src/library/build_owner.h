// What a library builder asks of the run that owns it. Called on the worker thread only.
#pragma once

namespace deltrix::library {

class BuildOwner {
 public:
  virtual ~BuildOwner() = default;
  // A file could not be read: 2 skips it, 8 stops the run (the drive may be gone).
  [[nodiscard]] virtual int AskSkipFile() = 0;
  // Set while a full batch is sorted and written, so the time estimate holds still.
  virtual void SetBatchInProgress(bool on) = 0;
};

}  // namespace deltrix::library
