// Whole update runs through the run controller, the real updater and the real tag readers over an
// in-memory drive: what the run shows, and that a stop or a failing file operation anywhere leaves
// the library of before the run on the drive, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
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

namespace deltrix::library::testing {
namespace {

using deltrix::testing::FolderOf;
using deltrix::testing::MemoryFileSystem;
using deltrix::testing::MemoryPlatform;
using deltrix::testing::Mp3;
using deltrix::testing::TestHost;

constexpr std::u16string_view kFolder = u"E:\\KORVANE\\LIBRARY";

// A run to its end as a user interface drives it. `onStart` may set a fault rule that needs the
// run.
int RunToEnd(MemoryPlatform& mp, TestHost& host, int mode,
             const std::function<void(run::RunController&)>& onStart = nullptr,
             run::RunReport* report = nullptr) {
  run::RunOptions options;
  options.libraryCheck = run::LibraryCheckFor(mp.files);
  run::RunController run(mp.platform, host, run::LibraryBuilders(), options);
  if (onStart) onStart(run);
  if (run.StartRun(u"E:\\", 3, mode)) host.WaitForClose();
  run.StopAndJoin();
  mp.files.SetFault(nullptr);
  if (report) *report = run.state().report;
  return run.resultCode();
}

// A drive with a library of three tracks, then changed: one file gone, two new (one of them with
// tags that cannot be read, which the user skips).
void MakeChangedDrive(MemoryPlatform& mp) {
  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Alpha", "First"));
  mp.files.AddFile(u"E:\\A\\2.mp3", Mp3("Two", "Alpha", "First"));
  mp.files.AddFile(u"E:\\B\\3.mp3", Mp3("Three", "Beta", "Second"));
  TestHost host;
  ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeCreate));
  ASSERT_TRUE(mp.files.RemoveFile(u"E:\\A\\2.mp3"));
  mp.files.AddFile(u"E:\\C\\4.mp3", Mp3("Four", "Gamma", "Third"));
  mp.files.AddFile(u"E:\\C\\5.m4a", "not an MP4 file");
}

TEST(UpdateRun, AddsAndDropsWithTheMergePhaseOnDisplay) {
  MemoryPlatform mp;
  MakeChangedDrive(mp);
  TestHost host;
  std::atomic<bool> phaseSeen{false};
  ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate, [&](run::RunController& run) {
              host.onQuestion = [&] {
                phaseSeen = run.state().phaseActive.load() && run.state().phaseTotal == 2;
              };
            }));
  EXPECT_TRUE(phaseSeen) << "the unreadable new file is asked about in the merge phase";
  EXPECT_EQ(1u, host.asked());
  EXPECT_EQ(u"1 files are processed.", host.finish()) << "an update counts the files it added";
  std::vector<std::string> problems;
  EXPECT_TRUE(CheckLibrary(mp.files, u"E:\\", &problems)) << (problems.empty() ? "" : problems[0]);
  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(mp.files, u"E:\\", &image, nullptr));
  ASSERT_EQ(3u, image.tracks.size());
  EXPECT_EQ(u"/A/1.mp3", image.tracks[0].text[kPath]);
  EXPECT_EQ(u"/B/3.mp3", image.tracks[1].text[kPath]);
  EXPECT_EQ(u"/C/4.mp3", image.tracks[2].text[kPath]);
  EXPECT_EQ(u"Four", image.tracks[2].text[kTitle]);
  EXPECT_EQ(3u, image.tracks[2].id);
  const std::vector<std::u16string> names = mp.files.Names(kFolder);
  EXPECT_EQ(3u, names.size()) << "no ZRTA.LST or ZRTB.DB is left";
  EXPECT_FALSE(mp.files.Exists(u"E:\\KORVANE\\ZRTL.DB.bak"));
}

