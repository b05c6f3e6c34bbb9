#include "tags/id3/id3_reader.h"

#include <gtest/gtest.h>

#include "tag_test_util.h"
#include "tags/read_track_file.h"
#include "tags/tag_file.h"

namespace deltrix::testing {
namespace {

using tags::TrackRecord;

// --- ID3v1
// -----------------------------------------------------------------------------------------

TEST(ReadId3v1, ReadsTheLast128BytesOfALongerFile) {
  struct Case {
    Bytes file;
    std::u16string title, artist, album, genre;
    int16_t track;
  };
  const Case cases[] = {
      // ID3v1.1: byte 125 zero, byte 126 the track.
      {Concat({Audio(300), Id3v1("Title", "Artist", "Album", 0, 9, 17)}), u"Title", u"Artist",
       u"Album", u"Rock", 9},
      // A comment that fills byte 125 leaves no track number.
      {Concat({Audio(300), Id3v1("T", "", "", 'x', 9, 17)}), u"T", u"", u"", u"Rock", -1},
      // Track 0 is a track number like any other.
      {Concat({Audio(300), Id3v1("T", "", "", 0, 0, 80)}), u"T", u"", u"", u"Folk", 0},
      // Genre 255 (none) and 148-254 give an empty genre; 147 is the last name.
      {Concat({Audio(300), Id3v1("T", "", "", 0, 1, 255)}), u"T", u"", u"", u"", 1},
      {Concat({Audio(300), Id3v1("T", "", "", 0, 1, 148)}), u"T", u"", u"", u"", 1},
      {Concat({Audio(300), Id3v1("T", "", "", 0, 1, 147)}), u"T", u"", u"", u"Synthpop", 1},
      // Thirty bytes always fit and are never cut.
      {Concat({Audio(300),
               Id3v1(std::string(30, 'T'), std::string(30, 'A'), std::string(30, 'B'), 0, 1, 0)}),
       std::u16string(30, u'T'), std::u16string(30, u'A'), std::u16string(30, u'B'), u"Blues", 1},
      // A file of 129 bytes has room for a tag.
      {Concat({Audio(1), Id3v1("Short", "", "", 0, 2, 0)}), u"Short", u"", u"", u"Blues", 2},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(cases[i].file);
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].artist, r.artist());
    EXPECT_EQ(cases[i].album, r.album());
    EXPECT_EQ(cases[i].genre, r.genre());
    EXPECT_EQ(cases[i].track, r.record.trackNumber);
  }
}

TEST(ReadId3v1, IsNotLookedForInAFileOf128BytesOrFewer) {
  const ReadResult r = ReadFile(Id3v1("Title", "Artist", "Album", 0, 9, 17), u"E:\\t.mp3");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(u"t.mp3", r.title());
  EXPECT_EQ(u"", r.genre());
  EXPECT_EQ(-1, r.record.trackNumber);
}

TEST(ReadId3v1, DecodesTextWithTheTagLanguagesCodePage) {
  // "日本語" in Shift-JIS: three characters from six bytes under Japanese, six Latin ones under
  // English.
  const Bytes file =
      Concat({Audio(200), Id3v1("\x93\xFA\x96\x7B\x8C\xEA", "\xD6\xD0\xCE\xC4", "", 0, 1, 17)});
  const ReadResult japanese = ReadFile(file, u"E:\\a.mp3", 1);
  EXPECT_EQ(u"\u65E5\u672C\u8A9E", japanese.title());
  const ReadResult english = ReadFile(file, u"E:\\a.mp3", 3);
  EXPECT_EQ(u"\u201C\u00FA\u2013{\u0152\u00EA", english.title());
  const ReadResult chinese = ReadFile(file, u"E:\\a.mp3", 2);
  EXPECT_EQ(u"\u4E2D\u6587", chinese.artist());  // "中文" in GBK
  const ReadResult russian = ReadFile(file, u"E:\\a.mp3", 9);
  EXPECT_EQ(u"\u0426\u0420\u041E\u0414", russian.artist());
}

// --- ID3v2 text decoding
// ---------------------------------------------------------------------------

