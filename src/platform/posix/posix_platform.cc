#include "platform/posix/posix_platform.h"

namespace deltrix::platform::posix {

PosixPlatform::PosixPlatform() : PosixPlatform(std::make_unique<LinuxSystemProbe>()) {}

PosixPlatform::PosixPlatform(std::unique_ptr<SystemProbe> probe) : drives(std::move(probe)) {}

}  // namespace deltrix::platform::posix
