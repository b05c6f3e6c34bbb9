// The file-system contract every platform layer keeps, run over the real layer of the system the
// tests are built for (the POSIX layer on Linux, the Win32 layer on Windows and under Wine) on a
// fresh temporary folder used as a drive. What only one layer does is tested beside that layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/temp_drive.h"

namespace deltrix::platform {
namespace {

using testing::TempDrive;

std::string ReadAll(File& f) {
  std::string out;
  char buf[7];  // odd size: several reads per file
  for (size_t n; (n = f.Read(buf, sizeof buf)) > 0;) out.append(buf, n);
  return out;
}

size_t Put(File& f, std::string_view s) { return f.Write(s.data(), s.size()); }

// The attributes without the archive bit, which Windows sets on files it writes and Linux keeps
// nowhere.
uint32_t NoArchive(uint32_t attributes) { return attributes & ~kAttrArchive; }

class FileSystemContract : public ::testing::Test {
 protected:
  FileSystem& files() { return drive_.platform().files; }
  TempDrive drive_;
};

TEST_F(FileSystemContract, ReadStreamsSeekWithoutTheFileAndStopAtTheEnd) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"Music\\a.mp3"), "0123456789"));
  auto f = files().Open(drive_.Path(u"Music\\a.mp3"), "rb");
  ASSERT_TRUE(f);
  char buf[16] = {};
  EXPECT_EQ(4u, f->Read(buf, 4));
  EXPECT_EQ(4, f->Tell());
  EXPECT_TRUE(f->Seek(-3, SeekFrom::End));
  EXPECT_EQ(7, f->Tell());
  EXPECT_EQ(3u, f->Read(buf, sizeof buf));  // short at the end
  EXPECT_EQ("789", std::string(buf, 3));
  EXPECT_TRUE(f->Seek(-5, SeekFrom::Current));
  EXPECT_EQ(5u, f->Read(buf, 5));
  EXPECT_EQ("56789", std::string(buf, 5));
  EXPECT_FALSE(f->Seek(-1, SeekFrom::Start));
  EXPECT_EQ(10, f->Tell());                   // a refused seek moves nothing
  EXPECT_TRUE(f->Seek(20, SeekFrom::Start));  // past the end is allowed; reading there gives 0
  EXPECT_EQ(0u, f->Read(buf, 1));
  EXPECT_EQ(0u, Put(*f, "x"));  // read-only
  EXPECT_TRUE(f->Close());
  EXPECT_FALSE(f->Close());
  EXPECT_EQ(0u, f->Read(buf, 1));
  EXPECT_EQ(-1, f->Tell());
  EXPECT_EQ("0123456789", drive_.ReadFile(drive_.Path(u"Music\\a.mp3")));
}

TEST_F(FileSystemContract, OpenModesBehaveAsTheCRuntime) {
  const std::u16string path = drive_.Path(u"f.db");
  EXPECT_FALSE(files().Open(path, "r+b"));  // must exist
  EXPECT_FALSE(files().Open(path, "rb"));
  EXPECT_FALSE(files().Open(path, "r"));

  auto w = files().Open(path, "w+b");  // created
  ASSERT_TRUE(w);
  EXPECT_EQ(6u, Put(*w, "abcdef"));
  EXPECT_TRUE(w->Seek(0, SeekFrom::Start));
  EXPECT_EQ("abcdef", ReadAll(*w));  // "w+b" reads what it wrote
  EXPECT_TRUE(w->Close());

  auto rw = files().Open(path, "r+b");  // overwrites in place, keeps the rest
  ASSERT_TRUE(rw);
  EXPECT_TRUE(rw->Seek(2, SeekFrom::Start));
  EXPECT_EQ(2u, Put(*rw, "XY"));
  EXPECT_EQ(4, rw->Tell());
  EXPECT_EQ("ef", ReadAll(*rw));
  EXPECT_TRUE(rw->Close());
  EXPECT_EQ("abXYef", drive_.ReadFile(path));

  auto a = files().Open(path, "a+b");  // every write goes to the end, even after a seek
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->Seek(0, SeekFrom::Start));
  EXPECT_EQ(3u, Put(*a, "123"));
  EXPECT_EQ(9, a->Tell());
  EXPECT_TRUE(a->Seek(1, SeekFrom::Start));
  EXPECT_EQ("bXYef123", ReadAll(*a));  // reads anywhere, the appended bytes included
  EXPECT_TRUE(a->Seek(0, SeekFrom::End));
  EXPECT_EQ(9, a->Tell());
  EXPECT_TRUE(a->Close());
  EXPECT_EQ("abXYef123", drive_.ReadFile(path));

  auto wb = files().Open(path, "wb");  // truncates; cannot read
  ASSERT_TRUE(wb);
  char c;
  EXPECT_EQ(0u, wb->Read(&c, 1));
  EXPECT_EQ(1u, Put(*wb, "z"));
  EXPECT_TRUE(wb->Close());
  EXPECT_EQ("z", drive_.ReadFile(path));

  auto fresh = files().Open(drive_.Path(u"new.lst"), "a+b");  // "a+b" creates
  ASSERT_TRUE(fresh);
  EXPECT_TRUE(fresh->Close());
  EXPECT_TRUE(drive_.Exists(drive_.Path(u"new.lst")));

  EXPECT_FALSE(files().Open(path, "x"));
  EXPECT_FALSE(files().Open(path, "rq"));
  EXPECT_FALSE(files().Open(drive_.Path(u"no\\such\\folder.db"), "w+b"));
  EXPECT_FALSE(files().Open(drive_.root(), "rb"));  // a folder is not a file
  EXPECT_FALSE(files().Open(u"Q:\\f.db", "w+b"));   // no such drive
}

