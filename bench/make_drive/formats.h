// Writers of the audio files the generator puts on the drive, each in its binary format as common
// taggers and encoders lay it out: MP3 (ID3v2.3 with UTF-16 text or ID3v2.4 with UTF-8 text,
// padding, an optional ID3v1 tag at the end), ADTS AAC behind an ID3v2 tag, MP4/M4A (ftyp, moov
// with the metadata item list under udta/meta/ilst, mdat; moov before or after mdat), and RIFF WAVE
// with a LIST/INFO chunk. Audio is a few KB of frames with valid headers and noise for content.
// Every writer appends to `out` and leaves it exactly one file long.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace deltrix::bench {

// One megabyte of pseudo-random bytes from the seed; audio payloads and cover pictures are slices.
class Noise {
 public:
  static constexpr size_t kSize = 1 << 20;
  explicit Noise(uint64_t seed);
  // `size` bytes (at most kSize) starting at a place chosen by `key`.
  std::span<const uint8_t> Slice(uint64_t key, size_t size) const;

 private:
  std::vector<uint8_t> bytes_;
};

// The text a file's tags carry, UTF-8. Empty strings are not written.
struct TagFields {
  std::string title;
  std::string artist;
  std::string album;
  std::string albumArtist;
  std::string genre;  // as the tag stores it: "Rock", "(17)", "(17)Rock"
  std::string year;
  std::string comment;
  int track = 0;       // 0: no track number
  int trackTotal = 0;  // 0: written as "n" alone
  int disc = 0;
  int genreByte = 255;  // the ID3v1 genre byte and the MP4 "gnre" value - 1
};

struct Id3Layout {
  int version = 3;             // 3: ID3v2.3, UTF-16 text with byte-order mark; 4: ID3v2.4, UTF-8
  bool latin1Numbers = false;  // TRCK/TYER/TPOS in encoding 0, as several taggers write them
  bool terminators = false;    // text ends with a zero character
  bool mediaPlayerFrames = false;  // PRIV frames and a TXXX, as a media player leaves them
  uint32_t padding = 0;
  uint32_t coverBytes = 0;  // 0: no picture
  bool coverFirst = false;  // the picture before the text frames
};

struct Mp3Layout {
  bool id3v2 = true;
  Id3Layout id3;
  bool id3v1 = false;
  uint32_t audioBytes = 4000;  // rounded down to whole frames, at least two
};

struct Mp4Layout {
  bool mp4Brand = false;      // "mp42" brand instead of "M4A "
  bool moovLast = false;      // ftyp, free, mdat, moov, as an encoder without fast start writes
  bool numericGenre = false;  // "gnre" with the ID3v1 number instead of a text genre
  uint32_t freeBytes = 0;     // padding atom after moov (moov first only)
  uint32_t coverBytes = 0;
  bool coverInMiddle = false;  // covr before the text items
  uint32_t audioBytes = 4000;
};

struct WavLayout {
  bool listFirst = false;  // LIST/INFO before the data chunk
  bool id3Chunk = false;   // an "id3 " chunk after the others
  uint32_t audioBytes = 4000;
};

// `key` picks the noise for this file's audio and picture.
void AppendMp3(std::vector<uint8_t>& out, const TagFields& tags, const Mp3Layout& layout,
               const Noise& noise, uint64_t key);
void AppendAdtsAac(std::vector<uint8_t>& out, const TagFields& tags, const Mp3Layout& layout,
                   const Noise& noise, uint64_t key);
void AppendMp4(std::vector<uint8_t>& out, const TagFields& tags, const Mp4Layout& layout,
               const Noise& noise, uint64_t key);
void AppendWav(std::vector<uint8_t>& out, const TagFields& tags, const WavLayout& layout,
               const Noise& noise, uint64_t key);
// A JPEG-looking picture of exactly `size` bytes (at least 32).
void AppendJpeg(std::vector<uint8_t>& out, uint32_t size, const Noise& noise, uint64_t key);
// Filler of exactly `size` bytes for non-audio decoys.
void AppendFiller(std::vector<uint8_t>& out, uint32_t size, const Noise& noise, uint64_t key);

}  // namespace deltrix::bench
