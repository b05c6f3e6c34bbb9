#include "platform/posix/posix_file_system.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/dos_attributes.h"
#include "support/temp_drive.h"

namespace deltrix::platform::posix {
namespace {

using testing::TempDrive;

std::string ReadAll(File& f) {
  std::string out;
  char buf[7];  // odd size: several reads per file
  for (size_t n; (n = f.Read(buf, sizeof buf)) > 0;) out.append(buf, n);
  return out;
}

size_t Put(File& f, std::string_view s) { return f.Write(s.data(), s.size()); }

std::string XattrOf(const std::string& path) {
  char value[64];
  const ssize_t n = getxattr(path.c_str(), kDosAttribName, value, sizeof value);
  return n < 0 ? std::string("<none>") : std::string(value, static_cast<size_t>(n));
}

class FileSystemTest : public ::testing::Test {
 protected:
  FileSystem& files() { return drive_.platform().files; }
  TempDrive drive_;
};

TEST_F(FileSystemTest, ReadStreamsSeekWithoutTheFileAndStopAtTheEnd) {
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

TEST_F(FileSystemTest, OpenModesBehaveAsTheCRuntime) {
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
  ASSERT_EQ(0, mkfifo(drive_.Native(drive_.Path(u"pipe.mp3")).c_str(), 0600));
  // Nor is a pipe, and opening one must not block.
  EXPECT_FALSE(files().Open(drive_.Path(u"pipe.mp3"), "rb"));
  EXPECT_FALSE(files().Open(u"Q:\\f.db", "w+b"));  // no such drive
}

TEST_F(FileSystemTest, BufferedWritesLandWhereTheyWereAimed) {
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

TEST_F(FileSystemTest, CloseReportsDataThatDidNotReachTheFile) {
  // A file-size limit makes the kernel refuse the flush (EFBIG instead of the signal).
  struct sigaction ignore = {};
  struct sigaction old = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGXFSZ, &ignore, &old);
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));

  auto f = files().Open(drive_.Path(u"full.db"), "w+b");
  bool closed = true;
  if (f) {
    const std::string chunk(600, 'x');
    EXPECT_EQ(600u, Put(*f, chunk));  // buffered: accepted for now
    EXPECT_EQ(600u, Put(*f, chunk));
    closed = f->Close();
  }
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &old, nullptr);
  ASSERT_TRUE(f);
  EXPECT_FALSE(closed);
}

TEST_F(FileSystemTest, ListingsLeaveOutLinksToFoldersAndMarkNamesWithoutADriveForm) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"A\\song.mp3"), "a"));
  const std::string root = drive_.folder();
  ASSERT_EQ(0, symlink(".", (root + "/loop").c_str()));
  ASSERT_EQ(0, symlink("..", (root + "/A/up").c_str()));
  ASSERT_EQ(0, symlink("/", (root + "/system").c_str()));
  ASSERT_EQ(0, symlink("A/song.mp3", (root + "/link.mp3").c_str()));
  ASSERT_EQ(0, symlink("missing", (root + "/dangling.mp3").c_str()));
  ASSERT_EQ(0, mkdir((root + "/back\\slash").c_str(), 0755));
  ASSERT_EQ(0, mkdir((root + "/latin1-\xE9t\xE9").c_str(), 0755));
  struct Seen {
    uint32_t attributes;
    bool unmappable;
    bool operator==(const Seen&) const = default;
  };
  auto list = [&](std::u16string_view folder) {
    std::map<std::u16string, Seen> seen;
    auto listing = files().List(folder);
    DirEntry e;
    while (listing && listing->Next(&e)) seen[e.name] = {e.attributes, e.unmappable};
    return seen;
  };
  const std::map<std::u16string, Seen> want = {
      {u".", {kAttrDirectory, false}},
      {u"..", {kAttrDirectory, false}},
      {u"A", {kAttrDirectory, false}},
      {u"link.mp3", {0, false}},
      {u"dangling.mp3", {0, false}},
      {u"back\\slash", {kAttrDirectory, true}},
      {u"latin1-\uFFFDt\uFFFD", {kAttrDirectory, true}},
  };
  EXPECT_TRUE(want == list(drive_.root())) << "links to folders are not listed";
  EXPECT_EQ(3u, list(drive_.Path(u"A")).size()) << "., .. and song.mp3; not the link up";
}

