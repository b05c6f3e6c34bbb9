#include "run/drive_checks.h"

#include "library/library_files.h"

namespace deltrix::run {

bool IsRootPath(std::u16string_view path) {
  if (path.empty()) return false;
  if (path[0] == u'\\') {
    if (path.size() == 1) return true;  // a lone backslash
    if (path[1] != u'\\') return false;
    // \\server\share: at most one more backslash after the server name.
    int slashes = 0;
    for (size_t i = 2; i < path.size(); ++i) {
      if (path[i] == u'\\' && ++slashes > 1) return false;
    }
    return true;
  }
  return path.size() == 3 && path[1] == u':' && path[2] == u'\\';
}

bool IsDrivePresent(platform::DriveTable& drives, std::u16string_view root) {
  return drives.ReadVolume(root, nullptr);
}

int GetFileSystemKind(platform::DriveTable& drives, std::u16string_view root) {
  platform::VolumeInfo info;
  if (!drives.ReadVolume(root, &info)) return FileSystemOther;
  if (info.fileSystem == u"FAT" || info.fileSystem == u"FAT32") return FileSystemFat;
  if (info.fileSystem == u"NTFS") return FileSystemNtfs;
  return FileSystemOther;
}

int CheckDrive(platform::Platform& platform, std::u16string_view root) {
  platform::VolumeInfo info;
  const uint32_t serial = platform.drives.ReadVolume(root, &info) ? info.serial : 0;
  const int kind = GetFileSystemKind(platform.drives, root);
  if (kind == FileSystemNtfs || serial == 0) return DriveUnsupported;
  const platform::DriveType type = platform.drives.TypeOf(root);
  if (type != platform::DriveTypeRemovable && type != platform::DriveTypeFixed)
    return DriveUnsupported;
  return library::IsLibraryPresent(platform.files, root, kind) ? DriveHasLibrary : DriveUsable;
}

std::vector<DriveListEntry> EnumerateDrives(platform::DriveTable& drives) {
  std::vector<DriveListEntry> list;
  const uint32_t mask = drives.PresentDrives();
  for (int i = 0; i < 25; ++i) {  // A to Y: Z is never listed
    if (!(mask & (1u << i))) continue;
    std::u16string root{static_cast<char16_t>(u'A' + i), u':', u'\\'};
    platform::VolumeInfo info;
    if (!drives.ReadVolume(root, &info)) info.name.clear();
    std::u16string label = info.name.empty() ? root : root + u" [" + info.name + u"]";
    list.push_back({std::move(root), std::move(label)});
  }
  return list;
}

}  // namespace deltrix::run
