// Updates that read changed files again: which known files count as changed (their size, or their
// time against the times file), which runs write the times file, and what a failed or stopped run
// leaves of it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "library/library_check.h"
#include "library/library_reader.h"
#include "library/times_file.h"
#include "run/library_builders.h"
#include "run/run_controller.h"
#include "support/memory_drive.h"
#include "support/sample_tracks.h"
#include "support/test_host.h"

namespace deltrix::library::testing {
namespace {

using deltrix::testing::Bytes;
using deltrix::testing::FolderOf;
using deltrix::testing::MemoryFileSystem;
using deltrix::testing::MemoryPlatform;
using deltrix::testing::Mp3;
using deltrix::testing::TestHost;

constexpr std::u16string_view kRoot = u"E:\\";
constexpr std::u16string_view kTimesPath = u"E:\\KORVANE\\TIMES.DAT";
constexpr int64_t kTime = MemoryFileSystem::kDefaultTime;

int RunToEnd(MemoryPlatform& mp, TestHost& host, int mode, bool reread,
             const std::function<void(run::RunController&)>& onStart = nullptr) {
  run::RunOptions options;
  options.libraryCheck = run::LibraryCheckFor(mp.files);
  run::RunController run(mp.platform, host, run::LibraryBuilders(), options);
  run.state().rereadChanged = reread;
  if (onStart) onStart(run);
  if (run.StartRun(kRoot, 3, mode)) host.WaitForClose();
  run.StopAndJoin();
  mp.files.SetFault(nullptr);
  return run.resultCode();
}

// Three files and the library a create made of them.
void MakeLibrary(MemoryPlatform& mp, bool listsTimes = false) {
  mp.files.listsTimes = listsTimes;
  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Alpha", "First"));
  mp.files.AddFile(u"E:\\A\\2.mp3", Mp3("Two", "Alpha", "First"));
  mp.files.AddFile(u"E:\\B\\3.mp3", Mp3("Three", "Beta", "Second"));
  TestHost host;
  ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeCreate, false));
}

// The title of the track of `path`, or "(none)".
std::u16string TitleOf(MemoryFileSystem& fs, std::u16string_view path) {
  LibraryImage image;
  if (!ReadLibraryImage(fs, kRoot, &image, nullptr)) return u"(no library)";
  for (const ImageTrack& t : image.tracks) {
    if (t.text[kPath] == path) return t.text[kTitle];
  }
  return u"(none)";
}

// Whether the times file on the drive fits the library there.
bool TimesFit(MemoryFileSystem& fs) {
  LibraryStamp stamp;
  std::vector<uint32_t> ids, times;
  return StampTrackList(fs, kRoot, &stamp, &ids) &&
         ReadTimesFile(fs, kRoot, stamp, &times) == TimesFileState::kLoaded;
}

// The recorded time of each track's file, by path; empty when the times file is not trusted.
std::map<std::u16string, uint32_t> RecordedTimes(MemoryFileSystem& fs) {
  LibraryStamp stamp;
  std::vector<uint32_t> ids, times;
  LibraryImage image;
  std::map<std::u16string, uint32_t> byPath;
  if (!StampTrackList(fs, kRoot, &stamp, &ids) ||
      ReadTimesFile(fs, kRoot, stamp, &times) != TimesFileState::kLoaded ||
      !ReadLibraryImage(fs, kRoot, &image, nullptr) || image.tracks.size() != times.size()) {
    return byPath;
  }
  for (size_t i = 0; i < times.size(); ++i) byPath[image.tracks[i].text[kPath]] = times[i];
  return byPath;
}

