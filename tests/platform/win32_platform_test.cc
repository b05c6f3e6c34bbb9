// The Win32 layer's own behaviour, under Wine in the test command: drives as the system reports
// them, staging folders lent a letter, long paths, locks and code pages. What Wine answers stands
// in for Windows here; each case that leans on a detail of Wine's says so.
#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "run/drive_checks.h"
#include "support/temp_drive.h"

namespace deltrix::platform::win32 {
namespace {

using testing::TempDrive;

std::u16string RootOf(char letter) { return {char16_t(letter), u':', u'\\'}; }

// scripts/test_windows.sh maps three letters before the tests run and names them in
// DELTRIX_WINE_DRIVES: a folder, a folder typed "floppy" in Wine's registry (with the label
// CARD), and a letter left unmapped.
struct WineDrives {
  char folder = 0, floppy = 0, absent = 0;
};
WineDrives WineDrivesFromEnvironment() {
  const char* value = std::getenv("DELTRIX_WINE_DRIVES");
  if (!value || std::string(value).size() != 3) return {};
  return {value[0], value[1], value[2]};
}

TEST(Win32Drives, WineDrivesReadAsTheSystemReportsThem) {
  const WineDrives wine = WineDrivesFromEnvironment();
  ASSERT_NE(0, wine.folder) << "run under scripts/test_windows.sh, which maps the drives";
  Win32Platform p;
  const uint32_t present = p.drives.PresentDrives();
  EXPECT_TRUE(present & (1u << (wine.folder - 'A')));
  EXPECT_TRUE(present & (1u << (wine.floppy - 'A')));
  EXPECT_FALSE(present & (1u << (wine.absent - 'A')));

  // A folder drive: fixed, "NTFS", and Wine's serial of letter << 24; refused.
  VolumeInfo info;
  ASSERT_TRUE(p.drives.ReadVolume(RootOf(wine.folder), &info));
  EXPECT_EQ(u"NTFS", info.fileSystem);
  EXPECT_EQ(uint32_t(wine.folder) << 24, info.serial);
  EXPECT_EQ(DriveTypeFixed, p.drives.TypeOf(RootOf(wine.folder)));
  EXPECT_EQ(run::DriveUnsupported, run::CheckDrive(p.platform, RootOf(wine.folder)));

  // A floppy-typed letter is removable, and its label file names it.
  EXPECT_EQ(DriveTypeRemovable, p.drives.TypeOf(RootOf(wine.floppy)));
  ASSERT_TRUE(p.drives.ReadVolume(RootOf(wine.floppy), &info));
  EXPECT_EQ(u"CARD", info.name);

  // An unmapped letter is absent everywhere.
  EXPECT_EQ(DriveTypeNoRoot, p.drives.TypeOf(RootOf(wine.absent)));
  EXPECT_FALSE(p.drives.ReadVolume(RootOf(wine.absent), &info));
  EXPECT_FALSE(run::IsDrivePresent(p.drives, RootOf(wine.absent)));
  EXPECT_EQ(run::DriveUnsupported, run::CheckDrive(p.platform, RootOf(wine.absent)));

  // The drive list shows letters with labels.
  const std::vector<run::DriveListEntry> list = run::EnumerateDrives(p.drives);
  const auto floppy = std::find_if(list.begin(), list.end(), [&](const run::DriveListEntry& e) {
    return e.root == RootOf(wine.floppy);
  });
  ASSERT_NE(list.end(), floppy);
  EXPECT_EQ(RootOf(wine.floppy) + u" [CARD]", floppy->label);

  // Anything but a root is no root.
  EXPECT_EQ(DriveTypeNoRoot, p.drives.TypeOf(RootOf(wine.folder) + u"Music"));
  EXPECT_FALSE(p.drives.ReadVolume(u"\\", &info));
}

TEST(Win32Drives, UserPathsAreTheDriveFormItself) {
  Win32Platform p;
  EXPECT_EQ(u"E:\\", p.drives.ToDrivePath("e:"));  // the root, not E:'s current folder
  EXPECT_EQ(u"E:\\", p.drives.ToDrivePath("E:/"));
  EXPECT_EQ(u"E:\\Music\\a.mp3", p.drives.ToDrivePath("E:/Music/./x/../a.mp3"));
  EXPECT_EQ(u"", p.drives.ToDrivePath("\\\\server\\share\\a.mp3"));
  EXPECT_EQ("E:\\Music\\a.mp3", p.drives.ToUserPath(u"E:\\\\Music\\a.mp3"));
  EXPECT_EQ("", p.drives.ToUserPath(u"Music\\a.mp3"));
}

TEST(Win32Drives, AStagingFolderIsLentAFreeLetter) {
  TempDrive drive;
  Win32Platform& p = drive.native();
  const std::u16string& root = drive.root();
  ASSERT_EQ(3u, root.size());
  // The letter was free, and only this process sees it.
  Win32Platform other;
  EXPECT_EQ(DriveTypeNoRoot, other.drives.TypeOf(root));
  EXPECT_TRUE(p.drives.PresentDrives() & (1u << (root[0] - u'A')));

  EXPECT_EQ(root, p.drives.AddStagingFolder(drive.folder()));  // again: the same letter
  EXPECT_EQ(root, p.drives.AddStagingFolder(drive.folder() + "\\"));
  EXPECT_EQ(u"", p.drives.AddStagingFolder(drive.folder() + "\\missing"));

  // A usable FAT32 fixed drive named after the folder.
  VolumeInfo info;
  ASSERT_TRUE(p.drives.ReadVolume(root, &info));
  EXPECT_EQ(u"FAT32", info.fileSystem);
  EXPECT_NE(0u, info.serial);
  const std::string folder = drive.folder();
  EXPECT_EQ(FromUtf8(folder.substr(folder.find_last_of('\\') + 1)), info.name);
  EXPECT_EQ(DriveTypeFixed, p.drives.TypeOf(root));
  EXPECT_EQ(run::DriveUsable, run::CheckDrive(p.platform, root));

  // Paths inside the folder come back on its letter, and go out as the folder's.
  EXPECT_EQ(root + u"Music\\a.mp3", p.drives.ToDrivePath(folder + "\\Music\\a.mp3"));
  EXPECT_EQ(root, p.drives.ToDrivePath(folder));
  EXPECT_EQ(folder + "\\Music\\a.mp3", p.drives.ToUserPath(root + u"Music\\a.mp3"));
}

TEST(Win32Files, PathsLongerThanMaxPathWork) {
  TempDrive drive;
  FileSystem& files = drive.platform().files;
  std::u16string path = drive.root();
  for (int i = 0; i < 6; ++i) {
    path += std::u16string(50, char16_t(u'a' + i));
    ASSERT_TRUE(files.MakeFolder(path)) << i;
    path += u'\\';
  }
  path += u"track.mp3";
  ASSERT_GT(drive.Native(path).size(), 300u);
  auto f = files.Open(path, "w+b");
  ASSERT_TRUE(f);
  EXPECT_EQ(3u, f->Write("abc", 3));
  EXPECT_TRUE(f->Close());
  EXPECT_EQ(0u, files.Attributes(path) & ~kAttrArchive);
  auto list = files.List(path.substr(0, path.rfind(u'\\')) + u"\\*.*");
  ASSERT_TRUE(list);
  DirEntry e;
  std::vector<std::u16string> names;
  while (list->Next(&e)) names.push_back(e.name);
  EXPECT_EQ((std::vector<std::u16string>{u".", u"..", u"track.mp3"}), names);
  EXPECT_TRUE(files.RemoveFile(path));
}

// Wine lists a folder drive's entries sorted without regard to case after "." and "..", whatever
// order they were made in (real Windows gives NTFS's order, which is also sorted, and a FAT
// volume's entries in the order of the directory).
TEST(Win32Files, WineListsFolderDrivesInNameOrder) {
  TempDrive drive;
  for (const char16_t* name : {u"b.mp3", u"C.mp3", u"a.mp3", u"D"}) {
    ASSERT_TRUE(drive.WriteFile(drive.Path(name), "x"));
  }
  auto list = drive.platform().files.List(drive.root() + u"*.*");
  ASSERT_TRUE(list);
  DirEntry e;
  std::vector<std::u16string> names;
  while (list->Next(&e)) names.push_back(e.name);
  EXPECT_EQ((std::vector<std::u16string>{u".", u"..", u"a.mp3", u"b.mp3", u"C.mp3", u"D"}), names);
}

TEST(Win32Locks, ANamedMutexHoldsAKeyAcrossTheSession) {
  Win32Locks locks;
  auto held = locks.TryLock(u"drive E:\\");
  ASSERT_TRUE(held);
  EXPECT_FALSE(locks.TryLock(u"drive E:\\"));
  EXPECT_FALSE(locks.TryLock(u"DRIVE e:\\"));  // names compare without case, as Windows' do
  auto other = locks.TryLock(u"drive F:\\");
  EXPECT_TRUE(other);
  held.reset();
  EXPECT_TRUE(locks.TryLock(u"drive E:\\"));  // released with the last handle

  // Keys longer than an object name may be keep apart by their hash.
  const std::u16string longKey(400, u'k');
  auto a = locks.TryLock(longKey + u"1");
  ASSERT_TRUE(a);
  EXPECT_TRUE(locks.TryLock(longKey + u"2"));
  EXPECT_FALSE(locks.TryLock(longKey + u"1"));
  EXPECT_LE(Win32Locks::MutexName(longKey).size(), 200u);
}

TEST(Win32Locks, StagingDrivesAreLockedByTheirFolder) {
  // Two processes may lend the same letter to different folders; only the same folder conflicts.
  TempDrive first;
  TempDrive second;
  Win32Platform a, b, c;
  const std::u16string rootA = a.drives.AddStagingFolder(first.folder());
  const std::u16string rootB = b.drives.AddStagingFolder(second.folder());
  ASSERT_EQ(rootA, rootB);
  auto lockA = a.locks.TryLockDrive(rootA);
  ASSERT_TRUE(lockA);
  EXPECT_TRUE(b.locks.TryLockDrive(rootB));
  const std::u16string rootC = c.drives.AddStagingFolder(first.folder());
  EXPECT_FALSE(c.locks.TryLockDrive(rootC));
  lockA.reset();
  EXPECT_TRUE(c.locks.TryLockDrive(rootC));
}

TEST(Win32TextCodec, DecodesThroughTheSystemConverter) {
  struct Case {
    uint32_t codePage;
    std::vector<uint8_t> bytes;
    std::u16string want;
  };
  // As Wine answers (its tables stand in for Windows').
  const Case cases[] = {
      {932, {0x93, 0xFA, 0x96, 0x7B, 0x8C, 0xEA, 0xB1}, u"\u65E5\u672C\u8A9E\uFF71"},
      {932, {0x41, 0x81, 0x20, 0x42, 0xA0, 0xFD, 0x82}, u"A\u30FBB\uF8F0\uF8F1\u30FB"},
      {936, {0xD6, 0xD0, 0xCE, 0xC4, 0x80}, u"\u4E2D\u6587\u20AC"},
      {1251, {0xCF, 0xF0, 0x98, 0x88}, u"\u041F\u0440\u0098\u20AC"},
      {1252, {0x43, 0xE9, 0x80, 0x81, 0x9D}, u"C\u00E9\u20AC\u0081\u009D"},
      {1252, {0x41, 0x00, 0x42}, u"A"},  // a zero byte ends the text
  };
  Win32TextCodec codec;
  for (const Case& c : cases) {
    std::vector<char16_t> out(c.bytes.size(), u'#');
    const size_t n = codec.Decode(c.codePage, c.bytes, out);
    EXPECT_EQ(c.want, std::u16string(out.data(), n)) << c.codePage;
  }
  // A short buffer takes what fits.
  const uint8_t kanji[] = {0x93, 0xFA, 0x96, 0x7B};
  char16_t one[1];
  EXPECT_EQ(1u, codec.Decode(932, kanji, one));
  EXPECT_EQ(u'\u65E5', one[0]);
  EXPECT_EQ(2u, codec.UserLanguage().size());
}

}  // namespace
}  // namespace deltrix::platform::win32