TEST_F(FileSystemTest, ListingsReportNamesDotsAndAttributes) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"plain.mp3"), "a"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"hidden.mp3"), "b"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"Sys\\x.mp3"), "c"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"wine.mp3"), "d"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"samba.mp3"), "e"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"\u00c9t\u00e9.m4a"), "f"));
  ASSERT_TRUE(files().SetAttributes(drive_.Path(u"hidden.mp3"), kAttrHidden));
  ASSERT_TRUE(
      files().SetAttributes(drive_.Path(u"Sys"), kAttrSystem | kAttrHidden | kAttrDirectory));
  // As other programs leave them: Wine's text, and Samba's binary form (version 5, 0x26).
  const std::string wine = "0x22";
  ASSERT_EQ(0, setxattr(drive_.Native(drive_.Path(u"wine.mp3")).c_str(), kDosAttribName,
                        wine.data(), wine.size(), 0));
  const uint8_t samba[] = {0,    0, 5, 0, 5, 0, 0, 0, 0x11, 0, 0, 0,
                           0x26, 0, 0, 0, 1, 2, 3, 4, 5,    6, 7, 8};
  ASSERT_EQ(0, setxattr(drive_.Native(drive_.Path(u"samba.mp3")).c_str(), kDosAttribName, samba,
                        sizeof samba, 0));

  std::map<std::u16string, uint32_t> seen;
  // The scan's own pattern: the root, then "\*.*", which doubles the backslash.
  auto list = files().List(drive_.root() + u"\\*.*");
  ASSERT_TRUE(list);
  DirEntry e;
  while (list->Next(&e)) seen[e.name] = e.attributes;
  const std::map<std::u16string, uint32_t> want = {
      {u".", kAttrDirectory},
      {u"..", kAttrDirectory},
      {u"plain.mp3", 0},
      {u"hidden.mp3", kAttrHidden},
      {u"Sys", kAttrDirectory | kAttrHidden | kAttrSystem},
      {u"wine.mp3", kAttrHidden | kAttrArchive},
      {u"samba.mp3", kAttrHidden | kAttrSystem | kAttrArchive},
      {u"\u00c9t\u00e9.m4a", 0},
  };
  EXPECT_EQ(want, seen);
  EXPECT_EQ("0x2", XattrOf(drive_.Native(drive_.Path(u"hidden.mp3"))));  // the text form

  auto sub = files().List(drive_.Path(u"Sys\\*.*"));
  ASSERT_TRUE(sub);
  std::vector<std::u16string> names;
  while (sub->Next(&e)) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ((std::vector<std::u16string>{u".", u"..", u"x.mp3"}), names);

  EXPECT_FALSE(files().List(drive_.Path(u"missing\\*.*")));
  EXPECT_FALSE(files().List(drive_.Path(u"plain.mp3")));
}

TEST_F(FileSystemTest, AttributesAreSetAndReadBack) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"a.db"), "x"));
  const std::u16string a = drive_.Path(u"a.db");
  EXPECT_EQ(0u, files().Attributes(a));
  EXPECT_EQ(kNoAttributes, files().Attributes(drive_.Path(u"missing")));
  EXPECT_EQ(kAttrDirectory, files().Attributes(drive_.root()));

  ASSERT_TRUE(files().SetAttributes(a, kAttrReadOnly | kAttrHidden));
  EXPECT_EQ(kAttrReadOnly | kAttrHidden, files().Attributes(a));
  struct stat st {};
  ASSERT_EQ(0, stat(drive_.Native(a).c_str(), &st));
  EXPECT_EQ(0u, st.st_mode & 0222);  // read-only is the write permission

  ASSERT_TRUE(files().SetAttributes(a, kAttrSystem));  // from read-only back to writable
  EXPECT_EQ(kAttrSystem, files().Attributes(a));
  ASSERT_TRUE(files().SetAttributes(a, 0));
  EXPECT_EQ(0u, files().Attributes(a));
  EXPECT_EQ("<none>", XattrOf(drive_.Native(a)));  // nothing left behind

  EXPECT_FALSE(files().SetAttributes(drive_.Path(u"missing"), kAttrHidden));
}

