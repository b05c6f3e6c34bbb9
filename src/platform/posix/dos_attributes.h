// Where the FAT attribute bits (hidden, system, archive, read-only) live on Linux. On a vfat
// volume they are the directory entry's own bits, read and written through the FAT ioctls. On
// other file systems they are kept in the extended attribute "user.DOSATTRIB", the convention of
// Samba and Wine; a file system without extended attributes has no hidden or system bits at all.
//
// user.DOSATTRIB comes in two forms, both read here:
//  - text, as Wine and older Samba write it: "0x22" (a NUL may follow);
//  - Samba's binary form: a NUL-terminated hex string (often empty), padding to an even offset,
//    a little-endian 16-bit version and the same number again, padding to a multiple of four,
//    then for version 1 the 32-bit attributes, for versions 2 to 5 a 32-bit flags word followed
//    by the 32-bit attributes (from version 3 on, flag 0x1 says whether they are valid).
// We write the text form.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace deltrix::platform::posix {

inline constexpr char kDosAttribName[] = "user.DOSATTRIB";

// The attribute bits of a user.DOSATTRIB value; false when the value is in neither form.
[[nodiscard]] bool ParseDosAttrib(std::span<const uint8_t> value, uint32_t* attributes);
// The text form of `attributes`: "0x22".
std::string FormatDosAttrib(uint32_t attributes);

// The stored hidden, system, archive and (on vfat) read-only bits of `path`; 0 when none are kept
// or they cannot be read. One getxattr on most file systems; open, ioctl, close on vfat.
uint32_t ReadStoredAttributes(const std::string& path, bool fat);

// The same for the entry `name` of the open folder `folderFd`, whose path `folder` ends in '/'.
// One getxattrat (Linux 6.13 on), which spares the kernel the walk of the whole path again for
// every entry of a listing; where the kernel lacks it (ENOSYS, or EPERM from a seccomp filter),
// `*atUnsupported` is set and this and every later call with it ask by path.
uint32_t ReadStoredAttributesAt(int folderFd, const char* name, const std::string& folder, bool fat,
                                bool* atUnsupported);

// Stores the hidden, system and archive bits (and on vfat the read-only bit) of `attributes`.
// True when stored, and also when the file system has no place for them (nothing to keep).
[[nodiscard]] bool WriteStoredAttributes(const std::string& path, bool fat, bool isFolder,
                                         uint32_t attributes);

}  // namespace deltrix::platform::posix
