// The update driver with a double for the update builder: the check pass, the merge phase's
// effects on the run state, and how its codes end the run.
#include <gtest/gtest.h>

#include "base/error_code.h"
#include "fake_builder.h"
#include "run/error_report.h"
#include "run/progress_model.h"
#include "run/run_controller.h"
#include "support/memory_drive.h"
#include "support/test_host.h"

namespace deltrix::run {
namespace {

using testing::FakeBuilderLog;
using testing::FakeUpdaterLog;
using testing::MemoryPlatform;
using testing::TestHost;

int UpdateToEnd(MemoryPlatform& mp, TestHost& host, FakeUpdaterLog& updates) {
  FakeBuilderLog creates;
  RunController run(mp.platform, host, testing::FakeFactory(creates, &updates));
  if (run.StartRun(u"E:\\", 3, RunModeUpdate)) {
    host.WaitForClose();
    run.StopAndJoin();
  }
  EXPECT_TRUE(creates.calls.empty()) << "an update never creates";
  return run.resultCode();
}

TEST(RunUpdate, ChecksEveryFileThenMergesAndCountsAddedFiles) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\old.mp3", "");
  mp.files.AddFile(u"E:\\new1.mp3", "");
  mp.files.AddFile(u"E:\\new2.mp3", "");
  TestHost host;
  FakeUpdaterLog updates;
  std::vector<std::string> seen;
  updates.merge = [&](library::BuildOwner& owner) {
    owner.EnableStop(true);
    owner.BeginMergePhase();
    EXPECT_TRUE(owner.AppendMergePath(u"E:\\new1.mp3"));
    EXPECT_TRUE(owner.AppendMergePath(u"E:\\new2.mp3"));
    owner.SetPhaseTotal(2);
    EXPECT_EQ(u"E:\\new2.mp3", owner.MergePath(1));
    owner.CountMergeFile(true);
    owner.CountMergeFile(false);
    owner.EnableStop(false);
    return owner.WaitWhilePaused() ? 0 : -1;
  };
  EXPECT_EQ(Success, UpdateToEnd(mp, host, updates));
  EXPECT_EQ(3u, updates.checked.size());
  EXPECT_EQ((std::vector<std::string>{"open", "merge", "finish", "close"}), updates.calls);
  EXPECT_EQ(u"1 files are processed.", host.finish()) << "an update counts the files it added";
  const auto events = host.events();
  EXPECT_NE(std::find(events.begin(), events.end(), "stop on"), events.end());
}

TEST(RunUpdate, NothingNewFinishesWithZeroAndStillRunsMergeAndFinish) {
  MemoryPlatform mp;  // not even an audio file
  TestHost host;
  FakeUpdaterLog updates;
  EXPECT_EQ(Success, UpdateToEnd(mp, host, updates));
  EXPECT_EQ((std::vector<std::string>{"open", "merge", "finish", "close"}), updates.calls);
  EXPECT_EQ(u"0 files are processed.", host.finish());
}

TEST(RunUpdate, CodesEndTheRunAsTheyShould) {
  struct Case {
    const char* what;
    int check, merge, finish;
    bool userAborts;
    int wantCode;
    size_t wantErrors;
    size_t wantAsked;
  };
  const Case cases[] = {
      {"unreadable file, skipped", CannotOpenFile, 0, 0, false, Success, 0, 1},
      {"unreadable file, aborted", CannotOpenFile, 0, 0, true, RunAborted, 0, 1},
      {"add list inaccessible", CreateDataFailed, 0, 0, false, CreateDataFailed, 1, 0},
      {"stop in the merge phase", 0, -1, 0, false, RunAborted, 0, 0},
      {"abort in the merge phase", 0, RunAborted, 0, false, RunAborted, 0, 0},
      {"write error in finish", 0, 0, WriteFileFailed, false, WriteFileFailed, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    mp.files.AddFile(u"E:\\a.mp3", "");
    TestHost host;
    if (c.userAborts) host.answers = {SkipAnswer::Abort};
    FakeUpdaterLog updates;
    updates.checkResult = [&](std::u16string_view) { return c.check; };
    updates.merge = [&](library::BuildOwner&) { return c.merge; };
    updates.finishResult = c.finish;
    EXPECT_EQ(c.wantCode, UpdateToEnd(mp, host, updates));
    EXPECT_EQ(c.wantErrors, host.errors().size());
    EXPECT_EQ(c.wantAsked, host.asked());
    EXPECT_EQ("close", updates.calls.back());
  }
}

TEST(RunUpdate, AsksBeforeRemovingMoreThanHalfOfTheLibraryAndAtLeastFifty) {
  struct Case {
    uint32_t total, removed;
    bool asked;
  };
  const Case cases[] = {
      {100, 51, true}, {100, 50, false}, {100, 100, true}, {60, 49, false}, {99, 50, true},
  };
  for (const Case& c : cases) {
    for (const bool yes : {true, false}) {
      SCOPED_TRACE(std::to_string(c.removed) + " of " + std::to_string(c.total) +
                   (yes ? ", Yes" : ", No"));
      MemoryPlatform mp;
      TestHost host;
      host.removeAnswer = yes;
      FakeUpdaterLog updates;
      updates.libraryTracks = c.total;
      updates.toRemove = c.removed;
      const int code = UpdateToEnd(mp, host, updates);
      const auto questions = host.removalQuestions();
      if (!c.asked) {
        EXPECT_EQ(Success, code);
        EXPECT_TRUE(questions.empty());
        continue;
      }
      ASSERT_EQ(1u, questions.size());
      EXPECT_EQ(RemovalQuestion(c.removed, c.total), questions[0]);
      const auto events = host.events();
      const auto asked = std::find(events.begin(), events.end(), "remove?");
      const auto lastStop =
          std::find_if(std::make_reverse_iterator(asked), events.rend(),
                       [](const std::string& e) { return e.starts_with("stop"); });
      ASSERT_NE(events.rend(), lastStop);
      EXPECT_EQ("stop off", *lastStop) << "asked with the stop control off";
      if (yes) {
        EXPECT_EQ(Success, code);
        EXPECT_EQ((std::vector<std::string>{"open", "merge", "finish", "close"}), updates.calls);
      } else {
        EXPECT_EQ(RunAborted, code);
        EXPECT_EQ((std::vector<std::string>{"open", "close"}), updates.calls) << "nothing merged";
        EXPECT_TRUE(host.errors().empty());
      }
    }
  }
  EXPECT_EQ(u"60 of 100 tracks would be removed from the library. Remove them?",
            RemovalQuestion(60, 100));
}

TEST(RunUpdate, FoldersThatCouldNotBeListedKeepTheirTracksUnlessTheDriveIsGone) {
  for (const bool driveGone : {false, true}) {
    SCOPED_TRACE(driveGone ? "drive gone" : "drive present");
    MemoryPlatform mp;
    mp.files.AddFile(u"E:\\A\\1.mp3", "");
    mp.files.AddFile(u"E:\\B\\C\\2.mp3", "");
    mp.files.AddFile(u"E:\\D\\3.mp3", "");
    mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
      const bool fails =
          op == "list" && (path.starts_with(u"E:\\A") || path.starts_with(u"E:\\B\\C"));
      if (fails && driveGone) mp.drives.SetReadable(u'E', false);
      return fails;
    });
    TestHost host;
    FakeUpdaterLog updates;
    const int code = UpdateToEnd(mp, host, updates);
    if (driveGone) {
      EXPECT_EQ(DeviceRemoved, code);
      EXPECT_TRUE(updates.keptBelow.empty());
      EXPECT_EQ((std::vector<std::string>{"open", "close"}), updates.calls);
    } else {
      EXPECT_EQ(Success, code);
      EXPECT_EQ((std::vector<std::u16string>{u"E:\\A", u"E:\\B\\C"}), updates.keptBelow);
      EXPECT_EQ(std::vector<std::u16string>{u"E:\\D\\3.mp3"}, updates.checked);
    }
  }
}