TEST(DecodeId3v2Text, FollowsTheEncodingByteAndBothByteOrderMarks) {
  struct Case {
    Bytes data;
    std::u16string want;
  };
  const Case cases[] = {
      {TagBytes().U8(0).Ascii("Caf\xE9").U8(0).Ascii("second"), u"Caf\u00E9"},  // first string only
      {TagBytes().U8(0), u""},
      {TagBytes().U8(1).U8(0xFF).U8(0xFE).Utf16Le(u"\u00C4b"),
       u"\u00C4b"},  // mark FF FE: little-endian
      {TagBytes().U8(1).U8(0xFE).U8(0xFF).Utf16Be(u"\u00C4b"),
       u"\u00C4b"},                                        // mark FE FF: big-endian
      {TagBytes().U8(1).Utf16Be(u"\u00C4b"), u"\u00C4b"},  // no mark: big-endian
      {TagBytes().U8(1).U8(0xFF).U8(0xFE).Utf16Le(u"ab").Zeros(2).Utf16Le(u"cd"), u"ab"},
      {TagBytes().U8(1).U8(0xFF).U8(0xFE).Utf16Le(u"ab").U8('c'),
       u"ab"},  // an odd byte is not a unit
      {TagBytes().U8(1).U8(0xFF).U8(0xFE), u""},
      {TagBytes().U8(2).Utf16Le(u"\u00C4b"), u"\u00C4b"},  // no mark: little-endian
      {TagBytes().U8(2).U8(0xFE).U8(0xFF).Utf16Be(u"\u00C4b"), u"\u00C4b"},
      {TagBytes().U8(2).U8(0xFF).U8(0xFE).Utf16Le(u"\u00C4b"), u"\u00C4b"},
      {TagBytes().U8(3).Ascii("\xC3\x9C"
                              "ber"),
       u"\u00DCber"},
      {TagBytes().U8(3).U8(0).Ascii("hidden"), u""},
      {TagBytes().U8(3).Ascii("\xC0\x80"
                              "after"),
       u""},  // decodes to a zero unit
      {TagBytes().U8(4).Ascii("Four"),
       u"\x0004"
       u"Four"},  // 4 and above: the whole data
      {TagBytes().U8(5).Ascii("Weird").U8(0).Ascii("x"),
       u"\u0005Weird"},  // the encoding byte is text
      {TagBytes().U8(0xE9).Ascii("t\xE9"), u"\u00E9t\u00E9"},
      {Bytes(), u""},
  };
  IconvTestCodec codec;
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    char16_t out[64];
    const size_t n = tags::DecodeId3v2Text(cases[i].data, codec, 1252, out);
    EXPECT_EQ(cases[i].want, std::u16string(out, n));
  }
}

// --- ID3v2 frames
// ----------------------------------------------------------------------------------

TEST(ReadId3v2, StoresTheFiveTextFramesOfEachVersion) {
  const Bytes v22 = Id3v2(
      2, 0,
      Concat({Frame22("TT2", Latin("T2")), Frame22("TP1", Latin("A2")), Frame22("TAL", Latin("B2")),
              Frame22("TCO", Latin("Jazz")), Frame22("TRK", Latin(" 9/9"))}));
  const Bytes v23 = Id3v2(3, 0,
                          Concat({Frame23("TIT2", Latin("T3")), Frame23("TPE1", Latin("A3")),
                                  Frame23("TALB", Latin("B3")), Frame23("TCON", Latin("(17)")),
                                  Frame23("TRCK", Latin("07/12"))}));
  const Bytes v24 = Id3v2(4, 0,
                          Concat({Frame24("TIT2", Utf8Text("T4")), Frame24("TPE1", Utf8Text("A4")),
                                  Frame24("TALB", Utf8Text("B4")), Frame24("TCON", Utf8Text("Pop")),
                                  Frame24("TRCK", Utf8Text("12"))}));
  struct Case {
    Bytes tag;
    std::u16string title, artist, album, genre;
    int16_t track;
  };
  const Case cases[] = {{v22, u"T2", u"A2", u"B2", u"Jazz", 9},
                        {v23, u"T3", u"A3", u"B3", u"Rock", 7},
                        {v24, u"T4", u"A4", u"B4", u"Pop", 12}};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(Concat({cases[i].tag, Audio(100)}));
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].artist, r.artist());
    EXPECT_EQ(cases[i].album, r.album());
    EXPECT_EQ(cases[i].genre, r.genre());
    EXPECT_EQ(cases[i].track, r.record.trackNumber);
  }
}

