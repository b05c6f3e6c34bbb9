// Everything the drive table asks of the running Linux system (the mount table, statfs, the FAT
// ioctls, sysfs and /dev/disk) goes through a SystemProbe, so the table is tested on fixture text
// without devices. LinuxSystemProbe is the only code that reads these places.
#pragma once

#include <cstdint>
#include <string>

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

// statfs's magic number of a FAT volume.
inline constexpr uint32_t kMsdosMagic = 0x4d44;

}  // namespace deltrix::platform::posix
