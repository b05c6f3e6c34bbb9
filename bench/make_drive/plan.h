// The plan of a generated drive: which artists, albums and files exist, where each file lies and
// how it is tagged, and the decoys the scan must pass over. A plan is a pure function of its
// options; building it writes nothing. Generations model a user who changes the card between runs:
// generation g adds and removes a share of the files present after generation g - 1, so the update
// benchmark can move a tree forward (or back) without rebuilding it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats.h"
#include "text.h"

namespace deltrix::bench {

// The attribute bits a FAT directory entry carries and the generator marks with user.DOSATTRIB.
inline constexpr uint32_t kHidden = 0x02;
inline constexpr uint32_t kSystem = 0x04;

enum class FileKind : uint8_t { Mp3, Aac, M4a, Mp4, Wav };

struct PlanOptions {
  uint64_t seed = 1;
  uint32_t files = 20000;       // audio files the scan collects at generation 0
  double coverShare = 0;        // percent of albums (so of files) with a 100-500 KB picture
  std::vector<double> changes;  // percent added and removed by generation 1, 2, ...
};

struct Artist {
  std::string name;
  Script script = Script::Ascii;
  int genre = 0;
};

// How the album's files were tagged; one tagger per album, as a real collection has.
struct AlbumStyle {
  int id3Version = 3;  // 0: no ID3v2 tag
  bool id3v1 = false;
  bool latin1Numbers = false;
  bool terminators = false;
  bool mediaPlayerFrames = false;
  uint32_t padding = 0;
  uint32_t coverBytes = 0;
  bool coverFirst = false;
  bool moovLast = false;
  bool numericGenre = false;
  uint32_t freeBytes = 0;
  bool listFirst = false;
  bool id3Chunk = false;
  int genreForm = 0;  // 0 "Rock", 1 "(17)", 2 "(17)Rock", 3 no genre
  bool writeTotal = false;
  bool comment = false;
};

enum class AlbumRole : uint8_t {
  Collected,     // its files are collected by the scan
  TooDeep,       // lies eight folder levels below the root: never listed
  HiddenFolder,  // its folder has the hidden attribute
  OtherFormat,   // files with extensions the player does not read (.flac, .ogg, .wma)
  DotFolder,     // lies below a folder whose name begins with a dot
};

struct Album {
  uint32_t artist = 0;
  bool compilation = false;
  std::string title;
  int genre = 0;
  int year = 2000;
  FileKind kind = FileKind::Mp3;
  AlbumRole role = AlbumRole::Collected;
  std::string folder;     // relative to the root, "/"-separated; "" is the root itself
  std::string extension;  // as written: ".mp3", ".MP3", ".m4a", ".flac", ...
  AlbumStyle style;
  uint32_t firstTrack = 0;
  uint32_t trackCount = 0;
  uint32_t generation = 0;
};

struct Track {
  uint32_t album = 0;
  uint32_t artist = 0;  // the album's artist except on compilations
  uint32_t number = 1;
  std::string title;
  std::string path;                 // relative to the root
  uint32_t addedIn = 0;             // generation that added it
  uint32_t removedIn = UINT32_MAX;  // generation that removed it, UINT32_MAX: never
  uint32_t attributes = 0;          // kHidden / kSystem on single decoy files

  bool PresentAt(uint32_t generation) const {
    return addedIn <= generation && removedIn > generation;
  }
};

enum class DecoyContent : uint8_t { Folder, Jpeg, Filler, Mp3 };

// A file or folder the scan must not collect (or, for folders, must not enter).
struct Decoy {
  std::string path;  // relative to the root
  DecoyContent content = DecoyContent::Filler;
  uint32_t size = 0;
  uint32_t attributes = 0;
};

struct Plan {
  PlanOptions options;
  std::vector<Artist> artists;
  std::vector<Album> albums;
  std::vector<Track> tracks;      // every track ever planned, decoy albums' tracks included
  std::vector<Decoy> decoys;      // generation 0 only; never removed
  std::vector<uint32_t> added;    // by generation (index 0: the first tree)
  std::vector<uint32_t> removed;  // by generation

  uint32_t Generations() const { return static_cast<uint32_t>(options.changes.size()); }
  // True when the track is an audio file the scan collects (its album is Collected and the
  // file carries no hidden or system attribute).
  bool Collected(const Track& t) const {
    return albums[t.album].role == AlbumRole::Collected && t.attributes == 0;
  }
  size_t CollectedAt(uint32_t generation) const;
};

Plan BuildPlan(const PlanOptions& options);

// What the collected files of one generation hold, for the generator's report.
struct PlanSummary {
  size_t byKind[5] = {};  // indexed by FileKind
  size_t id3v23 = 0;
  size_t id3v24 = 0;
  size_t id3v1 = 0;
  size_t withCover = 0;
  size_t moovLast = 0;
  size_t nonAsciiText = 0;  // title, artist or album holds a character outside ASCII
  size_t artists = 0;       // distinct artists with a collected file
  size_t genres = 0;        // distinct genres with a collected file
  size_t deepest = 0;       // files seven folder levels below the root
};
PlanSummary Summarize(const Plan& plan, uint32_t generation);

// The tags of track `track`: the album's, the artist's and the track's own text, with the small
// faults real collections have (a missing title, a trailing blank).
TagFields TagsFor(const Plan& plan, uint32_t track);
// The audio payload size of a track, 1.5 to 5 KB.
uint32_t AudioBytesFor(const Plan& plan, uint32_t track);

}  // namespace deltrix::bench
