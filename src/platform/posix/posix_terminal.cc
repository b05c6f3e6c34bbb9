#include "platform/posix/posix_terminal.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace deltrix::platform::posix {

namespace {

std::atomic<int> gInterrupts{0};  // written by the signal handler only

void OnInterrupt(int) { gInterrupts.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

bool PosixTerminal::Interactive() { return isatty(STDIN_FILENO) && isatty(STDERR_FILENO); }

int PosixTerminal::Width() {
  winsize ws{};
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

void PosixTerminal::CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a read in progress sees EINTR
  sigaction(SIGINT, &action, nullptr);
}

int PosixTerminal::Interrupts() { return gInterrupts.load(std::memory_order_relaxed); }

bool PosixTerminal::ReadLine(std::string* line) {
  line->clear();
  const int before = Interrupts();
  while (true) {
    if (Interrupts() != before) return false;
    pollfd pfd{STDIN_FILENO, POLLIN, 0};
    const int ready = poll(&pfd, 1, 50);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    char c;
    const ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return !line->empty();
    if (c == '\n') return true;
    line->push_back(c);
  }
}

}  // namespace deltrix::platform::posix
