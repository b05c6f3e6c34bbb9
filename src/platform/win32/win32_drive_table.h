// The drives of Windows as they stand: letters, labels, serials and types come from the system.
// A drive path is already a Windows path, so translation is the identity, with one exception: a
// staging folder (--folder) has no letter of its own, so the table lends it a free letter from Y:
// downward, inside this process only, and every path on that letter is rewritten to the folder.
// Nothing is mapped system-wide (no DefineDosDevice), so a killed process leaves no letter behind.
//
// Thread safety: all methods may be called from any thread; the staging table is guarded by a
// mutex.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::platform::win32 {

class Win32DriveTable : public DriveTable {
 public:
  // Registers a folder (UTF-8, as the user typed it) as a volume root and returns its drive root
  // ("Y:\"): a fixed drive with file system "FAT32", a non-zero serial derived from the folder's
  // full path and the folder's base name as its label, as the Linux build gives a staging folder.
  // The same folder registered again gives the same root. Empty when the folder does not exist or
  // no letter is free.
  std::u16string AddStagingFolder(std::string folder);

  // The Win32 path of a drive path: names joined with "\", empty names and "." dropped, ".."
  // stopping at the root; a staging letter replaced by its folder; the "\\?\" prefix added where
  // the path would pass MAX_PATH. False for a path without a drive letter or holding a NUL.
  [[nodiscard]] bool Resolve(std::u16string_view drivePath, std::u16string* native);

  // The folder a staging root stands for (full path, no trailing separator); empty for any other
  // root.
  std::u16string StagingFolder(std::u16string_view root) const;

  // DriveTable
  uint32_t PresentDrives() override;
  bool ReadVolume(std::u16string_view root, VolumeInfo* info) override;
  DriveType TypeOf(std::u16string_view root) override;
  // "E:", "e:\", "E:/Music" and any path Windows can make absolute; a path inside a staging
  // folder gives that folder's letter. Empty for paths on no drive letter (UNC shares).
  std::u16string ToDrivePath(std::string_view userPath) override;
  std::string ToUserPath(std::u16string_view drivePath) override;

 private:
  struct Staging {
    std::u16string folder;  // full path without a trailing separator; empty when unused
    uint32_t serial = 0;
  };
  // The staging folder of a root, or null.
  const Staging* StagingOf(std::u16string_view root) const;

  mutable std::mutex mu_;
  std::array<Staging, 26> staging_;  // by letter, A at 0
};

}  // namespace deltrix::platform::win32
