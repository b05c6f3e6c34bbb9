// Tells when the mount table changes (a card mounted or unmounted): the kernel marks an open
// /proc/self/mountinfo with POLLPRI at every change, so a front-end can wait on the descriptor in
// its event loop instead of reading the table again and again.
#pragma once

namespace deltrix::platform::posix {

class MountWatch {
 public:
  MountWatch();
  ~MountWatch();
  MountWatch(const MountWatch&) = delete;
  MountWatch& operator=(const MountWatch&) = delete;

  // The descriptor to wait on for POLLPRI; -1 when the mount table cannot be watched.
  int fd() const { return fd_; }
  // True when the table changed since the last call (or since the watch began), waiting at most
  // `timeoutMs` for a change. Each change is reported once.
  bool Changed(int timeoutMs = 0);

 private:
  int fd_ = -1;
};

}  // namespace deltrix::platform::posix
