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

TEST(Backup, MovesACompleteLibraryAsideAndPutsItBackAfterAFailure) {
  MemoryPlatform mp;
  AddLibrary(mp, "old");
  Backup backup(mp.files);
  ASSERT_TRUE(backup.PrepareBackup(u"E:\\", {}, nullptr));
  EXPECT_EQ(B("old1"), mp.files.Contents(kDev + u"ZRTL.DB.bak"));
  EXPECT_TRUE(mp.files.Names(kLib).empty()) << "moved, not copied";
  EXPECT_EQ(0u, mp.files.bytesWritten());
  // The failed run left other files and a half-written track list.
  mp.files.AddFile(kLib + u"ZRTL.DB", "half");
  mp.files.AddFile(kLib + u"ZRTA.LST", "tmp");
  EXPECT_TRUE(backup.RestoreBackup());
  std::vector<std::u16string> names = mp.files.Names(kLib);
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::u16string>{u"ZRBL.DB", u"ZRDB.DB", u"ZRTL.DB"}), names);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(B("old" + std::to_string(i)),
              mp.files.Contents(kLib + std::u16string(kBackedUpFiles[i])));
  }
  EXPECT_EQ(std::vector<std::u16string>{u"LIBRARY"}, mp.files.Names(kDev)) << "no .bak left";
  EXPECT_EQ(0u, mp.files.bytesWritten());
}

TEST(Backup, ASucceededCreateThatWroteNoLibraryPutsTheOldOneBack) {
  for (bool written : {false, true}) {
    SCOPED_TRACE(written ? "a new library written" : "nothing written");
    MemoryPlatform mp;
    AddLibrary(mp, "old");
    Backup backup(mp.files);
    ASSERT_TRUE(backup.PrepareBackup(u"E:\\", {}, nullptr));
    if (written) AddLibrary(mp, "new");
    EXPECT_TRUE(backup.KeepNewLibrary(written));
    EXPECT_EQ(B(written ? "new1" : "old1"), mp.files.Contents(kLib + u"ZRTL.DB"));
    EXPECT_EQ(std::vector<std::u16string>{u"LIBRARY"}, mp.files.Names(kDev));
  }
}

TEST(Backup, AFailedMoveAsidePutsBackWhatWasMoved) {
  MemoryPlatform mp;
  AddLibrary(mp, "old");
  int moves = 0;
  mp.files.SetFault(
      [&](std::string_view op, std::u16string_view) { return op == "move" && ++moves == 2; });
  Backup backup(mp.files);
  EXPECT_FALSE(backup.PrepareBackup(u"E:\\", {}, nullptr));
  mp.files.SetFault(nullptr);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(B("old" + std::to_string(i)),
              mp.files.Contents(kLib + std::u16string(kBackedUpFiles[i])));
  }
  EXPECT_EQ(std::vector<std::u16string>{u"LIBRARY"}, mp.files.Names(kDev));
  EXPECT_TRUE(backup.record().backupFolder.empty());
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
  EXPECT_FALSE(mp.files.Exists(kLib + u"ZRTL.DB")) << "moved aside for the create";
}

