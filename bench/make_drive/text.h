// Names for the generated library: artists, albums, titles and genres in the mix of scripts that a
// real collection has (mostly English, about a fifth accented Latin, Cyrillic, Japanese, Chinese or
// fullwidth forms). All text is UTF-8 here; the format writers turn it into what each tag stores.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "rng.h"

namespace deltrix::bench {

enum class Script : uint8_t { Ascii, Latin, Cyrillic, Japanese, Chinese, Fullwidth };

inline constexpr int kGenreCount = 80;

// The script of an artist: about four in five are plain English.
Script PickArtistScript(Rng& rng);
// The script of one of the artist's titles: mostly the artist's own, sometimes English.
Script PickTitleScript(Rng& rng, Script artistScript);

// About one English artist in eight is "The ..."; a few are solo names in other scripts.
std::string MakeArtistName(Rng& rng, Script script);
std::string MakeAlbumTitle(Rng& rng, Script script);
// Track titles; about one in a hundred is longer than the player keeps (63 characters).
std::string MakeTrackTitle(Rng& rng, Script script);
std::string MakePersonName(Rng& rng, Script script);

// Genre 0..79: the first 72 are the ID3v1 genres of the same number, the rest have no number.
std::string_view GenreName(int genre);
// The ID3v1 genre byte of a genre, or -1 when it has none.
int Id3v1GenreOf(int genre);
// A genre for an artist: a few popular genres take most artists.
int PickGenre(Rng& rng);

// `text` made fit for a FAT name: the characters FAT refuses become "_", control characters go,
// leading blanks and trailing blanks and dots go, and the result keeps at most `maxUnits` UTF-16
// units (cut on a character boundary). Empty input gives "Untitled".
std::string FatSafeName(std::string_view text, size_t maxUnits);

// The Windows-1252 bytes of `text` for 8-bit tags: characters outside the code page become "?".
std::string ToCp1252(std::string_view text);
// True when every character of `text` is in Windows-1252.
bool FitsCp1252(std::string_view text);
// True when `text` is plain ASCII.
bool IsAscii(std::string_view text);

// Lower-cases ASCII letters; used to compare names as a FAT volume does (case-blind).
std::string FoldCase(std::string_view text);

}  // namespace deltrix::bench
