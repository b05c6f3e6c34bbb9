#include "run/backup.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/memory_drive.h"

namespace deltrix::run {
namespace {

using testing::Bytes;
using testing::MemoryPlatform;

const std::u16string kLib = u"E:\\KORVANE\\LIBRARY\\";
const std::u16string kDev = u"E:\\KORVANE\\";

void AddLibrary(MemoryPlatform& mp, const std::string& tag, int count = 3) {
  for (int i = 0; i < count; ++i) {
    mp.files.AddFile(kLib + std::u16string(kBackedUpFiles[i]), tag + std::to_string(i));
  }
}
Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(Backup, CopiesACompleteLibraryAndPutsItBackAfterAFailure) {
  MemoryPlatform mp;
  AddLibrary(mp, "old");
  Backup backup(mp.files);
  ASSERT_TRUE(backup.PrepareBackup(u"E:\\", {}, nullptr));
  EXPECT_EQ(B("old1"), mp.files.Contents(kDev + u"ZRTL.DB.bak"));
  // The failed run left other files and a half-written track list.
  mp.files.AddFile(kLib + u"ZRTL.DB", "half");
  mp.files.AddFile(kLib + u"ZRTA.LST", "tmp");
  EXPECT_TRUE(backup.RestoreBackup());
  EXPECT_EQ((std::vector<std::u16string>{u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}),
            mp.files.Names(kLib));
  EXPECT_EQ(B("old1"), mp.files.Contents(kLib + u"ZRTL.DB"));
  EXPECT_EQ(std::vector<std::u16string>{u"LIBRARY"}, mp.files.Names(kDev)) << "copies deleted";
}

TEST(Backup, AnIncompleteLibraryIsNotBackedUpAndAFailedRunEmptiesTheFolder) {
  MemoryPlatform mp;
  AddLibrary(mp, "old", 2);
  Backup backup(mp.files);
  ASSERT_TRUE(backup.PrepareBackup(u"E:\\", {}, nullptr));
  EXPECT_TRUE(backup.record().backupFolder.empty());
  EXPECT_TRUE(backup.RestoreBackup());
  EXPECT_TRUE(mp.files.Names(kLib).empty());
}

TEST(Backup, StaleCopiesAreReplacedWhenTheLibraryIsSound) {
  MemoryPlatform mp;
  AddLibrary(mp, "new");
  for (auto name : kBackedUpFiles) mp.files.AddFile(kDev + std::u16string(name) + u".bak", "stale");
  Backup backup(mp.files);
  bool recovered = true;
  ASSERT_TRUE(backup.PrepareBackup(
      u"E:\\", [](std::u16string_view) { return true; }, &recovered));
  EXPECT_FALSE(recovered);
  EXPECT_EQ(B("new1"), mp.files.Contents(kDev + u"ZRTL.DB.bak"));
  EXPECT_EQ(B("new1"), mp.files.Contents(kLib + u"ZRTL.DB"));
}

TEST(Backup, StaleCopiesBesideABrokenLibraryAreRecoveredFirst) {
  for (int libraryFiles : {3, 1, 0}) {  // half-written, partly deleted, emptied by a killed restore
    SCOPED_TRACE(libraryFiles);
    MemoryPlatform mp;
    AddLibrary(mp, "half", libraryFiles);
    for (int i = 0; i < 3; ++i) {
      mp.files.AddFile(kDev + std::u16string(kBackedUpFiles[i]) + u".bak",
                       "good" + std::to_string(i));
    }
    Backup backup(mp.files);
    bool recovered = false;
    ASSERT_TRUE(backup.PrepareBackup(
        u"E:\\", [](std::u16string_view) { return false; }, &recovered));
    EXPECT_TRUE(recovered);
    EXPECT_EQ(B("good1"), mp.files.Contents(kLib + u"ZRTL.DB"));
    EXPECT_EQ(B("good1"), mp.files.Contents(kDev + u"ZRTL.DB.bak"));
  }
}

TEST(Backup, EveryRunFirstClearsWhatAKilledUpdateLeft) {
  // Killed between the delete of ZRTL.DB and the rename of ZRTB.DB over it (the order a platform
  // without a one-step replace has): no track list, the rewrite and the add list beside the rest.
  for (bool deferCopies : {false, true}) {
    SCOPED_TRACE(deferCopies ? "update" : "create");
    MemoryPlatform mp;
    mp.files.AddFile(kLib + u"ZRDB.DB", "new0");
    mp.files.AddFile(kLib + u"ZRBL.DB", "new2");
    mp.files.AddFile(kLib + u"ZRTB.DB", "rewritten");
    mp.files.AddFile(kLib + u"ZRTA.LST", "queued");
    for (int i = 0; i < 3; ++i) {
      mp.files.AddFile(kDev + std::u16string(kBackedUpFiles[i]) + u".bak",
                       "good" + std::to_string(i));
    }
    Backup backup(mp.files);
    bool recovered = false;
    ASSERT_TRUE(backup.PrepareBackup(
        u"E:\\", [&](std::u16string_view) { return mp.files.Exists(kLib + u"ZRTL.DB"); },
        &recovered, deferCopies));
    EXPECT_TRUE(recovered);
    std::vector<std::u16string> names = mp.files.Names(kLib);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::u16string>{u"ZRBL.DB", u"ZRDB.DB", u"ZRTL.DB"}), names)
        << "the library of before, and no temporary file";
    EXPECT_EQ(B("good1"), mp.files.Contents(kLib + u"ZRTL.DB"));
    EXPECT_EQ(B("good0"), mp.files.Contents(kLib + u"ZRDB.DB"));
    // A create copies the recovered library at once; an update only before its first write.
    EXPECT_EQ(deferCopies ? 1u : 4u, mp.files.Names(kDev).size());
  }
}

