// The console's runs over an in-memory drive with a scripted terminal: what it prints about the
// files it could not read, the skip question's answers, and dry runs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "base/utf16.h"
#include "cli/commands.h"
#include "library/library_reader.h"
#include "platform/terminal.h"
#include "support/memory_drive.h"
#include "support/sample_tracks.h"
#include "support/temp_drive.h"

namespace deltrix::cli {
namespace {

using testing::MemoryPlatform;
using testing::Mp3;

// No person at the terminal: every question takes the policy's answer.
class NoTerminal : public platform::Terminal {
 public:
  bool Interactive() override { return false; }
  int Width() override { return 80; }
  void CatchInterrupts() override {}
  int Interrupts() override { return 0; }
  bool ReadLine(std::string*) override { return false; }
};

// A person at the terminal who types the given lines, one per question; then the input ends.
class TypingTerminal : public platform::Terminal {
 public:
  explicit TypingTerminal(std::deque<std::string> lines) : lines_(std::move(lines)) {}
  bool Interactive() override { return true; }
  int Width() override { return 80; }
  void CatchInterrupts() override {}
  int Interrupts() override { return 0; }
  bool ReadLine(std::string* line) override {
    if (lines_.empty()) return false;
    *line = lines_.front();
    lines_.pop_front();
    return true;
  }

