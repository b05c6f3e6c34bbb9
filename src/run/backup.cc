#include "run/backup.h"

#include "library/library_files.h"

namespace deltrix::run {

namespace {

std::u16string Bak(const std::u16string& folder, std::u16string_view name) {
  return folder + std::u16string(name) + u".bak";
}

}  // namespace

bool Backup::StaleCopiesPresent(std::u16string_view deviceFolder) {
  const std::u16string folder(deviceFolder);
  for (std::u16string_view name : kBackedUpFiles) {
    if (!files_.Open(Bak(folder, name), "rb")) return false;
  }
  return true;
}

bool Backup::PrepareBackup(std::u16string_view driveRoot, const LibraryCheck& check, bool* recovered) {
  const std::u16string root(driveRoot);
  const std::u16string deviceFolder = root + u"KORVANE\\";
  record_.libraryFolder = deviceFolder + u"LIBRARY\\";
  record_.backupFolder.clear();
  if (recovered) *recovered = false;

  // Copies left by a run that never finished: the library beside them may be half-written.
  if (check && StaleCopiesPresent(deviceFolder) && !check(driveRoot)) {
    // A killed restore may have emptied or removed the library folder.
    (void)files_.MakeFolder(deviceFolder + u"LIBRARY");
    for (std::u16string_view name : kBackedUpFiles) {
      if (!files_.Copy(Bak(deviceFolder, name), record_.libraryFolder + std::u16string(name))) {
        return false;  // the copies stay; nothing was lost
      }
    }
    if (recovered) *recovered = true;
  }

  if (!library::IsLibraryPresent(files_, driveRoot, 0)) return true;
  record_.backupFolder = deviceFolder;
  bool ok = true;
  for (std::u16string_view name : kBackedUpFiles) {
    if (!files_.Copy(record_.libraryFolder + std::u16string(name), Bak(deviceFolder, name))) ok = false;
  }
  if (!ok) {
    DiscardBackup();
    return false;
  }
  return true;
}

void Backup::DiscardBackup() {
  if (!record_.backupFolder.empty()) {
    for (std::u16string_view name : kBackedUpFiles) {
      (void)files_.RemoveFile(Bak(record_.backupFolder, name));
    }
  }
  record_.backupFolder.clear();
  record_.libraryFolder.clear();
}

bool Backup::RestoreBackup() {
  DeleteFolderFiles(record_.libraryFolder);
  if (record_.backupFolder.empty()) return true;
  bool ok = true;
  for (std::u16string_view name : kBackedUpFiles) {
    if (!files_.Copy(Bak(record_.backupFolder, name), record_.libraryFolder + std::u16string(name))) {
      ok = false;
    }
  }
  if (!ok) return false;  // keep the copies: they are the only good library now
  DiscardBackup();
  return true;
}

void Backup::DeleteFolderFiles(std::u16string_view folder) {
  if (folder.empty()) return;
  const std::u16string base(folder);
  auto listing = files_.List(base + u"\\*.*");
  if (!listing) return;
  // Collect first: deleting while listing is not safe on every platform.
  std::vector<std::u16string> names;
  platform::DirEntry entry;
  while (listing->Next(&entry)) {
    if (entry.name == u"." || entry.name == u"..") continue;
    names.push_back(entry.name);
  }
  listing.reset();
  for (const std::u16string& name : names) (void)files_.RemoveFile(base + name);
}

}  // namespace deltrix::run
