// Where the library lives on a drive and the one routine through which the engine opens its files:
// root + "KORVANE\LIBRARY\" + file name. The device folder KORVANE is created hidden, the library
// folder inside it with default attributes, both only when missing (an existing folder keeps its
// attributes). Paths are built in a buffer of 256 UTF-16 units, terminator included; a longer path
// is refused. The library-present test is shared by the drive checks and the backup of a run.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::library {

inline constexpr std::u16string_view kDeviceFolder = u"KORVANE";
inline constexpr std::u16string_view kLibraryFolder = u"LIBRARY";
inline constexpr std::u16string_view kTrackListFile = u"ZRTL.DB";   // one record per track
inline constexpr std::u16string_view kBrowseListFile = u"ZRBL.DB";  // sorted lists and group tables
inline constexpr std::u16string_view kSummaryFile = u"ZRDB.DB";     // summary and list directory
inline constexpr std::u16string_view kRewriteFile = u"ZRTB.DB";  // an update's rewritten track list
inline constexpr std::u16string_view kAddListFile = u"ZRTA.LST";  // an update's files to add
inline constexpr size_t kPathUnits = 256;  // path buffer, terminator included

// root + "KORVANE\LIBRARY\" + name, or an empty string when it would not fit in kPathUnits - 1
// units.
std::u16string LibraryFilePath(std::u16string_view root, std::u16string_view name);

// Creates the folders when missing, then opens the file with a C-runtime mode. Null when a folder
// cannot be made, the path does not fit, or the open fails.
std::unique_ptr<platform::File> OpenLibraryFile(platform::FileSystem& files,
                                                std::u16string_view root, std::u16string_view name,
                                                const char* mode);
// 0 deleted, -1 not. The folders are not created.
[[nodiscard]] int DeleteLibraryFile(platform::FileSystem& files, std::u16string_view root,
                                    std::u16string_view name);
// Closes *open (when set) first, then moves `from` over `to` inside the library folder in one step:
// `to` holds its old or its new content at every moment. 0 replaced, -1 not (also when the close
// reported data that did not reach `from`).
[[nodiscard]] int ReplaceLibraryFile(platform::FileSystem& files, std::u16string_view root,
                                     std::unique_ptr<platform::File>* open,
                                     std::u16string_view from, std::u16string_view to);

// True only when ZRDB.DB, ZRTL.DB and ZRBL.DB can all be opened for reading. Folders are not
// created. The file-system kind does not change where the library is.
inline bool IsLibraryPresent(platform::FileSystem& files, std::u16string_view root,
                             int /*fileSystemKind*/) {
  const std::u16string folder = std::u16string(root) + u"KORVANE\\LIBRARY\\";
  for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
    if (!files.Open(folder + name, "r")) return false;
  }
  return true;
}

}  // namespace deltrix::library
