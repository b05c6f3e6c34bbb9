#include "tags/text_decoding.h"

#include <algorithm>
#include <limits>

#include "base/utf16.h"

namespace deltrix::tags {

const std::array<std::string_view, 256> GenreNames = {
    // The ID3v1 list.
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychedelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    // The Winamp extensions, spelled as libraries have always had them (123, 127).
    "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebop", "Latin", "Revival",
    "Celtic", "Bluegrass", "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A capella",
    "Euro-House", "Dance Hall", "Goa", "Dram & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Thrash Metal", "Anime", "JPop", "Synthpop",
    // 148-255 stay empty.
};

uint32_t TagLanguageCodePage(int tagLanguage) {
  if (tagLanguage < 0 || static_cast<size_t>(tagLanguage) >= TagLanguageCodePages.size()) return 0;
  return TagLanguageCodePages[static_cast<size_t>(tagLanguage)];
}

size_t UnitsBeforeZero(std::span<const char16_t> text) {
  return static_cast<size_t>(std::find(text.begin(), text.end(), char16_t{0}) - text.begin());
}

size_t CodePageToUtf16(platform::TextCodec& codec, uint32_t codePage,
                       std::span<const uint8_t> bytes, std::span<char16_t> out) {
  const size_t length =
      static_cast<size_t>(std::find(bytes.begin(), bytes.end(), uint8_t{0}) - bytes.begin());
  if (length == 0 || out.empty()) return 0;
  // The converter promises at most out.size() units; hold it to that, and to the text's first zero.
  const size_t written = std::min(codec.Decode(codePage, bytes.first(length), out), out.size());
  return UnitsBeforeZero(out.first(written));
}

size_t Utf8ToUtf16(std::span<const uint8_t> bytes, std::span<char16_t> out) {
  size_t i = 0;
  // The next byte of a sequence; the end of the text reads as zero bits and is never passed.
  auto next = [&]() -> uint32_t {
    if (i < bytes.size() && bytes[i] != 0) return bytes[i++];
    return 0;
  };
  size_t n = 0;
  while (n < out.size() && i < bytes.size() && bytes[i] != 0) {
    const uint32_t b0 = bytes[i++];
    uint32_t c;
    if (b0 < 0x80) {
      c = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
      c = (b0 & 0x1F) << 6 | (next() & 0x3F);
    } else {
      const uint32_t b1 = next();
      const uint32_t b2 = next();
      c = (b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F);
    }
    out[n++] = static_cast<char16_t>(c);
  }
  return n;
}

void SwapUtf16Bytes(std::span<char16_t> text) {
  for (char16_t& c : text) {
    if (c == 0) break;
    c = static_cast<char16_t>((c << 8 | c >> 8) & 0xFFFF);
  }
}

int32_t WideToLong32(std::span<const char16_t> text) {
  size_t i = 0;
  auto isBlank = [](char16_t c) { return c == u' ' || (c >= 0x09 && c <= 0x0D); };
  while (i < text.size() && isBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  // The runtime accumulates in an unsigned 32-bit long and remembers an overflow; the digits go on
  // being consumed, and the result is clamped at the end.
  uint32_t value = 0;
  bool overflow = false;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    const uint32_t digit = text[i] - u'0';
    if (value > (std::numeric_limits<uint32_t>::max() - digit) / 10) overflow = true;
    value = value * 10 + digit;
  }
  constexpr uint32_t kMaxMagnitude = 0x7FFFFFFF;
  if (overflow || (!negative && value > kMaxMagnitude) ||
      (negative && value > kMaxMagnitude + 1u)) {
    return negative ? std::numeric_limits<int32_t>::min() : std::numeric_limits<int32_t>::max();
  }
  // Two's complement on every host we build for; written without signed overflow.
  return negative ? static_cast<int32_t>(0u - value) : static_cast<int32_t>(value);
}

int16_t TrackNumberFromText(std::span<const char16_t> text) {
  return static_cast<int16_t>(
      static_cast<uint16_t>(static_cast<uint32_t>(WideToLong32(text)) & 0xFFFF));
}

namespace {

// Removes trailing spaces (and zero units) from a field in place; returns the length before.
size_t TrimTrailingSpaces(char16_t* field, size_t capacity) {
  const size_t length = U16Length(field, capacity);
  size_t n = length;
  while (n > 0 && (field[n - 1] == u' ' || field[n - 1] == 0)) field[--n] = 0;
  return length;
}

}  // namespace

void CleanUpTextFields(TrackRecord* record) {
  const size_t n = TrimTrailingSpaces(record->genre, kGenreUnits);
  TrimTrailingSpaces(record->artist, kArtistUnits);
  TrimTrailingSpaces(record->album, kAlbumUnits);
  TrimTrailingSpaces(record->title, kTitleUnits);
  if (n == 0) return;

  // A genre whose every unit after the first (and the former terminator) is at most U+0040 is a
  // list of numeric references such as "(17)" or "(4)(17)". n is at most 29, so position n is in
  // the field.
  char16_t* genre = record->genre;
  for (size_t i = 1; i <= n; ++i) {
    if (genre[i] > 0x40) return;
  }
  constexpr size_t kMaxGenre = kGenreUnits - 1;
  char16_t result[kGenreUnits] = {};
  size_t length = 0;
  uint32_t number = 0;
  bool inNumber = false;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t low = genre[i] & 0xFF;  // only the low byte of a unit is looked at
    if (low >= '0' && low <= '9') {
      number = number * 10 + (low - '0');
      inNumber = true;
      continue;
    }
    if (!inNumber) continue;
    if (number < 256) {
      const std::string_view name = GenreNames[number];
      const size_t comma = length > 0 ? 1 : 0;
      if (length + comma + name.size() <= kMaxGenre) {
        if (comma) result[length++] = u',';
        for (char c : name) result[length++] = static_cast<char16_t>(static_cast<uint8_t>(c));
      }
    }
    number = 0;
    inNumber = false;
    if (length == kMaxGenre) break;
  }
  StoreFieldText(result, length, record->genre, kGenreUnits);
}

}  // namespace deltrix::tags