TEST(UpdateRun, AStopInTheCheckPassOrTheMergePhaseRestoresTheLibrary) {
  struct Case {
    const char* what;
    std::u16string_view
        file;  // its open number `open` sets pause and stop, as a confirmed stop does
    int open;
  };
  const Case cases[] = {
      {"check pass", u"E:\\B\\3.mp3", 1},
      {"merge phase, after the rewrite", u"E:\\C\\4.mp3", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    const auto before = FolderOf(mp.files);
    TestHost host;
    std::atomic<int> opens{0};
    const int code = RunToEnd(mp, host, run::RunModeUpdate, [&](run::RunController& run) {
      mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
        if (op == "open" && path == c.file && ++opens == c.open) {
          run.state().pauseRequested = true;
          run.state().stopRequested = true;
        }
        return false;
      });
    });
    EXPECT_EQ(RunAborted, code);
    EXPECT_TRUE(host.errors().empty()) << "a stop shows nothing";
    EXPECT_TRUE(before == FolderOf(mp.files));
    EXPECT_FALSE(mp.files.Exists(u"E:\\KORVANE\\ZRTL.DB.bak"));
  }
}

TEST(UpdateRun, AFullCardOrBackupCopiesThatCannotBeTakenAreWriteErrors) {
  struct Case {
    const char* what;
    std::string_view op;
    std::u16string_view file;
  };
  const Case cases[] = {
      {"the add list cannot be written", "write", u"ZRTA.LST"},
      {"the rewritten track list cannot be written", "write", u"ZRTB.DB"},
      {"a backup copy fails at the first write", "copy", u"ZRTL.DB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    const auto before = FolderOf(mp.files);
    TestHost host;
    mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
      return op == c.op && path.ends_with(c.file);
    });
    EXPECT_EQ(WriteFileFailed, RunToEnd(mp, host, run::RunModeUpdate));
    EXPECT_EQ(1u, host.errors().size());
    EXPECT_TRUE(before == FolderOf(mp.files));
  }
}

// The device folder (backup copies and the library folder) as a killed run would leave it.
using DeviceFolder = std::map<std::u16string, std::vector<uint8_t>>;
constexpr std::u16string_view kDevice = u"E:\\KORVANE\\";
DeviceFolder DeviceFolderOf(const MemoryFileSystem& fs) {
  DeviceFolder files;
  for (const std::u16string& name : fs.Names(kDevice)) {
    if (name != u"LIBRARY") files[name] = fs.Contents(std::u16string(kDevice) + name);
  }
  for (const std::u16string& name : fs.Names(kFolder))
    files[u"LIBRARY\\" + name] = fs.Contents(std::u16string(kFolder) + u"\\" + name);
  return files;
}
void PutDeviceFolder(MemoryFileSystem& fs, const DeviceFolder& files) {
  for (const auto& [name, bytes] : DeviceFolderOf(fs))
    ASSERT_TRUE(fs.RemoveFile(u"E:\\KORVANE\\" + name));
  for (const auto& [name, bytes] : files) fs.AddFile(u"E:\\KORVANE\\" + name, bytes);
}

TEST(UpdateRun, AnUpdateKilledAtAnyMomentIsRecoveredByTheNextOne) {
  // The drive as it stands before every file operation of a changing update: a kill there leaves
  // exactly that.
  std::vector<DeviceFolder> moments;
  DeviceFolder updated;
  {
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    TestHost host;
    std::mutex mu;  // the scan and the worker both call the rule
    mp.files.SetFault([&](std::string_view, std::u16string_view) {
      std::lock_guard lock(mu);
      DeviceFolder now = DeviceFolderOf(mp.files);
      if (moments.empty() || moments.back() != now) moments.push_back(std::move(now));
      return false;
    });
    ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate));
    updated = DeviceFolderOf(mp.files);
  }
  ASSERT_GT(moments.size(), 5u);
  bool rewriteSeen = false;
  for (size_t m = 0; m < moments.size(); ++m) {
    SCOPED_TRACE("moment " + std::to_string(m));
    rewriteSeen = rewriteSeen || moments[m].count(u"LIBRARY\\ZRTB.DB") != 0;
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    PutDeviceFolder(mp.files, moments[m]);
    TestHost host;
    ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate));
    // Whatever the kill left, the next update ends where an update that was never killed ends, and
    // leaves neither temporary files nor backup copies behind. A kill after the library was
    // written and before its times file was leaves the old times file, which no longer fits the
    // library: an update that changes nothing leaves it, and no later run trusts it.
    DeviceFolder after = DeviceFolderOf(mp.files), expected = updated;
    const std::u16string times(kTimesFile);
    if (after[times] != expected[times]) {
      LibraryStamp stamp;
      std::vector<uint32_t> ids, recorded;
      ASSERT_TRUE(StampTrackList(mp.files, u"E:\\", &stamp, &ids));
      EXPECT_NE(TimesFileState::kLoaded, ReadTimesFile(mp.files, u"E:\\", stamp, &recorded));
      after.erase(times);
      expected.erase(times);
    }
    EXPECT_TRUE(expected == after);
  }
  EXPECT_TRUE(rewriteSeen) << "the kill window of the track list's rewrite was tried";
}

