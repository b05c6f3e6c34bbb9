// The pool: how a track record becomes an entry, the statistics counted on the way, and the results
// that tell the creator when to write a batch.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>

#include "base/byte_order.h"
#include "library/library_context.h"
#include "library_test_util.h"

namespace deltrix::library::testing {
namespace {

// A context over blocks of the real sizes (or a smaller pool).
struct Engine {
  explicit Engine(size_t poolBytes = kPoolBytes)
      : pool(poolBytes),
        fileBuffer(kFileBufferBytes),
        aux(kAuxBytes / 4),
        ctx(std::make_unique<LibraryContext>()) {}
  int Open() { return OpenForCreate(*ctx, Memory()); }
  EngineMemory Memory() { return EngineMemory{pool, kRoot, fileBuffer, aux}; }
  int Add(const TestTrack& track) {
    FillRecord(track, &record);
    return AddTrack(*ctx, record);
  }
  std::vector<uint8_t> pool;
  std::vector<uint8_t> fileBuffer;
  std::vector<uint32_t> aux;
  std::unique_ptr<LibraryContext> ctx;
  tags::TrackRecord record;
};

uint16_t Descriptor(const uint8_t* entry, int s) { return GetLe16(entry + 24 + 2 * s); }

TEST(TrackPool, StoresTextsInEightBitsUpToTheLimitElseInUtf16) {
  struct Case {
    std::u16string title;
    bool narrow;
    uint32_t storedBytes;
  };
  const std::u16string ascii63(63, u'a');
  std::u16string wide63 = ascii63;
  wide63[10] = u'\u0101';
  std::u16string latin = u"Caf\u00e9";
  const Case cases[] = {
      {ascii63, true, 64},   // 63 units and the terminator
      {wide63, false, 128},  // one unit above U+00FF: 63 units and the terminator in UTF-16
      {u"abc", true, 4},    {u"abcd", true, 6},  // the terminator makes 5 bytes, made even
      {latin, true, 6},                          // U+00E9 still fits 8 bits
      {u"", true, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(
        std::string(c.title.begin(), c.title.begin() + std::min<size_t>(c.title.size(), 8)));
    Engine e(64 * 1024);
    ASSERT_EQ(kDone, e.Open());
    ASSERT_EQ(0, e.Add(Track(u"G", u"A", u"B", c.title, u"\\p")));
    const uint8_t* entry = e.pool.data();
    const uint16_t title = Descriptor(entry, 3);
    const uint16_t path = Descriptor(entry, 4);
    EXPECT_EQ(c.narrow, (title & 0x8000) != 0);
    EXPECT_EQ(c.storedBytes, (path & 0xFFF) - (title & 0xFFF));
    // The title is the fourth string: three 2-byte strings before it, the first 4 bytes after the
    // descriptors.
    EXPECT_EQ(4u + 2 + 2 + 2, title & 0xFFFu);
  }
}

TEST(TrackPool, EntryHoldsScalarsAndSlashedPath) {
  Engine e(64 * 1024);
  ASSERT_EQ(kDone, e.Open());
  TestTrack t = Track(u"Pop", u"ABBA", u"Gold", u"SOS", u"\\Music\\\u00a5a.mp3", 7);
  t.fileSize = 0x01020304;
  t.fileType = tags::FileType::M4a;
  ASSERT_EQ(0, e.Add(t));
  ASSERT_EQ(0, e.Add(t));
  const uint8_t* first = e.pool.data();
  EXPECT_EQ(0u, GetLe32(first + 0));  // id
  EXPECT_EQ(0x01020304u, GetLe32(first + 4));
  EXPECT_EQ(0xFFFFFFFFu, GetLe32(first + 8));  // reservedA as the record had it
  EXPECT_EQ(7u, GetLe16(first + 16));
  EXPECT_EQ(0x04FFFFFFu, GetLe32(first + 20));  // fileType 4, the flag, 23 bits of reservedD
  // The record's own path was rewritten in place; the yen sign is a character of the name.
  EXPECT_EQ(std::u16string(u"/Music/\u00a5a.mp3"), std::u16string(e.record.path));
  const StoredText path = EntryText(first, kPath);
  ASSERT_EQ(13u, path.units);
  EXPECT_EQ('/', path.bytes[0]);
  EXPECT_EQ(0xA5, path.bytes[7]);
  // Entries start on 4-byte boundaries; the second has the next id.
  const uint32_t second = e.ctx->batchTable[1];
  EXPECT_EQ(0u, second % 4);
  EXPECT_EQ(1u, GetLe32(e.pool.data() + second));
  EXPECT_EQ(2, e.ctx->nextTrackId);
}

TEST(TrackPool, TitleStatisticsCountUtf16AndStoredBytes) {
  Engine e(64 * 1024);
  ASSERT_EQ(kDone, e.Open());
  ASSERT_EQ(0, e.Add(Track(u"", u"", u"", u"abc", u"\\a")));           // 8 and 4
  ASSERT_EQ(0, e.Add(Track(u"", u"", u"", u"\u4e00\u4e01", u"\\b")));  // 6 and 6
  EXPECT_EQ(14u, e.ctx->stats[kTitle].total);
  EXPECT_EQ(10u, e.ctx->stats[kTitle].compact);
}

TEST(TrackPool, PathSharingRestartsEveryTwentyTracks) {
  Engine e(256 * 1024);
  ASSERT_EQ(kDone, e.Open());
  // Track i has the path /Music/xNN.mp3: 14 units, 30 bytes with the terminator.
  for (int i = 0; i < 41; ++i) {
    std::u16string name = u"\\Music\\x";
    name.push_back(static_cast<char16_t>(u'0' + i / 10));
    name.push_back(static_cast<char16_t>(u'0' + i % 10));
    name += u".mp3";
    ASSERT_EQ(0, e.Add(Track(u"", u"", u"", u"t", name)));
  }
  EXPECT_EQ(41u * 30, e.ctx->stats[kPath].total);
  // Tracks 0, 20 and 40 count whole (15 units -> 16). Tracks 10 and 30 share "/Music/x" (rest of 7
  // units -> 8). Every other track shares "/Music/xN" (rest of 6 units).
  EXPECT_EQ(3u * 16 + 2u * 8 + 36u * 6, e.ctx->stats[kPath].compact);
}

TEST(TrackPool, SharedPrefixFollowedByWideUnitsCountsInUtf16) {
  Engine e(64 * 1024);
  ASSERT_EQ(kDone, e.Open());
  ASSERT_EQ(0, e.Add(Track(u"", u"", u"", u"t", u"\\a\\b")));
  ASSERT_EQ(0, e.Add(Track(u"", u"", u"", u"t", u"\\a\\\u4e00")));
  // First: 10 bytes, rest of 5 units -> 6. Second: 10 bytes, 3 units shared, rest 4 bytes in
  // UTF-16.
  EXPECT_EQ(20u, e.ctx->stats[kPath].total);
  EXPECT_EQ(6u + 4u, e.ctx->stats[kPath].compact);
}

TEST(TrackPool, ResultsTellWhenTheBatchAndTheLibraryAreFull) {
  // A pool that takes exactly two small entries before fewer than 930 bytes are free.
  const TestTrack t =
      Track(u"", u"", u"", u"t", u"\\a");  // 38 + 2+2+2+2+4 = 50 bytes, then 52 aligned
  Engine e(930 + 2 * 52 - 4);
  ASSERT_EQ(kDone, e.Open());
  EXPECT_EQ(0, e.Add(t));
  EXPECT_EQ(1, e.Add(t));  // 104 + 930 >= 1030: the largest entry might not fit
  EXPECT_EQ(-1, e.Add(t)) << "a full batch must be written before the next track";
  EXPECT_EQ(2u, e.ctx->batchCount);
  ResetBatch(*e.ctx);
  EXPECT_EQ(0, e.Add(t));
  EXPECT_EQ(3u, e.ctx->totalTracks);
  EXPECT_EQ(1, e.ctx->batchesWritten);
}

TEST(TrackPool, TheLastTrackOfAFullLibraryAnswersTwo) {
  Engine e;
  ASSERT_EQ(kDone, e.Open());
  const TestTrack t = Track(u"", u"", u"", u"t", u"\\a");
  for (uint32_t i = 0; i + 1 < kMaxTracks; ++i) ASSERT_EQ(0, e.Add(t)) << i;
  // The batch also reaches 150000 entries here, but the library-full answer wins.
  EXPECT_EQ(2, e.Add(t));
  EXPECT_EQ(-1, e.Add(t));
  EXPECT_EQ(kMaxTracks, e.ctx->totalTracks);
}

TEST(TrackPool, OpenRefusesMissingOrMisalignedBlocks) {
  Engine e;
  std::vector<uint32_t> smallAux(kAuxBytes / 4 - 1);
  struct Case {
    const char* what;
    EngineMemory memory;
  };
  const Case cases[] = {
      {"no pool", EngineMemory{{}, kRoot, e.fileBuffer, e.aux}},
      {"misaligned pool",
       EngineMemory{std::span<uint8_t>(e.pool).subspan(1), kRoot, e.fileBuffer, e.aux}},
      {"no root", EngineMemory{e.pool, u"", e.fileBuffer, e.aux}},
      {"no file buffer", EngineMemory{e.pool, kRoot, {}, e.aux}},
      {"misaligned file buffer",
       EngineMemory{e.pool, kRoot, std::span<uint8_t>(e.fileBuffer).subspan(2), e.aux}},
      {"small stacks", EngineMemory{e.pool, kRoot, e.fileBuffer, smallAux}},
      {"pool below one entry",
       EngineMemory{std::span<uint8_t>(e.pool).first(900), kRoot, e.fileBuffer, e.aux}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(0, OpenForCreate(*e.ctx, c.memory));
    EXPECT_FALSE(IsOpen(*e.ctx));
  }
  ASSERT_EQ(kDone, e.Open());
  EXPECT_EQ(kLiveOpen, e.ctx->liveMark);
  EXPECT_EQ(1, e.ctx->phase);
  EXPECT_EQ(0xFFFFFFFFu, e.ctx->genreTable[999].word[1]);
  EXPECT_EQ(149999u, e.ctx->sortedLists[3][149999]);
  CloseContext(*e.ctx);
  EXPECT_EQ(kLiveClosed, e.ctx->liveMark);
  EXPECT_EQ(-1, e.Add(Track(u"", u"", u"", u"t", u"\\a"))) << "a closed context takes nothing";
}

TEST(TrackPool, TraceKeepsSixteenRecords) {
  Engine e;
  ASSERT_EQ(kDone, e.Open());
  for (uint32_t i = 0; i < 20; ++i) Trace(*e.ctx, kSiteWriteTrackList, i);
  EXPECT_EQ(16u, e.ctx->traceCount);
  EXPECT_EQ(15u, e.ctx->trace[15].step);
  EXPECT_EQ(kLiveOpen, e.ctx->trace[0].liveMark);
  EXPECT_EQ(kSiteWriteTrackList, e.ctx->trace[0].site);
}

}  // namespace
}  // namespace deltrix::library::testing
