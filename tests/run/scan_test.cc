// The scan's rules, run inline on the in-memory drive and on a real folder (no threads).
#include "run/scan.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "support/memory_drive.h"
#include "support/temp_drive.h"

namespace deltrix::run {
namespace {

using platform::kAttrHidden;
using platform::kAttrSystem;
using testing::MemoryPlatform;

struct Found {
  std::vector<std::u16string> files;
  RunReport report;
  bool walked = false;
};

using Entries = std::vector<RunReport::Entry>;

Found Walk(platform::FileSystem& files, std::u16string_view root, bool ipod = false,
           size_t capacity = kMaxFiles) {
  FileList list(capacity);
  Found found;
  DriveScan scan(files, list, found.report, [] { return true; });
  found.walked = scan.Walk(root, ipod);
  for (int32_t i = 0; i < list.count(); ++i) found.files.emplace_back(list.Get(i));
  return found;
}

std::vector<std::u16string> Scan(MemoryPlatform& mp, bool ipod = false, size_t capacity = kMaxFiles,
                                 bool* ok = nullptr) {
  Found found = Walk(mp.files, u"E:\\", ipod, capacity);
  if (ok) *ok = found.walked;
  return found.files;
}

TEST(ScanFolder, CollectsAudioFilesByExtensionInAnyCase) {
  MemoryPlatform mp;
  const std::u16string names[] = {
      u"Song.MP3", u"SONG.Mp3", u"song.mp3", u"a.m4a",        u"b.AAC",    u"c.mp4",
      u"d.wav",    u"e.aif",    u"f.AIFF",   u"song.mp3.bak", u"song.m4p", u"song.aifc",
      u"song.ogg", u"songAIFF", u".mp3",     u"._x.mp3",      u"x.Wav"};
  // One folder per name: the drive compares names without case, as FAT does.
  std::vector<std::u16string> want;
  for (size_t i = 0; i < std::size(names); ++i) {
    const std::u16string path = u"E:\\" + std::u16string(1, char16_t(u'A' + i)) + u"\\" + names[i];
    mp.files.AddFile(path, "");
    if (i < 9 || names[i] == u"x.Wav") want.push_back(path);
  }
  EXPECT_EQ(want, Scan(mp));
}

TEST(ScanFolder, JoinsWithOneSeparatorAtTheRoot) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\a.mp3", "");
  EXPECT_EQ(std::vector<std::u16string>{u"E:\\a.mp3"}, Scan(mp));
}

TEST(ScanFolder, SkipsDotHiddenAndSystemEntriesUnlessThePlayerDatabaseIsThere) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\.hidden_by_dot\\a.mp3", "");
  mp.files.AddFolder(u"E:\\KORVANE", kAttrHidden);  // the player's own folder: not reported
  mp.files.AddFolder(u"E:\\Hid", kAttrHidden);
  mp.files.AddFile(u"E:\\Hid\\b.mp3", "");
  mp.files.AddFolder(u"E:\\Sys", kAttrSystem);
  mp.files.AddFile(u"E:\\Sys\\c.mp3", "");
  mp.files.AddFile(u"E:\\d.mp3", "", kAttrHidden);
  mp.files.AddFile(u"E:\\e.mp3", "", kAttrSystem);
  mp.files.AddFile(u"E:\\f.mp3", "");
  EXPECT_EQ(std::vector<std::u16string>{u"E:\\f.mp3"}, Scan(mp, false));
  const std::vector<std::u16string> ipod = {u"E:\\Hid\\b.mp3", u"E:\\d.mp3", u"E:\\f.mp3"};
  EXPECT_EQ(ipod, Scan(mp, true)) << "hidden entries are entered on a portable player's drive";
  // The folders passed over are reported; files are not.
  EXPECT_EQ((Entries{{u"E:\\", u".hidden_by_dot"}, {u"E:\\", u"Hid"}, {u"E:\\", u"Sys"}}),
            Walk(mp.files, u"E:\\").report.list(LeftOutReason::HiddenOrSystem));
  EXPECT_EQ((Entries{{u"E:\\", u".hidden_by_dot"}, {u"E:\\", u"Sys"}}),
            Walk(mp.files, u"E:\\", true).report.list(LeftOutReason::HiddenOrSystem));
}

TEST(ScanFolder, GoesSevenFolderLevelsDeepDepthFirst) {
  MemoryPlatform mp;
  std::u16string folder = u"E:";
  for (int level = 1; level <= 8; ++level) {
    folder += u"\\L" + std::u16string(1, char16_t(u'0' + level));
    mp.files.AddFile(folder + u"\\x.mp3", "");
  }
  mp.files.AddFile(u"E:\\z.mp3", "");  // after L1 in listing order
  const auto found = Scan(mp);
  ASSERT_EQ(8u, found.size());  // levels 1..7 and the root's own file
  EXPECT_EQ(u"E:\\L1\\x.mp3", found[0]);
  EXPECT_EQ(u"E:\\L1\\L2\\L3\\L4\\L5\\L6\\L7\\x.mp3", found[6]);
  EXPECT_EQ(u"E:\\z.mp3", found[7]) << "a sub-folder's contents come before the next entry";
  const Found walk = Walk(mp.files, u"E:\\");
  EXPECT_EQ((Entries{{u"E:\\L1\\L2\\L3\\L4\\L5\\L6\\L7", u"L8"}}),
            walk.report.list(LeftOutReason::TooDeep));
  EXPECT_EQ(1, walk.report.count(LeftOutReason::TooDeep));
}

