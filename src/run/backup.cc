#include "run/backup.h"

#include <algorithm>
#include <iterator>

#include "base/utf16.h"
#include "library/library_files.h"
#include "library/times_file.h"

namespace deltrix::run {

namespace {

std::u16string Bak(const std::u16string& folder, std::u16string_view name) {
  return folder + std::u16string(name) + u".bak";
}

}  // namespace

unsigned Backup::StaleCopies(std::u16string_view deviceFolder) {
  // One listing of the device folder rather than a query per name.
  unsigned present = 0;
  auto listing = files_.List(std::u16string(deviceFolder) + u"*.*");
  if (!listing) return 0;
  platform::DirEntry entry;
  while (listing->Next(&entry)) {
    for (size_t i = 0; i < std::size(kBackedUpFiles); ++i) {
      const std::u16string bak = std::u16string(kBackedUpFiles[i]) + u".bak";
      if (entry.name.size() != bak.size()) continue;
      bool same = true;
      for (size_t k = 0; same && k < bak.size(); ++k)
        same = AsciiUpper(entry.name[k]) == AsciiUpper(bak[k]);
      if (same) present |= 1u << i;
    }
  }
  return present;
}

bool Backup::PrepareBackup(std::u16string_view driveRoot, const LibraryCheck& check,
                           bool* recovered, bool deferCopies) {
  const std::u16string root(driveRoot);
  root_ = root;
  deferred_ = false;
  written_ = true;
  moved_ = false;
  const std::u16string deviceFolder = root + u"KORVANE\\";
  record_.libraryFolder = deviceFolder + u"LIBRARY\\";
  record_.backupFolder.clear();
  if (recovered) *recovered = false;

  // .bak files left by a run that never finished: the library beside them may be half-written,
  // gone, or only partly moved aside or back.
  unsigned stale = StaleCopies(deviceFolder);
  if (check && stale != 0) {
    if (!check(driveRoot)) {
      // A killed restore may have emptied or removed the library folder.
      (void)files_.MakeFolder(deviceFolder + u"LIBRARY");
      for (size_t i = 0; i < std::size(kBackedUpFiles); ++i) {
        if ((stale & 1u << i) == 0) continue;  // put back before the run was killed
        const std::u16string_view name = kBackedUpFiles[i];
        if (!files_.Replace(Bak(deviceFolder, name), record_.libraryFolder + std::u16string(name)))
          return false;  // what is not put back stays; nothing was lost
        stale &= ~(1u << i);
      }
      if (recovered) *recovered = true;
    }
    // The library is whole now; the .bak files of the killed run are of no more use.
    for (size_t i = 0; i < std::size(kBackedUpFiles); ++i) {
      if ((stale & 1u << i) != 0) (void)files_.RemoveFile(Bak(deviceFolder, kBackedUpFiles[i]));
    }
    stale = 0;
  }
  // The temporary files of an update that never finished.
  for (std::u16string_view name : kTemporaryFiles) {
    const std::u16string path = record_.libraryFolder + std::u16string(name);
    if (files_.Attributes(path) != platform::kNoAttributes) (void)files_.RemoveFile(path);
  }

  if (deferCopies) {
    deferred_ = true;
    written_ = false;
    return true;
  }
  return MoveAside(stale);
}

bool Backup::MoveAside(unsigned stale) {
  if (!library::IsLibraryPresent(files_, root_, 0)) return true;
  const std::u16string deviceFolder = root_ + u"KORVANE\\";
  // .bak files that no check judged are of no use now, and a move needs its target free.
  for (size_t i = 0; i < std::size(kBackedUpFiles); ++i) {
    if ((stale & 1u << i) != 0) (void)files_.RemoveFile(Bak(deviceFolder, kBackedUpFiles[i]));
  }
  record_.backupFolder = deviceFolder;
  moved_ = true;
  size_t moved = 0;
  for (; moved < std::size(kBackedUpFiles); ++moved) {
    const std::u16string_view name = kBackedUpFiles[moved];
    if (!files_.Move(record_.libraryFolder + std::u16string(name), Bak(deviceFolder, name))) break;
  }
  if (moved == std::size(kBackedUpFiles)) return true;
  // Put back what was moved: the library stays where it was. What cannot be put back stays a .bak
  // file beside an incomplete library, which the next run's recovery puts back.
  bool back = true;
  for (size_t i = 0; i < moved; ++i) {
    const std::u16string_view name = kBackedUpFiles[i];
    if (!files_.Move(Bak(deviceFolder, name), record_.libraryFolder + std::u16string(name)))
      back = false;
  }
  if (back) record_.backupFolder.clear();
  moved_ = false;
  return false;
}

bool Backup::CopyAll() {
  if (!library::IsLibraryPresent(files_, root_, 0)) return true;
  const std::u16string deviceFolder = root_ + u"KORVANE\\";
  record_.backupFolder = deviceFolder;
  bool ok = true;
  for (std::u16string_view name : kBackedUpFiles) {
    if (!files_.Copy(record_.libraryFolder + std::u16string(name), Bak(deviceFolder, name)))
      ok = false;
  }
  if (!ok) {
    // Forget the copies but keep the library folder: a later restore must still find it.
    const std::u16string libraryFolder = record_.libraryFolder;
    DiscardBackup();
    record_.libraryFolder = libraryFolder;
    return false;
  }
  return true;
}

bool Backup::TakeDeferredCopies() {
  if (!deferred_) return true;
  if (!CopyAll()) return false;
  deferred_ = false;
  written_ = true;
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
  if (!written_) {
    // Nothing was written to the library folder: the library of before is still there as it was.
    deferred_ = false;
    DiscardBackup();
    return true;
  }
  DeleteFolderFiles(record_.libraryFolder);
  return PutBack();
}

bool Backup::KeepNewLibrary(bool libraryWritten) {
  if (moved_ && !libraryWritten && !record_.backupFolder.empty()) {
    // The run wrote no library (it found nothing to add): the one of before goes back in place.
    return PutBack();
  }
  DiscardBackup();
  return true;
}

bool Backup::PutBack() {
  if (record_.backupFolder.empty()) return true;
  bool ok = true;
  for (std::u16string_view name : kBackedUpFiles) {
    const std::u16string bak = Bak(record_.backupFolder, name);
    const std::u16string file = record_.libraryFolder + std::u16string(name);
    // Files moved aside go back by rename; an update's copies are copied back.
    if (!(moved_ ? files_.Replace(bak, file) : files_.Copy(bak, file))) ok = false;
  }
  if (!ok) return false;  // keep the .bak files: they are the only good library now
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

bool BackupOnWrite::BeforeWrite(std::u16string_view path) {
  // Only the device folder and what lies in it belong to the library.
  const std::u16string& folder = backup_.record().libraryFolder;
  const size_t deviceLength = folder.size() >= 8 ? folder.size() - 8 : 0;  // without "LIBRARY\\"
  if (path.size() < deviceLength) return true;
  for (size_t i = 0; i < deviceLength; ++i) {
    if (AsciiUpper(path[i]) != AsciiUpper(folder[i])) return true;
  }
  // The times file is written only once a run has succeeded, and is no part of the library: an
  // update that writes only it needs no copies.
  const std::u16string_view rest = path.substr(deviceLength);
  if (rest.size() == library::kTimesFile.size() &&
      std::equal(rest.begin(), rest.end(), library::kTimesFile.begin(),
                 [](char16_t a, char16_t b) { return AsciiUpper(a) == AsciiUpper(b); })) {
    return true;
  }
  return backup_.TakeDeferredCopies();
}

std::unique_ptr<platform::File> BackupOnWrite::Open(std::u16string_view path, const char* mode) {
  const bool reading = mode[0] == 'r' && std::string_view(mode).find('+') == std::string_view::npos;
  if (!reading && !BeforeWrite(path)) return nullptr;
  return files_.Open(path, mode);
}

bool BackupOnWrite::SetAttributes(std::u16string_view path, uint32_t attributes) {
  return BeforeWrite(path) && files_.SetAttributes(path, attributes);
}
bool BackupOnWrite::MakeFolder(std::u16string_view path) {
  return BeforeWrite(path) && files_.MakeFolder(path);
}
bool BackupOnWrite::RemoveFile(std::u16string_view path) {
  // Removing what is not there (the add list of an update that queued nothing) writes nothing.
  if (files_.Attributes(path) == platform::kNoAttributes) return files_.RemoveFile(path);
  return BeforeWrite(path) && files_.RemoveFile(path);
}
bool BackupOnWrite::Move(std::u16string_view from, std::u16string_view to) {
  return BeforeWrite(to) && BeforeWrite(from) && files_.Move(from, to);
}
bool BackupOnWrite::Replace(std::u16string_view from, std::u16string_view to) {
  return BeforeWrite(to) && BeforeWrite(from) && files_.Replace(from, to);
}
bool BackupOnWrite::Copy(std::u16string_view from, std::u16string_view to) {
  return BeforeWrite(to) && files_.Copy(from, to);
}

}  // namespace deltrix::run
