// The console's show and check on libraries a create run wrote.
#include "cli/library_commands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "library/library_test_util.h"

namespace deltrix::library::testing {
namespace {

TEST(LibraryCommands, ShowPrintsTheFourBrowseOrdersWithCounts) {
  MemoryFileSystem fs;
  ASSERT_EQ(
      0, CreateLibrary(fs, {Track(u"Rock", u"The Who", u"Tommy", u"Overture", u"\\w\\1.mp3", 1),
                            Track(u"Rock", u"The Who", u"Tommy", u"It's a Boy", u"\\w\\2.mp3", 2),
                            Track(u"Pop", u"ABBA", u"Gold", u"Waterloo", u"\\a\\1.mp3"),
                            Track(u"", u"", u"", u"Untitled", u"\\x.mp3")}));
  std::ostringstream out;
  EXPECT_EQ(0, cli::RunShowCommand(fs, kRoot, out));
  EXPECT_EQ(
      "Library: 4 tracks, 3 genres, 3 artists, 3 albums\n"  // empty values are groups of their own
      "\n"
      "Genre > Artist > Album > Tracks (3 genres)\n"
      "  Pop (1 artist)\n"
      "    ABBA (1 album)\n"
      "      Gold (1 track)\n"
      "        Waterloo  [/a/1.mp3]\n"
      "  Rock (1 artist)\n"
      "    The Who (1 album)\n"
      "      Tommy (2 tracks)\n"
      "        1. Overture  [/w/1.mp3]\n"
      "        2. It's a Boy  [/w/2.mp3]\n"
      "  (none) (1 artist)\n"
      "    (none) (1 album)\n"
      "      (none) (1 track)\n"
      "        Untitled  [/x.mp3]\n"
      "\n"
      "Artist > Album > Tracks (3 artists)\n"
      "  ABBA (1 album)\n"
      "    Gold (1 track)\n"
      "      Waterloo  [/a/1.mp3]\n"
      "  The Who (1 album)\n"
      "    Tommy (2 tracks)\n"
      "      1. Overture  [/w/1.mp3]\n"
      "      2. It's a Boy  [/w/2.mp3]\n"
      "  (none) (1 album)\n"
      "    (none) (1 track)\n"
      "      Untitled  [/x.mp3]\n"
      "\n"
      "Albums (3)\n"
      "  Gold (1 track)\n"
      "    Waterloo  [/a/1.mp3]\n"
      "  Tommy (2 tracks)\n"
      "    1. Overture  [/w/1.mp3]\n"
      "    2. It's a Boy  [/w/2.mp3]\n"
      "  (none) (1 track)\n"
      "    Untitled  [/x.mp3]\n"
      "\n"
      "Titles (4)\n"
      "  2. It's a Boy  [/w/2.mp3]\n"
      "  1. Overture  [/w/1.mp3]\n"
      "  Untitled  [/x.mp3]\n"
      "  Waterloo  [/a/1.mp3]\n",
      out.str());

  std::ostringstream check;
  EXPECT_EQ(0, cli::RunCheckCommand(fs, kRoot, check));
  EXPECT_EQ("The library on E:\\ is sound: 4 tracks, no problems.\n", check.str());
}

TEST(LibraryCommands, ADamagedOrMissingLibraryIsAnErrorWithItsProblems) {
  MemoryFileSystem fs;
  ASSERT_EQ(0, CreateLibrary(fs, {Track(u"A", u"B", u"C", u"D", u"\\d.mp3"),
                                  Track(u"A", u"B", u"C", u"E", u"\\e.mp3")}));
  std::vector<uint8_t> browse = fs.Contents(kBrowsePath);
  std::swap(browse[56], browse[60]);  // two tracks of the genre list
  fs.AddFile(kBrowsePath, browse);
  std::ostringstream check;
  EXPECT_EQ(3, cli::RunCheckCommand(fs, kRoot, check));
  EXPECT_NE(
      std::string::npos,
      check.str().find("ZRBL.DB: key 0: tracks 1 and 0 at positions 0 and 1 are out of order\n"));
  EXPECT_NE(std::string::npos, check.str().find("found in the library on E:\\.\n"));
  std::ostringstream show;
  EXPECT_EQ(3, cli::RunShowCommand(fs, kRoot, show));
  EXPECT_EQ(0u, show.str().find("The library on E:\\ cannot be shown"));

  MemoryFileSystem empty;
  std::ostringstream missing;
  EXPECT_EQ(3, cli::RunCheckCommand(empty, kRoot, missing));
  EXPECT_EQ(0u, missing.str().find("ZRTL.DB: missing or cannot be opened\n"));
}

}  // namespace
}  // namespace deltrix::library::testing
