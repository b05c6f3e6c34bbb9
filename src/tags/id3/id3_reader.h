// ID3 tags: the 128-byte ID3v1 tag at the end of a file and the ID3v2 tag at its start (versions
// 2.2.0, 2.3.0, 2.3.1 and 2.4.0 have their frames read; other versions are skipped whole). Both
// readers store title, artist, album, genre and track number into the record without trimming;
// CleanUpTextFields does that afterwards. ID3v2 is read frame by frame: the header, then frame
// headers and the text frames that are stored, in blocks; every other frame (cover art, comments,
// padding) is passed by a seek. The result is what reading the whole tag body would give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/platform.h"
#include "tags/tag_file.h"
#include "tags/track_record.h"

namespace deltrix::tags {

inline constexpr int64_t kId3v1Bytes = 128;
inline constexpr int64_t kId3v2HeaderBytes = 10;

// Reads the ID3v1 tag in the file's last 128 bytes (one read). Returns 128 when a tag was read, 0
// when there is none (the file has 128 bytes or fewer, or no "TAG" marker), -1 when the read
// failed.
[[nodiscard]] int ReadId3v1(TagFile& file, TrackRecord* record, platform::TextCodec& codec,
                            uint32_t codePage);

// Reads the ID3v2 tag at the start of the file. Returns the file offset just after the tag body
// (10 + body size; a footer is not counted) when the file starts with an "ID3" header, whatever its
// version; 0 when it does not (also for a file shorter than the 10-byte header); -1 when the body
// cannot be read: a body size of 0, a body that runs past the end of the file, a failed read.
[[nodiscard]] int64_t ReadId3v2(TagFile& file, TrackRecord* record, platform::TextCodec& codec,
                                uint32_t codePage);

// Decodes the data of an ID3v2 text frame (its first byte is the text encoding) into `out` and
// returns the units written, up to the first zero unit: encoding 0 through the code page; 1 UTF-16
// taken as big-endian unless it starts with the mark FF FE; 2 UTF-16 taken as little-endian unless
// it starts with the mark FE FF; 3 UTF-8 through Utf8ToUtf16; any other value the whole data,
// encoding byte included, through the code page. A leading byte-order mark is dropped.
size_t DecodeId3v2Text(std::span<const uint8_t> data, platform::TextCodec& codec, uint32_t codePage,
                       std::span<char16_t> out);

}  // namespace deltrix::tags
