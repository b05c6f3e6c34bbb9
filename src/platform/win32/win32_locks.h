// Locks that other processes see: a named mutex per key in the session's namespace
// ("Local\deltrix-<key>"). The mutex is never waited on; holding a handle to it is the lock, and a
// creator that finds the name already taken (ERROR_ALREADY_EXISTS) has lost. Windows removes the
// name when the last handle closes, so a killed process never leaves a stale lock. A second
// TryLock of a held key in the same process fails too.
//
// Keys: the single-instance key is the executable's base name, held in the session's namespace. A
// drive's lock lives in the machine's namespace ("Global\deltrix-drive-<serial>", or the root when
// the volume has no serial), so runs of two users on one card see each other; a name another user
// holds cannot even be opened (access denied), which counts as held. Object names cannot hold a
// backslash, so each one becomes '/'; keys are compared without regard to case, as Windows
// compares the names they come from.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::platform::win32 {

class Win32DriveTable;

class Win32Locks : public Locks {
 public:
  // `drives`, when given, must outlive this object: it tells a staging folder's letter, which is
  // locked by the folder's path instead of a volume.
  explicit Win32Locks(const Win32DriveTable* drives = nullptr) : drives_(drives) {}

  std::unique_ptr<Lock> TryLock(std::u16string_view key) override;
  std::unique_ptr<Lock> TryLockDrive(std::u16string_view driveRoot) override;

  // The object name a key is held under (for tests and messages).
  static std::u16string MutexName(std::u16string_view key, std::u16string_view space = u"Local");

 private:
  const Win32DriveTable* drives_;
};

}  // namespace deltrix::platform::win32
