#include "run/scan.h"

#include <utility>

#include "tags/read_track_file.h"

namespace deltrix::run {

namespace {

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

DriveScan::DriveScan(platform::FileSystem& files, FileList& found, std::vector<LeftOut>& leftOut,
                     std::function<bool()> keepGoing)
    : files_(files), found_(found), leftOut_(leftOut), keepGoing_(std::move(keepGoing)) {}

bool DriveScan::Walk(std::u16string_view root, bool ipodVolume) {
  ipodVolume_ = ipodVolume;
  return Folder(std::u16string(root), 1);
}

bool DriveScan::Folder(const std::u16string& folder, int depth) {
  if (depth > 8) return true;
  auto listing = files_.List(folder + u"\\*.*");
  if (!listing) return true;
  const size_t limit = found_.capacity();
  platform::DirEntry entry;
  // No yield per entry: the scan has a thread of its own, which the system preempts as it must,
  // and a yield per entry (a system call, and on a busy machine the core given away each time)
  // cost a large drive several times the walk itself. The pause and the stop are still seen at
  // every entry.
  while (true) {
    if (!keepGoing_()) return false;
    if (!listing->Next(&entry)) break;
    if (entry.name == u"." || entry.name == u"..") continue;
    if (!entry.name.empty() && entry.name[0] == u'.') continue;
    if (!ipodVolume_ && (entry.attributes & platform::kAttrHidden)) continue;
    if (entry.attributes & platform::kAttrSystem) continue;
    const bool isFolder = (entry.attributes & platform::kAttrDirectory) != 0;
    if (entry.unmappable) {
      // Nothing below a name without a drive form can be opened: it is left out, and said so.
      if (isFolder || IsAudioPath(entry.name)) leftOut_.push_back({folder, entry.name});
      continue;
    }
    std::u16string path = JoinPath(folder, entry.name);
    if (isFolder) {
      // A stop inside ends the sub-folder's walk only; this one sees it at its next entry.
      (void)Folder(path, depth + 1);
    } else if (IsAudioPath(path)) {
      (void)found_.Append(std::move(path), entry.modified);
    }
    if (static_cast<size_t>(found_.count()) >= limit) return true;
  }
  return true;
}

}  // namespace deltrix::run