TEST_F(FileSystemTest, FoldersAndRemoval) {
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

TEST_F(FileSystemTest, MoveNeverReplacesItsTarget) {
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

TEST_F(FileSystemTest, CopyReplacesItsTargetWholeOrNotAtAll) {
  const std::string content(300000, 'q');
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"L\\ZRDB.DB"), content));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"L\\ZRDB.DB.bak"), "stale"));
  ASSERT_TRUE(files().SetAttributes(drive_.Path(u"L\\ZRDB.DB"), kAttrHidden));

  EXPECT_TRUE(files().Copy(drive_.Path(u"L\\ZRDB.DB"), drive_.Path(u"L\\ZRDB.DB.bak")));
  EXPECT_EQ(content, drive_.ReadFile(drive_.Path(u"L\\ZRDB.DB.bak")));
  // The attributes go along; a new target works as well.
  EXPECT_EQ(kAttrHidden, files().Attributes(drive_.Path(u"L\\ZRDB.DB.bak")));
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

TEST(ParseDosAttrib, ReadsTheTextAndSambaForms) {
  struct Case {
    std::vector<uint8_t> value;
    bool ok;
    uint32_t attributes;
  };
  auto text = [](std::string_view s) { return std::vector<uint8_t>(s.begin(), s.end()); };
  const Case cases[] = {
      {text("0x22"), true, 0x22},
      {text(std::string_view("0x2\0", 4)), true, 0x2},  // with its terminator
      {text("0X7"), true, 0x7},
      {text("0x"), false, 0},
      {text("0x123456789"), false, 0},  // more than 32 bits
      {text("22"), false, 0},
      {text("0x2g"), false, 0},
      {{}, false, 0},
      // Samba version 5: empty string, padding, version 5 twice, padding, flags 0x11, then 0x20.
      {{0, 0, 5, 0, 5, 0, 0, 0, 0x11, 0, 0, 0, 0x20, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9}, true, 0x20},
      // Version 3 after the hex string "0x22": the binary attributes win.
      {{'0', 'x', '2', '2', 0, 0, 3, 0, 3, 0, 0, 0, 1, 0, 0, 0, 0x06, 0, 0, 0}, true, 0x06},
      // Version 4 whose attributes are flagged invalid: the hex string decides.
      {{'0', 'x', '2', 0, 4, 0, 4, 0, 0, 0, 0, 0, 0x06, 0, 0, 0}, true, 0x02},
      // Version 1: the attributes come first.
      {{0, 0, 1, 0, 1, 0, 0, 0, 0x04, 0, 0, 0}, true, 0x04},
      // Cut short, unknown version, mismatched version words: nothing to read.
      {{0, 0, 5, 0, 5, 0, 0, 0, 0x11, 0}, false, 0},
      {{0, 0, 9, 0, 9, 0, 0, 0, 0x11, 0, 0, 0, 0x20, 0, 0, 0}, false, 0},
      {{0, 0, 5, 0, 4, 0, 0, 0, 0x11, 0, 0, 0, 0x20, 0, 0, 0}, false, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    uint32_t got = 0xDEAD;
    EXPECT_EQ(cases[i].ok, ParseDosAttrib(cases[i].value, &got));
    if (cases[i].ok) {
      EXPECT_EQ(cases[i].attributes, got);
    }
  }
  EXPECT_EQ("0x26", FormatDosAttrib(0x26));
}

}  // namespace
}  // namespace deltrix::platform::posix

namespace deltrix::testing {
namespace {

TEST(TempDrive, IsTheOnlyDriveAndLeavesNothingBehind) {
  std::string folder;
  {
    TempDrive drive;
    folder = drive.folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(u"Y:\\", drive.root());
    EXPECT_EQ(1u << 24, drive.platform().drives.PresentDrives());
    ASSERT_TRUE(drive.WriteFile(drive.Path(u"A\\B\\c.mp3"), "x"));
    EXPECT_EQ("x", drive.ReadFile(drive.Path(u"A\\B\\c.mp3")));
    EXPECT_EQ(folder + "/A/B/c.mp3", drive.Native(drive.Path(u"A\\B\\c.mp3")));
    // A read-only folder and file must not keep the tree alive.
    ASSERT_TRUE(
        drive.platform().files.SetAttributes(drive.Path(u"A\\B\\c.mp3"), platform::kAttrReadOnly));
    ASSERT_TRUE(drive.platform().files.SetAttributes(drive.Path(u"A\\B"), platform::kAttrReadOnly));
  }
  struct stat st {};
  EXPECT_NE(0, stat(folder.c_str(), &st));
}

}  // namespace
}  // namespace deltrix::testing
