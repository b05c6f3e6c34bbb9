// The console as the command-line front-end sees it: whether a person is there to answer, how wide
// the line is, interrupts (Ctrl-C) counted rather than fatal, and a line read that gives way to a
// further interrupt. Only front-ends use it; the core never talks to a terminal.
#pragma once

#include <string>

namespace deltrix::platform {

class Terminal {
 public:
  virtual ~Terminal() = default;
  // True when both standard input and standard error are terminals.
  virtual bool Interactive() = 0;
  // Columns of the terminal on standard error; 80 when unknown.
  virtual int Width() = 0;
  // From now on an interrupt (Ctrl-C) is counted instead of ending the program.
  virtual void CatchInterrupts() = 0;
  virtual int Interrupts() = 0;
  // Reads one line from standard input. False at end of input, or when an interrupt arrives while
  // waiting (the count has then grown).
  virtual bool ReadLine(std::string* line) = 0;
};

}  // namespace deltrix::platform
