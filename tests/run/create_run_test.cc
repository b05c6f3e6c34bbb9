// Whole create runs through the run controller, the real engine and the real tag readers over an
// in-memory drive: a failing file operation anywhere, and a run killed half-way, never lose or mix
// the library that was on the drive before.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <string>

#include "base/error_code.h"
#include "library/library_check.h"
#include "library/library_reader.h"
#include "library/times_file.h"
#include "run/library_builders.h"
#include "run/run_controller.h"
#include "support/memory_drive.h"
#include "support/sample_tracks.h"
#include "support/test_host.h"

namespace deltrix::run {
namespace {

using testing::Folder;
using testing::FolderOf;
using testing::MemoryPlatform;
using testing::Mp3;
using testing::TestHost;

constexpr std::u16string_view kFolder = u"E:\\KORVANE\\LIBRARY";

int RunToEnd(MemoryPlatform& mp, TestHost& host, int runMode = RunModeCreate) {
  RunOptions options;
  options.libraryCheck = LibraryCheckFor(mp.files);
  RunController run(mp.platform, host, LibraryBuilders(), options);
  if (run.StartRun(u"E:\\", 3, runMode)) host.WaitForClose();
  run.StopAndJoin();
  mp.files.SetFault(nullptr);
  return run.resultCode();
}

// A drive with music and, when asked, the library of an earlier create of other music.
void MakeDrive(MemoryPlatform& mp, bool withLibrary) {
  if (withLibrary) {
    mp.files.AddFile(u"E:\\Old\\x.mp3", Mp3("Old", "Before", "Then"));
    TestHost host;
    ASSERT_EQ(Success, RunToEnd(mp, host));
    ASSERT_TRUE(mp.files.RemoveFile(u"E:\\Old\\x.mp3"));
  }
  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Alpha", "First"));
  mp.files.AddFile(u"E:\\A\\2.mp3", Mp3("Two", "Alpha", "First"));
  mp.files.AddFile(u"E:\\B\\3.mp3", Mp3("Three", "Beta", "Second"));
}

TEST(CreateRun, WritesALibraryThatPassesTheCheck) {
  MemoryPlatform mp;
  MakeDrive(mp, false);
  TestHost host;
  ASSERT_EQ(Success, RunToEnd(mp, host));
  EXPECT_EQ(u"3 files are processed.", host.finish());
  std::vector<std::string> problems;
  EXPECT_TRUE(library::CheckLibrary(mp.files, u"E:\\", &problems))
      << (problems.empty() ? "" : problems[0]);
  EXPECT_EQ((std::vector<std::u16string>{u"ZRTL.DB", u"ZRBL.DB", u"ZRDB.DB"}),
            mp.files.Names(kFolder));
  EXPECT_EQ((std::vector<std::u16string>{u"LIBRARY", std::u16string(library::kTimesFile)}),
            mp.files.Names(u"E:\\KORVANE"))
      << "no copy left, and the file times beside the library";
}

TEST(CreateRun, EachSkipQuestionNamesTheFileThatCouldNotBeRead) {
  // Two unreadable files among readable ones, in a create and in an update's merge phase (which
  // reads the new files after the check pass has opened them).
  MemoryPlatform mp;
  MakeDrive(mp, false);
  mp.files.AddFile(u"E:\\A\\bad1.mp3", Mp3("Bad", "Alpha", "First"));
  mp.files.AddFile(u"E:\\A\\4.mp3", Mp3("Four", "Alpha", "First"));
  mp.files.AddFile(u"E:\\B\\bad2.mp3", Mp3("Bad", "Beta", "Second"));
  mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "read" && path.find(u"bad") != std::u16string_view::npos;
  });
  TestHost create;
  ASSERT_EQ(Success, RunToEnd(mp, create));
  EXPECT_EQ((std::vector<std::u16string>{u"E:\\A\\bad1.mp3", u"E:\\B\\bad2.mp3"}),
            create.askedPaths());
  EXPECT_EQ(u"4 files are processed.", create.finish());

