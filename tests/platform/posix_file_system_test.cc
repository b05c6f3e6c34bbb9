#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "platform/posix/dos_attributes.h"
#include "support/temp_drive.h"

namespace deltrix::platform::posix {
namespace {

using testing::TempDrive;

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

TEST_F(FileSystemTest, PipesAreNotFiles) {
  ASSERT_EQ(0, mkfifo(drive_.Native(drive_.Path(u"pipe.mp3")).c_str(), 0600));
  // Opening one must not block either.
  EXPECT_FALSE(files().Open(drive_.Path(u"pipe.mp3"), "rb"));
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

TEST_F(FileSystemTest, AttributesLiveInThePermissionsAndTheDosAttribute) {
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"wine.mp3"), "d"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"samba.mp3"), "e"));
  ASSERT_TRUE(drive_.WriteFile(drive_.Path(u"a.db"), "x"));
  // As other programs leave them: Wine's text, and Samba's binary form (version 5, 0x26).
  const std::string wine = "0x22";
  ASSERT_EQ(0, setxattr(drive_.Native(drive_.Path(u"wine.mp3")).c_str(), kDosAttribName,
                        wine.data(), wine.size(), 0));
  const uint8_t samba[] = {0,    0, 5, 0, 5, 0, 0, 0, 0x11, 0, 0, 0,
                           0x26, 0, 0, 0, 1, 2, 3, 4, 5,    6, 7, 8};
  ASSERT_EQ(0, setxattr(drive_.Native(drive_.Path(u"samba.mp3")).c_str(), kDosAttribName, samba,
                        sizeof samba, 0));
  std::map<std::u16string, uint32_t> seen;
  auto list = files().List(drive_.root() + u"\\*.*");
  ASSERT_TRUE(list);
  DirEntry e;
  while (list->Next(&e)) seen[e.name] = e.attributes;
  EXPECT_EQ(kAttrHidden | kAttrArchive, seen[u"wine.mp3"]);
  EXPECT_EQ(kAttrHidden | kAttrSystem | kAttrArchive, seen[u"samba.mp3"]);

  const std::u16string a = drive_.Path(u"a.db");
  ASSERT_TRUE(files().SetAttributes(a, kAttrReadOnly | kAttrHidden));
  EXPECT_EQ("0x2", XattrOf(drive_.Native(a)));  // the text form
  struct stat st {};
  ASSERT_EQ(0, stat(drive_.Native(a).c_str(), &st));
  EXPECT_EQ(0u, st.st_mode & 0222);  // read-only is the write permission
  ASSERT_TRUE(files().SetAttributes(a, 0));
  EXPECT_EQ("<none>", XattrOf(drive_.Native(a)));  // nothing left behind
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

TEST(PosixScratch, LeavesNoNameInTheTemporaryFolder) {
  char folder[] = "/tmp/deltrix-scratch-test.XXXXXX";
  ASSERT_NE(nullptr, mkdtemp(folder));
  TempDrive drive;
  const char* before = std::getenv("TMPDIR");
  const std::string saved = before != nullptr ? before : "";
  ASSERT_EQ(0, setenv("TMPDIR", folder, 1));
  auto scratch = drive.platform().files.OpenScratch();
  if (before != nullptr) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
  ASSERT_TRUE(scratch);
  EXPECT_EQ(3u, scratch->Write("abc", 3));
  auto entries = [&] {
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder)) {
      while (const dirent* e = readdir(dir)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
          names.push_back(e->d_name);
      }
      closedir(dir);
    }
    return names;
  };
  EXPECT_TRUE(entries().empty()) << "nameless while open: a killed run leaves nothing";
  EXPECT_TRUE(scratch->Close());
  EXPECT_TRUE(entries().empty());
  EXPECT_EQ(0, rmdir(folder));
}

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
