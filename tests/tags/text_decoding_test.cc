#include "tags/text_decoding.h"

#include <gtest/gtest.h>

#include <string>

#include "test_codec.h"

namespace deltrix::tags {
namespace {

std::u16string Utf8(std::initializer_list<uint8_t> bytes, size_t capacity = 64) {
  std::vector<uint8_t> in(bytes);
  std::u16string out(capacity, u'\0');
  out.resize(Utf8ToUtf16(in, std::span<char16_t>(out.data(), out.size())));
  return out;
}

TEST(Utf8ToUtf16, DecodesWithoutValidatingAsThePlayersLibrariesDo) {
  // Two-byte and three-byte sequences, and plain ASCII.
  EXPECT_EQ(u"Caf\u00E9", Utf8({0x43, 0x61, 0x66, 0xC3, 0xA9}));
  EXPECT_EQ(u"\u65E5\u672C", Utf8({0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC}));
  // A four-byte sequence (U+1F600) is taken as a three-byte one; its fourth byte starts a sequence
  // of its own that swallows the next two bytes. The text goes on after that.
  EXPECT_EQ(std::u16string({0x07D8, 0x0862, u'c'}), Utf8({0xF0, 0x9F, 0x98, 0x80, 'a', 'b', 'c'}));
  // Continuation bytes are not checked: 0xC3 0x41 gives (3 << 6) | 1.
  EXPECT_EQ(std::u16string({0x00C1}), Utf8({0xC3, 0x41}));
  // A lone continuation byte starts a three-byte sequence.
  EXPECT_EQ(std::u16string({0x0FC1}), Utf8({0x80, 0xBF, 0x81}));
}

TEST(Utf8ToUtf16, ASequenceCutShortCountsItsMissingBitsAsZeroAndStopsAtTheEnd) {
  EXPECT_EQ(std::u16string({u'a', 0x00C0}), Utf8({'a', 0xC3}));
  EXPECT_EQ(std::u16string({0xE000}), Utf8({0xEE}));
  EXPECT_EQ(std::u16string({0xE3C0}), Utf8({0xEE, 0x8F}));
  // The terminator ends the text: nothing after it is read, also inside a sequence.
  EXPECT_EQ(std::u16string({0xE000}), Utf8({0xEE, 0x00, 0x8F, 'x'}));
  EXPECT_EQ(u"ab", Utf8({'a', 'b', 0x00, 'c'}));
  // The output is bounded by its span.
  EXPECT_EQ(u"ab", Utf8({'a', 'b', 'c', 'd'}, 2));
}

TEST(SwapUtf16Bytes, SwapsEveryUnitUpToTheTerminator) {
  char16_t text[] = {0x4100, 0x00FE, 0, 0x1234};
  SwapUtf16Bytes(text);
  EXPECT_EQ(0x0041, text[0]);
  EXPECT_EQ(0xFE00, text[1]);
  EXPECT_EQ(0x1234, text[3]);  // after the terminator: untouched
}

TEST(TrackNumberFromText, ReadsLikeTheWindowsRuntimeWith32BitLongKeptTo16Bits) {
  struct Case {
    std::u16string_view text;
    int32_t longValue;
    int16_t track;
  };
  const Case cases[] = {
      {u"7", 7, 7},
      {u"07/12", 7, 7},
      {u" 3", 3, 3},
      {u"\t\n\v\f\r 4x", 4, 4},
      {u"3/", 3, 3},
      {u"-2", -2, -2},
      {u"+5", 5, 5},
      {u"A", 0, 0},
      {u"", 0, 0},
      {u"-", 0, 0},
      {u"- 5", 0, 0},
      {u"1 2", 1, 1},
      {u"00009", 9, 9},
      {u"32768", 32768, -32768},
      {u"70000", 70000, 4464},
      {u"2147483647", 2147483647, -1},
      {u"2147483648", 2147483647, -1},  // clamps to the largest 32-bit long
      {u"99999999999", 2147483647, -1},
      {u"4294967313", 2147483647, -1},  // no wrap-around in the runtime's rule
      {u"-2147483648", INT32_MIN, 0},
      {u"-2147483649", INT32_MIN, 0},
      {u"-99999999999999999999", INT32_MIN, 0},
      {u"\u00A0"
       u"5",
       0, 0},             // only the ASCII blanks are skipped
      {u"\uFF15", 0, 0},  // only ASCII digits count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text.begin(), c.text.end()));
    const std::span<const char16_t> text(c.text.data(), c.text.size());
    EXPECT_EQ(c.longValue, WideToLong32(text));
    EXPECT_EQ(c.track, TrackNumberFromText(text));
  }
}

TEST(CodePageToUtf16, StopsAtTheFirstZeroByteAndNeverPassesItsSpan) {
  testing::IconvTestCodec codec;
  const uint8_t sjis[] = {0x93, 0xFA, 0x96, 0x7B, 0x00, 0x41};
  char16_t out[8];
  ASSERT_EQ(2u, CodePageToUtf16(codec, 932, sjis, out));
  EXPECT_EQ(u"\u65E5\u672C", std::u16string(out, 2));
  const uint8_t cp1252[] = {'C', 'a', 'f', 0xE9, ' ', 0x96};
  ASSERT_EQ(6u, CodePageToUtf16(codec, 1252, cp1252, out));
  EXPECT_EQ(u"Caf\u00E9 \u2013", std::u16string(out, 6));
  EXPECT_EQ(3u, CodePageToUtf16(codec, 1252, cp1252, std::span<char16_t>(out, 3)));
  // An empty text never reaches the converter.
  const uint8_t empty[] = {0x00, 'x'};
  const int before = codec.calls;
  EXPECT_EQ(0u, CodePageToUtf16(codec, 1252, empty, out));
  EXPECT_EQ(before, codec.calls);
}

TEST(TagLanguageCodePages, MapEachLanguageNumberToItsCodePage) {
  const uint32_t expected[] = {0, 932, 936, 1252, 1252, 1252, 1252, 1252, 1252, 1251};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(expected[i], TagLanguageCodePage(i)) << i;
  // A number outside the list falls back to the system's default code page.
  EXPECT_EQ(0u, TagLanguageCodePage(10));
  EXPECT_EQ(0u, TagLanguageCodePage(-1));
}

TEST(GenreNames, HoldTheListWithThePlayersSpellingsAndEmptyNamesFrom148) {
  EXPECT_EQ("Blues", GenreNames[0]);
  EXPECT_EQ("Rock", GenreNames[17]);
  EXPECT_EQ("Hard Rock", GenreNames[79]);
  EXPECT_EQ("Folk", GenreNames[80]);
  EXPECT_EQ("A capella", GenreNames[123]);
  EXPECT_EQ("Dram & Bass", GenreNames[127]);
  EXPECT_EQ("Contemporary Christian", GenreNames[140]);
  EXPECT_EQ("Synthpop", GenreNames[147]);
  size_t longest = 0;
  for (size_t i = 0; i < 148; ++i) {
    EXPECT_FALSE(GenreNames[i].empty()) << i;
    longest = std::max(longest, GenreNames[i].size());
  }
  EXPECT_EQ(22u, longest);
  for (size_t i = 148; i < 256; ++i) EXPECT_TRUE(GenreNames[i].empty()) << i;
}

struct CleanUpCase {
  std::u16string_view genre, artist, album, title;
  std::u16string_view wantGenre, wantArtist, wantAlbum, wantTitle;
};

TEST(CleanUpTextFields, TrimsTrailingSpacesOnlyAndRebuildsNumericGenres) {
  const CleanUpCase cases[] = {
      // Trailing spaces go, other white space stays.
      {u"", u"   ", u"Album ", u"Word   ", u"", u"", u"Album", u"Word"},
      {u"", u"\tTab\t", u"  Lead", u"Word\t", u"", u"\tTab\t", u"  Lead", u"Word\t"},
      {u"", u"", u"", u"\u5168\u3000", u"", u"", u"", u"\u5168\u3000"},
      // Genres made of numeric references.
      {u"(17)", u"", u"", u"", u"Rock", u"", u"", u""},
      {u"(4)(17)", u"", u"", u"", u"Disco,Rock", u"", u"", u""},
      {u"17,", u"", u"", u"", u"Rock", u"", u"", u""},
      {u"(17) ", u"", u"", u"", u"Rock", u"", u"", u""},
      {u"17 ", u"", u"", u"", u"Rock", u"", u"", u""},  // the trimmed space closes the number
      {u"17", u"", u"", u"", u"", u"", u"", u""},       // never closed
      {u"(300)", u"", u"", u"", u"", u"", u"", u""},
      {u"(200)", u"", u"", u"", u"", u"", u"", u""},
      {u"(17)(200)", u"", u"", u"", u"Rock,", u"", u"", u""},
      {u"(200)(17)", u"", u"", u"", u"Rock", u"", u"", u""},
      {u"(17)Rock", u"", u"", u"", u"(17)Rock", u"", u"", u""},
      {u"Rock", u"", u"", u"", u"Rock", u"", u"", u""},
      {u"R&B", u"", u"", u"", u"R&B", u"", u"", u""},
      {u"-", u"", u"", u"", u"", u"", u"", u""},
      {u"X", u"", u"", u"", u"", u"", u"", u""},  // a single character of any kind
      {u"   ", u"", u"", u"", u"", u"", u"", u""},
      {u"(0)(1)(2)(3)(4)", u"", u"", u"", u"Blues,Classic Rock,Country", u"", u"", u""},
      {u"(12)(13)(14)(15)(16)(17)", u"", u"", u"", u"Other,Pop,R&B,Rap,Reggae,Rock", u"", u"", u""},
      {u"(140)(17)(4)", u"", u"", u"", u"Contemporary Christian,Rock", u"", u"", u""},
      {u"(1 7)", u"", u"", u"", u"Classic Rock,Hip-Hop", u"", u"", u""},
      {u"(4294967313)", u"", u"", u"", u"Rock", u"", u"", u""},  // unsigned 32-bit arithmetic
      {u"(17", u"", u"", u"", u"", u"", u"", u""},
      // Only the low byte of a unit is looked at for digits: U+0131 reads as "1" at position 0.
      {u"\u01317)", u"", u"", u"", u"Rock", u"", u"", u""},
  };
  for (const CleanUpCase& c : cases) {
    SCOPED_TRACE(std::string(c.genre.begin(), c.genre.end()) + "|" +
                 std::string(c.title.begin(), c.title.end()));
    TrackRecord r;
    StoreFieldText(c.genre.data(), c.genre.size(), r.genre, kGenreUnits);
    StoreFieldText(c.artist.data(), c.artist.size(), r.artist, kArtistUnits);
    StoreFieldText(c.album.data(), c.album.size(), r.album, kAlbumUnits);
    StoreFieldText(c.title.data(), c.title.size(), r.title, kTitleUnits);
    CleanUpTextFields(&r);
    EXPECT_EQ(c.wantGenre, std::u16string_view(r.genre));
    EXPECT_EQ(c.wantArtist, std::u16string_view(r.artist));
    EXPECT_EQ(c.wantAlbum, std::u16string_view(r.album));
    EXPECT_EQ(c.wantTitle, std::u16string_view(r.title));
  }
}

TEST(CleanUpTextFields, ARebuiltGenreOfExactly29CharactersStopsTheScan) {
  // "Other,Pop,R&B,Rap,Reggae,Rock" is 29 characters; the scan stops, nothing more is tried.
  TrackRecord r;
  const std::u16string_view genre = u"(12)(13)(14)(15)(16)(17)(0)";
  StoreFieldText(genre.data(), genre.size(), r.genre, kGenreUnits);
  CleanUpTextFields(&r);
  EXPECT_EQ(u"Other,Pop,R&B,Rap,Reggae,Rock", std::u16string_view(r.genre));
  for (size_t i = 29; i < kGenreUnits; ++i) EXPECT_EQ(0, r.genre[i]);
}

}  // namespace
}  // namespace deltrix::tags