TEST(ScanFolder, StopsAtTheListLimitAndReportsAWalkedDrive) {
  MemoryPlatform mp;
  for (int i = 0; i < 4; ++i)
    mp.files.AddFile(u"E:\\A\\" + std::u16string(1, char16_t(u'a' + i)) + u".mp3", "");
  mp.files.AddFile(u"E:\\b.mp3", "");
  const Found walk = Walk(mp.files, u"E:\\", false, 3);
  EXPECT_TRUE(walk.walked);
  EXPECT_EQ(3u, walk.files.size());
  // The walk goes on past the full list to count what it leaves out, to the end of the drive.
  EXPECT_EQ((Entries{{u"E:\\A", u"d.mp3"}, {u"E:\\", u"b.mp3"}}),
            walk.report.list(LeftOutReason::PastLimit));
}

TEST(ScanFolder, TellsAFolderThatCannotBeListedFromAnEmptyOne) {
  MemoryPlatform mp;
  mp.files.AddFile(u"E:\\Bad\\a.mp3", "");
  mp.files.AddFolder(u"E:\\Empty");
  mp.files.AddFile(u"E:\\Good\\b.mp3", "");
  mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "list" && path.starts_with(u"E:\\Bad");
  });
  const Found walk = Walk(mp.files, u"E:\\");
  EXPECT_EQ(std::vector<std::u16string>{u"E:\\Good\\b.mp3"}, walk.files);
  EXPECT_EQ((Entries{{u"E:\\", u"Bad"}}), walk.report.list(LeftOutReason::Unlistable));
  EXPECT_EQ(1, walk.report.count(LeftOutReason::Unlistable)) << "an empty folder is no failure";
}

TEST(RunReport, CapsEachListButCountsEveryEntry) {
  RunReport report(2);
  EXPECT_TRUE(report.empty());
  for (const char16_t* path : {u"E:\\a\\1.mp3", u"E:\\a\\2.mp3", u"E:\\b\\3.mp3"})
    report.AddPath(LeftOutReason::Unreadable, path);
  report.AddPath(LeftOutReason::Unlistable, u"E:\\");
  EXPECT_EQ(3, report.count(LeftOutReason::Unreadable));
  EXPECT_EQ((Entries{{u"E:\\a\\", u"1.mp3"}, {u"E:\\a\\", u"2.mp3"}}),
            report.list(LeftOutReason::Unreadable));
  EXPECT_EQ((Entries{{u"E:\\", u""}}), report.list(LeftOutReason::Unlistable));
  EXPECT_FALSE(report.empty());
  report.Clear();
  EXPECT_TRUE(report.empty());
  EXPECT_TRUE(report.list(LeftOutReason::Unreadable).empty());
}

TEST(ScanFolder, StaysInsideAFolderWithLinksAndNamesWhatItCannotMap) {
  testing::TempDrive drive;
  const std::string root = drive.folder();
  ASSERT_TRUE(drive.WriteFile(drive.Path(u"A\\1.mp3"), "1"));
  ASSERT_TRUE(drive.WriteFile(drive.Path(u"2.mp3"), "2"));
  ASSERT_EQ(0, symlink(".", (root + "/loop").c_str()));
  ASSERT_EQ(0, symlink("..", (root + "/A/up").c_str()));
  ASSERT_EQ(0, symlink("2.mp3", (root + "/linked.mp3").c_str()));
  for (const std::string folder : {"/back\\slash", "/latin1-\xE9t\xE9"}) {
    ASSERT_EQ(0, mkdir((root + folder).c_str(), 0755));
    ASSERT_TRUE(drive.WriteFile(drive.root() + u"x.mp3", "x"));
    ASSERT_EQ(0, rename((root + "/x.mp3").c_str(), (root + folder + "/x.mp3").c_str()));
  }
  ASSERT_TRUE(drive.WriteFile(drive.root() + u"x.mp3", "x"));
  ASSERT_EQ(0, rename((root + "/x.mp3").c_str(), (root + "/bad\\name.mp3").c_str()));
  Found walk = Walk(drive.platform().files, drive.root());
  ASSERT_TRUE(walk.walked);
  std::vector<std::u16string> found = walk.files;
  std::sort(found.begin(), found.end());
  EXPECT_EQ((std::vector<std::u16string>{drive.Path(u"2.mp3"), drive.Path(u"A\\1.mp3"),
                                         drive.Path(u"linked.mp3")}),
            found);
  std::vector<std::u16string> leftOut;
  for (const RunReport::Entry& entry : walk.report.list(LeftOutReason::NoDriveForm)) {
    EXPECT_EQ(drive.root(), entry.folder);
    leftOut.push_back(entry.name);
  }
  std::sort(leftOut.begin(), leftOut.end());
  EXPECT_EQ(
      (std::vector<std::u16string>{u"back\\slash", u"bad\\name.mp3", u"latin1-\uFFFDt\uFFFD"}),
      leftOut);
}

}  // namespace
}  // namespace deltrix::run
