#include "platform/posix/posix_drive_table.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "base/utf16.h"

namespace deltrix::platform::posix {

namespace {

constexpr int kFirstMountLetter = 2;  // C:
constexpr int kLastLetter = 24;       // Y:; Z: is never used
constexpr uint32_t kMsdosMagic = 0x4d44;
constexpr uint64_t kFat32MinClusters = 65525;  // fewer clusters make a FAT12 or FAT16 volume

std::u16string RootOf(int letter) { return {static_cast<char16_t>(u'A' + letter), u':', u'\\'}; }

// The letter of a drive path ("E:\..." or "e:"), or -1.
int LetterOf(std::u16string_view path) {
  if (path.size() < 2 || path[1] != u':') return -1;
  const char16_t c = AsciiUpper(path[0]);
  return (c >= u'A' && c <= u'Z') ? c - u'A' : -1;
}

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::string MountKey(const MountedVolume& v) {
  return std::to_string(v.mount.major) + ":" + std::to_string(v.mount.minor) + " " +
         v.mount.fsType + " " + v.mount.root + " " + v.mount.mountPoint;
}

bool IsFatType(std::string_view type) { return type == "vfat" || type == "msdos"; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint32_t> ParseHex32(std::string_view hex) {
  if (hex.empty() || hex.size() > 8) return std::nullopt;
  uint32_t v = 0;
  for (char c : hex) {
    const int d = HexValue(c);
    if (d < 0) return std::nullopt;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  return v;
}

bool AllHex(std::string_view s) {
  for (char c : s) {
    if (HexValue(c) < 0) return false;
  }
  return true;
}

uint32_t Fnv1a32(std::string_view text) {
  uint32_t h = 2166136261u;
  for (char c : text) {
    h ^= static_cast<uint8_t>(c);
    h *= 16777619u;
  }
  return h;
}

// The real path of an existing path; empty when it does not resolve.
std::string RealPath(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (!resolved) return {};
  std::string out(resolved);
  std::free(resolved);
  return out;
}

// The canonical absolute form of a path that may not exist yet: the real path of its longest
// existing ancestor followed by the remaining names.
std::string CanonicalPath(std::string path) {
  if (path.empty()) return {};
  if (path.front() != '/') {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) return {};
    path = std::string(cwd) + "/" + path;
    std::free(cwd);
  }
  std::string real = RealPath(path);
  if (!real.empty()) return real;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos || path == "/") return {};
  const std::string leaf = path.substr(slash + 1);
  std::string base = CanonicalPath(slash == 0 ? std::string("/") : path.substr(0, slash));
  if (base.empty()) return {};
  if (leaf.empty() || leaf == ".") return base;
  if (leaf == "..") {
    const size_t up = base.rfind('/');
    return up == 0 || up == std::string::npos ? std::string("/") : base.substr(0, up);
  }
  return base == "/" ? "/" + leaf : base + "/" + leaf;
}

// The part of `path` below `folder` ("" for the folder itself), or nullopt when it is not below.
std::optional<std::string_view> Below(std::string_view folder, std::string_view path) {
  if (folder == "/") return path.substr(1);
  if (!path.starts_with(folder)) return std::nullopt;
  if (path.size() == folder.size()) return std::string_view();
  if (path[folder.size()] != '/') return std::nullopt;
  return path.substr(folder.size() + 1);
}

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

// udev names links with \xHH escapes ("MY\x20STICK").
std::string UnescapeUdev(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x' &&
        HexValue(name[i + 2]) >= 0 && HexValue(name[i + 3]) >= 0) {
      out.push_back(static_cast<char>(HexValue(name[i + 2]) * 16 + HexValue(name[i + 3])));
      i += 3;
    } else {
      out.push_back(name[i]);
    }
  }
  return out;
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

// ---- LinuxSystemProbe --------------------------------------------------------------------------

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

  const std::string udev = ReadSmallFile("/run/udev/data/b" + number);
  const size_t at = udev.find("E:ID_FS_TYPE=");
  if (at != std::string::npos) {
    const size_t begin = at + 13;
    facts.fsType = udev.substr(begin, std::min(udev.find('\n', begin), udev.size()) - begin);
  }
  return facts;
}

// ---- pure helpers ------------------------------------------------------------------------------

