// Reading one audio file into a TrackRecord: the front door of tag reading. The library's build
// steps call ReadTrackFile once per file on the worker thread; it opens the file through the
// platform, measures it, classifies it by the extension of its name, runs the readers in their
// order of precedence (ID3v1, then ID3v2, then the container: MP4 atoms or RIFF INFO; each later
// reader overwrites what it finds), cleans the texts up and supplies the file-name title and the
// stored path. Nothing is allocated per file (the platform's file object aside) and nothing is kept
// between calls.
//
// Results in the tag layer: a reading step (ReadTrackFile, ReadTags, ReadMp4Atoms) returns 1 when
// done and 0 when not; a reader that answers a length or an offset (ReadId3v1, ReadId3v2) answers
// -1 when it failed.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/platform.h"
#include "tags/track_record.h"

namespace deltrix::tags {

// Full paths longer than this many units are not read; stored paths (without the drive letter and
// colon) hold at most kPathUnits - 1.
inline constexpr size_t kMaxFullPathUnits = 259;

// The FileType for a full path's extension, compared without regard to ASCII case: ".MP3", ".M4A",
// ".MP4", ".AAC", ".WAV", ".AIF", then ".AIFF". FileType::None when the name ends in none of them
// ("songAIFF" has no dot, so none).
FileType ClassifyExtension(std::u16string_view fullPath);

// Fills `record` from the file at `fullPath` (E:\Music\a.mp3), decoding 8-bit text with the code
// page of `tagLanguage` (0-9, TagLanguageCodePages). Returns 1 when the record was filled: its
// title is not empty (the file name, cut at 63 units, stands in when no tag gave one) and its path
// is the full path without the drive letter and colon. Returns 0 when the file cannot be read (too
// long a path, it cannot be opened or measured, an extension outside the table, a failed read or
// malformed ID3v2 tag or MP4 atom walk); the record's contents are then undefined, and the path is
// untouched when the path was too long.
[[nodiscard]] int ReadTrackFile(platform::FileSystem& files, platform::TextCodec& codec,
                                std::u16string_view fullPath, TrackRecord* record, int tagLanguage);

// The reading itself, without the title fallback and the stored path: resets the record (all but
// the path), opens and measures the file, classifies it and runs the readers with `codePage` for
// 8-bit text, then the clean-up where it is due (not for AIFF files, nor for MP3 and AAC files
// without an ID3 tag). Returns 1 when read and 0 when not, as ReadTrackFile does. The file is
// closed before it returns.
[[nodiscard]] int ReadTags(platform::FileSystem& files, platform::TextCodec& codec,
                           std::u16string_view fullPath, TrackRecord* record, uint32_t codePage);

}  // namespace deltrix::tags
