// Backup copies of the three library files, so that a failed or stopped run leaves the library of
// before the run on the drive. The copies lie in the device folder, one level above the library
// folder (KORVANE\ZRTL.DB.bak), so they survive the emptying of the library folder.
//
// Two rules keep the user's library safe beyond the plain copy-and-restore:
// - When a copy back fails, the .bak copies are kept and the host is told where they are.
// - .bak copies found at the start of a run mean the last run may never have finished; when the
//   library beside them fails the structural check, the copies are put back first (the library is
//   recovered), and only then is the backup taken again.
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

// Answers whether the library files on the drive are sound (the library reader's check).
using LibraryCheck = std::function<bool(std::u16string_view driveRoot)>;

class Backup {
 public:
  explicit Backup(platform::FileSystem& files) : files_(files) {}

  // Copies the three files to .bak copies when all three are present. False when a copy failed (the
  // copies made are deleted). `check` may be empty; `recovered` is set when stale copies were put
  // back because the library beside them failed the check.
  [[nodiscard]] bool PrepareBackup(std::u16string_view driveRoot, const LibraryCheck& check, bool* recovered);
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

  platform::FileSystem& files_;
  BackupRecord record_;
};

}  // namespace deltrix::run
