#include "platform/posix/mount_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace deltrix::platform::posix {
namespace {

// A desktop with a USB stick (label with a space), an NTFS disk, a NAS, a DVD, pseudo file
// systems, a bind mount of a folder of the stick, and a card whose mount point another mount hides.
constexpr std::string_view kDesktop =
    "22 28 0:21 / /proc rw,relatime - proc proc rw\n"
    "23 28 0:22 / /sys rw,relatime shared:2 - sysfs sysfs rw\n"
    "28 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
    "26 24 0:24 / /dev/shm rw,relatime shared:3 - tmpfs tmpfs rw\n"
    "32 23 0:29 / /sys/fs/cgroup rw,relatime - cgroup2 cgroup2 rw\n"
    "40 28 8:17 / /media/me/MUSIC\\040STICK rw,nosuid,nodev shared:50 - vfat /dev/sdb1 "
    "rw,uid=1000\n"
    "41 28 8:33 / /media/me/WIN rw,relatime shared:51 - ntfs3 /dev/sdc1 rw\n"
    "42 28 0:50 / /mnt/nas rw,relatime shared:52 - nfs4 nas:/export rw,vers=4.2\n"
    "43 28 11:0 / /media/me/DISC ro,relatime shared:53 - iso9660 /dev/sr0 ro\n"
    "44 28 8:17 /Music /home/me/my\\134music rw,relatime shared:50 - vfat /dev/sdb1 rw\n"
    "45 28 0:60 / /run/user/1000 rw,nosuid shared:54 - tmpfs tmpfs rw\n"
    "46 28 8:49 / /media/me/CARD rw shared:55 - vfat /dev/sdd1 rw\n"
    "47 28 8:50 / /media/me/CARD rw shared:56 - exfat /dev/sdd2 rw\n"
    "48 28 0:70 / /var/lib/docker/overlay2/x/merged rw - overlay overlay rw\n"
    "this line is not a mount\n"
    "49 28 8:65 / /media/me/BIG rw - fuseblk /dev/sde1 rw,user_id=0\n";

TEST(ParseMountInfo, ReadsFieldsAndUndoesEscapes) {
  const std::vector<MountEntry> mounts = ParseMountInfo(kDesktop);
  ASSERT_EQ(15u, mounts.size());  // the malformed line is skipped
  const MountEntry& stick = mounts[5];
  EXPECT_EQ(40, stick.mountId);
  EXPECT_EQ(28, stick.parentId);
  EXPECT_EQ(8u, stick.major);
  EXPECT_EQ(17u, stick.minor);
  EXPECT_EQ("/", stick.root);
  EXPECT_EQ("/media/me/MUSIC STICK", stick.mountPoint);
  EXPECT_EQ("vfat", stick.fsType);
  EXPECT_EQ("/dev/sdb1", stick.source);
  EXPECT_EQ("/home/me/my\\music", mounts[9].mountPoint);
  EXPECT_EQ("/Music", mounts[9].root);
}

TEST(ParseMountInfo, SkipsLinesMissingTheirFields) {
  const std::string_view broken =
      "1 2 8:1 / /a rw - vfat\n"             // no source is fine: the type is there
      "1 2 8:1 / /b rw shared:1 vfat x y\n"  // no separator
      "1 2 8x1 / /c rw - vfat /dev/x rw\n"   // bad device number
      "1 2 8:1 / relative rw - vfat /dev/x rw\n"
      "\n"
      "1 2 8:1 / /d rw - vfat /dev/x rw";  // last line without a newline
  const std::vector<MountEntry> mounts = ParseMountInfo(broken);
  ASSERT_EQ(2u, mounts.size());
  EXPECT_EQ("/a", mounts[0].mountPoint);
  EXPECT_EQ("/d", mounts[1].mountPoint);
}

TEST(UnescapeMountField, DecodesOnlyThreeOctalDigits) {
  EXPECT_EQ("a b\tc\\d", UnescapeMountField("a\\040b\\011c\\134d"));
  EXPECT_EQ("a\\04", UnescapeMountField("a\\04"));    // cut short: kept as is
  EXPECT_EQ("a\\089", UnescapeMountField("a\\089"));  // not octal
}

TEST(SelectVolumes, KeepsUserVolumesAndFoldsBindMounts) {
  const std::vector<MountedVolume> volumes = SelectVolumes(ParseMountInfo(kDesktop));
  struct Want {
    std::string_view mountPoint;
    MountClass cls;
  };
  const Want want[] = {
      {"/", MountClass::Block},
      {"/media/me/MUSIC STICK", MountClass::Block},
      {"/media/me/WIN", MountClass::Block},
      {"/mnt/nas", MountClass::Remote},
      {"/media/me/DISC", MountClass::Optical},
      {"/media/me/CARD", MountClass::Block},
      {"/media/me/BIG", MountClass::Block},
  };
  ASSERT_EQ(std::size(want), volumes.size());
  for (size_t i = 0; i < std::size(want); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(want[i].mountPoint, volumes[i].mount.mountPoint);
    EXPECT_EQ(want[i].cls, volumes[i].cls);
  }
  // The card's vfat mount is hidden under the exfat one mounted later on the same point.
  EXPECT_EQ("exfat", volumes[5].mount.fsType);
  // The folder of the stick mounted elsewhere is the stick's, seen from another place.
  ASSERT_EQ(1u, volumes[1].aliases.size());
  EXPECT_EQ("/home/me/my\\music", volumes[1].aliases[0].mountPoint);
  EXPECT_EQ("/Music", volumes[1].aliases[0].subRoot);
}

TEST(SelectVolumes, ShallowestRootOfADeviceIsTheVolumeWhateverTheOrder) {
  // The bind of a folder is listed before the whole volume; btrfs subvolumes share a device
  // number and are volumes of their own.
  const std::string_view text =
      "50 1 8:17 /A/B /mnt/b rw - vfat /dev/sdb1 rw\n"
      "51 1 8:17 / /mnt/whole rw - vfat /dev/sdb1 rw\n"
      "52 1 8:17 / /mnt/again rw - vfat /dev/sdb1 rw\n"
      "60 1 0:40 /@ / rw - btrfs /dev/nvme0n1p2 rw\n"
      "61 1 0:40 /@home /home rw - btrfs /dev/nvme0n1p2 rw\n";
  const std::vector<MountedVolume> volumes = SelectVolumes(ParseMountInfo(text));
  ASSERT_EQ(3u, volumes.size());
  EXPECT_EQ("/mnt/whole", volumes[0].mount.mountPoint);
  ASSERT_EQ(2u, volumes[0].aliases.size());
  EXPECT_EQ("/mnt/again", volumes[0].aliases[0].mountPoint);
  EXPECT_EQ("", volumes[0].aliases[0].subRoot);
  EXPECT_EQ("/mnt/b", volumes[0].aliases[1].mountPoint);
  EXPECT_EQ("/A/B", volumes[0].aliases[1].subRoot);
  EXPECT_EQ("/", volumes[1].mount.mountPoint);
  EXPECT_EQ(MountClass::Block, volumes[1].cls);  // anonymous device number, /dev source
  EXPECT_EQ("/home", volumes[2].mount.mountPoint);
}

}  // namespace
}  // namespace deltrix::platform::posix
