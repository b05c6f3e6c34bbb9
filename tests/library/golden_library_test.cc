// Small libraries compared byte for byte with files built here field by field.
#include <gtest/gtest.h>

#include "library/library_reader.h"
#include "library_test_util.h"

namespace deltrix::library::testing {
namespace {

BytesBuilder Chunk(uint32_t index, uint32_t group, std::u16string_view text) {
  BytesBuilder data;
  data.Utf16Data(text);
  return BytesBuilder()
      .Tag("zrst")
      .Le32(24)
      .Le32(static_cast<uint32_t>(24 + data.size()))
      .Le32(index)
      .Le32(group)
      .Le32(static_cast<uint32_t>(data.size()))
      .Append(data);
}

// A record with the initial values of every reserved field.
BytesBuilder Record(uint32_t index, uint32_t id, uint8_t fileType, int32_t fileSize,
                    int16_t trackNumber, const std::u16string_view (&texts)[5],
                    const uint32_t (&groups)[3]) {
  BytesBuilder chunks;
  for (uint32_t s = 0; s < 5; ++s) chunks.Append(Chunk(s, s < 3 ? groups[s] : 0, texts[s]));
  return BytesBuilder()
      .Tag("zrti")
      .Le32(48)
      .Le32(static_cast<uint32_t>(48 + chunks.size()))
      .Le32(5)
      .U8(fileType)
      .U8(1)  // bit 23 of the reserved word
      .U8(0)
      .U8(0)
      .Le32(index)
      .Le32(id)
      .Le32(static_cast<uint32_t>(fileSize))
      .Le32(0xFFFFFFFF)  // reservedA
      .Le16(static_cast<uint16_t>(trackNumber))
      .Le16(0xFFFF)      // reservedC
      .Le32(0xFFFFFFFF)  // reservedB
      .U8(0xFF)
      .U8(0xFF)
      .U8(0x7F)  // 23 bits of reservedD
      .U8(0)
      .Append(chunks);
}

BytesBuilder TrackListHead(uint32_t n, uint32_t rows) {
  return BytesBuilder().Tag("zrba").Le32(20).Le32(20 + 4 * rows).U8(1).U8(3).U8(0).U8(0).Le32(n);
}
BytesBuilder GroupList(uint8_t attribute, uint8_t level,
                       std::initializer_list<std::array<uint32_t, 4>> rows) {
  BytesBuilder b;
  b.Tag("zrba")
      .Le32(20)
      .Le32(static_cast<uint32_t>(20 + 16 * rows.size()))
      .U8(2)
      .U8(attribute)
      .U8(level)
      .U8(0);
  b.Le32(static_cast<uint32_t>(rows.size()));
  for (const auto& r : rows) b.Le32(r[0]).Le32(r[1]).Le32(r[2]).Le32(r[3]);
  return b;
}
BytesBuilder Block(uint32_t key, uint32_t lists, const BytesBuilder& body) {
  return BytesBuilder()
      .Tag("zrbi")
      .Le32(20)
      .Le32(static_cast<uint32_t>(20 + body.size()))
      .Le32(lists)
      .Le32(key)
      .Append(body);
}

BytesBuilder StatsEntry(uint32_t index, uint32_t count, uint32_t total, uint32_t compact) {
  return BytesBuilder()
      .Tag("zrss")
      .Le32(24)
      .Le32(72)
      .Le32(index)
      .Le32(count)
      .Le32(2)
      .Tag("zrsd")
      .Le32(24)
      .Le32(24)
      .Le32(0)
      .Le32(0)
      .Le32(total)
      .Tag("zrsd")
      .Le32(24)
      .Le32(24)
      .Le32(index == 4 ? 3 : 1)
      .Le32(index == 4 ? 20 : 0)
      .Le32(compact);
}
BytesBuilder DirEntry(uint32_t key, uint8_t kind, uint8_t attribute, uint8_t level,
                      uint32_t entries) {
  return BytesBuilder()
      .Tag("zras")
      .Le32(24)
      .Le32(24)
      .Le32(key)
      .U8(kind)
      .U8(attribute)
      .U8(level)
      .U8(0)
      .Le32(entries);
}

constexpr uint32_t kNoParent = 0x1FFFFF;

TEST(GoldenLibrary, OneTrackLibraryIsByteExact) {
  MemoryFileSystem fs;
  TestTrack t = Track(u"Rock", u"The Who", u"Tommy", u"abc", u"\\Music\\a.mp3", 5);
  t.fileSize = 1234;
  ASSERT_EQ(0, CreateLibrary(fs, {t}));

  const std::u16string_view texts[5] = {u"Rock", u"The Who", u"Tommy", u"abc", u"/Music/a.mp3"};
  const BytesBuilder record = Record(0, 0, 1, 1234, 5, texts, {0, 0, 0});
  const BytesBuilder zrtl = BytesBuilder()
                                .Tag("zrtl")
                                .Le32(16)
                                .Le32(static_cast<uint32_t>(16 + record.size()))
                                .Le32(1)
                                .Append(record);
  ExpectSameBytes(zrtl.bytes(), fs.Contents(kTrackListPath));
  // 16 + 48 + five chunks; the 3-character title's chunk is 24 + 8 bytes.
  EXPECT_EQ(16u + 48 + (24 + 12) + (24 + 16) + (24 + 12) + (24 + 8) + (24 + 28), zrtl.size());

  BytesBuilder block0;
  block0.Append(TrackListHead(1, 1)).Le32(0);
  block0.Append(GroupList(0, 1, {{0, 0, 1, kNoParent}}));  // genre: one artist below it
  block0.Append(GroupList(1, 2, {{0, 0, 1, 0}}));          // artist in genre: one album
  block0.Append(GroupList(2, 3, {{0, 0, 1, 0}}));          // album: one track at position 0
  BytesBuilder block1;
  block1.Append(TrackListHead(1, 1)).Le32(0);
  block1.Append(GroupList(1, 1, {{0, 0, 1, kNoParent}}));
  block1.Append(GroupList(2, 2, {{0, 0, 1, 0}}));
  BytesBuilder block2;
  block2.Append(TrackListHead(1, 1)).Le32(0);
  block2.Append(GroupList(2, 1, {{0, 0, 1, kNoParent}}));
  BytesBuilder block3;
  block3.Append(TrackListHead(1, 1)).Le32(0);
  BytesBuilder blocks;
  blocks.Append(Block(0, 4, block0))
      .Append(Block(1, 3, block1))
      .Append(Block(2, 2, block2))
      .Append(Block(3, 1, block3));
  const BytesBuilder zrbl = BytesBuilder()
                                .Tag("zrbl")
                                .Le32(16)
                                .Le32(static_cast<uint32_t>(16 + blocks.size()))
                                .Le32(4)
                                .Append(blocks);
  ExpectSameBytes(zrbl.bytes(), fs.Contents(kBrowsePath));

  BytesBuilder zrdb;
  zrdb.Tag("zrdb").Le32(32).Le32(32).Le32(2).Le32(0).Le32(1).Le32(1).Le16(2).Le16(2);
  zrdb.Tag("zrts").Le32(16).Le32(376).Le32(5);
  zrdb.Append(StatsEntry(0, 1, 10, 6));   // "Rock": 4 units
  zrdb.Append(StatsEntry(1, 1, 16, 9));   // "The Who" as stored: 7 units
  zrdb.Append(StatsEntry(2, 1, 12, 7));   // "Tommy"
  zrdb.Append(StatsEntry(3, 1, 8, 4));    // "abc": 8 bytes in UTF-16, 4 stored
  zrdb.Append(StatsEntry(4, 1, 26, 14));  // 12 path units, nothing shared
  zrdb.Tag("zrbs").Le32(16).Le32(240).Le32(10);
  zrdb.Append(DirEntry(0, 2, 0, 0, 1))
      .Append(DirEntry(0, 2, 1, 1, 1))
      .Append(DirEntry(0, 2, 2, 2, 1));
  zrdb.Append(DirEntry(0, 1, 3, 3, 1));
  zrdb.Append(DirEntry(1, 2, 1, 0, 1))
      .Append(DirEntry(1, 2, 2, 1, 1))
      .Append(DirEntry(1, 1, 3, 2, 1));
  zrdb.Append(DirEntry(2, 2, 2, 0, 1)).Append(DirEntry(2, 1, 3, 1, 1));
  zrdb.Append(DirEntry(3, 1, 3, 0, 1));
  EXPECT_EQ(664u, zrdb.size());
  ExpectSameBytes(zrdb.bytes(), fs.Contents(kSummaryPath));

  std::vector<std::string> problems;
  EXPECT_TRUE(CheckLibrary(fs, kRoot, &problems)) << (problems.empty() ? "" : problems[0]);
}

TEST(GoldenLibrary, EmptyValuesGetFourBytesOfDataAndTheirOwnGroups) {
  MemoryFileSystem fs;
  TestTrack t = Track(u"", u"", u"", u"x.mp3", u"\\x.mp3");
  t.fileType = tags::FileType::Wav;
  ASSERT_EQ(0, CreateLibrary(fs, {t}));
  const std::u16string_view texts[5] = {u"", u"", u"", u"x.mp3", u"/x.mp3"};
  const BytesBuilder record = Record(0, 0, 12, 1000, -1, texts, {0, 0, 0});
  const BytesBuilder zrtl = BytesBuilder()
                                .Tag("zrtl")
                                .Le32(16)
                                .Le32(static_cast<uint32_t>(16 + record.size()))
                                .Le32(1)
                                .Append(record);
  ExpectSameBytes(zrtl.bytes(), fs.Contents(kTrackListPath));
  EXPECT_EQ(4u, Le32At(zrtl.bytes(), 16 + 48 + 20));  // the genre chunk's data length

  // An empty value is still a value: one group each, counted with its terminator only.
  const std::vector<uint8_t> zrdb = fs.Contents(kSummaryPath);
  ASSERT_EQ(664u, zrdb.size());
  for (uint32_t s = 0; s < 3; ++s) {
    const size_t entry = 32 + 16 + 72 * s;
    EXPECT_EQ(1u, Le32At(zrdb, entry + 16)) << s;  // count
    EXPECT_EQ(2u, Le32At(zrdb, entry + 44)) << s;  // total
    EXPECT_EQ(2u, Le32At(zrdb, entry + 68)) << s;  // compact
  }
  EXPECT_TRUE(CheckLibrary(fs, kRoot, nullptr));
}

}  // namespace
}  // namespace deltrix::library::testing
