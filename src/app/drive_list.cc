#include "app/drive_list.h"

#include "base/utf16.h"
#include "run/drive_checks.h"

namespace deltrix::app {

std::u16string_view RefusalText(DriveRefusal refusal) {
  switch (refusal) {
    case DriveRefusal::None:
      return u"";
    case DriveRefusal::NotFat:
      return u"not FAT";
    case DriveRefusal::NoMedium:
      return u"no medium";
    case DriveRefusal::NoSerial:
      return u"no volume serial number";
    case DriveRefusal::Network:
      return u"network drive";
    case DriveRefusal::Optical:
      return u"optical drive";
    case DriveRefusal::RamDisk:
      return u"RAM disk";
    case DriveRefusal::UnknownType:
      return u"unknown drive type";
  }
  return u"";
}

DriveRefusal RefusalOf(platform::Platform& platform, std::u16string_view root) {
  if (run::CheckDrive(platform, root) != run::DriveUnsupported) return DriveRefusal::None;
  // CheckDrive's verdict, explained: what the drive is says more than a missing serial number.
  switch (platform.drives.TypeOf(root)) {
    case platform::DriveTypeRemote:
      return DriveRefusal::Network;
    case platform::DriveTypeCdRom:
      return DriveRefusal::Optical;
    case platform::DriveTypeRamDisk:
      return DriveRefusal::RamDisk;
    case platform::DriveTypeRemovable:
    case platform::DriveTypeFixed:
      break;
    default:
      return DriveRefusal::UnknownType;
  }
  platform::VolumeInfo info;
  if (!platform.drives.ReadVolume(root, &info)) return DriveRefusal::NoMedium;
  if (run::GetFileSystemKind(platform.drives, root) == run::FileSystemNtfs)
    return DriveRefusal::NotFat;
  return DriveRefusal::NoSerial;
}

std::vector<DriveChoice> ListDriveChoices(platform::Platform& platform, bool judge) {
  std::vector<DriveChoice> choices;
  for (run::DriveListEntry& entry : run::EnumerateDrives(platform.drives)) {
    DriveChoice c;
    c.root = std::move(entry.root);
    c.userPath = platform.drives.ToUserPath(c.root);
    c.letterForm = c.userPath.empty() || FromUtf8(c.userPath) == c.root;
    if (c.letterForm && !judge) {
      c.item = c.name = std::move(entry.label);
      choices.push_back(std::move(c));
      continue;
    }
    platform::VolumeInfo info;
    if (platform.drives.ReadVolume(c.root, &info)) c.volume = std::move(info.name);
    c.type = platform.drives.TypeOf(c.root);
    c.refusal = RefusalOf(platform, c.root);
    if (c.letterForm) {
      c.item = c.name = std::move(entry.label);
    } else {
      c.name = c.volume.empty() ? FromUtf8(c.userPath) : c.volume + u" — " + FromUtf8(c.userPath);
      c.item = c.name;
      if (c.refusal != DriveRefusal::None) {
        c.item += u" (" + std::u16string(RefusalText(c.refusal)) + u")";
      }
    }
    choices.push_back(std::move(c));
  }
  return choices;
}

}  // namespace deltrix::app
