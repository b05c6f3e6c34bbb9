// One copy of the program at a time: the first copy holds a lock named after its executable's base
// name (no folder, no extension) for as long as it runs; a second copy started meanwhile finds it
// held and ends at once without a window or a message. A copy under another file name is not
// stopped. The lock is the platform's, so a copy that dies releases it with its process.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::app {

// The base name of an executable path: "/usr/bin/deltrix-creator-gui" and "C:\x\Creator.exe" give
// "deltrix-creator-gui" and "Creator".
std::u16string InstanceKey(std::string_view executablePath);

// The lock of this copy, or null when another copy holds it (this copy must then end silently).
std::unique_ptr<platform::Lock> TakeInstanceLock(platform::Locks& locks,
                                                 std::string_view executablePath);

}  // namespace deltrix::app
