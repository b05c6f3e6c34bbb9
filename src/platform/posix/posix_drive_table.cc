#include "platform/posix/posix_drive_table.h"

#include <sys/stat.h>

#include <optional>

#include "base/utf16.h"
#include "platform/posix/native_paths.h"
#include "platform/posix/volume_identity.h"

namespace deltrix::platform::posix {

namespace {

constexpr int kFirstMountLetter = 2;  // C:
constexpr int kLastLetter = 24;       // Y:; Z: is never used

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

}  // namespace

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
    d.stagingSerial = StagingSerial(folder);
    return RootOf(letter);
  }
  return {};
}

bool PosixDriveTable::Resolve(std::u16string_view drivePath, std::string* native, bool* fat) {
  const int letter = LetterOf(drivePath);
  if (letter < 0) return false;
  const std::optional<std::vector<std::u16string_view>> names = DrivePathNames(drivePath.substr(2));
  if (!names) return false;
  std::lock_guard lock(mu_);
  const Drive& d = drives_[letter];
  if (!d.used) return false;
  std::string path = d.folder;
  for (std::u16string_view name : *names) {
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