TEST_F(FileSystemContract, BufferedWritesLandWhereTheyWereAimed) {
  const std::u16string path = drive_.Path(u"records.db");
  std::string want;
  {
    auto f = files().Open(path, "w+b");
    ASSERT_TRUE(f);
    for (int i = 0; i < 5000; ++i) {  // many small writes: several buffer loads
      const std::string rec = "r" + std::to_string(i) + ";";
      ASSERT_EQ(rec.size(), Put(*f, rec));
      want += rec;
    }
    // Patch the head, then write past the end: the gap reads as zeros.
    ASSERT_TRUE(f->Seek(0, SeekFrom::Start));
    EXPECT_EQ(4u, Put(*f, "HEAD"));
    want.replace(0, 4, "HEAD");
    ASSERT_TRUE(f->Seek(3, SeekFrom::End));
    EXPECT_EQ(static_cast<int64_t>(want.size() + 3), f->Tell());
    EXPECT_EQ(3u, Put(*f, "END"));
    want += std::string(3, '\0') + "END";
    // A big write bypasses the buffer.
    const std::string big(100000, 'b');
    EXPECT_EQ(big.size(), Put(*f, big));
    want += big;
    // Reading sees everything written so far.
    ASSERT_TRUE(f->Seek(0, SeekFrom::Start));
    char head[6];
    ASSERT_EQ(6u, f->Read(head, 6));
    EXPECT_EQ(want.substr(0, 6), std::string(head, 6));
    EXPECT_TRUE(f->Close());
  }
  EXPECT_EQ(want, drive_.ReadFile(path));
}

TEST_F(FileSystemContract, ScratchFilesKeepWhatIsWrittenOffTheDrive) {
  auto a = files().OpenScratch();
  auto b = files().OpenScratch();
  ASSERT_TRUE(a);
  ASSERT_TRUE(b);
  std::string want;
  for (int i = 0; i < 5000; ++i) {  // several buffer loads
    const std::string rec = "r" + std::to_string(i) + ";";
    ASSERT_EQ(rec.size(), Put(*a, rec));
    want += rec;
  }
  EXPECT_EQ(5u, Put(*b, "other"));
  // A read from the middle, then a write at the end after the read moved the position.
  ASSERT_TRUE(a->Seek(100, SeekFrom::Start));
  char middle[10];
  ASSERT_EQ(10u, a->Read(middle, sizeof middle));
  EXPECT_EQ(want.substr(100, 10), std::string(middle, 10));
  ASSERT_TRUE(a->Seek(0, SeekFrom::End));
  EXPECT_EQ(4u, Put(*a, "tail"));
  want += "tail";
  ASSERT_TRUE(a->Seek(0, SeekFrom::Start));
  EXPECT_EQ(want, ReadAll(*a));
  ASSERT_TRUE(b->Seek(0, SeekFrom::Start));
  EXPECT_EQ("other", ReadAll(*b)) << "each scratch file is its own";
  EXPECT_TRUE(drive_.Names(drive_.root()).empty()) << "nothing reaches the drive";
  EXPECT_TRUE(a->Close());
  EXPECT_FALSE(a->Close());
}

