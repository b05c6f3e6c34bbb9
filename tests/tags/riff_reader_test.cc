#include "tags/riff/riff_reader.h"

#include <gtest/gtest.h>

#include "tag_test_util.h"

namespace deltrix::testing {
namespace {

Bytes Fmt() {
  return Chunk("fmt ", TagBytes().Le16(1).Le16(2).Le32(44100).Le32(176400).Le16(4).Le16(16));
}
Bytes Info(std::initializer_list<Bytes> items) {
  return Chunk("LIST", Concat({TagBytes().Ascii("INFO"), Concat(items)}));
}

TEST(ReadRiffInfo, ReadsTheInfoItemsOfTheFirstListChunk) {
  struct Case {
    Bytes file;
    std::u16string title, artist, album, genre;
  };
  const Bytes items = Concat({InfoItem("INAM", "Name"), InfoItem("IART", "Art"),
                              InfoItem("IPRD", "Prd"), InfoItem("IGNR", "(17)")});
  const Case cases[] = {
      // fmt, data to the end: nothing stored.
      {Riff("WAVE", Concat({Fmt(), Chunk("data", Audio(400))})), u"a.wav", u"", u"", u""},
      // fmt, data, LIST at the end: data is passed and the items read (and cleaned up).
      {Riff("WAVE", Concat({Fmt(), Chunk("data", Audio(400)), Info({items})})), u"Name", u"Art",
       u"Prd", u"Rock"},
      // LIST before data: read, and the walk ends there.
      {Riff("WAVE", Concat({Fmt(), Info({items}), Chunk("data", Audio(400))})), u"Name", u"Art",
       u"Prd", u"Rock"},
      // fact is read past.
      {Riff("WAVE", Concat({Fmt(), Chunk("fact", TagBytes().Le32(1000)), Info({items})})), u"Name",
       u"Art", u"Prd", u"Rock"},
      // An empty fact chunk counts as a failed read and ends the walk.
      {Riff("WAVE", Concat({Fmt(), Chunk("fact", Bytes()), Info({items})})), u"a.wav", u"", u"",
       u""},
      // Any other chunk before LIST ends the walk.
      {Riff("WAVE", Concat({Fmt(), Chunk("bext", Bytes(602, 0)), Info({items})})), u"a.wav", u"",
       u"", u""},
      {Riff("WAVE", Concat({Fmt(), Chunk("id3 ", Bytes(20, 0)), Info({items})})), u"a.wav", u"",
       u"", u""},
      // Chunk sizes are not rounded up: after an odd data chunk and its pad byte the walk is lost.
      {Riff("WAVE", Concat({Fmt(), Chunk("data", Audio(401)), Bytes(1, 0), Info({items})})),
       u"a.wav", u"", u"", u""},
      // RMP3: data and LIST are understood, fmt is not.
      {Riff("RMP3", Concat({Chunk("data", Audio(400)), Info({items})})), u"Name", u"Art", u"Prd",
       u"Rock"},
      {Riff("RMP3", Concat({Fmt(), Chunk("data", Audio(400)), Info({items})})), u"a.wav", u"", u"",
       u""},
      // Neither WAVE nor RMP3, or not RIFF at all.
      {Riff("AVI ", Info({items})), u"a.wav", u"", u"", u""},
      {Concat({TagBytes().Ascii("RIFX").Le32(100).Ascii("WAVE"), Info({items})}), u"a.wav", u"",
       u"", u""},
      // Files shorter than the 12-byte header, or than a chunk header.
      {TagBytes().Ascii("RIFF").Le32(100).Ascii("WAV"), u"a.wav", u"", u"", u""},
      {TagBytes().Ascii("RIFF").Le32(100).Ascii("WAVE").Ascii("LIS"), u"a.wav", u"", u"", u""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(cases[i].file, u"E:\\a.wav");
    ASSERT_EQ(1, r.result);  // nothing in a RIFF walk makes the file fail
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].artist, r.artist());
    EXPECT_EQ(cases[i].album, r.album());
    EXPECT_EQ(cases[i].genre, r.genre());
    EXPECT_EQ(tags::FileType::Wav, r.record.fileType);
  }
}

TEST(ReadRiffInfo, AppliesItemsInFileOrderWithIsbjOnlyForAnEmptyTitle) {
  struct Case {
    std::initializer_list<Bytes> items;
    std::u16string title, artist;
  };
  const Case cases[] = {
      {{InfoItem("ISBJ", "Subject")}, u"Subject", u""},
      {{InfoItem("INAM", "Name"), InfoItem("ISBJ", "Subject")}, u"Name", u""},
      {{InfoItem("ISBJ", "Subject"), InfoItem("INAM", "Name")}, u"Name", u""},
      {{InfoItem("INAM", "First"), InfoItem("INAM", "Last")}, u"Last", u""},
      // An empty item overwrites: the file name stands in.
      {{InfoItem("INAM", "Name"), InfoItem("INAM", "")}, u"a.wav", u""},
      // Odd sizes are followed by a pad byte, which is skipped.
      {{InfoItem("INAM", "Odd"), InfoItem("IART", "Art")}, u"Odd", u"Art"},
      {{InfoItem("ICMT", "skipped"), InfoItem("IART", "Art")}, u"a.wav", u"Art"},
      // Text ends at its first zero byte.
      {{Concat({TagBytes().Ascii("INAM").Le32(8).Ascii("Ab").Zeros(1).Ascii("cdefg")})},
       u"Ab",
       u""},
      // IID3 ends the list: the items after it are not read.
      {{InfoItem("INAM", "Before"), InfoItem("IID3", "ID3\x03"), InfoItem("IART", "After")},
       u"Before",
       u""},
      // A 70-character name keeps 63.
      {{InfoItem("INAM", std::string(70, 'n'))}, std::u16string(63, u'n'), u""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Bytes file =
        Riff("WAVE", Concat({Fmt(), Chunk("data", Audio(100)), Info(cases[i].items)}));
    const ReadResult r = ReadFile(file, u"E:\\a.wav");
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].artist, r.artist());
  }
}

