#include "run/progress_model.h"

#include <gtest/gtest.h>

namespace deltrix::run {
namespace {

struct Fixture {
  RunState state{300};
  ProgressModel model;
  int64_t now = 5000;
  Fixture() {
    state.driveRoot = u"E:\\";
    model.Start(state, now);
  }
  void Found(int n) {
    for (int i = 0; i < n; ++i)
      state.files.Append(u"E:\\" + std::u16string(1, char16_t(u'a' + i % 26)) + u".mp3");
  }
  const ProgressView& TickAt(int64_t second) {
    now = second;
    model.Tick(state, now);
    return model.view();
  }
};

TEST(ProgressModel, DuringTheScanOnlyElapsedMoves) {
  Fixture f;
  f.Found(10);
  f.state.processedCount = 5;
  const ProgressView& v = f.TickAt(5003);
  EXPECT_EQ(u"0% / E:\\", v.title);
  EXPECT_EQ(0, v.barPosition);
  EXPECT_EQ(u"00:03", v.elapsed);
  EXPECT_EQ(u"--:--", v.remaining);
  EXPECT_EQ(u"5", v.done);
  EXPECT_EQ(u"10", v.total);
  EXPECT_EQ(u"Creating..", v.heading);
  EXPECT_EQ(u"Processed", v.countLabel);
}

TEST(ProgressModel, BarShowsNinetyFivePartsOfTheFraction) {
  Fixture f;
  f.Found(200);
  f.state.scanDone = true;
  f.state.processedCount = 40;
  f.state.skippedCount = 10;
  EXPECT_EQ(23, f.TickAt(5000).barPosition);
  EXPECT_EQ(u"23% / E:\\", f.model.view().title);
  f.state.processedCount = 190;
  EXPECT_EQ(95, f.TickAt(5000).barPosition) << "never above 95 before the end";
  f.model.Complete(f.state);
  EXPECT_EQ(100, f.model.view().barPosition);
  EXPECT_EQ(u"100% / E:\\", f.model.view().title);
}

TEST(ProgressModel, FirstSampleOneSecondAfterTheFirstRecordedFraction) {
  Fixture f;
  f.Found(64);
  f.state.scanDone = true;
  f.state.processedCount = 8;
  EXPECT_EQ(u"--:--", f.TickAt(5001).remaining) << "the first second only records 0.125";
  f.state.processedCount = 16;
  EXPECT_EQ(u"00:06", f.TickAt(5002).remaining);  // (1 - 0.25) / 0.125
  EXPECT_EQ(u"00:02", f.model.view().elapsed);
}

TEST(ProgressModel, EstimateHoldsWhileABatchIsWritten) {
  Fixture f;
  f.Found(100);
  f.state.scanDone = true;
  f.state.processedCount = 10;
  f.TickAt(5001);
  f.state.processedCount = 20;
  EXPECT_EQ(u"00:08", f.TickAt(5002).remaining);  // 0.8 / 0.1
  f.state.estimateFrozen = true;
  f.state.processedCount = 21;
  EXPECT_EQ(u"00:08", f.TickAt(5003).remaining);
  f.state.estimateFrozen = false;
  f.state.processedCount = 30;
  // Samples 0.1 and 0.1 (from 0.21 to 0.30 is 0.09, but the frozen second took no sample):
  EXPECT_EQ(u"00:07", f.TickAt(5004).remaining);
}

TEST(ProgressModel, SteadyOnePercentPerSecondSettlesOnTheRemainingPercent) {
  Fixture f;
  f.Found(100);
  f.state.scanDone = true;
  for (int s = 1; s <= 40; ++s) {
    f.state.processedCount = s;
    f.TickAt(5000 + s);
  }
  // 60 % left at 1 % a second; the sixteen summed samples come out a hair above 0.01 in double
  // precision, and the estimate truncates.
  EXPECT_EQ(u"00:59", f.model.view().remaining);
  EXPECT_EQ(u"00:40", f.model.view().elapsed);
}

TEST(ProgressModel, MinutesAreNotLimitedToTwoDigits) {
  EXPECT_EQ(u"125:07", MinutesSeconds(125 * 60 + 7));
  EXPECT_EQ(u"00:00", MinutesSeconds(0));
}

TEST(ProgressModel, MergePhaseCountsAddedFilesFromZero) {
  Fixture f;
  f.state.runMode = RunModeUpdate;
  f.model.Start(f.state, f.now);
  f.Found(10);
  f.state.scanDone = true;
  f.state.processedCount = 10;
  EXPECT_EQ(95, f.TickAt(5001).barPosition);
  f.state.phaseActive = true;  // total not known yet: 0 / 0 shows no number
  const ProgressView& v = f.TickAt(5002);
  EXPECT_EQ(u"Added", v.countLabel);
  EXPECT_EQ(95, v.barPosition);
  EXPECT_EQ(u"0", v.total);
  f.state.phaseTotal = 4;
  f.state.phaseProcessed = 1;
  EXPECT_EQ(23, f.TickAt(5003).barPosition) << "the bar starts again";
  EXPECT_EQ(u"Updating..", f.model.view().heading);
}

TEST(ProgressModel, ShowsTheNextFileOnceTheWorkerRuns) {
  Fixture f;
  f.Found(3);
  f.state.processedCount = 1;
  EXPECT_EQ(u"", f.TickAt(5000).path);
  f.state.workerStarted = true;
  EXPECT_EQ(u"E:\\b.mp3", f.TickAt(5000).path);
}

TEST(ProgressModel, NothingFoundShowsNoPercentage) {
  Fixture f;
  f.state.scanDone = true;
  const ProgressView& v = f.TickAt(5002);
  EXPECT_EQ(0, v.barPosition);
  EXPECT_EQ(u"00:02", v.elapsed);
  EXPECT_EQ(u"--:--", v.remaining);
}

}  // namespace
}  // namespace deltrix::run