 private:
  std::deque<std::string> lines_;
};

struct ConsoleRun {
  MemoryPlatform mp;
  NoTerminal terminal;
  std::ostringstream out, err;
  Console console{mp.platform, terminal, out, err, nullptr};
};

RunArgs EnglishOn(const std::string& drive) {
  RunArgs args;
  args.where.drive = drive;
  args.language = "English";
  return args;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// Every entry of the memory drive: path, attributes and bytes.
std::map<std::u16string, std::string> Snapshot(testing::MemoryFileSystem& files,
                                               const std::u16string& folder = u"E:") {
  std::map<std::u16string, std::string> entries;
  for (const std::u16string& name : files.Names(folder)) {
    const std::u16string path = folder + u"\\" + name;
    const uint32_t attributes = files.Attributes(path);
    const testing::Bytes bytes = files.Contents(path);
    entries[path] = std::to_string(attributes) + ":" + std::string(bytes.begin(), bytes.end());
    if ((attributes & platform::kAttrDirectory) != 0) entries.merge(Snapshot(files, path));
  }
  return entries;
}

TEST(ConsoleRun, NamesEachUnreadableFileWhenSkippedAndAtTheEnd) {
  ConsoleRun c;
  int n = 0;
  for (const char16_t* path : {u"E:\\A\\1.mp3", u"E:\\A\\bad1.mp3", u"E:\\A\\2.mp3",
                               u"E:\\B\\3.mp3", u"E:\\B\\bad2.mp3", u"E:\\B\\4.mp3"}) {
    c.mp.files.AddFile(path, Mp3("Title " + std::to_string(++n), "Artist", "Album"));
  }
  c.mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "read" && path.find(u"bad") != std::u16string_view::npos;
  });
  RunArgs args;
  args.where.drive = "/mnt/e";
  args.language = "English";
  EXPECT_EQ(Success, CreateCommand(c.console, args));
  const std::string err = c.err.str();
  EXPECT_NE(std::string::npos, err.find("Cannot read /mnt/e/A/bad1.mp3: skipped\n")) << err;
  EXPECT_NE(std::string::npos, err.find("Cannot read /mnt/e/B/bad2.mp3: skipped\n")) << err;
  EXPECT_EQ(
      "4 files are processed.\n"
      "2 file(s) could not be read and are not in the library:\n"
      "  /mnt/e/A/bad1.mp3\n"
      "  /mnt/e/B/bad2.mp3\n",
      c.out.str());
}

TEST(ConsoleRun, NamesTheFoldersItLeavesOutAndCountsThem) {
  testing::TempDrive drive;
  ASSERT_TRUE(drive.WriteFile(drive.Path(u"good\\1.mp3"), Mp3("One", "A", "B")));
  const std::string bad = drive.folder() + "/bad\\name";
  ASSERT_EQ(0, mkdir(bad.c_str(), 0755));
  NoTerminal terminal;
  std::ostringstream out, err;
  Console console{drive.platform(), terminal, out, err, [&](const std::string& folder) {
                    return drive.native().drives.AddStagingFolder(folder);
                  }};
  RunArgs args;
  args.where.folder = drive.folder();
  args.language = "English";
  EXPECT_EQ(Success, CreateCommand(console, args));
  const std::string report =
      "1 folder(s) or file(s) are left out: their names are not valid UTF-8 or hold a backslash, "
      "which the card cannot store:\n  " +
      bad + "\n";
  EXPECT_EQ("1 files are processed.\n" + report, out.str());
  out.str("");
  EXPECT_EQ(Success, ScanCommand(console, args.where));
  EXPECT_EQ(drive.folder() + "/good/1.mp3\n1 audio files found.\n" + report, out.str());
}

// A report file in a fresh temporary folder, removed at the end.
struct ReportFile {
  ReportFile() {
    folder = (std::filesystem::temp_directory_path() /
              ("deltrix-report-" + std::to_string(std::random_device{}())))
                 .string();
    std::filesystem::create_directories(folder);
    path = folder + "/left out.tsv";
  }
  ~ReportFile() { std::filesystem::remove_all(folder); }
  std::string Text() const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string folder, path;
};

RunArgs ArgsFor(const char* drive) {
  RunArgs args;
  args.where.drive = drive;
  args.language = "English";
  return args;
}

TEST(ConsoleRun, CountsWhatItLeftOutByReasonAndListsItInTheReportFile) {
  ConsoleRun c;
  c.mp.files.AddFile(u"E:\\A\\good.mp3", Mp3("Good", "Artist", "Album"));
  c.mp.files.AddFile(u"E:\\A\\bad.mp3", Mp3("Bad", "Artist", "Album"));
  const std::u16string longName = std::u16string(250, u'n') + u".mp3";
  c.mp.files.AddFile(u"E:\\Long\\" + longName, Mp3("Long", "Artist", "Album"));
  std::u16string deep = u"E:";
  for (int level = 1; level <= 8; ++level)
    deep += u"\\L" + std::u16string(1, char16_t(u'0' + level));
  c.mp.files.AddFile(deep + u"\\deep.mp3", Mp3("Deep", "Artist", "Album"));
  c.mp.files.AddFolder(u"E:\\Hid", platform::kAttrHidden);
  c.mp.files.AddFile(u"E:\\Hid\\hidden.mp3", Mp3("Hidden", "Artist", "Album"));
  c.mp.files.AddFile(u"E:\\Flaky\\unlisted.mp3", Mp3("Unlisted", "Artist", "Album"));
  c.mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return (op == "read" && path.ends_with(u"bad.mp3")) ||
           (op == "list" && path.starts_with(u"E:\\Flaky"));
  });
  ReportFile report;
  RunArgs args = ArgsFor("/mnt/e");
  args.reportFile = report.path;
  EXPECT_EQ(Success, CreateCommand(c.console, args));
  const std::string longPath = "/mnt/e/Long/" + std::string(250, 'n') + ".mp3";
  EXPECT_EQ(
      "1 files are processed.\n"
      "1 file(s) could not be read and are not in the library:\n"
      "  /mnt/e/A/bad.mp3\n"
      "1 audio file(s) have paths too long for the library.\n"
      "1 folder(s) lie deeper than the seven levels the player browses.\n"
      "1 hidden or system folder(s) were passed over.\n"
      "1 folder(s) could not be listed.\n",
      c.out.str());
  EXPECT_EQ(
      "unreadable\t/mnt/e/A/bad.mp3\n"
      "path-too-long\t" +
          longPath +
          "\n"
          "too-deep\t/mnt/e/L1/L2/L3/L4/L5/L6/L7/L8\n"
          "hidden-or-system\t/mnt/e/Hid\n"
          "unlistable\t/mnt/e/Flaky\n",
      report.Text());
}

