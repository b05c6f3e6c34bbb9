#include "platform/win32/win32_terminal.h"

#include <windows.h>

#include <atomic>

#include "base/utf16.h"
#include "platform/win32/win32_text.h"

namespace deltrix::platform::win32 {

namespace {

std::atomic<int> gInterrupts{0};  // written by the control handler only

BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  gInterrupts.fetch_add(1, std::memory_order_relaxed);
  return TRUE;
}

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

Win32Terminal::Win32Terminal() {
  oldOutputCodePage_ = GetConsoleOutputCP();
  if (oldOutputCodePage_ != 0) SetConsoleOutputCP(CP_UTF8);
}

Win32Terminal::~Win32Terminal() {
  if (oldOutputCodePage_ != 0) SetConsoleOutputCP(oldOutputCodePage_);
}

bool Win32Terminal::Interactive() {
  return IsConsole(STD_INPUT_HANDLE) && IsConsole(STD_ERROR_HANDLE);
}

int Win32Terminal::Width() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width > 0) return width;
  }
  return 80;
}

void Win32Terminal::CatchInterrupts() { SetConsoleCtrlHandler(OnControl, TRUE); }

int Win32Terminal::Interrupts() { return gInterrupts.load(std::memory_order_relaxed); }

bool Win32Terminal::ReadLine(std::string* line) {
  line->clear();
  const int before = Interrupts();
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (IsConsole(STD_INPUT_HANDLE)) {
    std::u16string text;
    while (true) {
      if (Interrupts() != before) return false;
      wchar_t buffer[256];
      DWORD n = 0;
      if (!ReadConsoleW(input, buffer, 256, &n, nullptr)) {
        // Ctrl-C aborts the read before the handler, which runs on its own thread, has counted.
        if (GetLastError() == ERROR_OPERATION_ABORTED) {
          for (int i = 0; i < 20 && Interrupts() == before; ++i) ::Sleep(10);
          continue;
        }
        return false;
      }
      if (n == 0) {
        for (int i = 0; i < 20 && Interrupts() == before; ++i) ::Sleep(10);
        if (Interrupts() != before) return false;
        break;
      }
      text.append(FromWide(buffer, n));
      if (text.back() == u'\n') break;
    }
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r')) text.pop_back();
    *line = ToUtf8(text);
    return true;
  }
  while (true) {
    if (Interrupts() != before) return false;
    char c = 0;
    DWORD n = 0;
    if (!ReadFile(input, &c, 1, &n, nullptr) || n == 0) return !line->empty();
    if (c == '\n') break;
    line->push_back(c);
  }
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace deltrix::platform::win32
