#include "platform/posix/mount_watch.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace deltrix::platform::posix {

MountWatch::MountWatch() : fd_(open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC)) {}

MountWatch::~MountWatch() {
  if (fd_ >= 0) close(fd_);
}

bool MountWatch::Changed(int timeoutMs) {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLPRI, 0};
  int n;
  do {
    n = poll(&p, 1, timeoutMs);
  } while (n < 0 && errno == EINTR);
  // The kernel answers POLLERR | POLLPRI once per change and clears it as it answers.
  return n > 0 && (p.revents & POLLPRI) != 0;
}

}  // namespace deltrix::platform::posix
