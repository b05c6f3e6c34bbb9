// The Linux mount table as text (/proc/self/mountinfo) turned into the volumes a user can pick.
// Pure functions over the text, so tests feed fixture lines and need no real devices.
//
// One mountinfo line:  36 35 98:0 /sub /mnt/point rw,noatime master:1 - vfat /dev/sdb1 rw,...
// (id, parent id, device major:minor, root inside the file system, mount point, options, optional
// fields up to "-", file-system type, source, super options). Paths escape space, tab, newline
// and backslash as three octal digits ("\040").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace deltrix::platform::posix {

struct MountEntry {
  int mountId = 0;
  int parentId = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  std::string root;        // the folder of the file system mounted here; "/" for the whole volume
  std::string mountPoint;  // unescaped, absolute
  std::string fsType;      // "vfat", "ntfs3", "fuseblk", "fuse.sshfs", ...
  std::string source;      // "/dev/sdb1", "server:/export", "none"
};

// Every well-formed line, in the kernel's order (mount order). Malformed lines are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// Undoes the kernel's octal escapes ("\040" is a space); other backslashes stay as they are.
std::string UnescapeMountField(std::string_view field);

// How a volume is reached, before any device is probed.
enum class MountClass { Pseudo, Block, Remote, Optical, Other };

// Pseudo file systems (proc, sysfs, tmpfs, overlay, cgroup, ...) are never drives; network file
// systems are Remote, iso9660 and udf Optical; a file system on a block device is Block; the
// rest (zfs datasets, other FUSE file systems) is Other.
MountClass ClassifyMount(const MountEntry& mount);

// A volume a user can pick, with the other places it is mounted. `mount` is the entry whose root is
// the shallowest of its device; a bind mount of a folder inside the same volume becomes an alias
// whose `subRoot` is that folder relative to the volume ("/Music"), so paths below it still map.
struct MountedVolume {
  MountEntry mount;
  MountClass cls = MountClass::Other;
  struct Alias {
    std::string mountPoint;
    std::string subRoot;  // "" when the alias shows the whole volume
  };
  std::vector<Alias> aliases;
};

// The volumes of a mount table, in the order of their first mount: pseudo file systems dropped,
// mounts hidden by a later mount on the same point dropped, bind mounts folded into their volume.
std::vector<MountedVolume> SelectVolumes(const std::vector<MountEntry>& mounts);

}  // namespace deltrix::platform::posix
