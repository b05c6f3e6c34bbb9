// The player's order, one rule per row.
#include "library/collation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "library/library_format.h"

namespace deltrix::library {
namespace {

struct Strings {
  std::u16string genre, artist, album, title;
  int trackNumber = -1;
};

// Keeps the UTF-16LE bytes the slot's views point into.
struct OwnedSlot {
  explicit OwnedSlot(const Strings& s) {
    const std::u16string* texts[4] = {&s.genre, &s.artist, &s.album, &s.title};
    for (int i = 0; i < 4; ++i) {
      for (char16_t c : *texts[i]) {
        bytes[i].push_back(static_cast<uint8_t>(c));
        bytes[i].push_back(static_cast<uint8_t>(c >> 8));
      }
      bytes[i].push_back(0);
      bytes[i].push_back(0);
      slot.text[i] = MakeKeyText(bytes[i].data(), static_cast<uint32_t>(texts[i]->size()), true, i);
    }
    slot.trackNumber = static_cast<uint16_t>(s.trackNumber);
  }
  std::vector<uint8_t> bytes[4];
  SortSlot slot;
};

int Compare(int key, const Strings& a, const Strings& b) {
  OwnedSlot sa(a);
  OwnedSlot sb(b);
  return CompareSlots(sa.slot, sb.slot, key);
}

Strings Artist(std::u16string artist) { return Strings{u"G", std::move(artist), u"X", u"T", 1}; }
Strings Title(std::u16string title, int number = 1) {
  return Strings{u"", u"", u"", std::move(title), number};
}

TEST(Collation, OrdersAsThePlayerDoes) {
  struct Case {
    const char* rule;
    int key;
    Strings a, b;
    int want;
  };
  const Case cases[] = {
      {"The Who sorts as WHO, before Yes", kArtist, Artist(u"The Who"), Artist(u"Yes"), -1},
      {"the Who likewise", kArtist, Artist(u"the Who"), Artist(u"Yes"), -1},
      {"The Who and Who are one artist", kArtist, Artist(u"The Who"), Artist(u"Who"), 0},
      {"Theatre keeps its letters", kArtist, Artist(u"Theatre"), Artist(u"The Who"), -1},
      {"the genre key strips the artist too", kGenre, Artist(u"The Beatles"), Artist(u"Beatles"),
       0},
      {"only the artist loses THE", kAlbum, Strings{u"", u"", u"The Album", u"", 1},
       Strings{u"", u"", u"Album", u"", 1}, 1},
      {"fullwidth abc is abc", kTitle, Title(u"\uff41\uff42\uff43"), Title(u"abc"), 0},
      {"fullwidth digits are digits", kTitle, Title(u"\uff11"), Title(u"1"), 0},
      {"case does not count", kTitle, Title(u"ABC"), Title(u"abc"), 0},
      {"Latin-1 letters fold", kTitle, Title(u"\u00e9t\u00e9"), Title(u"\u00c9T\u00c9"), 0},
      {"\"!\" before space", kTitle, Title(u"!a"), Title(u" a"), -1},
      {"\"!\" before digits", kTitle, Title(u"!"), Title(u"0"), -1},
      {"\";\" and \"_\" are equal", kTitle, Title(u";"), Title(u"_"), 0},
      {"fullwidth \";\" is not \";\"", kTitle, Title(u"\uff1b"), Title(u";"), -1},
      {"apostrophe before hyphen", kTitle, Title(u"'"), Title(u"-"), -1},
      {"a prefix first", kTitle, Title(u"ab"), Title(u"abc"), -1},
      {"an empty title last", kTitle, Title(u""), Title(u"zzz"), 1},
      {"an empty artist last", kArtist, Artist(u""), Artist(u"zzz"), 1},
      {"an empty genre last", kGenre, Strings{u"", u"A", u"A", u"A", 1},
       Strings{u"Z", u"Z", u"Z", u"Z", 1}, 1},
      {"smaller track number first", kTitle, Title(u"t", 2), Title(u"t", 3), -1},
      {"number 0 before 1", kAlbum, Strings{u"", u"", u"A", u"z", 0},
       Strings{u"", u"", u"A", u"a", 1}, -1},
      {"a missing number (0xFFFF) last", kAlbum, Strings{u"", u"", u"A", u"a", -1},
       Strings{u"", u"", u"A", u"z", 7}, 1},
      {"then the title", kGenre, Strings{u"G", u"A", u"B", u"a", 1},
       Strings{u"G", u"A", u"B", u"b", 1}, -1},
      {"the title key ends at the number", kTitle, Title(u"same", 4), Title(u"same", 4), 0},
      {"artist before album under key 1", kArtist, Strings{u"", u"A", u"Z", u"", 1},
       Strings{u"", u"B", u"A", u"", 1}, -1},
      {"genre first under key 0", kGenre, Strings{u"A", u"Z", u"", u"", 1},
       Strings{u"B", u"A", u"", u"", 1}, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rule);
    EXPECT_EQ(c.want, Compare(c.key, c.a, c.b));
    EXPECT_EQ(-c.want, Compare(c.key, c.b, c.a));
  }
}

TEST(Collation, NormalisesEachUnitByTheTable) {
  struct Case {
    char16_t in, out;
  };
  const Case cases[] = {
      {u'!', 0x01},     {u'&', 0x06},   {u'\'', 0x0F},    {u'(', 0x08},     {u'*', 0x0A},
      {u'+', 0x18},     {u',', 0x0C},   {u'-', 0x10},     {u'.', 0x0E},     {u';', 0x14},
      {u'=', 0x19},     {u'@', 0x12},   {u'^', 0x13},     {u'_', 0x14},     {u'{', 0x15},
      {u'}', 0x16},     {u'~', 0x17},   {u'a', u'A'},     {u'z', u'Z'},     {0xE0, 0xC0},
      {0xFF, 0xDF},     {u' ', u' '},   {u'/', u'/'},     {u':', u':'},     {u'?', u'?'},
      {u'A', u'A'},     {u'0', u'0'},   {u'|', u'|'},     {0xFF01, 0x01},   {0xFF07, 0x0F},
      {0xFF0B, 0x18},   {0xFF0D, 0x10}, {0xFF0E, 0x0E},   {0xFF10, u'0'},   {0xFF19, u'9'},
      {0xFF21, u'A'},   {0xFF3A, u'Z'}, {0xFF41, u'A'},   {0xFF5A, u'Z'},   {0xFF1B, 0x11},
      {0xFF1D, 0x19},   {0xFF20, 0x12}, {0xFF3E, 0x13},   {0xFF3F, 0x14},   {0xFF5B, 0x15},
      {0xFF5D, 0x16},   {0xFF5E, 0x17}, {0xFF0F, 0xFF0F}, {0xFF5C, 0xFF5C}, {0x4E00, 0x4E00},
      {0x00C0, 0x00C0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.out, NormaliseUnit(c.in)) << std::hex << int{c.in};
    EXPECT_EQ(NormaliseUnit(c.out), c.out)
        << "normalising twice changes nothing, " << std::hex << int{c.in};
  }
}

TEST(Collation, GroupBoundaryComparesOnlyTheKeyValue) {
  OwnedSlot full(Strings{u"", u"The Who", u"", u"\uff41bc", 1});
  OwnedSlot plain(Strings{u"", u"who", u"", u"ABC", 9});
  OwnedSlot empty(Strings{u"", u"", u"", u"", 1});
  EXPECT_TRUE(SameKeyValue(full.slot.text[kArtist], plain.slot.text[kArtist]));
  EXPECT_TRUE(SameKeyValue(full.slot.text[kTitle], plain.slot.text[kTitle]));
  EXPECT_TRUE(SameKeyValue(empty.slot.text[kGenre], empty.slot.text[kAlbum]));
  EXPECT_FALSE(SameKeyValue(empty.slot.text[kArtist], plain.slot.text[kArtist]));
}

}  // namespace
}  // namespace deltrix::library
