// show --json and check --json: the same verdicts as the text commands (library_commands.h) as one
// JSON document in UTF-8, for scripts that inventory a card.
//
// check: {"drive", "sound", "problems": [...], "trackCount": count, or null when not sound}
// show:  {"drive", "sound", "problems", "tracks": [record...], "genres", "artists", "albums",
//         "titles"}; a record is {"index", "id", "trackNumber", "fileType", "fileSize", "genre",
//         "artist", "album", "title", "path"} (trackNumber null when the record has none); the
//         browse trees name groups and list track indexes: genres > artists > albums > tracks,
//         artists > albums > tracks, albums > tracks, titles in the player's order.
// Stored text is UTF-16. A string that is not valid UTF-16 (a title cut inside a surrogate pair)
// shows U+FFFD for each lone unit, and its stored units follow as hex beside it under the same
// name with "Units" added ("titleUnits": "0041D83D").
//
// The exit status is that of the text command: 0 for a sound library, 3 when it is missing,
// unreadable or damaged.
#pragma once

#include <ostream>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::cli {

int RunShowJson(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                std::string_view shown);
int RunCheckJson(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                 std::string_view shown);

}  // namespace deltrix::cli
