// Text as tags store it, turned into the UTF-16 of a TrackRecord: the tag language's code page for
// 8-bit text that states no encoding of its own, our own UTF-8 decoder (which does not validate;
// its quirks are kept, so that a card's library comes out as it always has), byte swapping for
// UTF-16 of the other order, the ID3v1 genre names, the track-number rule, and the clean-up that
// runs after a file's tags were read. Nothing here allocates: every decoder writes into a span the
// caller owns and returns the units written, never more than the span holds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "platform/platform.h"
#include "tags/track_record.h"

namespace deltrix::tags {

// The Windows code page for each tag language number (the position in the settings' language list
// plus one; 0 means none selected and stands for the system's default code page).
inline constexpr std::array<uint32_t, 10> TagLanguageCodePages = {0,    932,  936,  1252, 1252,
                                                                  1252, 1252, 1252, 1252, 1251};

// The code page of `tagLanguage`; a number outside 0..9 gets the system default (0).
uint32_t TagLanguageCodePage(int tagLanguage);

// The ID3v1 genre names by genre byte: the ID3v1 list (0-79), its Winamp extensions (80-147), and
// empty names for 148-255 (255 is ID3v1's "no genre"). Spelled as libraries have always had them
// ("A capella", "Dram & Bass").
extern const std::array<std::string_view, 256> GenreNames;

// 8-bit text in `codePage` (932, 936, 1251, 1252, or 0 for the system's default) through the
// platform's converter. The text ends at its first zero byte or at the end of `bytes`. Returns the
// units written to `out`: at most one per input byte, and none past the first zero unit.
size_t CodePageToUtf16(platform::TextCodec& codec, uint32_t codePage,
                       std::span<const uint8_t> bytes, std::span<char16_t> out);

// Our own UTF-8 decoder. It does not validate: a byte below 0x80 is one character, a
// 110xxxxx byte starts a two-byte sequence and every other byte with the top bit set a three-byte
// one (kept to 16 bits), so a four-byte sequence gives a wrong character and its fourth byte starts
// a sequence of its own. A sequence cut short by the end of the text (its first zero byte or the
// end of `bytes`) counts its missing bytes as zero bits. Returns the number of sequences written to
// `out` (a sequence may decode to a zero unit; callers that want text cut there).
size_t Utf8ToUtf16(std::span<const uint8_t> bytes, std::span<char16_t> out);

// Swaps the two bytes of every unit before the first zero unit, in place.
void SwapUtf16Bytes(std::span<char16_t> text);

// Units of `text` before its first zero unit.
size_t UnitsBeforeZero(std::span<const char16_t> text);

// The integer at the start of `text` as the Windows C runtime's wide-string-to-integer conversion
// reads it in base 10, with its 32-bit long: leading blanks (tab, line feed, vertical tab, form
// feed, carriage return, space), an optional sign, then ASCII digits up to the first other unit. No
// digits give 0; a value beyond the 32-bit range gives the largest or the smallest 32-bit value.
// The same on every platform, whatever size the host's long has.
int32_t WideToLong32(std::span<const char16_t> text);

// The track number a TRCK text gives: WideToLong32 kept to its low 16 bits ("70000" gives 4464,
// "99999999999" gives -1).
int16_t TrackNumberFromText(std::span<const char16_t> text);

// Runs after a file's tags were read: trims trailing spaces (and nothing else) from the genre,
// artist, album and title, then rebuilds a genre made of numeric references such as "(4)(17)" into
// names joined by commas ("Disco,Rock"), at most 29 characters.
void CleanUpTextFields(TrackRecord* record);

}  // namespace deltrix::tags
