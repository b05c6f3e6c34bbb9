// Calendar time from the C runtime and Sleep, whose 0 gives up the rest of the time slice.
#pragma once

#include "platform/platform.h"

namespace deltrix::platform::win32 {

class Win32Clock : public Clock {
 public:
  int64_t NowSeconds() override;
  void Sleep(int milliseconds) override;
};

}  // namespace deltrix::platform::win32
