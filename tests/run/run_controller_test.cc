// The run spine with a double for the library builder: hand-over order, counting, questions, stop,
// and the end-of-run device check. Threads run for real; the clock only yields.
#include "run/run_controller.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "base/error_code.h"
#include "base/utf16.h"
#include "fake_builder.h"
#include "run/progress_model.h"
#include "support/memory_drive.h"
#include "support/test_host.h"

namespace deltrix::run {
namespace {

using testing::FakeBuilderLog;
using testing::MemoryPlatform;
using testing::TestHost;

// Runs a create to its end the way a user interface does: start, wait for the close request, join.
int RunToEnd(MemoryPlatform& mp, TestHost& host, FakeBuilderLog& log) {
  RunController run(mp.platform, host, testing::FakeFactory(log));
  if (run.StartRun(u"E:\\", 3, RunModeCreate)) {
    host.WaitForClose();
    run.StopAndJoin();
  }
  return run.resultCode();
}

void AddLibrary(MemoryPlatform& mp, std::string_view tag) {
  for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
    mp.files.AddFile(std::u16string(u"E:\\KORVANE\\LIBRARY\\") + name, std::string(tag) + "-old");
  }
}

TEST(RunCreate, HandsEveryFileOverInScanOrderAndFinishes) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\b.mp3", "");
  mp.files.AddFile(u"E:\\A\\c.m4a", "");
  mp.files.AddFile(u"E:\\a.wav", "");
  TestHost host;
  FakeBuilderLog log;
  EXPECT_EQ(Success, RunToEnd(mp, host, log));
  EXPECT_EQ((std::vector<std::u16string>{u"E:\\b.mp3", u"E:\\A\\c.m4a", u"E:\\a.wav"}), log.added);
  EXPECT_EQ(3, log.tagLanguage);
  EXPECT_EQ(1, log.fileSystemKind) << "FAT32 is kind 1";
  EXPECT_EQ((std::vector<std::string>{"open", "final", "finish", "close"}), log.calls);
  EXPECT_EQ(u"3 files are processed.", host.finish());
  const auto events = host.events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ("stop off", events[events.size() - 4]) << "the stop control is off while finishing";
  EXPECT_EQ((std::vector<std::string>{"complete", "finish", "close"}),
            std::vector<std::string>(events.end() - 3, events.end()));
}

TEST(RunCreate, CountsSkippedFilesApartAndFinishesWithProcessedOnly) {
  MemoryPlatform mp;
  for (const char16_t* name : {u"E:\\1.mp3", u"E:\\bad.mp3", u"E:\\3.mp3"})
    mp.files.AddFile(name, "");
  TestHost host;
  FakeBuilderLog log;
  log.addResult = [](std::u16string_view path, library::BuildOwner& owner) {
    return path.find(u"bad") != std::u16string_view::npos ? owner.AskSkipFile() : 0;
  };
  EXPECT_EQ(Success, RunToEnd(mp, host, log));
  EXPECT_EQ(1u, host.asked());
  EXPECT_EQ(u"2 files are processed.", host.finish());
}

TEST(RunCreate, SkipAllAsksOnceAndSkipsEveryLaterUnreadableFileOfTheRun) {
  MemoryPlatform mp;
  for (const char16_t* name :
       {u"E:\\1.mp3", u"E:\\bad1.mp3", u"E:\\2.mp3", u"E:\\bad2.mp3", u"E:\\bad3.mp3"})
    mp.files.AddFile(name, "");
  TestHost host;
  host.answers = {SkipAnswer::SkipAll};
  FakeBuilderLog log;
  log.addResult = [](std::u16string_view path, library::BuildOwner& owner) {
    return path.find(u"bad") != std::u16string_view::npos ? owner.AskSkipFile() : 0;
  };
  RunController run(mp.platform, host, testing::FakeFactory(log));
  ASSERT_TRUE(run.StartRun(u"E:\\", 3, RunModeCreate));
  host.WaitForClose();
  run.StopAndJoin();
  EXPECT_EQ(Success, run.resultCode());
  EXPECT_EQ(std::vector<std::u16string>{u"E:\\bad1.mp3"}, host.askedPaths());
  EXPECT_EQ(3, run.state().skippedCount.load());
  std::vector<std::u16string> listed;
  for (const RunReport::Entry& entry : run.state().report.list(LeftOutReason::Unreadable))
    listed.push_back(DrivePathOf(entry));
  EXPECT_EQ((std::vector<std::u16string>{u"E:\\bad1.mp3", u"E:\\bad2.mp3", u"E:\\bad3.mp3"}),
            listed)
      << "files skipped unasked are still listed";
  EXPECT_EQ(u"2 files are processed.", host.finish());
}