TEST(ReadId3v2, OverwritesID3v1AlsoWithEmptyText) {
  const Bytes v1 = Id3v1("A much longer ID3v1 title", "V1 artist", "V1 album", 0, 3, 17);
  // The empty TIT2 empties the title, and the file name then stands in, exactly and terminated.
  ReadResult r = ReadFile(
      Concat({Id3v2(3, 0, Concat({Frame23("TIT2", Latin("")), Frame23("TRCK", Latin("A"))})),
              Audio(100), v1}),
      u"E:\\a.mp3");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(u"a.mp3", r.title());
  EXPECT_EQ(0, r.record.trackNumber);  // "A" gives 0
  EXPECT_EQ(u"V1 artist", r.artist());
  EXPECT_EQ(u"Rock", r.genre());
  // A title of spaces is emptied by the clean-up; the file name stands in the same way.
  r = ReadFile(Concat({Id3v2(3, 0, Frame23("TIT2", Latin("     "))), Audio(100), v1}),
               u"E:\\b.mp3");
  EXPECT_EQ(u"b.mp3", r.title());
}

TEST(ReadId3v2, ReadsVersion24FrameSizesSyncSafeAndPlainWhenTheyCannotBe) {
  // A 200-byte TIT2: sync-safe 00 00 01 48, so the next frame lies 200 bytes after its data start.
  const std::string longTitle = "L" + std::string(198, 'x');
  const Bytes syncSafe =
      Id3v2(4, 0, Concat({Frame24("TIT2", Latin(longTitle)), Frame24("TPE1", Latin("After"))}));
  ASSERT_EQ(0x01, syncSafe[10 + 6]);
  ASSERT_EQ(0x48, syncSafe[10 + 7]);
  // The same frame from an old tagger, its size written plainly: 00 00 00 C8 has a top bit set.
  const Bytes plain =
      Id3v2(4, 0,
            Concat({TagBytes().Ascii("TIT2").Be32(200).Zeros(2).Raw(Latin(longTitle)),
                    Frame24("TPE1", Latin("After"))}));
  // Version 2.3 reads sizes plainly.
  const Bytes v23 =
      Id3v2(3, 0, Concat({Frame23("TIT2", Latin(longTitle)), Frame23("TPE1", Latin("After"))}));
  for (const Bytes* tag : {&syncSafe, &plain, &v23}) {
    const ReadResult r = ReadFile(Concat({*tag, Audio(100)}));
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(u"After", r.artist());
    EXPECT_EQ(std::u16string(u"L") + std::u16string(62, u'x'), r.title());
  }
}

TEST(ReadId3v2, ALargeFrameBeforeTheTextFramesIsPassedOver) {
  // A cover of 300 KB (sync-safe in 2.4, plain in 2.3), then the text frames.
  const Bytes cover = TagBytes().U8(0).Ascii("image/jpeg").U8(0).U8(3).U8(0).Raw(Audio(300 * 1024));
  const Bytes v24 = Id3v2(4, 0,
                          Concat({Frame24("APIC", cover), Frame24("TIT2", Latin("After cover")),
                                  Frame24("TRCK", Latin("4"))}));
  const Bytes v23 = Id3v2(3, 0,
                          Concat({Frame23("APIC", cover), Frame23("TIT2", Latin("After cover")),
                                  Frame23("TRCK", Latin("4"))}));
  for (const Bytes* tag : {&v24, &v23}) {
    const ReadResult r = ReadFile(Concat({*tag, Audio(1000)}));
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(u"After cover", r.title());
    EXPECT_EQ(4, r.record.trackNumber);
  }
}

