// The Windows console: whether standard input and error are consoles, the width of the console
// window, Ctrl-C and Ctrl-Break counted by a console control handler rather than ending the
// process, and a line read that gives way to such an interrupt. Creating the terminal switches the
// console's output code page to UTF-8, the encoding the console front-end writes.
#pragma once

#include "platform/terminal.h"

namespace deltrix::platform::win32 {

class Win32Terminal : public Terminal {
 public:
  Win32Terminal();
  ~Win32Terminal() override;

  bool Interactive() override;
  int Width() override;
  void CatchInterrupts() override;
  int Interrupts() override;
  // From a console: ReadConsoleW line by line, so the console's own line editing works; an
  // interrupt ends the read. From a pipe or file: bytes up to the newline (a CR before it is
  // dropped).
  bool ReadLine(std::string* line) override;

 private:
  unsigned oldOutputCodePage_ = 0;
};

}  // namespace deltrix::platform::win32