TEST(UpdateRun, AFailedFileOperationAnywhereLeavesTheLibraryOfBefore) {
  MemoryPlatform good;
  MakeChangedDrive(good);
  const auto before = FolderOf(good.files);
  // Every operation of a fault-free update, counted.
  std::atomic<int> counted{0};
  {
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    TestHost host;
    mp.files.SetFault([&](std::string_view, std::u16string_view) { return ++counted < 0; });
    ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate));
  }
  const int operations = counted;
  ASSERT_GT(operations, 50);
  int failedRuns = 0;
  for (int failAt = 1; failAt <= operations; ++failAt) {
    SCOPED_TRACE("operation " + std::to_string(failAt));
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    TestHost host;
    std::atomic<int> seen{0};
    std::string failed;
    mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
      if (++seen != failAt) return false;
      failed = std::string(op) + " " + std::string(path.begin(), path.end());
      return true;
    });
    const int code = RunToEnd(mp, host, run::RunModeUpdate);
    if (code != Success) {
      ++failedRuns;
      EXPECT_TRUE(before == FolderOf(mp.files)) << "after a failed " << failed;
    } else {
      // A fault the run can go on from (a folder that could not be listed, a file the user
      // skipped, a copy that could not be deleted) still leaves a sound library.
      EXPECT_TRUE(CheckLibrary(mp.files, u"E:\\", nullptr)) << "after a failed " << failed;
    }
  }
  EXPECT_GT(failedRuns, operations / 3);
  std::printf("update fault injection: %d points, %d runs failed and restored the library\n",
              operations, failedRuns);
}

}  // namespace
}  // namespace deltrix::library::testing

namespace deltrix::library::testing {
namespace {

TEST(UpdateRun, NothingChangedWritesNothingToTheCardNotEvenBackupCopies) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Alpha", "First"));
  mp.files.AddFile(u"E:\\B\\2.mp3", Mp3("Two", "Beta", "Second"));
  TestHost created;
  ASSERT_EQ(Success, RunToEnd(mp, created, run::RunModeCreate));
  const auto before = FolderOf(mp.files);
  const size_t mutations = mp.files.mutations().size();
  TestHost host;
  EXPECT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate));
  EXPECT_EQ(u"0 files are processed.", host.finish());
  EXPECT_TRUE(before == FolderOf(mp.files));
  EXPECT_EQ(mutations, mp.files.mutations().size()) << mp.files.mutations().back();
}

TEST(UpdateRun, AChangeTakesTheBackupBeforeItsFirstWriteAndAStopBeforeThatDeletesNothing) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Alpha", "First"));
  TestHost created;
  ASSERT_EQ(Success, RunToEnd(mp, created, run::RunModeCreate));
  const auto before = FolderOf(mp.files);
  mp.files.AddFile(u"E:\\A\\2.mp3", Mp3("Two", "Alpha", "First"));

  // The user aborts at an unreadable file during the check pass: nothing was written, so nothing
  // may be deleted either.
  mp.files.AddFile(u"E:\\A\\3.mp3", "");
  const size_t mutations = mp.files.mutations().size();
  TestHost aborting;
  aborting.answers = {run::SkipAnswer::Abort};
  mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "open" && path.ends_with(u"3.mp3");
  });
  EXPECT_EQ(RunAborted, RunToEnd(mp, aborting, run::RunModeUpdate));
  EXPECT_TRUE(before == FolderOf(mp.files));
  EXPECT_EQ(mutations, mp.files.mutations().size());

  // A write of a changing update fails: the copies were taken before the first write, and the
  // library of before comes back.
  mp.files.SetFault(nullptr);
  ASSERT_TRUE(mp.files.RemoveFile(u"E:\\A\\3.mp3"));
  bool copiesBeforeWrite = false;
  TestHost failing;
  EXPECT_EQ(WriteFileFailed, RunToEnd(mp, failing, run::RunModeUpdate, [&](run::RunController&) {
              mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
                if (op != "open" || !path.ends_with(u"ZRBL.DB")) return false;
                copiesBeforeWrite = mp.files.Exists(u"E:\\KORVANE\\ZRBL.DB.bak");
                return copiesBeforeWrite;  // the write after the copies fails
              });
            }));
  EXPECT_TRUE(copiesBeforeWrite);
  EXPECT_TRUE(before == FolderOf(mp.files));
  EXPECT_FALSE(mp.files.Exists(u"E:\\KORVANE\\ZRBL.DB.bak"));
}

