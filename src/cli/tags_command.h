// The console's "tags" command: for users who ask "why does my player show this title?", it prints
// the track record that each file gives, exactly as a library run would store it, or why no record
// can be made of it (too long a path on the card, no such file, not an audio file, unreadable). The
// caller resolves each argument to a drive path first (a file on a card lies below the card's mount
// point; its stored path is the part below that root, with backslashes).
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace deltrix::cli {

struct TagsInput {
  std::string userArg;       // the file as the user named it
  std::u16string drivePath;  // E:\Music\a.mp3; empty when the file lies on no drive
};

// Reads every file with the tag language `tagLanguage` (0-9) and prints one block of lines per
// file, or with `json` one object per line: fileSize, trackNumber, fileType, genre, artist, album,
// title, path (the record's fields, null for a file that gives no record), file (the argument) and,
// for a file that gives no record, error (why). Returns 0 when every file gave a record and 2 when
// any did not.
int RunTagsCommand(platform::FileSystem& files, platform::TextCodec& codec,
                   const std::vector<TagsInput>& inputs, int tagLanguage, bool json,
                   std::ostream& out);

}  // namespace deltrix::cli
