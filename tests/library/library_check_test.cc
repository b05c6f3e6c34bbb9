// The checker against hand-corrupted copies of a good library: every corruption is named, none
// crashes or reads outside the file (the sanitizers watch), and every truncation fails cleanly.
#include "library/library_check.h"

#include <gtest/gtest.h>

#include <functional>

#include "library/library_reader.h"
#include "library_test_util.h"

namespace deltrix::library::testing {
namespace {

// Key 0 order: Pop/Y/B1/three (2), Pop/Z/B2/four (3), Rock/X/A1/one (0), Rock/X/A1/two (1).
std::vector<TestTrack> FourTracks() {
  return {Track(u"Rock", u"X", u"A1", u"one", u"\\m\\1.mp3", 1),
          Track(u"Rock", u"X", u"A1", u"two", u"\\m\\2.mp3", 2),
          Track(u"Pop", u"Y", u"B1", u"three", u"\\m\\3.mp3"),
          Track(u"Pop", u"Z", u"B2", u"four", u"\\m\\4.mp3")};
}

class LibraryCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, CreateLibrary(good_, FourTracks()));
    std::vector<std::string> problems;
    ASSERT_TRUE(CheckLibrary(good_, kRoot, &problems)) << (problems.empty() ? "" : problems[0]);
  }
  // A copy of the good library with one file's bytes changed.
  std::vector<std::string> CheckEdited(std::u16string_view path,
                                       const std::function<void(std::vector<uint8_t>&)>& edit) {
    MemoryFileSystem fs;
    for (std::u16string_view p : {kTrackListPath, kBrowsePath, kSummaryPath})
      fs.AddFile(p, good_.Contents(p));
    std::vector<uint8_t> bytes = good_.Contents(path);
    edit(bytes);
    fs.AddFile(path, bytes);
    std::vector<std::string> problems;
    EXPECT_FALSE(CheckLibrary(fs, kRoot, &problems));
    EXPECT_FALSE(problems.empty());
    return problems;
  }
  MemoryFileSystem good_;
};

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

