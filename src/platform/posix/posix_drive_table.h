// The drive table of Linux: every mounted volume a user could pick, and every staging folder named
// explicitly, gets a drive root (E:\) so that the core keeps the player's path form. Letters are an
// internal detail (stored paths carry none): mounts take the first free letter from C: upward in
// mount order, staging folders from Y: downward, Z: is never used, and a letter stays with its
// volume for as long as it is mounted. The mount table is read again by every query except path
// translation, so a pulled stick is noticed.
//
// Everything that comes from the running system (the mount table, statfs, the FAT ioctls, sysfs and
// /dev/disk) goes through a SystemProbe, so tests run on fixture text without devices.
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

namespace deltrix::platform::posix {

// What the system can tell about a block device.
struct DeviceFacts {
  bool removable = false;  // the disk's removable flag, or it hangs off a USB or MMC bus
  std::string uuid;        // as /dev/disk/by-uuid names the device ("ABCD-1234"); may be empty
  std::string label;       // as /dev/disk/by-label names it, unescaped; may be empty
  std::string fsType;      // the type udev detected ("ntfs", "exfat"), for fuseblk mounts
};

class SystemProbe {
 public:
  virtual ~SystemProbe() = default;
  // The text of /proc/self/mountinfo; empty when it cannot be read.
  virtual std::string MountInfo() = 0;
  // statfs of a mounted folder: false when the volume cannot be read (medium gone). `clusters`
  // is the total block count, which on vfat is the count of data clusters.
  virtual bool StatVolume(const std::string& folder, uint64_t* clusters, uint32_t* fsMagic) = 0;
  // The FAT volume id through FAT_IOCTL_GET_VOLUME_ID; 0 when it cannot be read.
  virtual uint32_t FatVolumeId(const std::string& folder) = 0;
  // Facts about the block device under a mount (its major:minor, or its /dev source where the
  // file system reports an anonymous device number, as btrfs does).
  virtual DeviceFacts Device(const MountEntry& mount) = 0;
};

// The probe of the running Linux system.
class LinuxSystemProbe : public SystemProbe {
 public:
  std::string MountInfo() override;
  bool StatVolume(const std::string& folder, uint64_t* clusters, uint32_t* fsMagic) override;
  uint32_t FatVolumeId(const std::string& folder) override;
  DeviceFacts Device(const MountEntry& mount) override;
};

// The 32-bit serial a volume id stands for: "ABCD-1234" (FAT, exFAT) gives 0xABCD1234, sixteen
// hex digits (NTFS) their low 32 bits as Windows shows them, a standard UUID its first eight hex
// digits; 0 for anything else.
uint32_t SerialFromUuid(std::string_view uuid);

// The file-system name the player's host would report: vfat is "FAT32" from 65525 clusters on and
// "FAT" below; ntfs, ntfs3, ntfs-3g and an ntfs fuseblk are "NTFS"; exfat "exFAT"; others keep
// their own name.
std::u16string FileSystemName(std::string_view fsType, uint64_t clusters,
                              std::string_view detected);

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