TEST(ConsoleRun, ACleanRunPrintsNothingNewAndWritesAnEmptyReport) {
  ConsoleRun c;
  c.mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Artist", "Album"));
  ReportFile report;
  RunArgs args = ArgsFor("/mnt/e");
  args.reportFile = report.path;
  EXPECT_EQ(Success, CreateCommand(c.console, args));
  EXPECT_EQ("1 files are processed.\n", c.out.str());
  EXPECT_TRUE(std::filesystem::exists(report.path));
  EXPECT_EQ("", report.Text());
  // The library's own hidden folder, there now, is not something the update left out.
  c.out.str("");
  EXPECT_EQ(Success, UpdateCommand(c.console, args));
  EXPECT_EQ("0 files are processed.\n", c.out.str());
  EXPECT_EQ("", report.Text());
}

TEST(ConsoleRun, AReportFileThatCannotBeMadeStopsTheRunBeforeItStarts) {
  ConsoleRun c;
  c.mp.files.AddFile(u"E:\\A\\1.mp3", Mp3("One", "Artist", "Album"));
  RunArgs args = ArgsFor("/mnt/e");
  args.reportFile = "/nonexistent-folder/report.tsv";
  EXPECT_EQ(kUsageError, CreateCommand(c.console, args));
  EXPECT_EQ("Cannot write the report to /nonexistent-folder/report.tsv.\n", c.err.str());
  EXPECT_FALSE(c.mp.files.Exists(u"E:\\KORVANE"));
}

TEST(ConsoleRun, AnUpdateThatWouldRemoveMostOfTheLibraryNeedsAllowRemoval) {
  ConsoleRun c;
  for (int i = 0; i < 60; ++i) {
    c.mp.files.AddFile(u"E:\\M\\" + FromUtf8(std::to_string(i)) + u".mp3",
                       Mp3("T" + std::to_string(i), "Artist", "Album"));
  }
  const RunArgs args = ArgsFor("/mnt/e");
  ASSERT_EQ(Success, CreateCommand(c.console, args));
  for (int i = 5; i < 60; ++i)
    ASSERT_TRUE(c.mp.files.RemoveFile(u"E:\\M\\" + FromUtf8(std::to_string(i)) + u".mp3"));
  c.mp.files.AddFile(u"E:\\N\\new.mp3", Mp3("New", "Artist", "Album"));  // queued, then dropped
  const auto before = testing::FolderOf(c.mp.files);
  c.err.str("");
  EXPECT_EQ(RunAborted, UpdateCommand(c.console, args));
  EXPECT_NE(std::string::npos,
            c.err.str().find("55 of 60 tracks would be removed from the library. Remove them? No: "
                             "the library is kept as it was. --allow-removal removes them.\n"))
      << c.err.str();
  EXPECT_TRUE(before == testing::FolderOf(c.mp.files)) << "the card as it was, no copies left";

  RunArgs allowed = args;
  allowed.allowRemoval = true;
  EXPECT_EQ(Success, UpdateCommand(c.console, allowed));
  library::LibraryImage image;
  ASSERT_TRUE(library::ReadLibraryImage(c.mp.files, u"E:\\", &image, nullptr));
  EXPECT_EQ(6u, image.tracks.size());
}

