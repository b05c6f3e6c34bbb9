// Locks that other processes see: flock(LOCK_EX | LOCK_NB) on one file per key, in
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

namespace deltrix::platform::posix {

class PosixLocks : public Locks {
 public:
  // `folder` overrides where the lock files go (tests); empty takes the default above.
  explicit PosixLocks(std::string folder = {});

  // Null when another holder has the key. When no lock file can be made at all (no usable
  // folder), a lock that holds nothing is returned: a broken lock folder must not stop the program.
  std::unique_ptr<Lock> TryLock(std::u16string_view key) override;

  // The lock file for `key` (for tests and messages).
  std::string LockFilePath(std::u16string_view key) const;

 private:
  std::string folder_;
};

}  // namespace deltrix::platform::posix