TEST(ReadId3v2, SkipsOtherFramesAndEndsTheWalkWhereTheFramesEnd) {
  struct Case {
    Bytes body;
    std::u16string title, artist;
  };
  const Case cases[] = {
      // TXXX, other T frames, COMM and APIC are passed over.
      {Concat({Frame23("TXXX", Latin("desc\0val")), Frame23("TIT3", Latin("Sub")),
               Frame23("COMM", TagBytes().U8(0).Ascii("eng").U8(0).Ascii("c")),
               Frame23("TIT2", Latin("T"))}),
       u"T", u""},
      // Padding ends the walk.
      {Concat({Frame23("TIT2", Latin("T")), Bytes(20, 0), Frame23("TPE1", Latin("A"))}), u"T", u""},
      // A size of 0 ends the walk.
      {Concat({Frame23("TIT2", Latin("T")), TagBytes().Ascii("TPE2").Be32(0).Zeros(2),
               Frame23("TPE1", Latin("A"))}),
       u"T", u""},
      // A size negative as a signed number ends the walk.
      {Concat({Frame23("TIT2", Latin("T")), TagBytes().Ascii("TPE2").Be32(0x80000001).Zeros(2)}),
       u"T", u""},
      // An ID whose fourth byte has its top bit set ends the walk.
      {Concat({Frame23("TIT2", Latin("T")), Frame23("TPE\xB1", Latin("X")),
               Frame23("TPE1", Latin("A"))}),
       u"T", u""},
      // A frame that runs past the end of the body ends the walk without being read.
      {Concat({Frame23("TIT2", Latin("T")),
               TagBytes().Ascii("TPE1").Be32(30).Zeros(2).Raw(Latin("Cut"))}),
       u"T", u""},
      // Fewer than 7 bytes left: no further frame header is read.
      {Concat({Frame23("TIT2", Latin("T")), TagBytes().Ascii("TPE1").Be16(0)}), u"T", u""},
      // 7 to 9 bytes left: a header that does not fit ends the walk.
      {Concat({Frame23("TIT2", Latin("T")), TagBytes().Ascii("TPE1").Be32(1)}), u"T", u""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(Concat({Id3v2(3, 0, cases[i].body), Audio(64)}));
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].artist, r.artist());
  }
}

TEST(ReadId3v2, PassesExtendedHeadersAndTheExtraFieldsOfFlaggedFrames) {
  struct Case {
    Bytes file;
    std::u16string title, artist;
  };
  const Case cases[] = {
      // 2.3 extended header: its size excludes its own four bytes.
      {Id3v2(3, 0, Concat({TagBytes().Be32(6).Zeros(6), Frame23("TIT2", Latin("E3"))}), 0x40),
       u"E3", u""},
      // 2.4 extended header: sync-safe, counting itself.
      {Id3v2(4, 0, Concat({TagBytes().SyncSafe(6).U8(1).U8(0), Frame24("TIT2", Latin("E4"))}),
             0x40),
       u"E4", u""},
      // An extended-header flag without an extended header: its "size" lies beyond the body,
      // nothing is read.
      {Id3v2(3, 0, Frame23("TIT2", Latin("Lost")), 0x40), u"a.mp3", u""},
      // The flag is not acted on for 2.2.
      {Id3v2(2, 0, Frame22("TT2", Latin("V22")), 0x40), u"V22", u""},
      // A compressed 2.3 frame: a 4-byte field before its data; the walk goes on after the frame.
      {Id3v2(3, 0,
             Concat({Frame23("TIT2", TagBytes().Be32(9).Raw(Latin("Zip")), 0x80),
                     Frame23("TPE1", Latin("Next"))})),
       u"Zip", u"Next"},
      // Encrypted: a 1-byte field.
      {Id3v2(3, 0,
             Concat({Frame23("TIT2", TagBytes().U8(0x80).Raw(Latin("Enc")), 0x40),
                     Frame23("TPE1", Latin("Next"))})),
       u"Enc", u"Next"},
      // 2.4 (and 2.3.1) flag the same fields with 0x08 and 0x04.
      {Id3v2(4, 0,
             Concat({Frame24("TIT2", TagBytes().Be32(9).U8(1).Raw(Latin("Both")), 0x0C),
                     Frame24("TPE1", Latin("N"))})),
       u"Both", u"N"},
      {Id3v2(3, 1,
             Concat({Frame23("TIT2", TagBytes().Be32(9).Raw(Latin("V231")), 0x08),
                     Frame23("TPE1", Latin("N"))})),
       u"V231", u"N"},
      // The data-length flag (0x01) of 2.4 is not acted on: its field is read as text.
      {Id3v2(4, 0, Frame24("TIT2", TagBytes().Be32(0x00000441).Raw(Latin("DL")), 0x01)), u"a.mp3",
       u""},
      // A frame shorter than its own extra fields is malformed and ends the walk.
      {Id3v2(
           3, 0,
           Concat({Frame23("TIT2", TagBytes().U8(0).U8('x'), 0x80), Frame23("TPE1", Latin("N"))})),
       u"a.mp3", u""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(Concat({cases[i].file, Audio(64)}), u"E:\\a.mp3");
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].artist, r.artist());
  }
}

Bytes WithoutLastByte(Bytes b) {
  b.pop_back();
  return b;
}