TEST_F(FileSystemContract, FoldersAndRemoval) {
  EXPECT_TRUE(files().MakeFolder(drive_.Path(u"KORVANE")));
  EXPECT_FALSE(files().MakeFolder(drive_.Path(u"KORVANE")));     // exists
  EXPECT_FALSE(files().MakeFolder(drive_.Path(u"No\\Parent")));  // the parent must exist
  EXPECT_TRUE(files().MakeFolder(drive_.Path(u"KORVANE\\LIBRARY")));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"KORVANE\\LIBRARY\\ZRTA.LST"), "x"));
  EXPECT_FALSE(files().RemoveFile(drive_.Path(u"KORVANE\\LIBRARY")));  // files only
  EXPECT_TRUE(files().RemoveFile(drive_.Path(u"KORVANE\\LIBRARY\\ZRTA.LST")));
  EXPECT_FALSE(files().RemoveFile(drive_.Path(u"KORVANE\\LIBRARY\\ZRTA.LST")));
  EXPECT_EQ(kAttrDirectory, files().Attributes(drive_.Path(u"KORVANE\\LIBRARY")));
}

TEST_F(FileSystemContract, MoveNeverReplacesItsTarget) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"ZRTB.DB"), "new"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"ZRTL.DB"), "old"));
  EXPECT_FALSE(files().Move(drive_.Path(u"ZRTB.DB"), drive_.Path(u"ZRTL.DB")));
  EXPECT_EQ("new", drive_.ReadFile(drive_.Path(u"ZRTB.DB")));
  EXPECT_EQ("old", drive_.ReadFile(drive_.Path(u"ZRTL.DB")));

  ASSERT_TRUE(files().RemoveFile(drive_.Path(u"ZRTL.DB")));
  EXPECT_TRUE(files().Move(drive_.Path(u"ZRTB.DB"), drive_.Path(u"ZRTL.DB")));
  EXPECT_FALSE(drive_.Exists(drive_.Path(u"ZRTB.DB")));
  EXPECT_EQ("new", drive_.ReadFile(drive_.Path(u"ZRTL.DB")));

  EXPECT_FALSE(files().Move(drive_.Path(u"missing"), drive_.Path(u"other")));
  ASSERT_TRUE(files().MakeFolder(drive_.Path(u"Dir")));
  EXPECT_TRUE(files().Move(drive_.Path(u"Dir"), drive_.Path(u"Dir2")));  // folders move too
  EXPECT_EQ(kAttrDirectory, files().Attributes(drive_.Path(u"Dir2")));
}

TEST_F(FileSystemContract, CopyReplacesItsTargetWholeOrNotAtAll) {
  const std::string content(300000, 'q');
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"L\\ZRDB.DB"), content));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"L\\ZRDB.DB.bak"), "stale"));
  ASSERT_TRUE(files().SetAttributes(drive_.Path(u"L\\ZRDB.DB"), kAttrHidden));

  EXPECT_TRUE(files().Copy(drive_.Path(u"L\\ZRDB.DB"), drive_.Path(u"L\\ZRDB.DB.bak")));
  EXPECT_EQ(content, drive_.ReadFile(drive_.Path(u"L\\ZRDB.DB.bak")));
  // The attributes go along; a new target works as well.
  EXPECT_EQ(kAttrHidden, NoArchive(files().Attributes(drive_.Path(u"L\\ZRDB.DB.bak"))));
  EXPECT_TRUE(files().Copy(drive_.Path(u"L\\ZRDB.DB"), drive_.Path(u"L\\new.bak")));
  EXPECT_EQ(content, drive_.ReadFile(drive_.Path(u"L\\new.bak")));

  // A failed copy leaves the target as it was and no temporary file behind.
  EXPECT_FALSE(files().Copy(drive_.Path(u"L\\missing"), drive_.Path(u"L\\ZRDB.DB.bak")));
  EXPECT_FALSE(files().Copy(drive_.Path(u"L"), drive_.Path(u"L\\ZRDB.DB.bak")));  // a folder
  ASSERT_TRUE(files().MakeFolder(drive_.Path(u"L\\Sub")));
  EXPECT_FALSE(files().Copy(drive_.Path(u"L\\ZRDB.DB"), drive_.Path(u"L\\Sub")));  // onto a folder
  EXPECT_EQ(content, drive_.ReadFile(drive_.Path(u"L\\ZRDB.DB.bak")));
  EXPECT_EQ((std::vector<std::string>{"Sub", "ZRDB.DB", "ZRDB.DB.bak", "new.bak"}),
            drive_.Names(drive_.Path(u"L")));
}