TEST(UpdateRun, TheTracksBelowAFolderThatCannotBeListedAreKeptNotThoseOfAnEmptyOne) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\Flaky\\Disc 1\\1.mp3", Mp3("One", "Alpha", "First"));
  mp.files.AddFile(u"E:\\Flaky\\2.mp3", Mp3("Two", "Alpha", "First"));
  mp.files.AddFile(u"E:\\flaky2\\3.mp3", Mp3("Three", "Beta", "Second"));  // a longer name
  mp.files.AddFile(u"E:\\B\\4.mp3", Mp3("Four", "Gamma", "Third"));
  TestHost created;
  ASSERT_EQ(Success, RunToEnd(mp, created, run::RunModeCreate));
  ASSERT_TRUE(mp.files.RemoveFile(u"E:\\flaky2\\3.mp3"));
  ASSERT_TRUE(mp.files.RemoveFile(u"E:\\B\\4.mp3"));  // B is empty now

  TestHost host;
  run::RunReport report;
  mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "list" && (path == u"E:\\Flaky" || path == u"E:\\Flaky\\");
  });
  ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate, nullptr, &report));
  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(mp.files, u"E:\\", &image, nullptr));
  std::vector<std::u16string> paths;
  for (const auto& track : image.tracks) paths.push_back(track.text[kPath]);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ((std::vector<std::u16string>{u"/Flaky/2.mp3", u"/Flaky/Disc 1/1.mp3"}), paths);
  EXPECT_EQ((std::vector<run::RunReport::Entry>{{u"E:\\", u"Flaky"}}),
            report.list(run::LeftOutReason::Unlistable));
  EXPECT_TRUE(host.removalQuestions().empty());
}

TEST(UpdateRun, NoToTheRemovalQuestionLeavesTheCardAsItWasAndYesRemoves) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    MemoryPlatform mp;
    for (int i = 0; i < 80; ++i) {
      mp.files.AddFile(u"E:\\M\\" + FromUtf8(std::to_string(i)) + u".mp3",
                       Mp3("T" + std::to_string(i), "Artist", "Album"));
    }
    TestHost created;
    ASSERT_EQ(Success, RunToEnd(mp, created, run::RunModeCreate));
    for (int i = 0; i < 50; ++i)
      ASSERT_TRUE(mp.files.RemoveFile(u"E:\\M\\" + FromUtf8(std::to_string(i)) + u".mp3"));
    mp.files.AddFile(u"E:\\N\\new.mp3", Mp3("New", "Artist", "Album"));  // queued before asking
    const auto before = FolderOf(mp.files);
    const size_t mutationsBefore = mp.files.mutations().size();
    TestHost host;
    host.removeAnswer = yes;
    const int code = RunToEnd(mp, host, run::RunModeUpdate);
    ASSERT_EQ(std::vector<std::u16string>{u"50 of 80 tracks would be removed from the library. "
                                          u"Remove them?"},
              host.removalQuestions());
    LibraryImage image;
    ASSERT_TRUE(ReadLibraryImage(mp.files, u"E:\\", &image, nullptr));
    if (yes) {
      EXPECT_EQ(Success, code);
      EXPECT_EQ(31u, image.tracks.size());
      continue;
    }
    EXPECT_EQ(RunAborted, code);
    EXPECT_TRUE(before == FolderOf(mp.files));
    EXPECT_EQ(80u, image.tracks.size());
    for (size_t i = mutationsBefore; i < mp.files.mutations().size(); ++i) {
      const std::string& m = mp.files.mutations()[i];
      EXPECT_TRUE(m.find("\\LIBRARY\\ZR") == std::string::npos ||
                  m.find("ZRTA.LST") != std::string::npos)
          << "a library file was written: " << m;
    }
  }
}

}  // namespace
}  // namespace deltrix::library::testing