uint32_t SerialFromUuid(std::string_view uuid) {
  if (uuid.size() == 9 && uuid[4] == '-' && AllHex(uuid.substr(0, 4)) && AllHex(uuid.substr(5))) {
    return *ParseHex32(std::string(uuid.substr(0, 4)) + std::string(uuid.substr(5)));
  }
  if (uuid.size() == 16 && AllHex(uuid)) return *ParseHex32(uuid.substr(8));
  if (uuid.size() == 36 && uuid[8] == '-' && uuid[13] == '-' && AllHex(uuid.substr(0, 8))) {
    return *ParseHex32(uuid.substr(0, 8));
  }
  return 0;
}

std::u16string FileSystemName(std::string_view fsType, uint64_t clusters,
                              std::string_view detected) {
  if (IsFatType(fsType)) return clusters >= kFat32MinClusters ? u"FAT32" : u"FAT";
  if (fsType == "fuseblk" && !detected.empty()) fsType = detected;
  if (fsType == "ntfs" || fsType == "ntfs3" || fsType == "ntfs-3g" || fsType == "fuse.ntfs-3g") {
    return u"NTFS";
  }
  if (fsType == "exfat") return u"exFAT";
  return FromUtf8(fsType);
}

// ---- PosixDriveTable ---------------------------------------------------------------------------

PosixDriveTable::PosixDriveTable(std::unique_ptr<SystemProbe> probe) : probe_(std::move(probe)) {
  std::lock_guard lock(mu_);
  RefreshLocked();
}

void PosixDriveTable::RefreshLocked() {
  std::vector<MountedVolume> volumes = SelectVolumes(ParseMountInfo(probe_->MountInfo()));
  std::vector<bool> placed(volumes.size(), false);
  // Volumes still mounted keep their letters; the letters of vanished ones become free.
  for (Drive& d : drives_) {
    if (!d.used || d.staging) continue;
    bool kept = false;
    for (size_t i = 0; i < volumes.size() && !kept; ++i) {
      if (!placed[i] && MountKey(volumes[i]) == d.key) {
        d.volume = std::move(volumes[i]);
        placed[i] = kept = true;
      }
    }
    if (!kept) d = Drive{};
  }
  int next = kFirstMountLetter;
  for (size_t i = 0; i < volumes.size(); ++i) {
    if (placed[i]) continue;
    while (next <= kLastLetter && drives_[next].used) ++next;
    if (next > kLastLetter) break;  // more volumes than letters: the rest stay unreachable
    Drive& d = drives_[next];
    d.used = true;
    d.key = MountKey(volumes[i]);
    d.folder = volumes[i].mount.mountPoint;
    d.fat = IsFatType(volumes[i].mount.fsType);
    d.volume = std::move(volumes[i]);
  }
}

PosixDriveTable::Drive* PosixDriveTable::FindLocked(std::u16string_view root) {
  const int letter = LetterOf(root);
  if (letter < 0) return nullptr;
  for (char16_t c : root.substr(2)) {
    if (!IsSeparator(c)) return nullptr;  // a root names no folder
  }
  Drive& d = drives_[letter];
  return d.used ? &d : nullptr;
}