TEST_F(FileSystemContract, ListingsReportNamesDotsAndAttributes) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"plain.mp3"), "a"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"hidden.mp3"), "b"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"Sys\\x.mp3"), "c"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"\u00c9t\u00e9.m4a"), "f"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"\u65e5\u672c.mp3"), "g"));
  ASSERT_TRUE(files().SetAttributes(drive_.Path(u"hidden.mp3"), kAttrHidden));
  ASSERT_TRUE(
      files().SetAttributes(drive_.Path(u"Sys"), kAttrSystem | kAttrHidden | kAttrDirectory));

  // The scan's own pattern: the root, then "\*.*", which doubles the backslash. Every entry comes
  // exactly once.
  std::map<std::u16string, uint32_t> seen;
  auto list = files().List(drive_.root() + u"\\*.*");
  ASSERT_TRUE(list);
  DirEntry e;
  while (list->Next(&e)) EXPECT_TRUE(seen.emplace(e.name, NoArchive(e.attributes)).second);
  EXPECT_FALSE(list->Next(&e));  // the end stays the end
  const std::map<std::u16string, uint32_t> want = {
      {u".", kAttrDirectory},
      {u"..", kAttrDirectory},
      {u"plain.mp3", 0},
      {u"hidden.mp3", kAttrHidden},
      {u"Sys", kAttrDirectory | kAttrHidden | kAttrSystem},
      {u"\u00c9t\u00e9.m4a", 0},
      {u"\u65e5\u672c.mp3", 0},
  };
  EXPECT_EQ(want, seen);

  auto sub = files().List(drive_.Path(u"Sys\\*.*"));
  ASSERT_TRUE(sub);
  std::vector<std::u16string> names;
  while (sub->Next(&e)) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::u16string>{u".", u"..", u"x.mp3"}), names);

  EXPECT_FALSE(files().List(drive_.Path(u"missing\\*.*")));
  EXPECT_FALSE(files().List(drive_.Path(u"plain.mp3")));
}

TEST_F(FileSystemContract, AttributesAreSetAndReadBack) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"a.db"), "x"));
  const std::u16string a = drive_.Path(u"a.db");
  EXPECT_EQ(0u, NoArchive(files().Attributes(a)));
  EXPECT_EQ(kNoAttributes, files().Attributes(drive_.Path(u"missing")));
  EXPECT_EQ(kAttrDirectory, NoArchive(files().Attributes(drive_.root())));

  ASSERT_TRUE(files().SetAttributes(a, kAttrReadOnly | kAttrHidden));
  EXPECT_EQ(kAttrReadOnly | kAttrHidden, NoArchive(files().Attributes(a)));
  EXPECT_TRUE(files().Open(a, "rb"));

  ASSERT_TRUE(files().SetAttributes(a, kAttrSystem));  // from read-only back to writable
  EXPECT_EQ(kAttrSystem, NoArchive(files().Attributes(a)));
  EXPECT_TRUE(files().Open(a, "r+b"));
  ASSERT_TRUE(files().SetAttributes(a, 0));
  EXPECT_EQ(0u, NoArchive(files().Attributes(a)));

  // A hidden folder, as the library's own is made.
  ASSERT_TRUE(files().MakeFolder(drive_.Path(u"KORVANE")));
  ASSERT_TRUE(files().SetAttributes(drive_.Path(u"KORVANE"), kAttrHidden | kAttrDirectory));
  EXPECT_EQ(kAttrHidden | kAttrDirectory, NoArchive(files().Attributes(drive_.Path(u"KORVANE\\"))));

  EXPECT_FALSE(files().SetAttributes(drive_.Path(u"missing"), kAttrHidden));
}

