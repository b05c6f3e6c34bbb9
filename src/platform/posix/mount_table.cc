#include "platform/posix/mount_table.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <span>

namespace deltrix::platform::posix {

namespace {

// File systems that hold no user files: kernel interfaces, memory-backed scratch space, container
// layers, and desktop helpers that re-export other folders.
constexpr std::string_view kPseudoTypes[] = {
    "autofs",      "binfmt_misc", "bpf",           "cgroup",
    "cgroup2",     "configfs",    "debugfs",       "devpts",
    "devtmpfs",    "efivarfs",    "fusectl",       "hugetlbfs",
    "mqueue",      "nsfs",        "overlay",       "proc",
    "pstore",      "ramfs",       "rpc_pipefs",    "securityfs",
    "selinuxfs",   "squashfs",    "sysfs",         "tmpfs",
    "tracefs",     "nfsd",        "aufs",          "fuse.gvfsd-fuse",
    "fuse.portal", "fuse.lxcfs",  "fuse.snapfuse", "fuse.xdg-document-portal",
};

constexpr std::string_view kRemoteTypes[] = {
    "nfs",         "nfs4",      "cifs",           "smb3",      "smbfs",
    "9p",          "afs",       "ceph",           "davfs",     "fuse.sshfs",
    "fuse.rclone", "fuse.s3fs", "fuse.glusterfs", "glusterfs", "virtiofs",
};

bool OneOf(std::string_view type, std::span<const std::string_view> list) {
  return std::find(list.begin(), list.end(), type) != list.end();
}

// Splits off the next space-separated field; empty at the end.
std::string_view NextField(std::string_view* line) {
  while (!line->empty() && line->front() == ' ') line->remove_prefix(1);
  const size_t end = std::min(line->find(' '), line->size());
  std::string_view field = line->substr(0, end);
  line->remove_prefix(end);
  return field;
}

template <typename T>
bool ParseNumber(std::string_view text, T* value) {
  if (text.empty()) return false;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && ptr == text.data() + text.size();
}

bool IsOctal(char c) { return c >= '0' && c <= '7'; }

// True when `root` is `base` or a folder below it ("/a" holds "/a/b" but not "/ab").
bool RootHolds(std::string_view base, std::string_view root) {
  if (base == "/") return true;
  return root.starts_with(base) && (root.size() == base.size() || root[base.size()] == '/');
}

}  // namespace

std::string UnescapeMountField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && IsOctal(field[i + 1]) &&
        IsOctal(field[i + 2]) && IsOctal(field[i + 3])) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      out.push_back(static_cast<char>(value & 0xFF));
      i += 3;
    } else {
      out.push_back(field[i]);
    }
  }
  return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  while (!text.empty()) {
    const size_t eol = std::min(text.find('\n'), text.size());
    std::string_view line = text.substr(0, eol);
    text.remove_prefix(std::min(eol + 1, text.size()));

    MountEntry m;
    const std::string_view id = NextField(&line), parent = NextField(&line), dev = NextField(&line);
    const std::string_view root = NextField(&line), point = NextField(&line);
    NextField(&line);  // per-mount options
    // Optional fields ("shared:1", "master:2") end at a lone "-".
    std::string_view field;
    do {
      field = NextField(&line);
    } while (!field.empty() && field != "-");
    if (field != "-") continue;
    const std::string_view type = NextField(&line), source = NextField(&line);

    const size_t colon = dev.find(':');
    if (colon == std::string_view::npos || !ParseNumber(id, &m.mountId) ||
        !ParseNumber(parent, &m.parentId) || !ParseNumber(dev.substr(0, colon), &m.major) ||
        !ParseNumber(dev.substr(colon + 1), &m.minor) || root.empty() || point.empty() ||
        type.empty()) {
      continue;
    }
    m.root = UnescapeMountField(root);
    m.mountPoint = UnescapeMountField(point);
    m.fsType = UnescapeMountField(type);
    m.source = UnescapeMountField(source);
    if (m.mountPoint.front() != '/' || m.root.front() != '/') continue;
    mounts.push_back(std::move(m));
  }
  return mounts;
}

MountClass ClassifyMount(const MountEntry& mount) {
  const std::string_view type = mount.fsType;
  if (OneOf(type, kPseudoTypes)) return MountClass::Pseudo;
  if (OneOf(type, kRemoteTypes)) return MountClass::Remote;
  if (type == "iso9660" || type == "udf") return MountClass::Optical;
  if (mount.major != 0 || type == "fuseblk" || mount.source.starts_with("/dev/")) {
    return MountClass::Block;
  }
  return MountClass::Other;
}

std::vector<MountedVolume> SelectVolumes(const std::vector<MountEntry>& mounts) {
  // Entries still visible: a later mount on the same point hides the earlier one.
  std::vector<size_t> visible;
  for (size_t i = 0; i < mounts.size(); ++i) {
    if (ClassifyMount(mounts[i]) == MountClass::Pseudo) continue;
    bool hidden = false;
    for (size_t j = i + 1; j < mounts.size() && !hidden; ++j) {
      hidden = mounts[j].mountPoint == mounts[i].mountPoint;
    }
    if (!hidden) visible.push_back(i);
  }
  // The shallowest root of a device becomes its volume; deeper roots inside it become aliases.
  std::stable_sort(visible.begin(), visible.end(), [&](size_t a, size_t b) {
    return mounts[a].root.size() < mounts[b].root.size();
  });
  struct Pending {
    size_t first;
    MountedVolume volume;
  };
  std::vector<Pending> found;
  for (size_t i : visible) {
    const MountEntry& m = mounts[i];
    auto holder = std::find_if(found.begin(), found.end(), [&](const Pending& p) {
      const MountEntry& v = p.volume.mount;
      return v.major == m.major && v.minor == m.minor && v.fsType == m.fsType &&
             RootHolds(v.root, m.root);
    });
    if (holder == found.end()) {
      Pending p{i, {}};
      p.volume.mount = m;
      p.volume.cls = ClassifyMount(m);
      found.push_back(std::move(p));
      continue;
    }
    const std::string& base = holder->volume.mount.root;
    std::string sub = base == "/" ? m.root : m.root.substr(base.size());
    if (sub == "/") sub.clear();
    holder->volume.aliases.push_back({m.mountPoint, std::move(sub)});
  }
  std::sort(found.begin(), found.end(),
            [](const Pending& a, const Pending& b) { return a.first < b.first; });
  std::vector<MountedVolume> volumes;
  volumes.reserve(found.size());
  for (Pending& p : found) volumes.push_back(std::move(p.volume));
  return volumes;
}

}  // namespace deltrix::platform::posix
