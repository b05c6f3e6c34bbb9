// The console's update with --reread-changed after an album was retagged: `show` then lists what a
// fresh create of the same files lists.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "base/error_code.h"
#include "cli/commands.h"
#include "cli/library_commands.h"
#include "platform/terminal.h"
#include "support/memory_drive.h"
#include "support/sample_tracks.h"

namespace deltrix::cli {
namespace {

using testing::MemoryFileSystem;
using testing::MemoryPlatform;
using testing::Mp3;

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

  int Run(bool create, bool reread) {
    RunArgs args;
    args.where.drive = "/mnt/e";
    args.language = "English";
    args.yes = true;
    args.rereadChanged = reread;
    return create ? CreateCommand(console, args) : UpdateCommand(console, args);
  }
  std::string Show() {
    std::ostringstream show;
    EXPECT_EQ(0, RunShowCommand(mp.files, u"E:\\", show));
    return show.str();
  }
};

// An album of three tracks and a single; `retagged` gives the album new titles and a new name, as
// a tagging program writes them back an hour and a minute later, in `audioBytes` of audio.
void PutTree(MemoryFileSystem& fs, bool retagged, size_t audioBytes) {
  const char* titles[][2] = {{"Intro", "Overture"}, {"Song", "Aria"}, {"Outro", "Finale"}};
  for (int i = 0; i < 3; ++i) {
    const std::u16string path =
        u"E:\\Album\\" + std::u16string(1, static_cast<char16_t>(u'1' + i)) + u".mp3";
    fs.AddFile(path, retagged ? Mp3(titles[i][1], "Band", "Second Album", audioBytes)
                              : Mp3(titles[i][0], "Band", "First Album"));
    fs.SetModifiedTime(path, MemoryFileSystem::kDefaultTime + (retagged ? 3660 : 0));
  }
  fs.AddFile(u"E:\\Single.mp3", Mp3("Alone", "Solo", "Single"));
}

TEST(RereadCommand, ARetaggedAlbumShowsAsAFreshCreateShowsIt) {
  for (size_t audioBytes : {size_t{100}, size_t{180}}) {
    SCOPED_TRACE(audioBytes == 100 ? "same size" : "new size");
    ConsoleRun fresh;
    PutTree(fresh.mp.files, true, audioBytes);
    ASSERT_EQ(Success, fresh.Run(true, false));
    const std::string expected = fresh.Show();

    for (bool reread : {false, true}) {
      ConsoleRun c;
      PutTree(c.mp.files, false, 100);
      ASSERT_EQ(Success, c.Run(true, false));
      PutTree(c.mp.files, true, audioBytes);
      ASSERT_EQ(Success, c.Run(false, reread));
      if (reread) {
        EXPECT_EQ(expected, c.Show());
        EXPECT_TRUE(c.out.str().ends_with("\n3 files are processed.\n")) << c.out.str();
      } else {
        // Without the option the old tags stay: the comparison above can tell them apart.
        EXPECT_NE(expected, c.Show());
      }
    }
  }
}

}  // namespace
}  // namespace deltrix::cli
