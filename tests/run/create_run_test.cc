// Whole create runs through the run controller, the real engine and the real tag readers over an
// in-memory drive: a failing file operation anywhere, and a run killed half-way, never lose or mix
// the library that was on the drive before.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "base/error_code.h"
#include "base/utf16.h"
#include "library/library_check.h"
#include "library/library_format.h"
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

int RunToEnd(MemoryPlatform& mp, TestHost& host, int runMode = RunModeCreate,
             const BuilderFactories& builders = LibraryBuilders()) {
  RunOptions options;
  options.libraryCheck = LibraryCheckFor(mp.files);
  RunController run(mp.platform, host, builders, options);
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
    // Operations on the library's folders, the times file aside: a fault in the file times, the
    // times file, a listing or an audio file never fails a run, by design; most others do.
    std::atomic<int> libraryOps{0};
    {
      MemoryPlatform mp;
      MakeDrive(mp, withLibrary);
      TestHost host;
      mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
        if (op != "time" && path.starts_with(u"E:\\KORVANE") &&
            !path.ends_with(library::kTimesFile))
          ++libraryOps;
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
    EXPECT_GT(failedRuns, libraryOps / 3);
    std::printf(
        "create fault injection %s: %d points (%d on the library), %d runs failed and restored "
        "the library\n",
        withLibrary ? "over a library" : "without one", operations, libraryOps.load(), failedRuns);
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

// The create's pools: the run's own, which takes the test's tracks in one batch written straight
// to the card, and one that fills after a track or two, so that batches are gathered in the
// scratch file.
struct Pool {
  const char* what;
  size_t bytes;
};
constexpr Pool kPools[] = {{"one batch", library::kPoolBytes}, {"several batches", 930 + 120}};

BuilderFactories BuildersWith(const Pool& pool) {
  library::CreatorOptions memory;
  memory.poolBytes = pool.bytes;
  memory.fileBufferBytes = 8192;
  return LibraryBuilders(memory);
}

uint64_t SizeOf(const Folder& folder) {
  uint64_t size = 0;
  for (const auto& [name, bytes] : folder) size += bytes.size();
  return size;
}

TEST(CreateRun, WritesToTheCardOnlyTheBytesOfTheLibraryItLeaves) {
  for (const Pool& pool : kPools) {
    for (bool withLibrary : {false, true}) {
      SCOPED_TRACE(std::string(pool.what) + (withLibrary ? ", over a library" : ""));
      MemoryPlatform mp;
      MakeDrive(mp, withLibrary);
      const uint64_t before = mp.files.bytesWritten();
      TestHost host;
      ASSERT_EQ(Success, RunToEnd(mp, host, RunModeCreate, BuildersWith(pool)));
      EXPECT_EQ(pool.bytes == library::kPoolBytes ? 0 : 1, mp.files.scratchOpens());
      const uint64_t library = SizeOf(FolderOf(mp.files));
      ASSERT_GT(library, 0u);
      // Beside the library only the file times of its tracks, 4 bytes a track and a 24-byte frame.
      const uint64_t times = mp.files.Contents(u"E:\\KORVANE\\TIMES.DAT").size();
      EXPECT_EQ(24u + 4u * 3u, times);
      EXPECT_EQ(library + times, mp.files.bytesWritten() - before);
      EXPECT_EQ((std::vector<std::u16string>{u"LIBRARY", u"TIMES.DAT"}),
                mp.files.Names(u"E:\\KORVANE"));
    }
  }
}

// What a run killed at some moment leaves on the card: the device folder and the library folder.
struct Card {
  Folder device;
  Folder library;
  bool operator==(const Card&) const = default;
};
Card CardOf(const testing::MemoryFileSystem& fs) {
  Card card{FolderOf(fs, u"E:\\KORVANE"), FolderOf(fs, kFolder)};
  card.device.erase(u"LIBRARY");
  return card;
}
void PutCard(MemoryPlatform& mp, const Card& card) {
  mp.files.AddFolder(u"E:\\KORVANE", platform::kAttrHidden);
  mp.files.AddFolder(kFolder);
  for (const auto& [name, bytes] : card.device) mp.files.AddFile(u"E:\\KORVANE\\" + name, bytes);
  for (const auto& [name, bytes] : card.library)
    mp.files.AddFile(std::u16string(kFolder) + u"\\" + name, bytes);
}
bool OnTheLibrary(std::u16string_view path) {
  return path.starts_with(u"E:\\KORVANE") || path == testing::MemoryFileSystem::kScratchPath;
}

TEST(CreateRun, ARunKilledAtAnyStepIsRecoveredByTheNextRun) {
  // A create over a library is killed before any of its operations on the library, the scratch
  // file included: while moving the old files aside, writing the new ones, deleting the old ones,
  // and, when the create fails at its last write, while putting the old ones back. Those operations
  // all come from one thread, so one run shows every state a kill can leave. The next run
  // recovers, then fails before it writes anything: what it leaves is what it recovered, byte for
  // byte the library of before the killed run or, once that run had finished writing, its new one.
  for (const Pool& pool : kPools) {
    for (bool failing : {false, true}) {
      SCOPED_TRACE(std::string(pool.what) + (failing ? ", a failing create" : ""));
      MemoryPlatform mp;
      MakeDrive(mp, true);
      const Folder before = FolderOf(mp.files);
      std::vector<Card> states;
      std::vector<std::string> killedAt;
      mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
        if (OnTheLibrary(path)) {
          Card card = CardOf(mp.files);
          if (states.empty() || !(card == states.back())) {
            states.push_back(std::move(card));
            killedAt.push_back(std::string(op) + " " + ToUtf8(path));
          }
        }
        return failing && op == "write" && path.ends_with(u"ZRDB.DB");
      });
      TestHost host;
      ASSERT_EQ(failing ? WriteFileFailed : Success,
                RunToEnd(mp, host, RunModeCreate, BuildersWith(pool)));
      const Folder after = FolderOf(mp.files);
      ASSERT_EQ(failing, before == after);

      int restored = 0;
      int kept = 0;
      for (size_t i = 0; i < states.size(); ++i) {
        SCOPED_TRACE("killed before " + killedAt[i]);
        MemoryPlatform next;
        MakeDrive(next, false);
        PutCard(next, states[i]);
        next.files.SetFault([](std::string_view op, std::u16string_view path) {
          return op == "write" && path.ends_with(u"ZRTL.DB");
        });
        TestHost nextHost;
        EXPECT_EQ(WriteFileFailed, RunToEnd(next, nextHost));
        const Folder left = FolderOf(next.files);
        EXPECT_TRUE(left == before || left == after);
        // No .bak file is left: only the library folder and the file times of a library.
        EXPECT_EQ((std::vector<std::u16string>{u"LIBRARY", u"TIMES.DAT"}),
                  next.files.Names(u"E:\\KORVANE"));
        ++(left == before ? restored : kept);
      }
      EXPECT_GT(restored, 0);
      EXPECT_EQ(failing, kept == 0) << "a finished run's library is kept";
      std::printf("create killed (%s%s): %zu states, %d recovered the library of before\n",
                  pool.what, failing ? ", failing" : "", states.size(), restored);
    }
  }
}

