#include "run/progress_model.h"

#include <cstdio>

#include "base/utf16.h"

namespace deltrix::run {

namespace {

std::u16string Format(const char* format, long long a, long long b = 0) {
  char buf[64];
  std::snprintf(buf, sizeof buf, format, a, b);
  return FromUtf8(buf);
}

}  // namespace

std::u16string MinutesSeconds(int64_t seconds) {
  return Format("%02lld:%02lld", static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
}

void ProgressModel::SetPosition(int position, const RunState& state) {
  view_.barPosition = position;
  view_.title = Format("%lld%%", position) + u" / " + state.driveRoot;
}

void ProgressModel::Start(const RunState& state, int64_t start) {
  startTime_ = lastSecond_ = start;
  shownFraction_ = fractionAtLastSecond_ = 0.0;
  lastRemaining_ = 0;
  for (double& s : rateSamples_) s = 0.0;
  sampleCount_ = 0;
  sawPhase_ = false;
  view_ = ProgressView{};
  view_.elapsed = u"00:00";
  view_.remaining = u"--:--";
  view_.total = u"0 / 0";
  SetPosition(0, state);
  view_.countLabel = u"Processed";
  view_.heading = state.runMode != RunModeCreate ? u"Updating.." : u"Creating..";
}

void ProgressModel::Tick(const RunState& state, int64_t now) {
  const int64_t elapsed = now - startTime_;
  const bool phase = state.phaseActive;
  if (phase && !sawPhase_) {
    // The update merge phase starts its own count: the bar starts again from 0 and the next second
    // only records the fraction. The rate samples are kept.
    sawPhase_ = true;
    shownFraction_ = fractionAtLastSecond_ = 0.0;
    view_.countLabel = u"Added";
  }
  int32_t done, total;
  if (phase) {
    done = state.phaseProcessed + state.phaseSkipped;
    total = state.phaseTotal;
  } else {
    done = state.processedCount + state.skippedCount;
    total = state.foundCount();
  }

  if (state.scanDone) {
    // A total of 0 (nothing found, or the merge phase before its total is known) has no fraction:
    // the bar and the estimate are left as they are and only the elapsed time moves.
    const bool hasFraction = total > 0;
    const double fraction = hasFraction ? static_cast<double>(done) / total : 0.0;
    if (hasFraction && static_cast<int>(shownFraction_ * 100) != static_cast<int>(fraction * 100)) {
      SetPosition(static_cast<int>(fraction * 95), state);
      shownFraction_ = fraction;
    }
    if (now != lastSecond_) {
      if (!hasFraction || fractionAtLastSecond_ == 0.0) {
        view_.elapsed = MinutesSeconds(elapsed);
      } else {
        int32_t secs;
        if (state.estimateFrozen) {
          secs = lastRemaining_;
        } else {
          rateSamples_[sampleCount_ % 16] = fraction - fractionAtLastSecond_;
          sampleCount_ += 1;
          double sum = 0.0;
          for (double s : rateSamples_) sum += s;
          const double rate = sampleCount_ < 16 ? sum / sampleCount_ : sum * 0.0625;
          if (rate <= 0.0) {
            secs = lastRemaining_;
          } else {
            secs = static_cast<int32_t>((1.0 - fraction) / rate);
            lastRemaining_ = secs;
          }
        }
        view_.elapsed = MinutesSeconds(elapsed);
        view_.remaining = MinutesSeconds(secs);
      }
      if (hasFraction) fractionAtLastSecond_ = fraction;
      lastSecond_ = now;
    }
  } else if (now != lastSecond_) {
    view_.elapsed = MinutesSeconds(elapsed);
    view_.remaining = u"--:--";
    lastSecond_ = now;
  }

  if (done < total && state.workerStarted)
    view_.path = std::u16string((phase ? state.mergeFiles : state.files).Get(done));
  view_.total = Format("%lld", total);
  view_.done = Format("%lld", done);
}

void ProgressModel::Complete(const RunState& state) { SetPosition(100, state); }

}  // namespace deltrix::run
