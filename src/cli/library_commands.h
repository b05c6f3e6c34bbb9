// The console's library commands, on the library reader (library/library_reader.h), which shares
// nothing with the writers:
//   show DRIVE   prints the library as the player lets a person browse it: genre > artist > album >
//                tracks, artist > album > tracks, albums, titles, each with its counts;
//   check DRIVE  verifies every structural invariant of ZRTL.DB, ZRBL.DB and ZRDB.DB, one line per
//                violation.
// Both return 0 for a sound library and 3 when it is missing, unreadable or damaged (what is wrong
// is printed; nothing is ever read outside the files).
#pragma once

#include <ostream>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::cli {

// `shown` names the drive in messages as the user knows it (a mount point); empty: the drive root.
int RunShowCommand(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                   std::string_view shown = {});
int RunCheckCommand(platform::FileSystem& files, std::u16string_view driveRoot, std::ostream& out,
                    std::string_view shown = {});

}  // namespace deltrix::cli
