#include "platform/posix/posix_clock.h"

#include <sched.h>
#include <time.h>

#include <cerrno>

namespace deltrix::platform::posix {

int64_t PosixClock::NowSeconds() { return static_cast<int64_t>(time(nullptr)); }

void PosixClock::Sleep(int milliseconds) {
  if (milliseconds <= 0) {
    sched_yield();
    return;
  }
  timespec left{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace deltrix::platform::posix