TEST(ReadRiffInfo, IsbjDoesNotReplaceAnId3v1Title) {
  const Bytes file =
      Concat({Riff("WAVE", Concat({Fmt(), Chunk("data", Audio(100)),
                                   Info({InfoItem("ISBJ", "Subject"), InfoItem("IART", "Art")})})),
              Id3v1("V1 title", "V1 artist", "", 0, 1, 255)});
  const ReadResult r = ReadFile(file, u"E:\\a.wav");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(u"V1 title", r.title());
  EXPECT_EQ(u"Art", r.artist());
}

TEST(ReadRiffInfo, MalformedSizesEndTheWalkWithoutFailingTheFile) {
  struct Case {
    Bytes chunks;
    std::u16string title;
  };
  const Case cases[] = {
      // A list size of 4 or less: no items.
      {Concat({TagBytes().Ascii("LIST").Le32(4).Ascii("INFO"), InfoItem("INAM", "x")}), u"a.wav"},
      // Items are read while the bytes consumed stay below the list size, also past its end.
      {Concat({TagBytes().Ascii("LIST").Le32(6).Ascii("INFO"), InfoItem("INAM", "Past")}), u"Past"},
      // An item that runs past the end of the file is not read.
      {Concat(
           {TagBytes().Ascii("LIST").Le32(100).Ascii("INFO").Ascii("INAM").Le32(500).Ascii("Cut")}),
       u"a.wav"},
      {Concat({TagBytes()
                   .Ascii("LIST")
                   .Le32(100)
                   .Ascii("INFO")
                   .Ascii("INAM")
                   .Le32(0xFFFFFFFF)
                   .Ascii("Cut")}),
       u"a.wav"},
      // An odd item at the very end, without its pad byte: the read of it fails.
      {Concat({TagBytes().Ascii("LIST").Le32(13).Ascii("INFO").Ascii("INAM").Le32(1).Ascii("X")}),
       u"a.wav"},
      // A chunk size with its top bit set is passed forwards (never backwards), out of the file.
      {Concat({TagBytes().Ascii("fmt ").Le32(0xFFFFFFF8), Info({InfoItem("INAM", "x")})}),
       u"a.wav"},
      {Concat({TagBytes().Ascii("data").Le32(0x80000000), Info({InfoItem("INAM", "x")})}),
       u"a.wav"},
      // A list header cut short.
      {TagBytes().Ascii("LIST").Le32(100).Ascii("IN"), u"a.wav"},
      {Concat({TagBytes().Ascii("LIST").Le32(100).Ascii("INFO").Ascii("INAM").Le16(3)}), u"a.wav"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(Riff("WAVE", cases[i].chunks), u"E:\\a.wav");
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(cases[i].title, r.title());
  }
}

TEST(ReadRiffInfo, ReturnsTheOffsetOfADataChunkThatReachesTheEnd) {
  const Bytes file = Riff("WAVE", Concat({Fmt(), Chunk("data", Audio(100))}));
  auto f = MemoryReadFile(file);
  tags::TagFile tagFile(*f, static_cast<int64_t>(file.size()));
  tags::TrackRecord record;
  IconvTestCodec codec;
  EXPECT_EQ(12 + 24 + 8, tags::ReadRiffInfo(tagFile, &record, codec, 1252));
}

TEST(ReadRiffInfo, DecodesItemTextWithTheTagLanguagesCodePage) {
  const Bytes file = Riff(
      "WAVE",
      Concat({Fmt(), Info({InfoItem("INAM", "\x93\xFA\x96\x7B"), InfoItem("IART", "Caf\xE9")})}));
  const ReadResult japanese = ReadFile(file, u"E:\\a.wav", 1);
  EXPECT_EQ(u"\u65E5\u672C", japanese.title());
  const ReadResult english = ReadFile(file, u"E:\\a.wav", 3);
  EXPECT_EQ(u"Caf\u00E9", english.artist());
}

}  // namespace
}  // namespace deltrix::testing