std::u16string PosixDriveTable::AddStagingFolder(std::string nativeFolder) {
  const std::string folder = RealPath(nativeFolder);
  struct stat st {};
  if (folder.empty() || stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return {};
  std::lock_guard lock(mu_);
  for (int letter = kLastLetter; letter >= 0; --letter) {
    const Drive& d = drives_[letter];
    if (d.used && d.staging && d.folder == folder) return RootOf(letter);
  }
  for (int letter = kLastLetter; letter >= 0; --letter) {
    Drive& d = drives_[letter];
    if (d.used) continue;
    d = Drive{};
    d.used = true;
    d.staging = true;
    d.key = "staging " + folder;
    d.folder = folder;
    uint64_t clusters = 0;
    uint32_t magic = 0;
    d.fat = probe_->StatVolume(folder, &clusters, &magic) && magic == kMsdosMagic;
    d.stagingSerial = Fnv1a32(folder);
    if (d.stagingSerial == 0) d.stagingSerial = 1;  // 0 would mark the drive unusable
    return RootOf(letter);
  }
  return {};
}

bool PosixDriveTable::Resolve(std::u16string_view drivePath, std::string* native, bool* fat) {
  const int letter = LetterOf(drivePath);
  if (letter < 0) return false;
  std::vector<std::u16string_view> names;
  std::u16string_view rest = drivePath.substr(2);
  while (!rest.empty()) {
    size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::u16string_view name = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (name.find(u'\0') != std::u16string_view::npos) return false;
    if (name.empty() || name == u".") continue;
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(name);
  }
  std::lock_guard lock(mu_);
  const Drive& d = drives_[letter];
  if (!d.used) return false;
  std::string path = d.folder;
  for (std::u16string_view name : names) {
    if (path.back() != '/') path.push_back('/');
    path += ToUtf8(name);
  }
  *native = std::move(path);
  *fat = d.fat;
  return true;
}

bool PosixDriveTable::ReadVolumeLocked(const Drive& d, VolumeInfo* info) {
  uint64_t clusters = 0;
  uint32_t magic = 0;
  if (!probe_->StatVolume(d.folder, &clusters, &magic)) return false;
  if (!info) return true;
  if (d.staging) {
    const size_t slash = d.folder.rfind('/');
    info->name = FromUtf8(d.folder.substr(slash + 1));
    info->serial = d.stagingSerial;
    info->fileSystem = u"FAT32";
    return true;
  }
  const MountEntry& m = d.volume.mount;
  DeviceFacts facts;
  if (d.volume.cls == MountClass::Block || d.volume.cls == MountClass::Optical) {
    facts = probe_->Device(m);
  }
  info->name = FromUtf8(facts.label);
  info->fileSystem = FileSystemName(m.fsType, clusters, facts.fsType);
  info->serial = 0;
  if (d.fat) info->serial = probe_->FatVolumeId(d.folder);
  if (info->serial == 0) info->serial = SerialFromUuid(facts.uuid);
  return true;
}

uint32_t PosixDriveTable::PresentDrives() {
  std::lock_guard lock(mu_);
  RefreshLocked();
  uint32_t mask = 0;
  for (int letter = 0; letter <= kLastLetter; ++letter) {
    if (drives_[letter].used) mask |= 1u << letter;
  }
  return mask;
}

bool PosixDriveTable::ReadVolume(std::u16string_view root, VolumeInfo* info) {
  std::lock_guard lock(mu_);
  RefreshLocked();
  const Drive* d = FindLocked(root);
  return d && ReadVolumeLocked(*d, info);
}

DriveType PosixDriveTable::TypeOf(std::u16string_view root) {
  std::lock_guard lock(mu_);
  RefreshLocked();
  const Drive* d = FindLocked(root);
  if (!d) return DriveTypeNoRoot;
  if (d->staging) return DriveTypeFixed;
  switch (d->volume.cls) {
    case MountClass::Remote:
      return DriveTypeRemote;
    case MountClass::Optical:
      return DriveTypeCdRom;
    case MountClass::Block:
      return probe_->Device(d->volume.mount).removable ? DriveTypeRemovable : DriveTypeFixed;
    case MountClass::Other:
      return DriveTypeFixed;
    case MountClass::Pseudo:
      break;
  }
  return DriveTypeUnknown;
}

std::u16string PosixDriveTable::ToDrivePath(std::string_view userPath) {
  const std::string path = CanonicalPath(std::string(userPath));
  if (path.empty()) return {};
  std::lock_guard lock(mu_);
  RefreshLocked();
  // The longest folder that holds the path wins; on a tie a staging folder (named on purpose)
  // beats a mount.
  int best = -1;
  size_t bestLength = 0;
  bool bestStaging = false;
  std::string tail;
  auto consider = [&](int letter, const std::string& folder, std::string_view subRoot) {
    const std::optional<std::string_view> below = Below(folder, path);
    if (!below) return;
    const bool staging = drives_[letter].staging;
    if (best >= 0 && (folder.size() < bestLength ||
                      (folder.size() == bestLength && (bestStaging || !staging)))) {
      return;
    }
    best = letter;
    bestLength = folder.size();
    bestStaging = staging;
    tail.assign(subRoot);
    if (!below->empty()) {
      tail.push_back('/');
      tail.append(*below);
    }
  };
  for (int letter = 0; letter <= kLastLetter; ++letter) {
    const Drive& d = drives_[letter];
    if (!d.used) continue;
    consider(letter, d.folder, "");
    for (const MountedVolume::Alias& a : d.volume.aliases) {
      consider(letter, a.mountPoint, a.subRoot);
    }
  }
  if (best < 0) return {};
  std::u16string drivePath = RootOf(best);
  std::u16string names = FromUtf8(tail);
  for (char16_t& c : names) {
    if (c == u'/') c = u'\\';
  }
  if (!names.empty() && names.front() == u'\\') names.erase(0, 1);
  return drivePath + names;
}

std::string PosixDriveTable::ToUserPath(std::u16string_view drivePath) {
  std::string native;
  bool fat = false;
  return Resolve(drivePath, &native, &fat) ? native : std::string();
}

}  // namespace deltrix::platform::posix