  mp.files.AddFile(u"E:\\C\\5.mp3", Mp3("Five", "Gamma", "Third"));
  mp.files.AddFile(u"E:\\C\\bad3.mp3", Mp3("Bad", "Gamma", "Third"));
  mp.files.AddFile(u"E:\\C\\6.mp3", Mp3("Six", "Gamma", "Third"));
  mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "read" && path.find(u"bad") != std::u16string_view::npos;
  });
  TestHost update;
  ASSERT_EQ(Success, RunToEnd(mp, update, RunModeUpdate));
  EXPECT_EQ(
      (std::vector<std::u16string>{u"E:\\A\\bad1.mp3", u"E:\\B\\bad2.mp3", u"E:\\C\\bad3.mp3"}),
      update.askedPaths());
}

TEST(CreateRun, AFailedFileOperationAnywhereLeavesTheLibraryOfBefore) {
  for (bool withLibrary : {true, false}) {
    SCOPED_TRACE(withLibrary ? "over a library" : "on a drive without one");
    MemoryPlatform reference;
    MakeDrive(reference, withLibrary);
    const Folder before = FolderOf(reference.files);
    std::atomic<int> counted{0};
    // The file times and the times file: a fault there never fails a run, by design.
    std::atomic<int> timesOnly{0};
    {
      MemoryPlatform mp;
      MakeDrive(mp, withLibrary);
      TestHost host;
      mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
        if (op == "time" || path.ends_with(library::kTimesFile)) ++timesOnly;
        return ++counted < 0;
      });
      ASSERT_EQ(Success, RunToEnd(mp, host));
    }
    const int operations = counted;
    int failedRuns = 0;
    for (int failAt = 1; failAt <= operations; ++failAt) {
      SCOPED_TRACE("operation " + std::to_string(failAt));
      MemoryPlatform mp;
      MakeDrive(mp, withLibrary);
      TestHost host;
      std::atomic<int> seen{0};
      std::string failed;
      mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
        if (++seen != failAt) return false;
        failed = std::string(op) + " " + std::string(path.begin(), path.end());
        return true;
      });
      const int code = RunToEnd(mp, host);
      if (code != Success) {
        ++failedRuns;
        EXPECT_TRUE(before == FolderOf(mp.files)) << "after a failed " << failed;
        EXPECT_FALSE(mp.files.Exists(u"E:\\KORVANE\\ZRTL.DB.bak")) << "after a failed " << failed;
      } else {
        // A fault the run goes on from (a folder not listed, a file skipped, a copy not deleted)
        // leaves a sound library, or none written at all when nothing could be found.
        EXPECT_TRUE(library::CheckLibrary(mp.files, u"E:\\", nullptr) ||
                    before == FolderOf(mp.files))
            << "after a failed " << failed;
      }
    }
    EXPECT_GT(failedRuns, (operations - timesOnly) / 3);
    std::printf("create fault injection %s: %d points, %d runs failed and restored the library\n",
                withLibrary ? "over a library" : "without one", operations, failedRuns);
  }
}

TEST(CreateRun, ARunKilledWhileWritingIsRecoveredByTheNextRun) {
  MemoryPlatform mp;
  MakeDrive(mp, true);
  const Folder good = FolderOf(mp.files);
  // The killed run had made its copies and was half-way through writing the track list.
  for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
    ASSERT_TRUE(mp.files.Copy(std::u16string(kFolder) + u"\\" + name,
                              std::u16string(u"E:\\KORVANE\\") + name + u".bak"));
  }
  testing::Bytes half = mp.files.Contents(std::u16string(kFolder) + u"\\ZRTL.DB");
  half.resize(half.size() / 2);
  mp.files.AddFile(std::u16string(kFolder) + u"\\ZRTL.DB", half);

  // The next run fails: what stays is the library of before the killed run, not the broken one.
  TestHost host;
  mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "write" && path.ends_with(u"ZRBL.DB");
  });
  RunOptions options;
  options.libraryCheck = LibraryCheckFor(mp.files);
  RunController run(mp.platform, host, LibraryBuilders(), options);
  ASSERT_TRUE(run.StartRun(u"E:\\", 3, RunModeCreate));
  host.WaitForClose();
  run.StopAndJoin();
  mp.files.SetFault(nullptr);
  EXPECT_EQ(WriteFileFailed, run.resultCode());
  EXPECT_TRUE(good == FolderOf(mp.files));
  ASSERT_FALSE(host.notices().empty());
  EXPECT_NE(std::u16string::npos, host.notices()[0].find(u"interrupted run"));
}

}  // namespace
}  // namespace deltrix::run
