// Where the library lives on a drive: root + "KORVANE\LIBRARY\" + file name. The library-present
// test is shared by the drive checks and the backup of a run.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::library {

// True only when ZRDB.DB, ZRTL.DB and ZRBL.DB can all be opened for reading. Folders are not created.
// The file-system kind does not change where the library is.
inline bool IsLibraryPresent(platform::FileSystem& files, std::u16string_view root, int /*fileSystemKind*/) {
  const std::u16string folder = std::u16string(root) + u"KORVANE\\LIBRARY\\";
  for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
    if (!files.Open(folder + name, "r")) return false;
  }
  return true;
}

}  // namespace deltrix::library
