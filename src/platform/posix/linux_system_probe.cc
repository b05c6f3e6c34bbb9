#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/native_paths.h"
#include "platform/posix/system_probe.h"
#include "platform/posix/volume_identity.h"

namespace deltrix::platform::posix {

namespace {

std::string ReadSmallFile(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return text;
}

// The name of the link in `folder` that leads to block device `dev`; empty when none does.
std::string LinkNameFor(const std::string& folder, dev_t dev) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return {};
  std::string found;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    struct stat st {};
    if (fstatat(dirfd(dir), e->d_name, &st, 0) == 0 && S_ISBLK(st.st_mode) && st.st_rdev == dev) {
      found = e->d_name;
      break;
    }
  }
  closedir(dir);
  return found;
}

}  // namespace

std::string LinuxSystemProbe::MountInfo() { return ReadSmallFile("/proc/self/mountinfo"); }

bool LinuxSystemProbe::StatVolume(const std::string& folder, uint64_t* clusters,
                                  uint32_t* fsMagic) {
  struct statfs st {};
  if (statfs(folder.c_str(), &st) != 0) return false;
  *clusters = static_cast<uint64_t>(st.f_blocks);
  *fsMagic = static_cast<uint32_t>(st.f_type);
  return true;
}

uint32_t LinuxSystemProbe::FatVolumeId(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return 0;
  uint32_t id = 0;
  if (ioctl(fd, FAT_IOCTL_GET_VOLUME_ID, &id) != 0) id = 0;
  close(fd);
  return id;
}

DeviceFacts LinuxSystemProbe::Device(const MountEntry& mount) {
  DeviceFacts facts;
  dev_t dev = makedev(mount.major, mount.minor);
  if (mount.major == 0) {  // an anonymous number: ask the device node named as the source
    struct stat st {};
    if (!mount.source.starts_with("/dev/") || stat(mount.source.c_str(), &st) != 0 ||
        !S_ISBLK(st.st_mode)) {
      return facts;
    }
    dev = st.st_rdev;
  }
  const std::string number = std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
  facts.uuid = LinkNameFor("/dev/disk/by-uuid", dev);
  facts.label = UnescapeUdev(LinkNameFor("/dev/disk/by-label", dev));

  // The removable flag belongs to the disk; a partition's folder sits inside its disk's folder.
  const std::string sys = RealPath("/sys/dev/block/" + number);
  if (!sys.empty()) {
    if (sys.find("/usb") != std::string::npos || sys.find("/mmc") != std::string::npos) {
      facts.removable = true;
    } else {
      std::string flag = ReadSmallFile(sys + "/removable");
      if (flag.empty()) flag = ReadSmallFile(sys + "/../removable");
      facts.removable = flag.starts_with("1");
    }
  }
  facts.fsType = UdevFileSystemType(ReadSmallFile("/run/udev/data/b" + number));
  return facts;
}

}  // namespace deltrix::platform::posix
