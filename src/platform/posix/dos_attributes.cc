#include "platform/posix/dos_attributes.h"

#include <fcntl.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "base/byte_reader.h"
#include "platform/platform.h"

namespace deltrix::platform::posix {

namespace {

constexpr uint32_t kKeptBits = kAttrHidden | kAttrSystem | kAttrArchive;
constexpr uint32_t kFatBits = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive;

// getxattrat(2), Linux 6.13; glibc 2.36 names no wrapper and its headers no number. New system
// calls share one number on every architecture.
#ifdef SYS_getxattrat
constexpr long kGetxattrat = SYS_getxattrat;
#else
constexpr long kGetxattrat = 464;
#endif

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "0x" and one to eight hex digits, then the end of `text`.
bool ParseHexText(std::span<const uint8_t> text, uint32_t* value) {
  if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
  if (text.size() > 10) return false;
  uint32_t v = 0;
  for (size_t i = 2; i < text.size(); ++i) {
    const int d = HexDigit(text[i]);
    if (d < 0) return false;
    v = v << 4 | static_cast<uint32_t>(d);
  }
  *value = v;
  return true;
}

// Samba's binary form after its leading string, which ended at `offset` (the NUL included).
bool ParseSambaBlob(std::span<const uint8_t> value, size_t offset, uint32_t* attributes) {
  ByteReader in(value);
  if (!in.Skip(offset + (offset & 1))) return false;
  uint16_t version = 0, level = 0;
  if (!in.ReadLe16(&version) || !in.ReadLe16(&level) || version != level) return false;
  const size_t at = value.size() - in.remaining();
  if (!in.Skip((4 - at % 4) % 4)) return false;
  uint32_t flags = 0, attrib = 0;
  if (version == 1) {
    if (!in.ReadLe32(&attrib)) return false;
  } else if (version >= 2 && version <= 5) {
    if (!in.ReadLe32(&flags) || !in.ReadLe32(&attrib)) return false;
    if (version >= 3 && !(flags & 0x1)) return false;  // the attributes were not stored
  } else {
    return false;
  }
  *attributes = attrib;
  return true;
}

}  // namespace

bool ParseDosAttrib(std::span<const uint8_t> value, uint32_t* attributes) {
  size_t nul = 0;
  while (nul < value.size() && value[nul] != 0) ++nul;
  const bool blob = nul + 1 < value.size();  // bytes follow the terminator
  if (blob && ParseSambaBlob(value, nul + 1, attributes)) return true;
  return ParseHexText(value.first(nul), attributes);
}

std::string FormatDosAttrib(uint32_t attributes) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(attributes));
  return text;
}

uint32_t ReadStoredAttributes(const std::string& path, bool fat) {
  if (fat) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return 0;
    uint32_t bits = 0;
    const bool ok = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) == 0;
    close(fd);
    return ok ? bits & kFatBits : 0;
  }
  uint8_t value[64];
  const ssize_t n = getxattr(path.c_str(), kDosAttribName, value, sizeof value);
  uint32_t bits = 0;
  if (n <= 0 || !ParseDosAttrib(std::span<const uint8_t>(value, static_cast<size_t>(n)), &bits)) {
    return 0;
  }
  return bits & kKeptBits;
}

uint32_t ReadStoredAttributesAt(int folderFd, const char* name, const std::string& folder, bool fat,
                                bool* atUnsupported) {
  if (fat || *atUnsupported) return ReadStoredAttributes(folder + name, fat);
  uint8_t value[64];
  // struct xattr_args of <linux/xattr.h>: the value buffer, its size, flags (none when reading).
  struct {
    uint64_t value;
    uint32_t size;
    uint32_t flags;
  } args{reinterpret_cast<uintptr_t>(value), sizeof value, 0};
  const long n = syscall(kGetxattrat, folderFd, name, 0, kDosAttribName, &args, sizeof args);
  if (n < 0 && (errno == ENOSYS || errno == EPERM)) {
    *atUnsupported = true;
    return ReadStoredAttributes(folder + name, fat);
  }
  uint32_t bits = 0;
  if (n <= 0 || !ParseDosAttrib(std::span<const uint8_t>(value, static_cast<size_t>(n)), &bits)) {
    return 0;
  }
  return bits & kKeptBits;
}

bool WriteStoredAttributes(const std::string& path, bool fat, bool isFolder, uint32_t attributes) {
  if (fat) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return false;
    uint32_t bits = 0;
    bool ok = ioctl(fd, FAT_IOCTL_GET_ATTRIBUTES, &bits) == 0;
    if (ok) {
      bits = (bits & ~kFatBits) | (attributes & kFatBits);
      if (isFolder) bits |= kAttrDirectory;
      ok = ioctl(fd, FAT_IOCTL_SET_ATTRIBUTES, &bits) == 0;
    }
    close(fd);
    return ok;
  }
  const uint32_t bits = attributes & kKeptBits;
  int rc = 0;
  if (bits == 0) {
    rc = removexattr(path.c_str(), kDosAttribName);
    if (rc != 0 && errno == ENODATA) rc = 0;
  } else {
    const std::string text = FormatDosAttrib(bits);
    rc = setxattr(path.c_str(), kDosAttribName, text.data(), text.size(), 0);
  }
  // No extended attributes here: the platform has no hidden or system bits to keep.
  if (rc != 0 && (errno == ENOTSUP || errno == EOPNOTSUPP)) rc = 0;
  return rc == 0;
}

}  // namespace deltrix::platform::posix
