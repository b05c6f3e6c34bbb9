// The platform and console of the system being built for, under names front-ends share (the build
// puts this folder's copy on the include path).
#pragma once

#include "platform/posix/posix_platform.h"
#include "platform/posix/posix_terminal.h"

namespace deltrix::platform {

using NativePlatform = posix::PosixPlatform;
using NativeTerminal = posix::PosixTerminal;

}  // namespace deltrix::platform
