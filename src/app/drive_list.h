// The drives as a person picks them, for the window's drive list and the console's `drives`. Where
// the platform names drives by their root (Windows: E:\), an item keeps the letter form of the
// drive checks ("E:\ [MUSIC]"). Where it names them by a mount point (Linux), an item shows what a
// file manager shows: the volume label and the mount point ("МУЗЫКА — /media/anna/МУЗЫКА"), with
// the reason a drive cannot carry a library ("not FAT", "network drive", "optical drive"); the
// internal drive letters are never shown there.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace deltrix::app {

// Why CheckDrive refuses a drive, as far as the platform can tell.
enum class DriveRefusal {
  None,         // the drive can carry a library
  NotFat,       // the volume is NTFS
  NoMedium,     // the volume cannot be read (an empty card reader, a drive gone)
  NoSerial,     // the volume has no serial number to tell it apart
  Network,      // a network share
  Optical,      // a CD, DVD or BD drive
  RamDisk,      // memory, gone at the next start
  UnknownType,  // the platform cannot tell what the drive is
};

// The reason shown beside a refused drive: "not FAT", "network drive", "optical drive", ...; empty
// for DriveRefusal::None.
std::u16string_view RefusalText(DriveRefusal refusal);

// The reason CheckDrive refuses `root`; DriveRefusal::None when it accepts it.
DriveRefusal RefusalOf(platform::Platform& platform, std::u16string_view root);

struct DriveChoice {
  std::u16string root;      // the drive root (E:\)
  std::u16string item;      // what the list shows
  std::u16string name;      // the item without the reason for a refusal
  std::u16string volume;    // the volume label, may be empty
  std::string userPath;     // the drive as the user names it: a mount point, or E:\ on Windows
  bool letterForm = false;  // the platform names drives by their root
  platform::DriveType type = platform::DriveTypeUnknown;
  DriveRefusal refusal = DriveRefusal::None;
};

// Every drive of EnumerateDrives, in its order. In the letter form the item is the drive checks'
// label and nothing else is asked of the volume unless `judge` is set; in the mount-point form the
// reason for a refusal is always part of the item. With `judge` the type and the refusal are
// filled in both forms.
std::vector<DriveChoice> ListDriveChoices(platform::Platform& platform, bool judge);

}  // namespace deltrix::app
