// The POSIX console: isatty, TIOCGWINSZ, a SIGINT handler that only counts, and a line read that
// polls standard input so that a second Ctrl-C can end a question.
#pragma once

#include "platform/terminal.h"

namespace deltrix::platform::posix {

class PosixTerminal : public Terminal {
 public:
  bool Interactive() override;
  int Width() override;
  void CatchInterrupts() override;
  int Interrupts() override;
  bool ReadLine(std::string* line) override;
};

}  // namespace deltrix::platform::posix