TEST_F(LibraryCheck, NamesEachCorruption) {
  struct Case {
    const char* what;
    std::u16string_view file;
    std::function<void(std::vector<uint8_t>&)> edit;
    const char* expect;  // a fragment of the problem line
  };
  // ZRBL.DB block 0: track list at 36 (data at 56), genre list at 72 (rows at 92), artist-in-genre
  // at 124 (rows at 144), album at 192 (rows at 212).
  const Case cases[] = {
      {"record count", kTrackListPath, [](auto& b) { Put32(b, 12, 5); },
       "record 4 of 5 lies beyond the end"},
      {"file length", kTrackListPath, [](auto& b) { Put32(b, 8, Le32At(b, 8) + 1); },
       "ZRTL.DB: header says"},
      {"record tag", kTrackListPath, [](auto& b) { b[16] = 'x'; }, "record 0 has tag \"xrti\""},
      {"record length", kTrackListPath, [](auto& b) { Put32(b, 24, 0xFFFF); },
       "record 0: head length 48 and record length"},
      {"chunk data length", kTrackListPath, [](auto& b) { Put32(b, 16 + 48 + 20, 400); },
       "chunk 0 data length 400"},
      {"chunk order", kTrackListPath, [](auto& b) { Put32(b, 16 + 48 + 12, 1); },
       "chunk 0 holds string index 1"},
      {"group number", kTrackListPath, [](auto& b) { Put32(b, 16 + 48 + 16, 0); },
       "record 0: group number 0 under key 0, expected 1"},
      {"track index", kTrackListPath, [](auto& b) { Put32(b, 16 + 20, 3); },
       "record 0 carries track index 3"},
      {"track id", kTrackListPath, [](auto& b) { Put32(b, 16 + 24, 1); },
       "track id 1 is used twice"},
      {"id past the next id", kTrackListPath, [](auto& b) { Put32(b, 16 + 24, 9); },
       "track id 9 is not below the next id 4"},
      {"reserved bits", kTrackListPath, [](auto& b) { b[16 + 47] = 1; },
       "reserved bits of the head are set"},
      {"unterminated string", kTrackListPath,
       [](auto& b) {
         b[16 + 48 + 24 + 8] = 'x';
         b[16 + 48 + 24 + 10] = 'x';
       },
       "string 0 is not terminated"},
      {"padding", kTrackListPath, [](auto& b) { b[16 + 48 + 24 + 11] = 1; },
       "string 0 has non-zero padding"},
      {"backslash in a path", kTrackListPath,
       [](auto& b) {
         const uint32_t record = Le32At(b, 16 + 8);
         b[16 + record - 16] = '\\';  // inside the last chunk's data: /m/1.mp3
       },
       "holds a backslash"},
      {"header tag", kBrowsePath, [](auto& b) { b[0] = 'Z'; }, "not a browse list file"},
      {"block length", kBrowsePath, [](auto& b) { Put32(b, 16 + 8, Le32At(b, 16 + 8) + 4); },
       "ZRBL.DB: block"},
      {"list length", kBrowsePath, [](auto& b) { Put32(b, 36 + 8, 0xFFFFFFF0); },
       "list 0 length 4294967280 does not fit"},
      {"list byte 15", kBrowsePath, [](auto& b) { b[36 + 15] = 1; }, "byte 15 is 1"},
      {"list kind", kBrowsePath, [](auto& b) { b[72 + 12] = 1; },
       "list 1 holds 32 bytes for 2 entries"},
      {"list attribute", kBrowsePath, [](auto& b) { b[72 + 13] = 1; },
       "block 0 list 1: kind 2, attribute 1"},
      {"two tracks swapped", kBrowsePath, [](auto& b) { std::swap(b[56], b[60]); },
       "are out of order"},
      {"a track twice", kBrowsePath, [](auto& b) { b[60] = b[56]; }, "names track 2 twice"},
      {"genre count", kBrowsePath, [](auto& b) { Put32(b, 92 + 8, 3); },
       "key 0 level 2 group 2: index in parent 0, expected 2"},
      {"genre first child", kBrowsePath, [](auto& b) { Put32(b, 92 + 16 + 4, 1); },
       "key 0 level 1 group 1: sub-groups 1"},
      {"first level parent", kBrowsePath, [](auto& b) { Put32(b, 92 + 12, 0); },
       "index in parent 0, not 0x1FFFFF"},
      {"index in parent", kBrowsePath, [](auto& b) { Put32(b, 144 + 16 + 12, 7); },
       "key 0 level 2 group 1: index in parent 7"},
      {"artist first track", kBrowsePath, [](auto& b) { Put32(b, 144 + 16, 0); },
       "key 0 level 2 group 1: first track 0"},
      {"album count", kBrowsePath, [](auto& b) { Put32(b, 212 + 8, 2); },
       "key 0 level 3 group 1: tracks 1 + 1, expected to start at 2"},
      {"album first child", kBrowsePath, [](auto& b) { Put32(b, 212 + 32 + 4, 3); },
       "key 0 level 3 group 2"},
      {"summary tag", kSummaryPath, [](auto& b) { b[1] = 'x'; }, "not a summary"},
      {"header field", kSummaryPath, [](auto& b) { Put32(b, 8, 33); }, "header field 8 is 33"},
      {"section tag", kSummaryPath, [](auto& b) { b[32] = 'x'; }, "section 0 has tag"},
      {"genre total", kSummaryPath, [](auto& b) { Put32(b, 48 + 44, Le32At(b, 48 + 44) + 2); },
       "genre statistics count 2, total"},
      {"path compact", kSummaryPath, [](auto& b) { Put32(b, 48 + 4 * 72 + 68, 1); },
       "path statistics"},
      {"stats value kind", kSummaryPath, [](auto& b) { Put32(b, 48 + 60, 3); },
       "statistics entry 0 is not laid out"},
      {"directory count", kSummaryPath, [](auto& b) { Put32(b, 424 + 20, 9); },
       "directory entry 0 (key 0, 2, 0, 0, 9 entries)"},
      {"bytes after the end", kSummaryPath, [](auto& b) { b.push_back(0); },
       "1 bytes after the last section"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<std::string> problems = CheckEdited(c.file, c.edit);
    bool found = false;
    for (const std::string& p : problems) found = found || p.find(c.expect) != std::string::npos;
    EXPECT_TRUE(found) << "got: " << (problems.empty() ? "" : problems[0]);
  }
}

TEST_F(LibraryCheck, EveryTruncationFailsCleanly) {
  for (std::u16string_view file : {kTrackListPath, kBrowsePath, kSummaryPath}) {
    const size_t size = good_.Contents(file).size();
    for (size_t keep = 0; keep < size; ++keep) {
      CheckEdited(file, [keep](auto& b) { b.resize(keep); });
    }
  }
}

TEST_F(LibraryCheck, AMissingOrForeignFileIsAClearError) {
  MemoryFileSystem fs;
  std::vector<std::string> problems;
  EXPECT_FALSE(CheckLibrary(fs, kRoot, &problems));
  ASSERT_EQ(3u, problems.size());
  EXPECT_EQ("ZRTL.DB: missing or cannot be opened", problems[0]);

  const std::vector<std::string> foreign = CheckEdited(kTrackListPath, [](auto& b) {
    for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 37 + 11);
  });
  EXPECT_NE(std::string::npos, foreign[0].find("not a track list"));
}

TEST_F(LibraryCheck, StatisticsCanBeLeftOutForALibraryAnUpdateWrote) {
  MemoryFileSystem fs;
  for (std::u16string_view p : {kTrackListPath, kBrowsePath}) fs.AddFile(p, good_.Contents(p));
  std::vector<uint8_t> summary = good_.Contents(kSummaryPath);
  Put32(summary, 48 + 3 * 72 + 68, 1);  // the title's compact size
  fs.AddFile(kSummaryPath, summary);
  EXPECT_FALSE(CheckLibrary(fs, kRoot, nullptr));
  CheckOptions options;
  options.statistics = false;
  EXPECT_TRUE(CheckLibrary(fs, kRoot, nullptr, options));
}

}  // namespace
}  // namespace deltrix::library::testing