TEST(Reread, AKnownFileIsReadAgainWhenItsSizeOrItsTimeChanged) {
  enum Times { kKept, kMissing, kDamaged, kStale };
  struct Case {
    const char* what;
    size_t audioBytes;  // 100: the size it had
    int64_t shift;      // seconds added to its time
    Times times;
    bool option;
    bool reread;
  };
  const Case cases[] = {
      {"size changed", 140, 0, kKept, true, true},
      {"time +1 s", 100, 1, kKept, true, false},
      {"time +2 s", 100, 2, kKept, true, false},
      {"time -2 s", 100, -2, kKept, true, false},
      {"time +3 s", 100, 3, kKept, true, true},
      {"time -3 s", 100, -3, kKept, true, true},
      {"time +1 h", 100, 3600, kKept, true, false},
      {"time -1 h", 100, -3600, kKept, true, false},
      {"time +1 h +3 s", 100, 3603, kKept, true, true},
      {"time +1 h -1 s", 100, 3599, kKept, true, true},
      {"times file missing, time +3 s", 100, 3, kMissing, true, false},
      {"times file missing, size changed", 140, 3, kMissing, true, true},
      {"times file damaged, time +3 s", 100, 3, kDamaged, true, false},
      {"times file stale, time +3 s", 100, 3, kStale, true, false},
      {"without the option, size and time changed", 140, 3, kKept, false, false},
  };
  // A times file that belongs to another library.
  Bytes otherTimes;
  {
    MemoryPlatform other;
    other.files.AddFile(u"E:\\X\\9.mp3", Mp3("Nine", "Omega", "Last"));
    TestHost host;
    ASSERT_EQ(Success, RunToEnd(other, host, run::RunModeCreate, false));
    otherTimes = other.files.Contents(kTimesPath);
    ASSERT_FALSE(otherTimes.empty());
  }
  for (bool listsTimes : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (listsTimes ? ", times listed" : ", times asked"));
      MemoryPlatform mp;
      MakeLibrary(mp, listsTimes);
      // Retagged: the same title length, as a tagging program keeps the size of a padded tag.
      mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("Uno", "Alpha", "First", c.audioBytes));
      mp.files.SetModifiedTime(u"E:\\A\\1.mp3", kTime + c.shift);
      if (c.times == kMissing) {
        ASSERT_TRUE(mp.files.RemoveFile(kTimesPath));
      }
      if (c.times == kDamaged) {
        Bytes bytes = mp.files.Contents(kTimesPath);
        bytes[bytes.size() / 2] ^= 0x40;
        mp.files.AddFile(kTimesPath, bytes);
      }
      if (c.times == kStale) mp.files.AddFile(kTimesPath, otherTimes);

      TestHost host;
      ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate, c.option));
      EXPECT_EQ(c.reread ? u"Uno" : u"One", TitleOf(mp.files, u"/A/1.mp3"));
      EXPECT_EQ(u"Two", TitleOf(mp.files, u"/A/2.mp3")) << "an unchanged file is kept";
      EXPECT_EQ(c.reread ? u"1 files are processed." : u"0 files are processed.", host.finish());
      EXPECT_EQ(c.option && c.times != kKept ? 1u : 0u, host.notices().size());
      EXPECT_TRUE(host.errors().empty());
      EXPECT_TRUE(CheckLibrary(mp.files, kRoot, nullptr));
      if (c.option) {
        // Times the next update can trust: the time a file was read at, or, with nothing
        // recorded to hold against, the time found.
        const std::map<std::u16string, uint32_t> times = RecordedTimes(mp.files);
        ASSERT_EQ(3u, times.size());
        EXPECT_EQ(static_cast<uint32_t>(c.reread || c.times != kKept ? kTime + c.shift : kTime),
                  times.at(u"/A/1.mp3"));
      }
    }
  }
}

TEST(Reread, TheTimesFileIsWrittenByRunsThatWriteTheLibraryOrFoundNoneToTrust) {
  struct Case {
    const char* what;
    std::function<void(MemoryPlatform&)> change;
    bool option;
    bool written;  // else nothing at all is written to the card
  };
  const Case cases[] = {
      {"nothing changed", [](MemoryPlatform&) {}, false, false},
      {"nothing changed, with the option", [](MemoryPlatform&) {}, true, false},
      {"a file added",
       [](MemoryPlatform& mp) { mp.files.AddFile(u"E:\\C\\4.mp3", Mp3("Four", "Gamma", "Third")); },
       false, true},
      {"a file removed", [](MemoryPlatform& mp) { (void)mp.files.RemoveFile(u"E:\\A\\2.mp3"); },
       false, true},
      {"times file missing",
       [](MemoryPlatform& mp) { (void)mp.files.RemoveFile(std::u16string(kTimesPath)); }, false,
       false},
      {"times file missing, with the option",
       [](MemoryPlatform& mp) { (void)mp.files.RemoveFile(std::u16string(kTimesPath)); }, true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    MakeLibrary(mp);
    c.change(mp);
    const size_t before = mp.files.mutations().size();
    TestHost host;
    ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate, c.option));
    const std::vector<std::string> mutations(mp.files.mutations().begin() + before,
                                             mp.files.mutations().end());
    if (!c.written) {
      EXPECT_TRUE(mutations.empty()) << mutations.front();
      continue;
    }
    const std::map<std::u16string, uint32_t> times = RecordedTimes(mp.files);
    EXPECT_FALSE(times.empty()) << "the times file fits the library written";
    for (const auto& [path, time] : times) EXPECT_EQ(static_cast<uint32_t>(kTime), time);
    const bool libraryWritten = std::string_view(c.what).starts_with("a file");
    EXPECT_EQ(libraryWritten, mp.files.Exists(u"E:\\KORVANE\\ZRTL.DB.bak") ||
                                  std::any_of(mutations.begin(), mutations.end(),
                                              [](const std::string& m) {
                                                return m.find(".bak") != std::string::npos;
                                              }))
        << "only a run that writes the library takes backup copies";
  }
}

