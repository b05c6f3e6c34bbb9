// show --json and check --json on libraries a create run wrote: one parseable document with the
// records and browse trees, the verdict and problems, and stored text that is not valid UTF-16.
#include "cli/library_json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <sstream>

#include "library/library_test_util.h"

namespace deltrix::library::testing {
namespace {

using Json = nlohmann::json;

Json Parse(const std::string& text) {
  // One document: nothing but white space after it.
  Json doc = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  EXPECT_FALSE(doc.is_discarded()) << text;
  return doc;
}

TEST(LibraryJson, ShowGivesTheRecordsAndTheFourBrowseOrders) {
  MemoryFileSystem fs;
  ASSERT_EQ(
      0, CreateLibrary(fs, {Track(u"Rock", u"The Who", u"Tommy", u"Overture", u"\\w\\1.mp3", 1),
                            Track(u"Rock", u"The Who", u"Tommy", u"It's a Boy", u"\\w\\2.mp3", 2),
                            Track(u"Pop", u"ABBA", u"Gold", u"Waterloo", u"\\a\\1.mp3"),
                            Track(u"", u"", u"", u"Меню", u"\\x.mp3")}));
  std::ostringstream out;
  EXPECT_EQ(0, cli::RunShowJson(fs, kRoot, out, "/media/me/STICK"));
  const Json doc = Parse(out.str());
  EXPECT_EQ("/media/me/STICK", doc["drive"]);
  EXPECT_EQ(true, doc["sound"]);
  EXPECT_EQ(Json::array(), doc["problems"]);
  ASSERT_EQ(4u, doc["tracks"].size());
  const Json& first = doc["tracks"][0];
  EXPECT_EQ(0, first["index"]);
  EXPECT_EQ(1, first["trackNumber"]);
  EXPECT_EQ("Rock", first["genre"]);
  EXPECT_EQ("The Who", first["artist"]);
  EXPECT_EQ("Tommy", first["album"]);
  EXPECT_EQ("Overture", first["title"]);
  EXPECT_EQ("/w/1.mp3", first["path"]);
  EXPECT_FALSE(first.contains("titleUnits")) << "valid text has no raw units beside it";
  EXPECT_EQ(nullptr, doc["tracks"][2]["trackNumber"]) << "a record without a track number";
  EXPECT_EQ("Меню", doc["tracks"][3]["title"]);

  // Genre > artist > album > track indexes, in the player's order (empty values last).
  EXPECT_EQ(Json::parse(R"([
      {"name": "Pop", "artists": [{"name": "ABBA", "albums": [{"name": "Gold", "tracks": [2]}]}]},
      {"name": "Rock", "artists": [{"name": "The Who",
                                    "albums": [{"name": "Tommy", "tracks": [0, 1]}]}]},
      {"name": "", "artists": [{"name": "", "albums": [{"name": "", "tracks": [3]}]}]}])"),
            doc["genres"]);
  EXPECT_EQ(Json::parse(R"([{"name": "ABBA", "albums": [{"name": "Gold", "tracks": [2]}]},
                            {"name": "The Who", "albums": [{"name": "Tommy", "tracks": [0, 1]}]},
                            {"name": "", "albums": [{"name": "", "tracks": [3]}]}])"),
            doc["artists"]);
  EXPECT_EQ(Json::parse(R"([{"name": "Gold", "tracks": [2]}, {"name": "Tommy", "tracks": [0, 1]},
                            {"name": "", "tracks": [3]}])"),
            doc["albums"]);
  EXPECT_EQ(Json::parse("[1, 0, 2, 3]"), doc["titles"]);
}

TEST(LibraryJson, TextCutInsideASurrogatePairShowsReplacementAndRawUnits) {
  const struct {
    const char* what;
    std::u16string title;
    const char* shown;
    const char* units;  // null: none given
  } cases[] = {
      {"a high surrogate at the end", u"A\xD83D", "A\xEF\xBF\xBD", "0041D83D"},
      {"a low surrogate at the start",
       u"\xDE00"
       u"B",
       "\xEF\xBF\xBD"
       "B",
       "DE000042"},
      {"a whole pair", u"A\xD83D\xDE00", "A\xF0\x9F\x98\x80", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    ASSERT_EQ(0, CreateLibrary(fs, {Track(u"G", u"A", u"B", c.title, u"\\t.mp3")}));
    std::ostringstream out;
    ASSERT_EQ(0, cli::RunShowJson(fs, kRoot, out, ""));
    const Json doc = Parse(out.str());
    EXPECT_EQ("E:\\", doc["drive"]);
    const Json& track = doc["tracks"][0];
    EXPECT_EQ(c.shown, track["title"]);
    if (c.units) {
      EXPECT_EQ(c.units, track["titleUnits"]);
    } else {
      EXPECT_FALSE(track.contains("titleUnits"));
    }
  }
}

TEST(LibraryJson, CheckGivesTheVerdictAndEveryProblem) {
  MemoryFileSystem fs;
  ASSERT_EQ(0, CreateLibrary(fs, {Track(u"A", u"B", u"C", u"D", u"\\d.mp3"),
                                  Track(u"A", u"B", u"C", u"E", u"\\e.mp3")}));
  std::ostringstream sound;
  EXPECT_EQ(0, cli::RunCheckJson(fs, kRoot, sound, "/media/me/STICK"));
  EXPECT_EQ(Json::parse(R"({"drive": "/media/me/STICK", "sound": true, "problems": [],
                            "trackCount": 2})"),
            Parse(sound.str()));

  std::vector<uint8_t> browse = fs.Contents(kBrowsePath);
  std::swap(browse[56], browse[60]);  // two tracks of the genre list
  fs.AddFile(kBrowsePath, browse);
  std::ostringstream damaged;
  EXPECT_EQ(3, cli::RunCheckJson(fs, kRoot, damaged, "/media/me/STICK"));
  Json doc = Parse(damaged.str());
  EXPECT_EQ(false, doc["sound"]);
  EXPECT_EQ(nullptr, doc["trackCount"]);
  const Json& problems = doc["problems"];
  EXPECT_NE(problems.end(),
            std::find(problems.begin(), problems.end(),
                      "ZRBL.DB: key 0: tracks 1 and 0 at positions 0 and 1 are out of order"));

  std::ostringstream show;
  EXPECT_EQ(3, cli::RunShowJson(fs, kRoot, show, "/media/me/STICK"));
  doc = Parse(show.str());
  EXPECT_EQ(false, doc["sound"]);
  EXPECT_FALSE(doc["problems"].empty());
  EXPECT_FALSE(doc.contains("tracks")) << "nothing of a damaged library is shown";

  MemoryFileSystem empty;
  std::ostringstream missing;
  EXPECT_EQ(3, cli::RunCheckJson(empty, kRoot, missing, "/media/me/STICK"));
  EXPECT_EQ("ZRTL.DB: missing or cannot be opened", Parse(missing.str())["problems"][0]);
}

}  // namespace
}  // namespace deltrix::library::testing
