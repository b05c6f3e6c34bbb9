#include "tags/mp4/mp4_reader.h"

#include <gtest/gtest.h>

#include "tag_test_util.h"

namespace deltrix::testing {
namespace {

Bytes Ftyp() { return Atom("ftyp", TagBytes().Ascii("M4A ").Be32(0).Ascii("M4A isom")); }
Bytes Meta(const Bytes& children) { return Atom("meta", Concat({Bytes(4, 0), children})); }
Bytes Hdlr() { return Atom("hdlr", TagBytes().Zeros(8).Ascii("mdirappl").Zeros(10)); }
Bytes Moov(const Bytes& ilstItems) {
  return Atom("moov", Concat({Atom("mvhd", Bytes(100, 0)), Atom("trak", Audio(300)),
                              Atom("udta", Meta(Concat({Hdlr(), Atom("ilst", ilstItems),
                                                        Atom("free", Bytes(50, 0))})))}));
}
Bytes Items() {
  return Concat({TextItem("\xA9nam", "Title"),
                 TextItem("\xA9"
                          "ART",
                          "Artist"),
                 TextItem("\xA9"
                          "alb",
                          "Album"),
                 TextItem("\xA9gen", "(17)"), TrknItem(5, 12),
                 Atom("covr", Atom("data", Audio(2000)))});
}

TEST(ReadMp4Atoms, ReadsTheItemListOfTheFirstMoov) {
  struct Case {
    Bytes file;
    int result;
    std::u16string title, artist, album, genre;
    int16_t track;
  };
  const Case cases[] = {
      // ftyp, moov (mvhd, trak, udta/meta/hdlr+ilst+free), mdat.
      {Concat({Ftyp(), Moov(Items()), Atom("mdat", Audio(1000))}), 1, u"Title", u"Artist", u"Album",
       u"Rock", 5},
      // moov after mdat: mdat is passed by a seek.
      {Concat({Ftyp(), Atom("free", Bytes(8, 0)), Atom("mdat", Audio(1000)), Moov(Items())}), 1,
       u"Title", u"Artist", u"Album", u"Rock", 5},
      // No moov, the top-level sizes add up to the file size: success, nothing stored.
      {Concat({Ftyp(), Atom("mdat", Audio(1000))}), 1, u"a.m4a", u"", u"", u"", -1},
      // No moov and an ID3v1 tag appended: the top level runs into it and the walk fails.
      {Concat({Ftyp(), Atom("mdat", Audio(1000)), Id3v1("V1", "", "", 0, 1, 1)}), 0, u"", u"", u"",
       u"", -1},
      // With moov first, an appended ID3v1 tag is never reached; the atoms win over it.
      {Concat({Ftyp(), Moov(TextItem("\xA9nam", "Atom")), Atom("mdat", Audio(100)),
               Id3v1("V1", "V1 art", "", 0, 1, 1)}),
       1, u"Atom", u"V1 art", u"", u"Classic Rock", 1},
      // meta without ilst: success after meta's last child.
      {Concat({Ftyp(), Atom("moov", Atom("udta", Meta(Hdlr()))), Atom("mdat", Audio(100))}), 1,
       u"a.m4a", u"", u"", u"", -1},
      // Only the first udta is looked at.
      {Concat({Ftyp(),
               Atom("moov",
                    Concat({Atom("udta", Atom("name", Bytes(4, 'x'))),
                            Atom("udta", Meta(Atom("ilst", TextItem("\xA9nam", "Second"))))}))}),
       1, u"a.m4a", u"", u"", u"", -1},
      // The numeric genre item is ignored; other 0xA9 items are dropped.
      {Concat({Ftyp(), Moov(Concat({Atom("gnre", Atom("data", TagBytes().Zeros(8).Be16(18))),
                                    TextItem("\xA9"
                                             "day",
                                             "2001"),
                                    TextItem("\xA9"
                                             "cmt",
                                             "c")}))}),
       1, u"a.m4a", u"", u"", u"", -1},
      // Items too short for their value are ignored.
      {Concat(
           {Ftyp(), Moov(Concat({Atom("\xA9nam", Bytes(15, 'x')), Atom("trkn", Bytes(19, 1))}))}),
       1, u"a.m4a", u"", u"", u"", -1},
      // A value of exactly 16 bytes is an empty text; it empties the field.
      {Concat({Ftyp(),
               Moov(Atom("\xA9"
                         "ART",
                         Atom("data", Bytes(8, 0)))),
               Id3v1("", "V1 art", "", 0, 1, 255)}),
       1, u"a.m4a", u"", u"", u"", 1},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(cases[i].file, u"E:\\a.m4a");
    ASSERT_EQ(cases[i].result, r.result);
    if (r.result != 1) continue;
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].artist, r.artist());
    EXPECT_EQ(cases[i].album, r.album());
    EXPECT_EQ(cases[i].genre, r.genre());
    EXPECT_EQ(cases[i].track, r.record.trackNumber);
    EXPECT_EQ(tags::FileType::M4a, r.record.fileType);
  }
}

