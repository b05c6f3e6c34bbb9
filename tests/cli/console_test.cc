// The console's runs over an in-memory drive with a scripted terminal: what it prints about the
// files it could not read, and the skip question's answers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <sstream>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "cli/commands.h"
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

}  // namespace
}  // namespace deltrix::cli
