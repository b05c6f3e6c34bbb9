// A real folder on disk as a drive, for end-to-end tests: a fresh temporary folder registered as
// the staging drive of the system's real platform, so code under test reaches it through the same
// system calls as the program. On Linux the platform is given no mounted volumes, so the temporary
// drive is its only drive whatever the machine has mounted; on Windows it takes a free letter
// beside the system's own drives. The destructor removes the folder and
// everything in it. One TempDrive per test.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "native_platform.h"
#include "platform/platform.h"

namespace deltrix::testing {

class TempDrive {
 public:
  TempDrive();
  ~TempDrive();
  TempDrive(const TempDrive&) = delete;
  TempDrive& operator=(const TempDrive&) = delete;

  const std::string& folder() const { return folder_; }  // native path of the drive's root
  const std::u16string& root() const {
    return root_;
  }  // its drive root, such as Y:\ (with the backslash)
  platform::Platform& platform() { return native_.platform; }
  platform::NativePlatform& native() { return native_; }

  // The drive path of a path relative to the root: Path(u"Music\\a.mp3") is Y:\Music\a.mp3.
  std::u16string Path(std::u16string_view relative) const {
    return root_ + std::u16string(relative);
  }
  // The native path of a drive path, in UTF-8.
  std::string Native(std::u16string_view drivePath);

  // Writes a file by drive path, making its folders first. False when that fails.
  bool WriteFile(std::u16string_view drivePath, std::string_view bytes);
  bool WriteFile(std::u16string_view drivePath, const std::vector<uint8_t>& bytes);
  // Sets a file's modification time, in seconds since 1970 (UTC). False when that fails.
  bool SetModifiedTime(std::u16string_view drivePath, int64_t seconds);
  // The file's bytes; empty when it is missing.
  std::string ReadFile(std::u16string_view drivePath);
  bool Exists(std::u16string_view drivePath);
  // Names directly in a folder (no "." or ".."), sorted.
  std::vector<std::string> Names(std::u16string_view drivePath);

 private:
  std::string folder_;
  platform::NativePlatform native_;
  std::u16string root_;
};

}  // namespace deltrix::testing
