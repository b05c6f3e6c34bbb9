// Locks that other processes see. A drive's lock is flock(LOCK_EX | LOCK_NB) on the drive's root
// folder itself (its mount point, or the staging folder): every user who can open the folder sees
// it, nothing is written to the card, and the kernel releases it when the process ends. Other keys
// are flock(LOCK_EX | LOCK_NB) on one file per key, in
// $XDG_RUNTIME_DIR or else in /tmp/deltrix-<uid>/ (created 0700, and used only when it is ours).
// The file name is the key with every character other than letters, digits, '.', '-' and '_'
// replaced by '_', cut to 48 bytes, followed by a hash of the whole key, so different keys never
// share a file. flock belongs to an open file description, so a second TryLock of a held key in
// the same process fails too. Lock files are left in place; removing them would race with a
// process that is about to lock them.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/posix_drive_table.h"

namespace deltrix::platform::posix {

class PosixLocks : public Locks {
 public:
  // `folder` overrides where the lock files go (tests); empty takes the default above. `drives`
  // maps drive roots to folders for TryLockDrive.
  explicit PosixLocks(std::string folder = {}, PosixDriveTable* drives = nullptr);

  // Null when another holder has the key. When no lock file can be made at all (no usable
  // folder), a lock that holds nothing is returned: a broken lock folder must not stop the program.
  std::unique_ptr<Lock> TryLock(std::u16string_view key) override;
  std::unique_ptr<Lock> TryLockDrive(std::u16string_view driveRoot) override;

  // The lock file for `key` (for tests and messages).
  std::string LockFilePath(std::u16string_view key) const;

 private:
  std::string folder_;
  PosixDriveTable* drives_;
};

}  // namespace deltrix::platform::posix
