// The whole platform of a Linux process, ready for main() and tests: one of each part, wired into
// the `platform` member that the core receives. The drive table reads the mount table at
// construction; staging folders are added with drives.AddStagingFolder.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/posix/iconv_text_codec.h"
#include "platform/posix/posix_clock.h"
#include "platform/posix/posix_drive_table.h"
#include "platform/posix/posix_file_system.h"
#include "platform/posix/posix_locks.h"

namespace deltrix::platform::posix {

struct PosixPlatform {
  // The running system's mounts.
  PosixPlatform();
  // Another view of the system (tests pass a probe with fixture mounts).
  explicit PosixPlatform(std::unique_ptr<SystemProbe> probe);
  PosixPlatform(const PosixPlatform&) = delete;
  PosixPlatform& operator=(const PosixPlatform&) = delete;

  PosixDriveTable drives;
  PosixFileSystem files{drives};
  IconvTextCodec text;
  PosixClock clock;
  PosixLocks locks{{}, &drives};
  Platform platform{files, drives, text, clock, locks};
};

}  // namespace deltrix::platform::posix