TEST(Reread, ATrackWithoutARecordedTimeTakesTheTimeFoundWithoutBeingRead) {
  // A plain update wrote the times file without the times it had lost; an update with the option
  // learns them and writes them, and from then on times decide.
  MemoryPlatform mp;
  MakeLibrary(mp);
  ASSERT_TRUE(mp.files.RemoveFile(kTimesPath));
  mp.files.AddFile(u"E:\\C\\4.mp3", Mp3("Four", "Gamma", "Third"));
  mp.files.SetModifiedTime(u"E:\\C\\4.mp3", kTime + 50);
  TestHost plain;
  ASSERT_EQ(Success, RunToEnd(mp, plain, run::RunModeUpdate, false));
  std::map<std::u16string, uint32_t> times = RecordedTimes(mp.files);
  ASSERT_EQ(4u, times.size());
  EXPECT_EQ(kUnknownFileTime, times.at(u"/A/1.mp3"));
  EXPECT_EQ(static_cast<uint32_t>(kTime + 50), times.at(u"/C/4.mp3"));

  TestHost learn;
  ASSERT_EQ(Success, RunToEnd(mp, learn, run::RunModeUpdate, true));
  EXPECT_TRUE(learn.notices().empty());
  times = RecordedTimes(mp.files);
  EXPECT_EQ(static_cast<uint32_t>(kTime), times.at(u"/A/1.mp3"));

  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("Uno", "Alpha", "First"));
  mp.files.SetModifiedTime(u"E:\\A\\1.mp3", kTime + 10);
  TestHost reread;
  ASSERT_EQ(Success, RunToEnd(mp, reread, run::RunModeUpdate, true));
  EXPECT_EQ(u"Uno", TitleOf(mp.files, u"/A/1.mp3"));
}

// What a failed or stopped update leaves: the library folder and the times file of before.
struct Before {
  deltrix::testing::Folder library;
  Bytes times;
  explicit Before(const MemoryFileSystem& fs)
      : library(FolderOf(fs)), times(fs.Contents(kTimesPath)) {}
  bool operator==(const Before&) const = default;
};

// A library with a retagged file and a new one, for an update with the option.
void MakeChangedDrive(MemoryPlatform& mp) {
  MakeLibrary(mp);
  mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("Uno", "Alpha", "First"));
  mp.files.SetModifiedTime(u"E:\\A\\1.mp3", kTime + 60);
  mp.files.AddFile(u"E:\\C\\4.mp3", Mp3("Four", "Gamma", "Third"));
}

TEST(Reread, AFailedOrStoppedUpdateRestoresTheLibraryAndItsTimes) {
  MemoryPlatform reference;
  MakeChangedDrive(reference);
  const Before before(reference.files);
  ASSERT_FALSE(before.times.empty());

  // A stop in the merge phase, at the re-read file.
  {
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    TestHost host;
    std::atomic<int> opens{0};
    const int code = RunToEnd(mp, host, run::RunModeUpdate, true, [&](run::RunController& run) {
      mp.files.SetFault([&](std::string_view op, std::u16string_view path) {
        if (op == "open" && path == u"E:\\A\\1.mp3" && ++opens == 2) {
          run.state().pauseRequested = true;
          run.state().stopRequested = true;
        }
        return false;
      });
    });
    EXPECT_EQ(RunAborted, code);
    EXPECT_TRUE(before == Before(mp.files));
  }

  // A fault at every file operation of the update.
  std::atomic<int> counted{0};
  {
    MemoryPlatform mp;
    MakeChangedDrive(mp);
    TestHost host;
    mp.files.SetFault([&](std::string_view, std::u16string_view) { return ++counted < 0; });
    ASSERT_EQ(Success, RunToEnd(mp, host, run::RunModeUpdate, true));
    EXPECT_EQ(u"Uno", TitleOf(mp.files, u"/A/1.mp3"));
  }
  int failedRuns = 0;
  for (int failAt = 1; failAt <= counted; ++failAt) {
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
    if (RunToEnd(mp, host, run::RunModeUpdate, true) == Success) {
      // A fault the run goes on from (a folder not listed, a file skipped, a time not known, a
      // times file not written) leaves a sound library, and a times file that fits it or none.
      EXPECT_TRUE(CheckLibrary(mp.files, kRoot, nullptr)) << "after a failed " << failed;
      if (mp.files.Exists(kTimesPath)) {
        EXPECT_TRUE(TimesFit(mp.files)) << "after a failed " << failed;
      }
      continue;
    }
    ++failedRuns;
    EXPECT_TRUE(before == Before(mp.files)) << "after a failed " << failed;
  }
  EXPECT_GT(failedRuns, 0);
  std::printf("re-reading update fault injection: %d points, %d runs failed and restored\n",
              counted.load(), failedRuns);
}

}  // namespace
}  // namespace deltrix::library::testing
