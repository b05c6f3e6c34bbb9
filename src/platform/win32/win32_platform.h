// The whole platform of a Windows process, ready for wmain() and tests: one of each part, wired
// into the `platform` member that the core receives. Staging folders are added with
// drives.AddStagingFolder.
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_drive_table.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_locks.h"
#include "platform/win32/win32_text_codec.h"

namespace deltrix::platform::win32 {

struct Win32Platform {
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  Win32DriveTable drives;
  Win32FileSystem files{drives};
  Win32TextCodec text;
  Win32Clock clock;
  Win32Locks locks{&drives};
  Platform platform{files, drives, text, clock, locks};
};

}  // namespace deltrix::platform::win32
