// The engine pieces an update builds on: open for update, reading the sorted lists and the summary
// back, the statistics counted while records are written, and a summary without sections.
#include <gtest/gtest.h>

#include <memory>

#include "library/browse_list_file.h"
#include "library/library_reader.h"
#include "library/summary_file.h"
#include "library/track_list_file.h"
#include "library_test_util.h"

namespace deltrix::library::testing {
namespace {

struct UpdateEngine {
  UpdateEngine()
      : pool(kPoolBytes),
        fileBuffer(kFileBufferBytes),
        aux(kAuxBytes / 4),
        ctx(std::make_unique<LibraryContext>()) {}
  int Open() { return OpenForUpdate(*ctx, EngineMemory{pool, kRoot, fileBuffer, aux}); }
  std::vector<uint8_t> pool;
  std::vector<uint8_t> fileBuffer;
  std::vector<uint32_t> aux;
  std::unique_ptr<LibraryContext> ctx;
};

std::vector<TestTrack> ThreeTracks() {
  return {Track(u"B", u"x", u"1", u"c", u"\\c.mp3"), Track(u"A", u"y", u"2", u"a", u"\\a.mp3"),
          Track(u"C", u"z", u"3", u"b", u"\\b.mp3")};
}

TEST(UpdatePieces, OpenForUpdateKeepsThePresentFlagsInFrontOfThePool) {
  UpdateEngine e;
  std::fill(e.pool.begin(), e.pool.begin() + 10, uint8_t{7});
  ASSERT_EQ(kDone, e.Open());
  EXPECT_EQ(kFlagUpdate | kFlagStatsValid, e.ctx->flags);
  EXPECT_EQ(1, e.ctx->batchesWritten);
  EXPECT_EQ(kMaxTracks, e.ctx->presentFlags.size());
  EXPECT_EQ(0, e.ctx->presentFlags[0]);
  EXPECT_EQ(e.pool.data() + kMaxTracks, e.ctx->pool.data());
  EXPECT_EQ(kPoolBytes - kMaxTracks, e.ctx->pool.size());
}

TEST(UpdatePieces, ReadsTheSortedListsAndTheSummaryBack) {
  MemoryFileSystem fs;
  ASSERT_EQ(0, CreateLibrary(fs, ThreeTracks()));
  UpdateEngine e;
  ASSERT_EQ(kDone, e.Open());
  LibraryImage image;
  ASSERT_TRUE(ReadLibraryImage(fs, kRoot, &image, nullptr));
  // The group numbers come from the records, as the indexing reads them.
  for (uint32_t t = 0; t < 3; ++t) {
    for (int key = 0; key < 3; ++key)
      e.ctx->groupNumbers[key][t] = image.tracks[t].groupNumber[key];
  }
  ASSERT_EQ(kDone, ReadBrowseList(*e.ctx, fs, 3));
  for (int key = 0; key < 4; ++key) {
    const std::vector<uint32_t> read(e.ctx->sortedLists[key].begin(),
                                     e.ctx->sortedLists[key].begin() + 3);
    EXPECT_EQ(image.blocks[key].lists[0].tracks, read) << key;
  }
  EXPECT_EQ((std::vector<uint32_t>{1, 0, 2}), image.blocks[kGenre].lists[0].tracks);
  for (int key = 0; key < 3; ++key) {
    for (int level = 0; level < LevelsOfKey(key); ++level)
      EXPECT_EQ(image.blocks[key].lists[1 + level].groups.size(), e.ctx->listEntries[key][level]);
  }

  ASSERT_EQ(kDone, ReadSummary(*e.ctx, fs));
  EXPECT_EQ(3, e.ctx->nextTrackId);
  EXPECT_EQ(image.stats[kTitle].total, e.ctx->stats[kTitle].total);
  EXPECT_EQ(image.stats[kTitle].compact, e.ctx->stats[kTitle].compact);
  EXPECT_EQ(3u, e.ctx->stats[kTitle].count);
  EXPECT_EQ(image.stats[kPath].compact, e.ctx->stats[kPath].compact);
  EXPECT_EQ(0u, e.ctx->stats[kGenre].total) << "the final merge recounts genres";
  EXPECT_EQ(kFlagUpdate | kFlagStatsValid, e.ctx->flags);
}

TEST(UpdatePieces, ReadersFailCleanlyOnDamagedFiles) {
  MemoryFileSystem good;
  ASSERT_EQ(0, CreateLibrary(good, ThreeTracks()));
  struct Case {
    const char* what;
    std::u16string_view file;
    size_t keep;  // bytes kept, or the offset of a length to break
    uint32_t step;
  };
  // ZRBL.DB: header 16, block 0 head at 16, track list head at 36.
  const Case lists[] = {{"no header", kBrowsePath, 10, 2},
                        {"no block head", kBrowsePath, 30, 3},
                        {"no list head", kBrowsePath, 40, 4},
                        {"short list", kBrowsePath, 60, 5}};
  for (const Case& c : lists) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    std::vector<uint8_t> bytes = good.Contents(c.file);
    bytes.resize(c.keep);
    fs.AddFile(c.file, bytes);
    UpdateEngine e;
    ASSERT_EQ(kDone, e.Open());
    EXPECT_EQ(0, ReadBrowseList(*e.ctx, fs, 3));
    ASSERT_EQ(1u, e.ctx->traceCount);
    EXPECT_EQ(kSiteReadBrowseList, e.ctx->trace[0].site);
    EXPECT_EQ(c.step, e.ctx->trace[0].step);
  }
  {
    MemoryFileSystem fs;
    std::vector<uint8_t> bytes = good.Contents(kBrowsePath);
    bytes[36 + 8] = 0xF0;  // a list length past its block
    fs.AddFile(kBrowsePath, bytes);
    UpdateEngine e;
    ASSERT_EQ(kDone, e.Open());
    EXPECT_EQ(0, ReadBrowseList(*e.ctx, fs, 3));
  }
  {
    MemoryFileSystem fs;
    UpdateEngine e;
    ASSERT_EQ(kDone, e.Open());
    EXPECT_EQ(0, ReadSummary(*e.ctx, fs));
    EXPECT_EQ(kSiteReadSummary, e.ctx->trace[0].site);
    EXPECT_EQ(1u, e.ctx->trace[0].step);
    std::vector<uint8_t> bytes = good.Contents(kSummaryPath);
    bytes.resize(31);
    fs.AddFile(kSummaryPath, bytes);
    EXPECT_EQ(0, ReadSummary(*e.ctx, fs));
    EXPECT_EQ(2u, e.ctx->trace[1].step);
  }
  {
    // A statistics section cut short: the summary is read, its statistics are not valid.
    MemoryFileSystem fs;
    std::vector<uint8_t> bytes = good.Contents(kSummaryPath);
    bytes.resize(32 + 16 + 72 * 3 + 30);
    fs.AddFile(kSummaryPath, bytes);
    UpdateEngine e;
    ASSERT_EQ(kDone, e.Open());
    EXPECT_EQ(kDone, ReadSummary(*e.ctx, fs));
    EXPECT_EQ(3, e.ctx->nextTrackId);
    EXPECT_EQ(kFlagUpdate, e.ctx->flags);
    EXPECT_EQ(kSiteReadStats, e.ctx->trace[0].site);
  }
}

TEST(UpdatePieces, ASummaryWithoutSectionsIsReadAndWrittenAsThirtyTwoBytes) {
  MemoryFileSystem fs;
  ASSERT_EQ(0, CreateLibrary(fs, ThreeTracks()));
  std::vector<uint8_t> bytes = fs.Contents(kSummaryPath);
  bytes.resize(32);
  bytes[30] = 0;
  fs.AddFile(kSummaryPath, bytes);
  UpdateEngine e;
  ASSERT_EQ(kDone, e.Open());
  ASSERT_EQ(kDone, ReadSummary(*e.ctx, fs));
  EXPECT_EQ(kFlagUpdate, e.ctx->flags);
  EXPECT_EQ(0u, e.ctx->traceCount);
  ASSERT_EQ(kDone, WriteSummary(*e.ctx, fs));
  const BytesBuilder want =
      BytesBuilder().Tag("zrdb").Le32(32).Le32(32).Le32(2).Le32(0).Le32(1).Le32(3).Le16(2).Le16(0);
  ExpectSameBytes(want.bytes(), fs.Contents(kSummaryPath));
}

TEST(UpdatePieces, UpdateModeCountsTitlesAndPathsAsRecordsAreWritten) {
  MemoryFileSystem fs;
  UpdateEngine e;
  ASSERT_EQ(kDone, e.Open());
  tags::TrackRecord record;
  FillRecord(Track(u"", u"", u"", u"abc", u"\\a\\b"), &record);
  ASSERT_EQ(0, AddTrack(*e.ctx, record));
  FillRecord(Track(u"", u"", u"", u"\u4e00", u"\\a\\c"), &record);
  ASSERT_EQ(0, AddTrack(*e.ctx, record));
  EXPECT_EQ(0u, e.ctx->stats[kTitle].total) << "not counted while adding in update mode";
  ASSERT_EQ(kDone, WriteTrackListBatch(*e.ctx, fs, true));
  // Titles: "abc" 8 bytes, compact 4; one wide unit 4 bytes, compact 4.
  EXPECT_EQ(12u, e.ctx->stats[kTitle].total);
  EXPECT_EQ(8u, e.ctx->stats[kTitle].compact);
  EXPECT_EQ(2u, e.ctx->stats[kTitle].count);
  // Paths of 4 units: data length 12. The first counts whole (6 units -> 6); the second shares
  // "/a/" (12 - 6 = 6 bytes -> 3 units -> 4).
  EXPECT_EQ(20u, e.ctx->stats[kPath].total);
  EXPECT_EQ(10u, e.ctx->stats[kPath].compact);
}

TEST(UpdatePieces, AnAppendOntoAChangedTrackListFails) {
  struct Case {
    const char* what;
    size_t offset;
    uint8_t value;
    uint32_t step;
  };
  const Case cases[] = {{"tag", 0, 'x', 8}, {"count", 12, 9, 9}, {"length", 8, 0, 9}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem fs;
    UpdateEngine e;
    ASSERT_EQ(kDone, e.Open());
    tags::TrackRecord record;
    FillRecord(Track(u"", u"", u"", u"a", u"\\a.mp3"), &record);
    ASSERT_EQ(0, AddTrack(*e.ctx, record));
    ASSERT_EQ(kDone, WriteTrackListBatch(*e.ctx, fs, false));
    ResetBatch(*e.ctx);
    // Someone else changed the header of ZRTL.DB before the next batch is appended to it.
    std::vector<uint8_t> bytes = fs.Contents(kTrackListPath);
    bytes[c.offset] = c.value;
    fs.AddFile(kTrackListPath, bytes);
    FillRecord(Track(u"", u"", u"", u"b", u"\\b.mp3"), &record);
    ASSERT_EQ(0, AddTrack(*e.ctx, record));
    EXPECT_EQ(0, WriteTrackListBatch(*e.ctx, fs, true));
    ASSERT_EQ(1u, e.ctx->traceCount);
    EXPECT_EQ(kSiteWriteTrackList, e.ctx->trace[0].site);
    EXPECT_EQ(c.step, e.ctx->trace[0].step);
  }
}

}  // namespace
}  // namespace deltrix::library::testing