TEST(ReadMp4Atoms, DecodesItemTextAndTrackNumbers) {
  struct Case {
    Bytes item;
    std::u16string title;
    int16_t track;
  };
  const Case cases[] = {
      {TextItem("\xA9nam", std::string(80, 'n')), std::u16string(63, u'n'), -1},
      {TextItem("\xA9nam", "Caf\xC3\xA9"), u"Caf\u00E9", -1},
      {TextItem("\xA9nam", std::string_view("Stop\0here", 9)), u"Stop", -1},
      {TextItem("\xA9nam", "Emoji \xF0\x9F\x98\x80!!x"),
       std::u16string(u"Emoji \u07D8") + char16_t(0x0861) + u"x", -1},
      {Atom("trkn", Atom("data", TagBytes().Zeros(8).Raw({0, 0, 0, 5, 0, 12, 0, 0}))), u"a.m4a", 5},
      {TrknItem(32768, 1), u"a.m4a", -32768},
      {TrknItem(0, 0), u"a.m4a", 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const ReadResult r = ReadFile(Concat({Ftyp(), Moov(cases[i].item)}), u"E:\\a.m4a");
    ASSERT_EQ(1, r.result);
    EXPECT_EQ(cases[i].title, r.title());
    EXPECT_EQ(cases[i].track, r.record.trackNumber);
  }
}

TEST(ReadMp4Atoms, StartsAfterAnId3v2TagWithTheWholeFileSizeAsBudget) {
  const Bytes moov = Moov(TextItem("\xA9nam", "Atom title"));
  const Bytes id3 = Id3v2(
      3, 0, Concat({Frame23("TIT2", Latin("Id3 title")), Frame23("TPE1", Latin("Id3 artist"))}));
  // moov is reached before the budget runs out: success, atoms over ID3.
  ReadResult r = ReadFile(Concat({id3, Ftyp(), moov, Atom("mdat", Audio(100))}), u"E:\\a.m4a");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(u"Atom title", r.title());
  EXPECT_EQ(u"Id3 artist", r.artist());
  // No moov: after the last atom the budget still holds the tag's size, and the next read fails.
  r = ReadFile(Concat({id3, Ftyp(), Atom("mdat", Audio(100))}), u"E:\\a.m4a");
  EXPECT_EQ(0, r.result);
  // A version the ID3 reader skips still moves the walk's start after the tag.
  r = ReadFile(Concat({Id3v2(5, 0, Frame23("TIT2", Latin("x"))), Ftyp(), moov}), u"E:\\a.m4a");
  ASSERT_EQ(1, r.result);
  EXPECT_EQ(u"Atom title", r.title());
}

TEST(ReadMp4Atoms, FailsOnSizesItDoesNotWalk) {
  struct Case {
    Bytes file;
    int result;
  };
  const Case cases[] = {
      {Concat({Ftyp(), TagBytes().Be32(0xFFFFFFFF).Ascii("mdat")}), 0},  // top-level 0xFFFFFFFF
      {Concat({Ftyp(), TagBytes().Be32(0).Ascii("mdat"), Audio(100)}),
       0},  // 0: to the end of the file
      {Concat({Ftyp(), TagBytes().Be32(1).Ascii("mdat").Be32(0).Be32(116), Audio(100)}),
       0},  // 64-bit size
      {Concat({Ftyp(), TagBytes().Be32(7).Ascii("free")}), 0},
      {Concat({Ftyp(), Atom("moov", TagBytes().Be32(4).Ascii("udta"))}), 0},
      // An item whose content runs past the end of the file.
      {Concat(
           {Ftyp(),
            Atom("moov",
                 Atom("udta", Meta(Concat({TagBytes().Be32(8 + 8 + 200).Ascii("ilst"),
                                           TagBytes().Be32(200).Ascii("\xA9nam").Zeros(20)}))))}),
       0},
      // Children that pass their parent's budget: the walk reads on beyond it until a read fails.
      {Concat({Ftyp(), Atom("moov", Concat({Atom("mvhd", Bytes(10, 0)),
                                            TagBytes().Be32(100).Ascii("trak")}))}),
       0},
      // An empty file has a budget of 0: success.
      {Bytes(), 1},
      // Cut inside an atom header.
      {Concat({Ftyp(), TagBytes().Be32(100)}), 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].result, ReadFile(cases[i].file, u"E:\\a.m4a").result);
  }
}

TEST(ReadMp4Atoms, EveryTruncationOfATaggedFileFailsOrReadsCleanly) {
  const Bytes head = Concat({Ftyp(), Moov(Items())});
  const size_t kFreeAfterItems = 8 + 50;
  const Bytes file = Concat({head, Atom("mdat", Audio(300))});
  for (size_t length = 0; length <= file.size(); ++length) {
    SCOPED_TRACE(length);
    const ReadResult r =
        ReadFile(Bytes(file.begin(), file.begin() + static_cast<ptrdiff_t>(length)), u"E:\\a.m4a");
    if (length == 0 || length == Ftyp().size()) {
      EXPECT_EQ(1, r.result);  // the top-level sizes add up to the file size
      EXPECT_EQ(u"a.m4a", r.title());
    } else if (length >= head.size() - kFreeAfterItems) {
      // Cut after the item list (in the free atom after it, or in mdat): the walk has ended by
      // then.
      ASSERT_EQ(1, r.result);
      EXPECT_EQ(u"Title", r.title());
      EXPECT_EQ(5, r.record.trackNumber);
    } else {
      EXPECT_EQ(0, r.result);
    }
  }
}

}  // namespace
}  // namespace deltrix::testing
