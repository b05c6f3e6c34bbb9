#include "run/drive_checks.h"

#include <gtest/gtest.h>

#include "support/memory_drive.h"

namespace deltrix::run {
namespace {

using platform::DriveTypeCdRom;
using platform::DriveTypeFixed;
using platform::DriveTypeRemote;
using platform::DriveTypeRemovable;
using testing::MemoryPlatform;

void AddLibraryFiles(testing::MemoryFileSystem& fs, char16_t letter, int count) {
  const std::u16string folder = std::u16string(1, letter) + u":\\KORVANE\\LIBRARY\\";
  const char16_t* names[] = {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"};
  for (int i = 0; i < count; ++i) fs.AddFile(folder + names[i], "x");
}

TEST(CheckDrive, ClassifiesByFileSystemSerialTypeAndLibrary) {
  struct Case {
    const char* what;
    std::u16string fileSystem;
    uint32_t serial;
    platform::DriveType type;
    int libraryFiles;
    int want;
  };
  const Case cases[] = {
      {"FAT32 stick, no library", u"FAT32", 1, DriveTypeRemovable, 0, DriveUsable},
      {"FAT32 stick with library", u"FAT32", 1, DriveTypeRemovable, 3, DriveHasLibrary},
      {"two of three files", u"FAT32", 1, DriveTypeRemovable, 2, DriveUsable},
      {"FAT fixed disk", u"FAT", 1, DriveTypeFixed, 3, DriveHasLibrary},
      {"NTFS stick", u"NTFS", 1, DriveTypeRemovable, 3, DriveUnsupported},
      {"no medium: serial 0", u"FAT32", 0, DriveTypeRemovable, 0, DriveUnsupported},
      {"network share", u"FAT32", 1, DriveTypeRemote, 0, DriveUnsupported},
      {"optical drive", u"FAT32", 1, DriveTypeCdRom, 0, DriveUnsupported},
      {"lower-case fat32 is still usable", u"fat32", 1, DriveTypeRemovable, 0, DriveUsable},
      {"exFAT", u"exFAT", 7, DriveTypeRemovable, 0, DriveUsable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    mp.drives.Remove(u'E');
    mp.drives.Add({u'F', {u"STICK", c.serial, c.fileSystem}, c.type, true});
    AddLibraryFiles(mp.files, u'F', c.libraryFiles);
    EXPECT_EQ(c.want, CheckDrive(mp.platform, u"F:\\"));
  }
}

TEST(GetFileSystemKind, ComparesNamesExactly) {
  MemoryPlatform mp;
  const std::pair<std::u16string, int> cases[] = {{u"FAT", 1},   {u"FAT32", 1}, {u"NTFS", 4},
                                                  {u"fat32", 0}, {u"", 0},      {u"exFAT", 0}};
  for (const auto& [name, kind] : cases) {
    mp.drives.Get(u'E')->volume.fileSystem = name;
    EXPECT_EQ(kind, GetFileSystemKind(mp.drives, u"E:\\"));
  }
  mp.drives.Get(u'E')->readable = false;
  EXPECT_EQ(0, GetFileSystemKind(mp.drives, u"E:\\"));
}

TEST(EnumerateDrives, ListsAToYWithLabels) {
  MemoryPlatform mp;
  mp.drives.Add({u'C', {u"", 5, u"NTFS"}, DriveTypeFixed, true});
  mp.drives.Add({u'Z', {u"ZED", 6, u"FAT32"}, DriveTypeRemovable, true});
  mp.drives.Add({u'G', {u"CARD", 0, u""}, DriveTypeRemovable, false});  // empty card reader
  const auto list = EnumerateDrives(mp.drives);
  ASSERT_EQ(3u, list.size());
  EXPECT_EQ(u"C:\\", list[0].label);
  EXPECT_EQ(u"E:\\ [MUSIC]", list[1].label);
  EXPECT_EQ(u"G:\\", list[2].root);
  EXPECT_EQ(u"G:\\", list[2].label);
}

TEST(IsRootPath, FollowsTheRootPathRule) {
  const std::pair<std::u16string, bool> cases[] = {
      {u"E:\\", true},       {u"\\", true},        {u"\\\\server\\share", true},
      {u"E:\\Music", false}, {u"E:", false},       {u"\\\\server\\share\\dir", false},
      {u"", false},          {u"\"E:\\\"", false}, {u"E:\\a.mp3", false},
  };
  for (const auto& [path, want] : cases) {
    EXPECT_EQ(want, IsRootPath(path)) << std::string(path.begin(), path.end());
  }
}

TEST(IsDrivePresent, FollowsTheVolumeRead) {
  MemoryPlatform mp;
  EXPECT_TRUE(IsDrivePresent(mp.drives, u"E:\\"));
  EXPECT_FALSE(IsDrivePresent(mp.drives, u"F:\\"));
}

}  // namespace
}  // namespace deltrix::run
