// The console's runs over an in-memory drive with a scripted terminal: what it prints about the
// files it could not read.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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

struct ConsoleRun {
  MemoryPlatform mp;
  NoTerminal terminal;
  std::ostringstream out, err;
  Console console{mp.platform, terminal, out, err, nullptr};
};

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
      "2 file(s) could not be read and are not in the library:\n"
      "  /mnt/e/A/bad.mp3\n"
      "  " +
          longPath +
          "\n"
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

}  // namespace
}  // namespace deltrix::cli