TEST(RunCreate, EverySkippedMeansNothingWrittenButSuccess) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\bad.mp3", "");
  AddLibrary(mp, "kept");
  TestHost host;
  FakeBuilderLog log;
  log.addResult = [](std::u16string_view, library::BuildOwner& owner) {
    return owner.AskSkipFile();
  };
  EXPECT_EQ(Success, RunToEnd(mp, host, log));
  EXPECT_EQ((std::vector<std::string>{"open", "close"}), log.calls);
  EXPECT_EQ(u"0 files are processed.", host.finish());
  EXPECT_EQ(testing::Bytes({'k', 'e', 'p', 't', '-', 'o', 'l', 'd'}),
            mp.files.Contents(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB"));
  EXPECT_FALSE(mp.files.Exists(u"E:\\KORVANE\\ZRTL.DB.bak")) << "a success leaves no copy behind";
}

TEST(RunCreate, AbortAndWriteFailuresEndTheRunAndRestoreTheLibrary) {
  struct Case {
    const char* what;
    int addAnswer;  // what AddFile returns for the second file (2 asks the user)
    bool userAborts;
    int finalResult;
    int wantCode;
    size_t wantErrors;
  };
  const Case cases[] = {
      {"user aborts", 2, true, 0, RunAborted, 0},
      {"a batch write fails", WriteFileFailed, false, 0, WriteFileFailed, 1},
      {"the final write fails", 0, false, CreateDataFailed, CreateDataFailed, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    AddLibrary(mp, "before");
    mp.files.AddFile(u"E:\\1.mp3", "");
    mp.files.AddFile(u"E:\\2.mp3", "");
    TestHost host;
    if (c.userAborts) host.answers = {SkipAnswer::Abort};
    FakeBuilderLog log;
    log.finalResult = c.finalResult;
    log.addResult = [&](std::u16string_view path, library::BuildOwner& owner) {
      if (path != u"E:\\2.mp3") return 0;
      // The builder has started writing over the library when it fails.
      mp.files.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB", "half");
      return c.addAnswer == 2 ? owner.AskSkipFile() : c.addAnswer;
    };
    if (c.finalResult) log.addResult = nullptr;
    EXPECT_EQ(c.wantCode, RunToEnd(mp, host, log));
    EXPECT_EQ(c.wantErrors, host.errors().size());
    EXPECT_EQ(u"", host.finish());
    EXPECT_EQ(testing::Bytes({'b', 'e', 'f', 'o', 'r', 'e', '-', 'o', 'l', 'd'}),
              mp.files.Contents(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB"));
    EXPECT_FALSE(mp.files.Exists(u"E:\\KORVANE\\ZRTL.DB.bak"));
  }
}

TEST(RunCreate, EmptyDriveFinishesWithZeroOrReportsItGone) {
  {
    MemoryPlatform mp;
    TestHost host;
    FakeBuilderLog log;
    EXPECT_EQ(Success, RunToEnd(mp, host, log));
    EXPECT_EQ(u"0 files are processed.", host.finish());
  }
  {
    MemoryPlatform mp;
    TestHost host;
    FakeBuilderLog log;
    // The drive disappears while the run is open.
    log.openResult = 0;
    mp.files.SetFault([&](std::string_view op, std::u16string_view) {
      if (op == "list") mp.drives.SetReadable(u'E', false);
      return false;
    });
    EXPECT_EQ(DeviceRemoved, RunToEnd(mp, host, log));
    ASSERT_EQ(1u, host.errors().size());
    EXPECT_EQ(u"Selected device is removed. | Error Code : E-07", host.errors()[0]);
  }
}

TEST(RunCreate, ADriveRemovedAtAnUnreadableFileEndsWithCodeSeven) {
  MemoryPlatform mp;
  for (const char16_t* name : {u"E:\\1.mp3", u"E:\\2.mp3", u"E:\\3.mp3"})
    mp.files.AddFile(name, "");
  TestHost host;
  FakeBuilderLog log;
  log.addResult = [&](std::u16string_view path, library::BuildOwner& owner) {
    if (path != u"E:\\2.mp3") return 0;
    mp.drives.SetReadable(u'E', false);  // pulled while the file was read
    return owner.AskSkipFile();
  };
  EXPECT_EQ(DeviceRemoved, RunToEnd(mp, host, log));
  EXPECT_EQ(0u, host.asked());
  EXPECT_EQ(std::vector<std::u16string>{u"Selected device is removed. | Error Code : E-07"},
            host.errors());
}

TEST(RunCreate, OpenFailureIsReportedAsCodeThree) {
  MemoryPlatform mp;
  TestHost host;
  FakeBuilderLog log;
  log.openResult = CreateDataFailed;
  EXPECT_EQ(CreateDataFailed, RunToEnd(mp, host, log));
  EXPECT_EQ((std::vector<std::string>{"open", "close"}), log.calls);
}

// A latch the scan thread blocks in while listing a chosen folder, so the test knows where it is.
struct ScanGate {
  std::mutex mu;
  std::condition_variable cv;
  bool reached = false, released = false;
  void Block() {
    std::unique_lock lock(mu);
    reached = true;
    cv.notify_all();
    cv.wait(lock, [&] { return released; });
  }
  void WaitReached() {
    std::unique_lock lock(mu);
    cv.wait(lock, [&] { return reached; });
  }
  void Release() {
    std::lock_guard lock(mu);
    released = true;
    cv.notify_all();
  }
};

TEST(StopAndJoin, StopsAScanInProgressAndAWaitingWorker) {
  MemoryPlatform mp;
  AddLibrary(mp, "before");
  mp.files.AddFile(u"E:\\1.mp3", "");
  mp.files.AddFile(u"E:\\Slow\\2.mp3", "");
  ScanGate gate;
  mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
    if (op == "list" && path.find(u"Slow") != std::u16string_view::npos) gate.Block();
    return false;
  });
  TestHost host;
  FakeBuilderLog log;
  RunController run(mp.platform, host, testing::FakeFactory(log));
  ASSERT_TRUE(run.StartRun(u"E:\\", 3, RunModeCreate));
  gate.WaitReached();
  run.RequestPause();  // the user pressed stop and confirmed
  gate.Release();
  run.StopAndJoin();
  run.Resume();
  EXPECT_EQ(RunAborted, run.resultCode());
  EXPECT_FALSE(run.state().scanDone) << "a stopped scan never reports itself done";
  EXPECT_TRUE(host.errors().empty()) << "a stop adds no message";
  EXPECT_EQ(u"", host.finish());
  EXPECT_EQ(testing::Bytes({'b', 'e', 'f', 'o', 'r', 'e', '-', 'o', 'l', 'd'}),
            mp.files.Contents(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB"));
}

TEST(StopAndJoin, APauseWithoutStopResumesWhereTheRunWas) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\1.mp3", "");
  mp.files.AddFile(u"E:\\Slow\\2.mp3", "");
  ScanGate gate;
  mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
    if (op == "list" && path.find(u"Slow") != std::u16string_view::npos) gate.Block();
    return false;
  });
  TestHost host;
  FakeBuilderLog log;
  RunController run(mp.platform, host, testing::FakeFactory(log));
  ASSERT_TRUE(run.StartRun(u"E:\\", 3, RunModeCreate));
  gate.WaitReached();
  run.RequestPause();  // the stop question is open...
  gate.Release();
  run.Resume();  // ...and answered No
  host.WaitForClose();
  run.StopAndJoin();
  EXPECT_EQ(Success, run.resultCode());
  EXPECT_EQ(u"2 files are processed.", host.finish());
}

TEST(StartRun, TheElapsedTimeCountsTheBackup) {
  MemoryPlatform mp;
  AddLibrary(mp, "before");
  mp.files.AddFile(u"E:\\1.mp3", "");
  mp.files.SetFault([&](std::string_view op, std::u16string_view) {
    if (op == "move") mp.clock.now += 5;  // a slow card
    return false;
  });
  TestHost host;
  FakeBuilderLog log;
  RunController run(mp.platform, host, testing::FakeFactory(log));
  ASSERT_TRUE(run.StartRun(u"E:\\", 3, RunModeCreate));
  ProgressModel model;
  model.Start(run.state(), run.startSeconds());
  model.Tick(run.state(), mp.clock.now);
  EXPECT_EQ(u"00:15", model.view().elapsed) << "three moves of five seconds each";
  host.WaitForClose();
  run.StopAndJoin();
}

TEST(StartRun, RefusesADriveThatAnotherRunHolds) {
  MemoryPlatform mp;
  auto held = mp.locks.TryLockDrive(u"E:\\");
  ASSERT_NE(nullptr, held);
  TestHost host;
  FakeBuilderLog log;
  RunController run(mp.platform, host, testing::FakeFactory(log));
  EXPECT_FALSE(run.StartRun(u"E:\\", 3, RunModeCreate));
  EXPECT_EQ(kDriveBusy, run.resultCode());
  EXPECT_TRUE(log.calls.empty());
}

TEST(StartRun, AFailedBackupMoveReportsCodeFourAndStartsNothing) {
  MemoryPlatform mp;
  AddLibrary(mp, "before");
  mp.files.AddFile(u"E:\\1.mp3", "");
  int moves = 0;
  mp.files.SetFault(
      [&](std::string_view op, std::u16string_view) { return op == "move" && ++moves == 2; });
  TestHost host;
  FakeBuilderLog log;
  RunController run(mp.platform, host, testing::FakeFactory(log));
  EXPECT_FALSE(run.StartRun(u"E:\\", 3, RunModeCreate));
  EXPECT_EQ(WriteFileFailed, run.resultCode());
  ASSERT_EQ(1u, host.errors().size());
  EXPECT_EQ(u"Error occurred while writing library file. | Error Code : E-04", host.errors()[0]);
  EXPECT_TRUE(log.calls.empty());
  EXPECT_FALSE(mp.files.Exists(u"E:\\KORVANE\\ZRDB.DB.bak")) << "a file moved aside is moved back";
  EXPECT_TRUE(mp.files.Exists(u"E:\\KORVANE\\LIBRARY\\ZRDB.DB"));
}

}  // namespace
}  // namespace deltrix::run
