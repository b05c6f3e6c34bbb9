// Small stateless rules over the drive table: which drives exist, which can carry a library, and
// whether one is still there. A drive root is letter, colon, backslash (E:\).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace deltrix::run {

enum FileSystemKind : int { FileSystemOther = 0, FileSystemFat = 1, FileSystemNtfs = 4 };
enum DriveClass : int { DriveHasLibrary = 1, DriveUsable = 2, DriveUnsupported = 3 };

struct DriveListEntry {
  std::u16string root;   // a drive root such as E:\ (letter, colon, backslash)
  std::u16string label;  // "E:\ [MUSIC]", or the root alone when the volume has no name
};

// The root-path test: a drive root (E:\), a lone backslash, or a network server-and-share root.
bool IsRootPath(std::u16string_view path);
// True when the volume of `root` can be read at all.
bool IsDrivePresent(platform::DriveTable& drives, std::u16string_view root);
// 1 for exactly "FAT" or "FAT32", 4 for exactly "NTFS", 0 otherwise (case matters).
int GetFileSystemKind(platform::DriveTable& drives, std::u16string_view root);
// DriveHasLibrary, DriveUsable or DriveUnsupported (NTFS, no serial, or neither removable nor
// fixed).
int CheckDrive(platform::Platform& platform, std::u16string_view root);
// Letters A to Y that are present, in order; Z is never listed.
std::vector<DriveListEntry> EnumerateDrives(platform::DriveTable& drives);

}  // namespace deltrix::run