TEST(Backup, StaleCopiesBesideASoundLibraryAreDeletedWhenAnUpdateDefersItsCopies) {
  MemoryPlatform mp;
  AddLibrary(mp, "new");
  for (auto name : kBackedUpFiles) mp.files.AddFile(kDev + std::u16string(name) + u".bak", "stale");
  Backup backup(mp.files);
  bool recovered = true;
  ASSERT_TRUE(backup.PrepareBackup(
      u"E:\\", [](std::u16string_view) { return true; }, &recovered, true));
  EXPECT_FALSE(recovered);
  EXPECT_EQ(std::vector<std::u16string>{u"LIBRARY"}, mp.files.Names(kDev));
  EXPECT_EQ(B("new1"), mp.files.Contents(kLib + u"ZRTL.DB"));
}

TEST(Backup, AFailedCopyBackKeepsTheCopies) {
  MemoryPlatform mp;
  AddLibrary(mp, "old");
  Backup backup(mp.files);
  ASSERT_TRUE(backup.PrepareBackup(u"E:\\", {}, nullptr));
  mp.files.SetFault([](std::string_view op, std::u16string_view from) {
    return op == "copy" && from.ends_with(u"ZRBL.DB.bak");
  });
  EXPECT_FALSE(backup.RestoreBackup());
  EXPECT_EQ(B("old2"), mp.files.Contents(kDev + u"ZRBL.DB.bak"));
  EXPECT_EQ(B("old1"), mp.files.Contents(kDev + u"ZRTL.DB.bak"));
  EXPECT_EQ(kDev, backup.record().backupFolder);
}

TEST(Backup, DeleteFolderFilesLeavesSubFolders) {
  MemoryPlatform mp;
  mp.files.AddFile(kLib + u"a", "1");
  mp.files.AddFolder(kLib + u"sub");
  Backup backup(mp.files);
  backup.DeleteFolderFiles(kLib);
  EXPECT_EQ(std::vector<std::u16string>{u"sub"}, mp.files.Names(kLib));
}

}  // namespace
}  // namespace deltrix::run
