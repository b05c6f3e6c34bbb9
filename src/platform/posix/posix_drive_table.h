// The drive table of Linux: every mounted volume a user could pick, and every staging folder named
// explicitly, gets a drive root (E:\) so that the core keeps the player's path form. Letters are an
// internal detail (stored paths carry none): mounts take the first free letter from C: upward in
// mount order, staging folders from Y: downward, Z: is never used, and a letter stays with its
// volume for as long as it is mounted. The mount table is read again by every query except path
// translation, so a pulled stick is noticed.
//
// Everything that comes from the running system goes through a SystemProbe (system_probe.h), so
// tests run on fixture text without devices; what a volume is follows from volume_identity.h, and
// paths are canonicalised by native_paths.h.
//
// Thread safety: all methods may be called from any thread; the table is guarded by a mutex.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/mount_table.h"
#include "platform/posix/system_probe.h"

namespace deltrix::platform::posix {

class PosixDriveTable : public DriveTable {
 public:
  explicit PosixDriveTable(std::unique_ptr<SystemProbe> probe);
  PosixDriveTable(const PosixDriveTable&) = delete;
  PosixDriveTable& operator=(const PosixDriveTable&) = delete;

  // Registers a folder as a volume root and returns its drive root ("Y:\"): a usable fixed drive
  // with file system "FAT32", a non-zero serial derived from the path and the folder's base name
  // as its label. The same folder registered again gives the same root. Empty when the folder
  // does not exist or no letter is free.
  std::u16string AddStagingFolder(std::string nativeFolder);

  // The native path of a drive path: the volume's folder followed by the path's names joined with
  // "/". Empty components (doubled backslashes) and "." are dropped, ".." stops at the root.
  // False for an unknown drive or a path holding a NUL. `fat` tells whether the volume is vfat.
  [[nodiscard]] bool Resolve(std::u16string_view drivePath, std::string* native, bool* fat);

  // DriveTable
  uint32_t PresentDrives() override;
  bool ReadVolume(std::u16string_view root, VolumeInfo* info) override;
  DriveType TypeOf(std::u16string_view root) override;
  std::u16string ToDrivePath(std::string_view userPath) override;
  std::string ToUserPath(std::u16string_view drivePath) override;

 private:
  struct Drive {
    bool used = false;
    bool staging = false;
    std::string key;     // identity of a mount across refreshes
    std::string folder;  // what the drive root maps to
    MountedVolume volume;
    bool fat = false;
    uint32_t stagingSerial = 0;
  };

  void RefreshLocked();
  Drive* FindLocked(std::u16string_view root);
  bool ReadVolumeLocked(const Drive& drive, VolumeInfo* info);

  std::mutex mu_;
  std::unique_ptr<SystemProbe> probe_;
  std::array<Drive, 26> drives_;  // by letter, A at 0
};

}  // namespace deltrix::platform::posix
