// Calendar time and sleeping on POSIX.
#pragma once

#include "platform/platform.h"

namespace deltrix::platform::posix {

class PosixClock : public Clock {
 public:
  int64_t NowSeconds() override;          // time(): seconds since 1970, UTC
  void Sleep(int milliseconds) override;  // nanosleep; 0 or less yields (sched_yield)
};

}  // namespace deltrix::platform::posix
