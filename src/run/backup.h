// The library of before a run, kept so that a failed or stopped run leaves it on the drive. It
// lies in the device folder, one level above the library folder (KORVANE\ZRTL.DB.bak), so it
// survives the emptying of the library folder.
//
// A create moves the three files aside by rename (no data is copied) before it writes anything; a
// failed or stopped create empties the library folder and renames them back. An update reads the
// library it replaces, so it keeps copies, and may defer them until the first write to the library
// folder: an update that changes nothing then writes nothing to the card at all. BackupOnWrite is
// the file system the builders get for that; it takes the copies before it lets the first write
// through.
//
// Two rules keep the user's library safe beyond the plain keep-and-restore:
// - When a restore fails, the .bak files are kept and the host is told where they are.
// - Every run first recovers what an interrupted run left. .bak files found at the start mean the
//   last run never finished: when the library beside them is missing, incomplete or fails the
//   structural check, each .bak file is renamed over its library file (the library is recovered;
//   a run killed while moving the files aside or back leaves only some of them); either way they
//   are then deleted. A leftover ZRTB.DB or ZRTA.LST is deleted. Only then is the backup taken
//   again.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::run {

struct BackupRecord {
  std::u16string libraryFolder;  // root + "KORVANE\LIBRARY\", set at every start
  std::u16string backupFolder;   // root + "KORVANE\" while .bak files exist, else empty
};

// The three files, in the order they are moved aside or copied.
inline constexpr std::u16string_view kBackedUpFiles[] = {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"};
// What an update writes beside them for the length of the run only.
inline constexpr std::u16string_view kTemporaryFiles[] = {u"ZRTB.DB", u"ZRTA.LST"};

// Answers whether the library files on the drive are sound (the library reader's check).
using LibraryCheck = std::function<bool(std::u16string_view driveRoot)>;

class Backup {
 public:
  explicit Backup(platform::FileSystem& files) : files_(files) {}

  // Recovers what an interrupted run left (above), then moves the three files aside when all three
  // are present. False when a move failed (the files moved are moved back), or when stale .bak
  // files could not be put back (they are kept). Without a `check` stale .bak files are left to
  // the backup to replace; `recovered` is set when stale .bak files were put back.
  // With `deferCopies` (an update) nothing is moved: copies are taken by TakeDeferredCopies before
  // the first write.
  [[nodiscard]] bool PrepareBackup(std::u16string_view driveRoot, const LibraryCheck& check,
                                   bool* recovered, bool deferCopies = false);
  // Takes deferred copies now (once). False when a copy failed: the copies made are deleted, and
  // nothing may be written. Notes that the library folder is about to be written.
  [[nodiscard]] bool TakeDeferredCopies();
  // After a run that succeeded: deletes the .bak files (failures ignored) and forgets both
  // folders; but when a create moved the library aside and wrote none (`libraryWritten` false: it
  // found nothing to add), renames the files back instead. False when one could not be put back:
  // the .bak files left are then kept where backupFolder() says.
  bool KeepNewLibrary(bool libraryWritten);
  // Deletes the .bak files (failures ignored) and forgets both folders.
  void DiscardBackup();
  // Empties the library folder and puts the .bak files back (renamed when moved aside, else
  // copied). Returns false when one could not be put back: the .bak files left are then kept where
  // backupFolder() says.
  bool RestoreBackup();
  // Deletes every file directly in the folder; sub-folders and the folder itself stay.
  void DeleteFolderFiles(std::u16string_view folder);

  const BackupRecord& record() const { return record_; }

 private:
  // Which .bak files are in the device folder: bit i for kBackedUpFiles[i].
  unsigned StaleCopies(std::u16string_view deviceFolder);
  bool MoveAside(unsigned stale);
  bool PutBack();
  bool CopyAll();

  std::u16string root_;
  bool deferred_ = false;  // copies not taken yet
  bool written_ = true;    // the library folder may have been written since the start
  bool moved_ = false;     // the .bak files were moved aside, not copied

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
  // Not on the drive: no backup is needed for it.
  std::unique_ptr<platform::File> OpenScratch() override { return files_.OpenScratch(); }

 private:
  bool BeforeWrite(std::u16string_view path);

  platform::FileSystem& files_;
  Backup& backup_;
};

}  // namespace deltrix::run
