// The pure rules that tell what a Linux volume is, each over a table of what the system reports.
#include "platform/posix/volume_identity.h"

#include <gtest/gtest.h>

namespace deltrix::platform::posix {
namespace {

TEST(SerialFromUuid, TakesTheFormsVolumesUse) {
  const struct {
    const char* uuid;
    uint32_t serial;
  } cases[] = {
      {"1234-ABCD", 0x1234ABCDu},                             // FAT, exFAT
      {"0123456789abcdef", 0x89abcdefu},                      // NTFS: the low half
      {"3f8e2a10-1111-2222-3333-444455556666", 0x3f8e2a10u},  // a standard UUID
      {"", 0},
      {"12G4-ABCD", 0},               // not hex
      {"1234ABCD", 0},                // no dash
      {"2024-01-01-12-00-00-00", 0},  // an ISO 9660 date id
      {"0123456789abcdeg", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.serial, SerialFromUuid(c.uuid)) << c.uuid;
}

TEST(FileSystemName, NamesVolumesAsThePlayersHostWould) {
  const struct {
    const char* type;
    uint64_t clusters;
    const char* detected;
    std::u16string_view name;
  } cases[] = {
      {"vfat", 65524, "", u"FAT"},  // FAT12 and FAT16 have fewer clusters
      {"vfat", 65525, "", u"FAT32"},     {"msdos", 70000, "", u"FAT32"},
      {"ntfs", 0, "", u"NTFS"},          {"ntfs3", 0, "", u"NTFS"},
      {"fuseblk", 0, "ntfs", u"NTFS"},  // ntfs-3g reports fuseblk; udev knows better
      {"fuseblk", 0, "exfat", u"exFAT"}, {"exfat", 0, "", u"exFAT"},
      {"fuseblk", 0, "", u"fuseblk"},    {"ext4", 0, "", u"ext4"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.name, FileSystemName(c.type, c.clusters, c.detected))
        << c.type << " " << c.detected;
  }
}

TEST(UdevNames, UnescapeLabelsAndFindTheDetectedType) {
  const struct {
    const char* link;
    const char* label;
  } labels[] = {
      {"MY\\x20STICK", "MY STICK"}, {"\\xd0\\x9c\\xd0\\xa3\\xd0\\x97", "МУЗ"},
      {"A\\x2", "A\\x2"},    // cut short: kept as it is
      {"A\\xZZ", "A\\xZZ"},  // not hex
      {"PLAIN", "PLAIN"},
  };
  for (const auto& c : labels) EXPECT_EQ(c.label, UnescapeUdev(c.link)) << c.link;

  const struct {
    const char* data;
    const char* type;
  } types[] = {
      {"S:disk/by-uuid/1234-ABCD\nE:ID_FS_TYPE=exfat\nE:ID_FS_USAGE=filesystem\n", "exfat"},
      {"E:ID_FS_TYPE=ntfs", "ntfs"},  // no final newline
      {"E:ID_FS_TYPE_OLD=vfat\n", ""},
      {"E:X=E:ID_FS_TYPE=vfat\nE:ID_FS_TYPE=ntfs\n", "ntfs"},  // only where a line starts
      {"", ""},
  };
  for (const auto& c : types) EXPECT_EQ(c.type, UdevFileSystemType(c.data)) << c.data;
}

TEST(StagingSerial, IsStableAndNeverZero) {
  EXPECT_EQ(StagingSerial("/home/me/staging"), StagingSerial("/home/me/staging"));
  EXPECT_NE(StagingSerial("/home/me/staging"), StagingSerial("/home/me/staging2"));
  EXPECT_NE(0u, StagingSerial(""));
}

}  // namespace
}  // namespace deltrix::platform::posix
