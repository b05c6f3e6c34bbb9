// The platform and console of the system being built for, under names front-ends share (the build
// puts this folder's copy on the include path).
#pragma once

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_terminal.h"

namespace deltrix::platform {

using NativePlatform = win32::Win32Platform;
using NativeTerminal = win32::Win32Terminal;

}  // namespace deltrix::platform
