// What a run's progress display shows, computed from the run state and the calendar second with no
// toolkit: the console and the desktop dialog draw the same ProgressView. Tick() is called every
// 25 ms on the user-interface thread; it reads the run state without locks (one writer per field).
//
// The bar and the title's percentage run from 0 to 95 while files are handled (the worker's
// completion sets 100). The remaining time is a moving average of the progress made per second over
// the last 16 seconds; while a full batch is being written it holds still.
#pragma once

#include <cstdint>
#include <string>

#include "run/run_state.h"

namespace deltrix::run {

struct ProgressView {
  std::u16string heading;     // "Creating.." or "Updating.."
  std::u16string countLabel;  // "Processed", or "Added" in the update merge phase
  std::u16string done;        // "%d"
  std::u16string total;       // "%d" ("0 / 0" before the first tick)
  int barPosition = 0;        // 0 to 100
  std::u16string title;       // "%d%% / %s" with the bar position and the drive root
  std::u16string path;        // drive path of the next file to be handled, or empty
  std::u16string elapsed;     // "%02d:%02d"
  std::u16string remaining;   // "%02d:%02d", or "--:--" until there is an estimate
};

class ProgressModel {
 public:
  // The display set-up at the start of a run; `start` is the second the run began (the elapsed time
  // counts from it).
  void Start(const RunState& state, int64_t start);
  // One progress tick.
  void Tick(const RunState& state, int64_t now);
  // The completion display: bar at 100 and the title with 100.
  void Complete(const RunState& state);

  const ProgressView& view() const { return view_; }

 private:
  void SetPosition(int position, const RunState& state);

  ProgressView view_;
  int64_t startTime_ = 0;
  int64_t lastSecond_ = 0;
  double shownFraction_ = 0.0;
  double fractionAtLastSecond_ = 0.0;
  int32_t lastRemaining_ = 0;
  double rateSamples_[16] = {};
  int32_t sampleCount_ = 0;
  bool sawPhase_ = false;
};

// "%02d:%02d" with seconds / 60 and seconds % 60 (minutes are not limited to two digits).
std::u16string MinutesSeconds(int64_t seconds);

}  // namespace deltrix::run