TEST(RunUpdate, ALibraryThatCannotBeUpdatedIsReportedWithWhatWillRebuildIt) {
  MemoryPlatform mp;
  TestHost host;
  FakeUpdaterLog updates;
  updates.openResult = CreateDataFailed;
  EXPECT_EQ(CreateDataFailed, UpdateToEnd(mp, host, updates));
  EXPECT_EQ(1u, host.errors().size());
  ASSERT_EQ(1u, host.notices().size());
  EXPECT_EQ(kLibraryNotUpdatableNotice, host.notices()[0]);
  EXPECT_EQ((std::vector<std::string>{"open", "close"}), updates.calls);
}

TEST(RunUpdate, TheDisplayFollowsTheMergePhase) {
  RunState state;
  state.driveRoot = u"E:\\";
  state.runMode = RunModeUpdate;
  ProgressModel model;
  model.Start(state, 0);
  state.files.Append(u"E:\\a.mp3");
  state.scanDone = true;
  state.processedCount = 1;
  model.Tick(state, 1);
  EXPECT_EQ(u"Processed", model.view().countLabel);
  state.phaseActive = true;
  state.phaseTotal = 2;
  state.phaseProcessed = 1;
  model.Tick(state, 2);
  EXPECT_EQ(u"Added", model.view().countLabel);
  EXPECT_EQ(u"1", model.view().done);
  EXPECT_EQ(u"2", model.view().total);
  EXPECT_EQ(47, model.view().barPosition);
}

}  // namespace
}  // namespace deltrix::run
