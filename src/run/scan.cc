#include "run/scan.h"

#include <utility>

#include "base/utf16.h"
#include "library/library_files.h"
#include "tags/read_track_file.h"

namespace deltrix::run {

namespace {

// The folder levels below the root that the player browses.
constexpr int kFolderLevels = 7;

bool EqualsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  }
  return true;
}

std::u16string JoinPath(const std::u16string& folder, std::u16string_view name) {
  // One separator, also at the drive root (E:\ already ends in one): stored paths begin with a
  // single "/" on the player.
  std::u16string path = folder;
  if (path.empty() || path.back() != u'\\') path.push_back(u'\\');
  path += name;
  return path;
}

}  // namespace

bool IsAudioPath(std::u16string_view path) {
  return tags::ClassifyExtension(path) != tags::FileType::None;
}

bool IsIpodVolume(platform::FileSystem& files, std::u16string_view driveRoot) {
  return files.Open(std::u16string(driveRoot) + u"iPod_Control\\iTunes\\iTunesDB", "rb") != nullptr;
}

DriveScan::DriveScan(platform::FileSystem& files, FileList& found, RunReport& report,
                     std::function<bool()> keepGoing)
    : files_(files), found_(found), report_(report), keepGoing_(std::move(keepGoing)) {}

bool DriveScan::Walk(std::u16string_view root, bool ipodVolume) {
  ipodVolume_ = ipodVolume;
  return Folder(std::u16string(root), 1);
}

bool DriveScan::Folder(const std::u16string& folder, int depth) {
  auto listing = files_.List(folder + u"\\*.*");
  if (!listing) {
    // Not the same as an empty folder: what lies below it is unknown.
    report_.AddPath(LeftOutReason::Unlistable, folder);
    return true;
  }
  platform::DirEntry entry;
  // No yield per entry: the scan has a thread of its own, which the system preempts as it must,
  // and a yield per entry (a system call, and on a busy machine the core given away each time)
  // cost a large drive several times the walk itself. The pause and the stop are still seen at
  // every entry.
  while (true) {
    if (!keepGoing_()) return false;
    if (!listing->Next(&entry)) break;
    if (entry.name == u"." || entry.name == u"..") continue;
    const bool isFolder = (entry.attributes & platform::kAttrDirectory) != 0;
    const bool hidden = (!entry.name.empty() && entry.name[0] == u'.') ||
                        (!ipodVolume_ && (entry.attributes & platform::kAttrHidden)) ||
                        (entry.attributes & platform::kAttrSystem);
    if (hidden) {
      // The player's own folder at the root is hidden too, and holds no music of the user's.
      const bool deviceFolder =
          depth == 1 && EqualsIgnoringAsciiCase(entry.name, library::kDeviceFolder);
      if (isFolder && !deviceFolder) report_.Add(LeftOutReason::HiddenOrSystem, folder, entry.name);
      continue;
    }
    if (entry.unmappable) {
      // Nothing below a name without a drive form can be opened: it is left out, and said so.
      if (isFolder || IsAudioPath(entry.name)) {
        report_.Add(LeftOutReason::NoDriveForm, folder, entry.name);
      }
      continue;
    }
    if (isFolder) {
      if (depth >= kFolderLevels + 1) {
        report_.Add(LeftOutReason::TooDeep, folder, entry.name);
        continue;
      }
      // A stop inside ends the sub-folder's walk only; this one sees it at its next entry.
      (void)Folder(JoinPath(folder, entry.name), depth + 1);
    } else if (IsAudioPath(entry.name)) {
      std::u16string path = JoinPath(folder, entry.name);
      // Past a full list the walk goes on only to count what it leaves out.
      if (!found_.Append(std::move(path), entry.modified)) {
        report_.Add(LeftOutReason::PastLimit, folder, entry.name);
      }
    }
  }
  return true;
}

}  // namespace deltrix::run