TEST(ConsoleRun, TheSkipQuestionTakesSkipSkipAllAndAbort) {
  struct Case {
    const char* what;
    std::deque<std::string> typed;
    int wantCode;
    size_t wantPrompts;
    size_t wantSkipped;
  };
  const Case cases[] = {
      {"skip all at the first of three", {"a"}, Success, 1, 3},
      {"the word", {"All"}, Success, 1, 3},
      {"skip each, Enter too", {"s", "", "skip"}, Success, 3, 3},
      {"an unknown answer asks again", {"x", "a"}, Success, 2, 3},
      {"abort", {"b"}, RunAborted, 1, 0},
      {"abort spelt out", {"abort"}, RunAborted, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryPlatform mp;
    for (const char16_t* path :
         {u"E:\\1.mp3", u"E:\\bad1.mp3", u"E:\\bad2.mp3", u"E:\\2.mp3", u"E:\\bad3.mp3"}) {
      mp.files.AddFile(path, Mp3("Title", "Artist", "Album"));
    }
    mp.files.SetFault([](std::string_view op, std::u16string_view path) {
      return op == "read" && path.find(u"bad") != std::u16string_view::npos;
    });
    TypingTerminal terminal(c.typed);
    std::ostringstream out, err;
    Console console{mp.platform, terminal, out, err, nullptr};
    EXPECT_EQ(c.wantCode, CreateCommand(console, EnglishOn("/mnt/e")));
    EXPECT_EQ(c.wantPrompts, Count(err.str(), "[S]kip, skip [a]ll or a[b]ort? ")) << err.str();
    EXPECT_EQ(1u, Count(err.str(), "/mnt/e/bad1.mp3\n")) << "only the first file is named";
    if (c.wantSkipped == 0) continue;
    EXPECT_EQ(
        "2 files are processed.\n"
        "3 file(s) could not be read and are not in the library:\n"
        "  /mnt/e/bad1.mp3\n"
        "  /mnt/e/bad2.mp3\n"
        "  /mnt/e/bad3.mp3\n",
        out.str());
  }
}

TEST(ConsoleDryRun, WritesNothingAndSaysWhatTheRunWouldDo) {
  ConsoleRun c;
  for (const char16_t* path : {u"E:\\A\\1.mp3", u"E:\\A\\2.mp3", u"E:\\B\\3.mp3"})
    c.mp.files.AddFile(path, Mp3(ToUtf8(path), "Artist", "Album"));
  RunArgs dry = EnglishOn("/mnt/e");
  dry.dryRun = true;
  auto dryRun = [&](int (*command)(Console&, const RunArgs&)) {
    const auto before = Snapshot(c.mp.files);
    const size_t mutations = c.mp.files.mutations().size();
    c.out.str("");
    const int code = command(c.console, dry);
    EXPECT_EQ(before, Snapshot(c.mp.files));
    EXPECT_EQ(mutations, c.mp.files.mutations().size()) << c.mp.files.mutations().back();
    return code;
  };

  EXPECT_EQ(Success, dryRun(CreateCommand));
  EXPECT_EQ(
      "Dry run of a create: nothing is written to /mnt/e.\n"
      "3 files are processed.\n"
      "A real run would write a library of 3 tracks (the card holds no library): 3 added, 0 "
      "removed.\n",
      c.out.str());

  RunArgs real = EnglishOn("/mnt/e");
  real.yes = true;
  ASSERT_EQ(Success, CreateCommand(c.console, real));
  ASSERT_TRUE(c.mp.files.RemoveFile(u"E:\\B\\3.mp3"));
  for (const char16_t* path : {u"E:\\C\\4.mp3", u"E:\\C\\bad.mp3", u"E:\\C\\5.mp3"})
    c.mp.files.AddFile(path, Mp3(ToUtf8(path), "Artist", "Album"));
  c.mp.files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "read" && path.find(u"bad") != std::u16string_view::npos;
  });

  EXPECT_EQ(Success, dryRun(UpdateCommand));
  const std::string updateFigures =
      "2 files are processed.\n"
      "A real run would write a library of 4 tracks (the card's library holds 3): 2 added, 1 "
      "removed.\n"
      "1 track(s) would be removed from the library:\n"
      "  /mnt/e/B/3.mp3\n"
      "1 file(s) could not be read and are not in the library:\n"
      "  /mnt/e/C/bad.mp3\n";
  EXPECT_EQ("Dry run of an update: nothing is written to /mnt/e.\n" + updateFigures, c.out.str());

  // The command-line start asks no confirmation for a dry run.
  c.out.str("");
  const auto before = Snapshot(c.mp.files);
  EXPECT_EQ(Success, StartCommand(c.console, {"/mnt/e"}, dry));
  EXPECT_EQ("Dry run of an update: nothing is written to /mnt/e.\n" + updateFigures, c.out.str());
  EXPECT_EQ(before, Snapshot(c.mp.files));

  // A create over the library says what it would drop and keep.
  EXPECT_EQ(Success, dryRun(CreateCommand));
  EXPECT_EQ(
      "Dry run of a create: nothing is written to /mnt/e.\n"
      "4 files are processed.\n"
      "A real run would write a library of 4 tracks (the card's library holds 3): 2 added, 1 "
      "removed.\n"
      "1 track(s) would be removed from the library:\n"
      "  /mnt/e/B/3.mp3\n"
      "1 file(s) could not be read and are not in the library:\n"
      "  /mnt/e/C/bad.mp3\n",
      c.out.str());

  // What the dry run foretold is what the update does.
  c.out.str("");
  ASSERT_EQ(Success, UpdateCommand(c.console, real));
  EXPECT_EQ(
      "2 files are processed.\n"
      "1 file(s) could not be read and are not in the library:\n"
      "  /mnt/e/C/bad.mp3\n",
      c.out.str());
  ASSERT_TRUE(c.mp.files.RemoveFile(u"E:\\C\\bad.mp3"));
  EXPECT_EQ(Success, dryRun(UpdateCommand));
  EXPECT_EQ(
      "Dry run of an update: nothing is written to /mnt/e.\n"
      "0 files are processed.\n"
      "A real run would write nothing: the library stays as it is (4 tracks).\n",
      c.out.str());
}

