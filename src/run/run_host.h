// The host operations a run calls on its user interface (the run dialog, the console, a test host).
// Worker-thread calls: ShowError, AskSkipOrAbort and ShowFinishMessage block until the user
// answers; they are made only while the stop control is disabled, so the UI thread never waits for
// a worker that waits for it. RequestClose and the display calls return at once.
#pragma once

#include <string>

#include "run/error_report.h"

namespace deltrix::run {

class RunHost : public run::ErrorHost {
 public:
  // Shows "%d files are processed." and returns when dismissed (worker thread).
  virtual void ShowFinishMessage(const std::u16string& text) = 0;
  // An update would remove most of the library's tracks; `question` says how many. True removes
  // them; false keeps the library as it was (worker thread, blocks until answered, asked while the
  // stop control is disabled).
  virtual bool AskRemoveTracks(const std::u16string& question) = 0;
  // Asks the UI thread to end the run: it calls StopAndJoin and closes. Returns at once.
  virtual void RequestClose() = 0;
  // The run is complete: bar at 100 and the title "%d%% / %s" (worker thread, returns at once).
  virtual void ShowCompletion() = 0;
  // Ends the periodic progress tick (worker or UI thread, returns at once).
  virtual void StopTick() = 0;
  // A line of information outside the fixed messages (a recovered library, where .bak copies were
  // kept). Returns at once.
  virtual void Notice(const std::u16string& text) = 0;
};

}  // namespace deltrix::run
