#include "cli/tags_command.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>

#include "tags/tag_test_util.h"

namespace deltrix::testing {
namespace {

struct CommandRun {
  int status = -1;
  std::vector<std::string> lines;
};

CommandRun RunOn(bool json) {
  MemoryFileSystem files;
  IconvTestCodec codec;
  files.AddFile(u"E:\\Music\\a.mp3",
                Concat({Id3v2(3, 0,
                              Concat({Frame23("TIT2", Utf16WithMark(u"T\u00EDtulo")),
                                      Frame23("TRCK", Latin("7/9"))})),
                        Audio(100)}));
  files.AddFile(u"E:\\Music\\b.ogg", Audio(100));
  const std::vector<cli::TagsInput> inputs = {{"/mnt/e/Music/a.mp3", u"E:\\Music\\a.mp3"},
                                              {"/mnt/e/Music/b.ogg", u"E:\\Music\\b.ogg"},
                                              {"/elsewhere/c.mp3", u""}};
  std::ostringstream out;
  CommandRun run;
  run.status = cli::RunTagsCommand(files, codec, inputs, 3, json, out);
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) run.lines.push_back(line);
  return run;
}

TEST(TagsCommand, PrintsOneJsonObjectPerFileWithNullsForUnreadableOnes) {
  const CommandRun run = RunOn(true);
  EXPECT_EQ(2, run.status);  // not every file could be read
  ASSERT_EQ(3u, run.lines.size());
  const auto read = nlohmann::json::parse(run.lines[0]);
  EXPECT_EQ(10 + (10 + 17) + (10 + 4) + 100, read["fileSize"]);  // header, TIT2, TRCK, audio
  EXPECT_EQ(7, read["trackNumber"]);
  EXPECT_EQ(1, read["fileType"]);
  EXPECT_EQ("", read["genre"]);
  EXPECT_EQ("", read["artist"]);
  EXPECT_EQ("", read["album"]);
  EXPECT_EQ("T\xC3\xADtulo", read["title"]);
  EXPECT_EQ("\\Music\\a.mp3", read["path"]);
  EXPECT_EQ("/mnt/e/Music/a.mp3", read["file"]);
  EXPECT_EQ(9u, read.size());
  for (size_t i : {1u, 2u}) {
    const auto unreadable = nlohmann::json::parse(run.lines[i]);
    EXPECT_EQ(10u, unreadable.size());
    for (const char* key :
         {"fileSize", "trackNumber", "fileType", "genre", "artist", "album", "title", "path"}) {
      EXPECT_TRUE(unreadable[key].is_null()) << key;
    }
  }
  EXPECT_EQ("/elsewhere/c.mp3", nlohmann::json::parse(run.lines[2])["file"]);
  EXPECT_EQ("no such file", nlohmann::json::parse(run.lines[2])["error"]);
}

TEST(TagsCommand, PrintsTheRecordAsTextOrThatTheFileCannotBeRead) {
  const CommandRun run = RunOn(false);
  EXPECT_EQ(2, run.status);
  const std::vector<std::string> want = {
      "/mnt/e/Music/a.mp3",
      "  title:       T\xC3\xADtulo",
      "  artist:      ",
      "  album:       ",
      "  genre:       ",
      "  trackNumber: 7",
      "  fileType:    1 (MP3)",
      "  fileSize:    151",
      "  path:        \\Music\\a.mp3",
      "/mnt/e/Music/b.ogg: no record: not an audio file (.mp3, .m4a, .mp4, .aac, .wav, .aif, "
      ".aiff)",
      "/elsewhere/c.mp3: no record: no such file",
  };
  EXPECT_EQ(want, run.lines);
}

TEST(TagsCommand, SaysWhyAFileGivesNoRecord) {
  MemoryFileSystem files;
  IconvTestCodec codec;
  // 2 + 254 units: the longest stored path the library holds is 255 units.
  const std::u16string longest = u"E:\\" + std::u16string(250, u'x') + u".mp3";
  const std::u16string tooLong = u"E:\\" + std::u16string(251, u'x') + u".mp3";
  files.AddFile(longest, Audio(10));
  files.AddFile(tooLong, Audio(10));
  files.AddFile(u"E:\\unreadable.mp3", Audio(10));
  files.AddFile(u"E:\\notes.txt", Audio(10));
  files.AddFolder(u"E:\\Album.mp3");
  files.SetFault([](std::string_view op, std::u16string_view path) {
    return op == "read" && path.ends_with(u"unreadable.mp3");
  });
  const struct {
    std::u16string path;
    const char* line;  // what follows "f: "
  } cases[] = {
      {longest, nullptr},
      {tooLong, "no record: its path on the card would be longer than the library's 255 units"},
      {u"E:\\missing.mp3", "no record: no such file"},
      {u"E:\\notes.txt",
       "no record: not an audio file (.mp3, .m4a, .mp4, .aac, .wav, .aif, .aiff)"},
      {u"E:\\Album.mp3", "no record: a folder, not an audio file"},
      {u"E:\\unreadable.mp3",
       "no record: unreadable (it cannot be opened, or its tags are damaged)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line ? c.line : "read");
    std::ostringstream out;
    const int status = cli::RunTagsCommand(files, codec, {{"f", c.path}}, 3, false, out);
    if (c.line) {
      EXPECT_EQ(2, status);
      EXPECT_EQ("f: " + std::string(c.line) + "\n", out.str());
    } else {
      EXPECT_EQ(0, status);
    }
  }
}

TEST(TagsCommand, ReturnsZeroWhenEveryFileWasRead) {
  MemoryFileSystem files;
  IconvTestCodec codec;
  files.AddFile(u"E:\\a.wav", Audio(10));
  std::ostringstream out;
  EXPECT_EQ(0, cli::RunTagsCommand(files, codec, {{"a.wav", u"E:\\a.wav"}}, 3, true, out));
  EXPECT_EQ("a.wav", nlohmann::json::parse(out.str())["title"]);
}

}  // namespace
}  // namespace deltrix::testing
