#include "platform/posix/volume_identity.h"

#include <optional>

#include "base/utf16.h"

namespace deltrix::platform::posix {

namespace {

constexpr uint64_t kFat32MinClusters = 65525;  // fewer clusters make a FAT12 or FAT16 volume

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

}  // namespace

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

bool IsFatType(std::string_view fsType) { return fsType == "vfat" || fsType == "msdos"; }

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

std::string UdevFileSystemType(std::string_view udevData) {
  constexpr std::string_view kKey = "E:ID_FS_TYPE=";
  size_t at = 0;
  // The key starts a line.
  while ((at = udevData.find(kKey, at)) != std::string_view::npos) {
    if (at == 0 || udevData[at - 1] == '\n') break;
    at += kKey.size();
  }
  if (at == std::string_view::npos) return {};
  const size_t begin = at + kKey.size();
  const size_t end = std::min(udevData.find('\n', begin), udevData.size());
  return std::string(udevData.substr(begin, end - begin));
}

uint32_t StagingSerial(std::string_view folder) {
  uint32_t h = 2166136261u;  // FNV-1a
  for (char c : folder) {
    h ^= static_cast<uint8_t>(c);
    h *= 16777619u;
  }
  return h == 0 ? 1 : h;
}

}  // namespace deltrix::platform::posix
