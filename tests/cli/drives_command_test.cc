// The console's `drives`: each drive as the platform names it, with what it can be used for, and
// the hidden listing of removable cards that the shell's completion reads.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/commands.h"
#include "support/memory_drive.h"

namespace deltrix::cli {
namespace {

using platform::DriveTypeCdRom;
using platform::DriveTypeFixed;
using platform::DriveTypeRemote;
using platform::DriveTypeRemovable;

class NoTerminal : public platform::Terminal {
 public:
  bool Interactive() override { return false; }
  int Width() override { return 80; }
  void CatchInterrupts() override {}
  int Interrupts() override { return 0; }
  bool ReadLine(std::string*) override { return false; }
};

// E: a FAT32 stick with a library (label МУЗЫКА), F: an NTFS stick, G: a FAT disk, H: an empty
// card reader, I: a network share, J: a disc.
struct Machine {
  explicit Machine(bool namesByRoot) {
    mp.drives.namesByRoot = namesByRoot;
    mp.drives.Get(u'E')->volume.name = u"МУЗЫКА";
    for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
      mp.files.AddFile(std::u16string(u"E:\\KORVANE\\LIBRARY\\") + name, "x");
    }
    mp.drives.Add({u'F', {u"WINDOWS", 7, u"NTFS"}, DriveTypeRemovable, true});
    mp.drives.Add({u'G', {u"", 9, u"FAT32"}, DriveTypeFixed, true});
    mp.drives.Add({u'H', {}, DriveTypeRemovable, false});
    mp.drives.Add({u'I', {u"NAS", 5, u"FAT32"}, DriveTypeRemote, true});
    mp.drives.Add({u'J', {u"DISC", 6, u"UDF"}, DriveTypeCdRom, true});
  }
  std::string Run(int (*command)(Console&)) {
    std::ostringstream out, err;
    Console console{mp.platform, terminal, out, err, nullptr};
    EXPECT_EQ(0, command(console));
    EXPECT_EQ("", err.str());
    return out.str();
  }
  deltrix::testing::MemoryPlatform mp;
  NoTerminal terminal;
};

TEST(DrivesCommand, NamesDrivesByLabelAndMountPointWithWhatTheyCanBeUsedFor) {
  Machine onLinux(false);
  EXPECT_EQ(
      "МУЗЫКА — /mnt/e  (library present)\n"
      "WINDOWS — /mnt/f  (not FAT)\n"
      "/mnt/g  (usable)\n"
      "/mnt/h  (no medium)\n"
      "NAS — /mnt/i  (network drive)\n"
      "DISC — /mnt/j  (optical drive)\n",
      onLinux.Run(DrivesCommand));
}

TEST(DrivesCommand, KeepsTheLetterFormWhereThePlatformNamesDrivesByLetter) {
  Machine onWindows(true);
  EXPECT_EQ(
      "E:\\ [МУЗЫКА]  (library present)\n"
      "F:\\ [WINDOWS]  (not FAT)\n"
      "G:\\  (usable)\n"
      "H:\\  (no medium)\n"
      "I:\\ [NAS]  (network drive)\n"
      "J:\\ [DISC]  (optical drive)\n",
      onWindows.Run(DrivesCommand));
}

TEST(DrivesCommand, CompletionGetsTheMountPointsOfUsableRemovableCards) {
  Machine onLinux(false);
  onLinux.mp.drives.Add({u'K', {u"CARD", 12, u"FAT"}, DriveTypeRemovable, true});
  // Not the NTFS stick, the fixed disk, the empty reader, the share or the disc.
  EXPECT_EQ("/mnt/e\n/mnt/k\n", onLinux.Run(DriveMountPointsCommand));
}

}  // namespace
}  // namespace deltrix::cli