TEST(CreateRun, TheReportCountsAndListsEveryReasonSomethingWasLeftOut) {
  MemoryPlatform mp;
  // The list holds three files: the good one, the unreadable one and the one with too long a path.
  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Alpha", "First"));
  mp.files.AddFile(u"E:\\A\\bad.mp3", Mp3("Bad", "Alpha", "First"));
  const std::u16string longName = std::u16string(250, u'n') + u".mp3";
  mp.files.AddFile(u"E:\\Long\\" + longName, Mp3("Long", "Alpha", "First"));
  mp.files.AddFile(u"E:\\B\\past1.mp3", Mp3("Past", "Beta", "Second"));
  mp.files.AddFolder(u"E:\\Hid", platform::kAttrHidden);
  mp.files.AddFolder(u"E:\\Sys", platform::kAttrSystem);
  mp.files.AddFile(u"E:\\Flaky\\x.mp3", Mp3("Flaky", "Beta", "Second"));
  mp.files.AddFile(u"E:\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\L8\\deep.mp3", Mp3("Deep", "D", "D"));
  mp.files.AddFile(u"E:\\C\\bad\uFFFDname.mp3", Mp3("Name", "Gamma", "Third"));
  mp.files.AddFile(u"E:\\C\\past2.mp3", Mp3("Past", "Gamma", "Third"));
  mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return (op == "read" && path.ends_with(u"bad.mp3")) ||
           (op == "list" && path.starts_with(u"E:\\Flaky"));
  });
  TestHost host;
  RunOptions options;
  options.fileListCapacity = 3;
  RunController run(mp.platform, host, LibraryBuilders(), options);
  ASSERT_TRUE(run.StartRun(u"E:\\", 3, RunModeCreate));
  host.WaitForClose();
  run.StopAndJoin();
  mp.files.SetFault(nullptr);
  ASSERT_EQ(Success, run.resultCode());
  EXPECT_EQ(u"1 files are processed.", host.finish());

  const RunReport& report = run.state().report;
  const std::pair<LeftOutReason, int64_t> counts[] = {
      {LeftOutReason::Unreadable, 1},     {LeftOutReason::PathTooLong, 1},
      {LeftOutReason::TooDeep, 1},        {LeftOutReason::PastLimit, 2},
      {LeftOutReason::HiddenOrSystem, 2}, {LeftOutReason::Unlistable, 1},
      {LeftOutReason::NoDriveForm, 1},
  };
  for (const auto& [reason, count] : counts) {
    EXPECT_EQ(count, report.count(reason)) << ReasonTag(reason);
  }
  EXPECT_EQ(
      "unreadable\t/mnt/e/A/bad.mp3\n"
      "path-too-long\t/mnt/e/Long/" +
          std::string(250, 'n') +
          ".mp3\n"
          "too-deep\t/mnt/e/L1/L2/L3/L4/L5/L6/L7/L8\n"
          "past-limit\t/mnt/e/B/past1.mp3\n"
          "past-limit\t/mnt/e/C/past2.mp3\n"
          "hidden-or-system\t/mnt/e/Hid\n"
          "hidden-or-system\t/mnt/e/Sys\n"
          "unlistable\t/mnt/e/Flaky\n"
          "no-drive-form\t/mnt/e/C/bad\xEF\xBF\xBDname.mp3\n",
      ReportFileText(report, mp.drives));
}

}  // namespace
}  // namespace deltrix::run