TEST(ReadId3v2, SkipsUnknownVersionsWholeAndFailsOnAnUnreadableBody) {
  struct Case {
    Bytes file;
    int result;
    std::u16string title;
  };
  const Bytes frames = Frame23("TIT2", Latin("Read"));
  const Case cases[] = {
      {Concat({Id3v2(3, 0, frames), Audio(10)}), 1, u"Read"},
      {Concat({Id3v2(5, 0, frames), Audio(10)}), 1, u"a.mp3"},  // 2.5.0: skipped whole
      {Concat({Id3v2(2, 1, frames), Audio(10)}), 1, u"a.mp3"},  // 2.2.1: skipped whole
      {Concat({Id3v2(0, 30, frames), Audio(10)}), 1,
       u"Read"},                                            // the version code 0 * 10 + 30 is 2.3's
      {Concat({Id3v2(3, 0, Bytes()), Audio(10)}), 0, u""},  // a body of 0 bytes fails the file
      {Concat({Id3v2(3, 0, frames)}), 1, u"Read"},          // a file that is only a tag
      {WithoutLastByte(Id3v2(3, 0, frames)), 0, u""},       // the body runs past the end
      {TagBytes().Ascii("ID3").U8(3).U8(0).U8(0).U8(0x7F).U8(0x7F).U8(0x7F).U8(0x7F).Raw(frames), 0,
       u""},
      // Fewer than 10 bytes hold no ID3v2 tag; the file is read.
      {TagBytes().Ascii("ID3").U8(3).U8(0).U8(0).U8(0).U8(0).U8(1), 1, u"a.mp3"},
      {Bytes(), 1, u"a.mp3"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(cases[i].file, u"E:\\a.mp3");
    ASSERT_EQ(cases[i].result, r.result);
    if (r.result == 1) {
      EXPECT_EQ(cases[i].title, r.title());
    }
  }
}

TEST(ReadId3v2, EveryTruncationOfATaggedFileFailsOrReadsCleanly) {
  const Bytes tag = Id3v2(3, 0,
                          Concat({Frame23("TIT2", Utf16WithMark(u"Title")),
                                  Frame23("TRCK", Latin("5")), Bytes(16, 0)}));
  const Bytes file = Concat({tag, Audio(200), Id3v1("V1", "", "", 0, 1, 1)});
  for (size_t length = 0; length <= file.size(); ++length) {
    SCOPED_TRACE(length);
    const ReadResult r =
        ReadFile(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)), u"E:\\a.mp3");
    if (length < tags::kId3v2HeaderBytes) {
      EXPECT_EQ(1, r.result);  // too short to hold the header: no tag
      EXPECT_EQ(u"a.mp3", r.title());
    } else if (length < tag.size()) {
      EXPECT_EQ(0, r.result);  // the body runs past the end of the file
    } else {
      ASSERT_EQ(1, r.result);
      EXPECT_EQ(u"Title", r.title());
      EXPECT_EQ(5, r.record.trackNumber);
    }
  }
}

TEST(ReadId3v2, ReturnsTheOffsetAfterTheBodyAndFailsOnAFailedRead) {
  const Bytes file =
      Concat({Id3v2(3, 0, Concat({Frame23("TIT2", Latin("T")), Bytes(100, 0)})), Audio(50)});
  IconvTestCodec codec;
  {
    auto f = MemoryReadFile(file);
    tags::TagFile tagFile(*f, static_cast<int64_t>(file.size()));
    TrackRecord record;
    EXPECT_EQ(10 + 12 + 100, tags::ReadId3v2(tagFile, &record, codec, 1252));
  }
  {
    // The file claims to be longer than it is: the reads come back short.
    auto f = MemoryReadFile(file);
    tags::TagFile tagFile(*f, static_cast<int64_t>(file.size()) + 1000);
    TrackRecord record;
    EXPECT_EQ(-1, tags::ReadId3v1(tagFile, &record, codec, 1252));
  }
  {
    MemoryFileSystem files;
    files.AddFile(u"E:\\a.mp3", file);
    files.SetFault([](std::string_view op, std::u16string_view) { return op == "read"; });
    TrackRecord record;
    EXPECT_EQ(0, tags::ReadTrackFile(files, codec, u"E:\\a.mp3", &record, 3));
  }
}

}  // namespace
}  // namespace deltrix::testing