// Every entry below a folder on disk with what a dry run could disturb: kind, size, bytes,
// permissions and modification time.
std::map<std::string, std::string> DiskSnapshot(const std::string& folder) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(folder)) {
    std::string what = e.is_directory() ? "folder" : "file " + std::to_string(e.file_size());
    what += " perms " + std::to_string(static_cast<int>(e.status().permissions()));
    what += " time " + std::to_string(e.last_write_time().time_since_epoch().count());
    if (e.is_regular_file()) {
      std::ifstream in(e.path(), std::ios::binary);
      what += " " + std::string(std::istreambuf_iterator<char>(in), {});
    }
    entries[e.path().string()] = what;
  }
  const fs::file_time_type rootTime = fs::last_write_time(folder);
  entries["."] = "root time " + std::to_string(rootTime.time_since_epoch().count());
  return entries;
}

TEST(ConsoleDryRun, LeavesEveryByteAndTimeOfAFolderAsItWas) {
  testing::TempDrive drive;
  for (const char16_t* path : {u"A\\1.mp3", u"A\\2.mp3", u"B\\3.mp3"})
    ASSERT_TRUE(drive.WriteFile(drive.Path(path), Mp3(ToUtf8(path), "Artist", "Album")));
  NoTerminal terminal;
  std::ostringstream out, err;
  Console console{drive.platform(), terminal, out, err, [&](const std::string& folder) {
                    return drive.native().drives.AddStagingFolder(folder);
                  }};
  RunArgs args;
  args.where.folder = drive.folder();
  args.language = "English";
  args.yes = true;
  ASSERT_EQ(Success, CreateCommand(console, args));
  std::filesystem::remove(drive.Native(drive.Path(u"B\\3.mp3")));
  ASSERT_TRUE(drive.WriteFile(drive.Path(u"C\\4.mp3"), Mp3("4", "Artist", "Album")));
  // An hour back: a time written by the run within the same clock tick would not show otherwise.
  for (const auto& e : std::filesystem::recursive_directory_iterator(drive.folder()))
    std::filesystem::last_write_time(e.path(), e.last_write_time() - std::chrono::hours(1));
  std::filesystem::last_write_time(
      drive.folder(), std::filesystem::last_write_time(drive.folder()) - std::chrono::hours(1));

  args.dryRun = true;
  for (auto command : {UpdateCommand, CreateCommand}) {
    const auto before = DiskSnapshot(drive.folder());
    out.str("");
    EXPECT_EQ(Success, command(console, args));
    EXPECT_EQ(before, DiskSnapshot(drive.folder()));
    EXPECT_NE(std::string::npos, out.str().find(": 1 added, 1 removed.\n")) << out.str();
  }
}

}  // namespace
}  // namespace deltrix::cli
