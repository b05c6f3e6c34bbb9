// What a Linux volume is, worked out from what the system says about it: its serial, the
// file-system name the player's host would report, the names udev gives it. Pure functions over
// text, so each rule is tested with a table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace deltrix::platform::posix {

// The 32-bit serial a volume id stands for: "ABCD-1234" (FAT, exFAT) gives 0xABCD1234, sixteen
// hex digits (NTFS) their low 32 bits as Windows shows them, a standard UUID its first eight hex
// digits; 0 for anything else.
uint32_t SerialFromUuid(std::string_view uuid);

// The file-system name the player's host would report: vfat is "FAT32" from 65525 clusters on and
// "FAT" below; ntfs, ntfs3, ntfs-3g and an ntfs fuseblk are "NTFS"; exfat "exFAT"; others keep
// their own name.
std::u16string FileSystemName(std::string_view fsType, uint64_t clusters,
                              std::string_view detected);

// vfat and msdos: the types the FAT ioctls and attributes work on.
bool IsFatType(std::string_view fsType);

// A link name of /dev/disk/by-label with udev's \xHH escapes undone ("MY\x20STICK" is "MY STICK").
std::string UnescapeUdev(std::string_view name);

// The file-system type udev detected (E:ID_FS_TYPE=) in the text of a /run/udev/data/b<maj>:<min>
// file; empty when it names none.
std::string UdevFileSystemType(std::string_view udevData);

// The serial of a staging folder, derived from its canonical path; never 0 (0 marks a drive that
// cannot be used).
uint32_t StagingSerial(std::string_view folder);

}  // namespace deltrix::platform::posix
