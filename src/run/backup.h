// Backup copies of the three library files, so that a failed or stopped run leaves the library of
// before the run on the drive. The copies lie in the device folder, one level above the library
// folder (KORVANE\ZRTL.DB.bak), so they survive the emptying of the library folder.
//
// An update may defer the copies until the first write to the library folder: an update that
// changes nothing then writes nothing to the card at all. BackupOnWrite is the file system the
// builders get for that; it takes the copies before it lets the first write through.
//
// Two rules keep the user's library safe beyond the plain copy-and-restore:
// - When a copy back fails, the .bak copies are kept and the host is told where they are.
// - Every run first recovers what an interrupted run left. .bak copies found at the start mean the
//   last run never finished: when the library beside them is missing, incomplete or fails the
//   structural check, the copies are put back (the library is recovered); either way they are then
//   deleted. A leftover ZRTB.DB or ZRTA.LST is deleted. Only then is the backup taken again.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::run {

struct BackupRecord {
  std::u16string libraryFolder;  // root + "KORVANE\LIBRARY\", set at every start
  std::u16string backupFolder;   // root + "KORVANE\" while copies exist, else empty
};

// The three files, in the order they are copied.
inline constexpr std::u16string_view kBackedUpFiles[] = {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"};
// What an update writes beside them for the length of the run only.
inline constexpr std::u16string_view kTemporaryFiles[] = {u"ZRTB.DB", u"ZRTA.LST"};

// Answers whether the library files on the drive are sound (the library reader's check).
using LibraryCheck = std::function<bool(std::u16string_view driveRoot)>;

class Backup {
 public:
  explicit Backup(platform::FileSystem& files) : files_(files) {}

  // Recovers what an interrupted run left (above), then copies the three files to .bak copies when
  // all three are present. False when a copy failed (the copies made are deleted), or when stale
  // copies could not be put back (they are kept). Without a `check` stale copies are left to the
  // backup to replace; `recovered` is set when stale copies were put back.
  // With `deferCopies` the copies are taken by TakeDeferredCopies before the first write.
  [[nodiscard]] bool PrepareBackup(std::u16string_view driveRoot, const LibraryCheck& check,
                                   bool* recovered, bool deferCopies = false);
  // Takes deferred copies now (once). False when a copy failed: the copies made are deleted, and
  // nothing may be written. Notes that the library folder is about to be written.
  [[nodiscard]] bool TakeDeferredCopies();
  // Deletes the copies (failures ignored) and forgets both folders.
  void DiscardBackup();
  // Empties the library folder and copies the backups back. Returns false when a copy back failed:
  // the .bak copies are then kept where backupFolder() says.
  bool RestoreBackup();
  // Deletes every file directly in the folder; sub-folders and the folder itself stay.
  void DeleteFolderFiles(std::u16string_view folder);

  const BackupRecord& record() const { return record_; }

 private:
  bool StaleCopiesPresent(std::u16string_view deviceFolder);
  bool CopyAll();

  std::u16string root_;
  bool deferred_ = false;  // copies not taken yet
  bool written_ = true;    // the library folder may have been written since the start

  platform::FileSystem& files_;
  BackupRecord record_;
};

// The file system a deferred-backup run hands its builders: reads pass through; the first call that
// would change the library folder takes the backup copies first, and fails when they cannot be
// taken, so nothing is written without a backup.
class BackupOnWrite : public platform::FileSystem {
 public:
  BackupOnWrite(platform::FileSystem& files, Backup& backup) : files_(files), backup_(backup) {}

  std::unique_ptr<platform::File> Open(std::u16string_view path, const char* mode) override;
  std::unique_ptr<platform::DirListing> List(std::u16string_view folder) override {
    return files_.List(folder);
  }
  uint32_t Attributes(std::u16string_view path) override { return files_.Attributes(path); }
  int64_t ModifiedTime(std::u16string_view path) override { return files_.ModifiedTime(path); }
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override;
  bool MakeFolder(std::u16string_view path) override;
  bool RemoveFile(std::u16string_view path) override;
  bool Move(std::u16string_view from, std::u16string_view to) override;
  bool Replace(std::u16string_view from, std::u16string_view to) override;
  bool Copy(std::u16string_view from, std::u16string_view to) override;

 private:
  bool BeforeWrite(std::u16string_view path);

  platform::FileSystem& files_;
  Backup& backup_;
};

}  // namespace deltrix::run
