#include "platform/win32/win32_clock.h"

#include <windows.h>

#include <ctime>

namespace deltrix::platform::win32 {

int64_t Win32Clock::NowSeconds() { return static_cast<int64_t>(std::time(nullptr)); }

void Win32Clock::Sleep(int milliseconds) {
  ::Sleep(static_cast<DWORD>(milliseconds < 0 ? 0 : milliseconds));
}

}  // namespace deltrix::platform::win32