TEST(Backup, StaleFilesBesideABrokenLibraryAreRecoveredFirst) {
  // What a killed run leaves: all three .bak files beside a library half-written, partly deleted
  // or emptied by a killed restore; or only some, when a create was killed while moving the files
  // aside (the rest still in the library folder) or back (the rest already there).
  struct Case {
    const char* what;
    unsigned inLibrary;  // bit i: kBackedUpFiles[i] is in the library folder, as "half"
    unsigned asBak;      // bit i: its .bak file, as "good"
  };
  const Case cases[] = {
      {"half-written", 7, 7}, {"partly deleted", 2, 7}, {"emptied", 0, 7},
      {"moving aside", 6, 1}, {"moving back", 1, 6},
  };
  for (const Case& c : cases) {
    for (bool deferCopies : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (deferCopies ? ", then an update" : ", then a create"));
      MemoryPlatform mp;
      for (int i = 0; i < 3; ++i) {
        const std::u16string name(kBackedUpFiles[i]);
        const bool bak = (c.asBak >> i & 1) != 0;
        // A file not moved yet, or moved back already, is the good one.
        if ((c.inLibrary >> i & 1) != 0)
          mp.files.AddFile(kLib + name, (bak ? "half" : "good") + std::to_string(i));
        if (bak) mp.files.AddFile(kDev + name + u".bak", "good" + std::to_string(i));
      }
      Backup backup(mp.files);
      bool recovered = false;
      // The check fails while the library is incomplete or a file is not the good one.
      auto check = [&](std::u16string_view) {
        for (int i = 0; i < 3; ++i) {
          if (mp.files.Contents(kLib + std::u16string(kBackedUpFiles[i])) !=
              B("good" + std::to_string(i)))
            return false;
        }
        return true;
      };
      ASSERT_TRUE(backup.PrepareBackup(u"E:\\", check, &recovered, deferCopies));
      EXPECT_TRUE(recovered);
      // An update leaves the recovered library in place; a create moves it aside again.
      const std::u16string& folder = deferCopies ? kLib : kDev;
      const std::u16string suffix = deferCopies ? u"" : u".bak";
      for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(B("good" + std::to_string(i)),
                  mp.files.Contents(folder + std::u16string(kBackedUpFiles[i]) + suffix));
      }
      EXPECT_EQ(deferCopies ? 1u : 4u, mp.files.Names(kDev).size());
    }
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
    // A create moves the recovered library aside at once; an update copies it only before its
    // first write.
    const std::u16string& folder = deferCopies ? kLib : kDev;
    const std::u16string suffix = deferCopies ? u"" : u".bak";
    std::vector<std::u16string> names = mp.files.Names(folder);
    std::sort(names.begin(), names.end());
    const std::vector<std::u16string> library = {u"ZRBL.DB", u"ZRDB.DB", u"ZRTL.DB"};
    if (deferCopies) {
      EXPECT_EQ(library, names) << "the library of before, no temporary file";
    } else {
      EXPECT_TRUE(mp.files.Names(kLib).empty()) << "no temporary file";
    }
    EXPECT_EQ(B("good1"), mp.files.Contents(folder + u"ZRTL.DB" + suffix));
    EXPECT_EQ(B("good0"), mp.files.Contents(folder + u"ZRDB.DB" + suffix));
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

TEST(Backup, AFailedPutBackKeepsTheBakFilesForTheNextRun) {
  // A create's files go back by rename, an update's copies by copy.
  for (bool deferCopies : {false, true}) {
    SCOPED_TRACE(deferCopies ? "update" : "create");
    MemoryPlatform mp;
    AddLibrary(mp, "old");
    Backup backup(mp.files);
    ASSERT_TRUE(backup.PrepareBackup(u"E:\\", {}, nullptr, deferCopies));
    ASSERT_TRUE(backup.TakeDeferredCopies());
    const std::string_view putBack = deferCopies ? "copy" : "replace";
    mp.files.SetFault([&](std::string_view op, std::u16string_view from) {
      return op == putBack && from.ends_with(u"ZRBL.DB.bak");
    });
    EXPECT_FALSE(backup.RestoreBackup());
    mp.files.SetFault(nullptr);
    EXPECT_EQ(B("old2"), mp.files.Contents(kDev + u"ZRBL.DB.bak"));
    EXPECT_EQ(B("old1"), mp.files.Contents(kLib + u"ZRTL.DB"));
    EXPECT_EQ(kDev, backup.record().backupFolder);

    // The next run finds the library incomplete and puts back what is left.
    Backup next(mp.files);
    bool recovered = false;
    ASSERT_TRUE(next.PrepareBackup(
        u"E:\\", [&](std::u16string_view) { return mp.files.Exists(kLib + u"ZRBL.DB"); },
        &recovered, true));
    EXPECT_TRUE(recovered);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(B("old" + std::to_string(i)),
                mp.files.Contents(kLib + std::u16string(kBackedUpFiles[i])));
    }
    EXPECT_EQ(std::vector<std::u16string>{u"LIBRARY"}, mp.files.Names(kDev));
  }
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