TEST_F(FileSystemContract, ReplaceMovesOverTheTargetInOneStep) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"ZRTL.DB.new"), "new"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"ZRTL.DB"), "old"));
  EXPECT_TRUE(files().Replace(drive_.Path(u"ZRTL.DB.new"), drive_.Path(u"ZRTL.DB")));
  EXPECT_EQ("new", drive_.ReadFile(drive_.Path(u"ZRTL.DB")));
  EXPECT_FALSE(drive_.Exists(drive_.Path(u"ZRTL.DB.new")));

  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"a"), "A"));
  EXPECT_TRUE(files().Replace(drive_.Path(u"a"), drive_.Path(u"b")));  // the target need not exist
  EXPECT_EQ("A", drive_.ReadFile(drive_.Path(u"b")));
  EXPECT_FALSE(files().Replace(drive_.Path(u"a"), drive_.Path(u"b")));  // the source must
  EXPECT_EQ("A", drive_.ReadFile(drive_.Path(u"b")));
}

TEST_F(FileSystemContract, CopyReplacesHiddenAndReadOnlyTargets) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"src"), "fresh"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"hidden"), "stale"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"locked"), "stale"));
  ASSERT_TRUE(files().SetAttributes(drive_.Path(u"hidden"), kAttrHidden));
  ASSERT_TRUE(files().SetAttributes(drive_.Path(u"locked"), kAttrReadOnly));
  EXPECT_TRUE(files().Copy(drive_.Path(u"src"), drive_.Path(u"hidden")));
  EXPECT_EQ("fresh", drive_.ReadFile(drive_.Path(u"hidden")));
  EXPECT_TRUE(files().Copy(drive_.Path(u"src"), drive_.Path(u"locked")));
  EXPECT_EQ("fresh", drive_.ReadFile(drive_.Path(u"locked")));
}

TEST_F(FileSystemContract, PathsOnNoDriveFailEverywhere) {
  const std::u16string nowhere = u"Q:\\f.db";
  EXPECT_FALSE(files().Open(u"f.db", "w+b"));  // no drive at all
  EXPECT_FALSE(files().Open(nowhere, "rb"));
  EXPECT_FALSE(files().List(u"Q:\\*.*"));
  EXPECT_EQ(kNoAttributes, files().Attributes(nowhere));
  EXPECT_FALSE(files().MakeFolder(u"Q:\\KORVANE"));
  EXPECT_FALSE(files().RemoveFile(nowhere));
  EXPECT_FALSE(files().Copy(nowhere, drive_.Path(u"x")));
  EXPECT_FALSE(drive_.Exists(drive_.Path(u"x")));
}

TEST_F(FileSystemContract, ModificationTimesAgreeWhereverTheyAreGiven) {
  const std::u16string path = drive_.Path(u"Music\\a.mp3");
  ASSERT_TRUE(drive_.WriteFile(path, "0123456789"));
  constexpr int64_t kTime = 1609459200;  // 2021-01-01 00:00:00 UTC
  ASSERT_TRUE(drive_.SetModifiedTime(path, kTime));

  EXPECT_EQ(kTime, files().ModifiedTime(path));
  EXPECT_EQ(kNoTime, files().ModifiedTime(drive_.Path(u"Music\\missing.mp3")));
  // A listing or an open file gives the time where it learns it anyway, and never another one.
  auto file = files().Open(path, "rb");
  ASSERT_TRUE(file);
  const int64_t opened = file->ModifiedTime();
  EXPECT_TRUE(opened == kNoTime || opened == kTime) << opened;
  auto listing = files().List(drive_.Path(u"Music\\*.*"));
  ASSERT_TRUE(listing);
  DirEntry entry;
  bool listed = false;
  while (listing->Next(&entry)) {
    if (entry.name != u"a.mp3") continue;
    listed = true;
    EXPECT_TRUE(entry.modified == kNoTime || entry.modified == kTime) << entry.modified;
  }
  EXPECT_TRUE(listed);
}

}  // namespace
}  // namespace deltrix::platform
