// Wakes the main thread when the drives change: the descriptor of a mount-table watch
// (platform/posix/mount_watch.h) is waited on in the event loop for POLLPRI, and `changed` is
// called one second after the first change of a burst (mounting a card changes the table several
// times), so the drives are read again at most once a second. Main thread only.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;
class QTimer;

namespace deltrix::gui {

class DriveWatch : public QObject {
 public:
  // `fd` < 0 watches nothing.
  DriveWatch(int fd, std::function<void()> changed, QObject* parent = nullptr);

  // The quiet time after a change before `changed` is called.
  static constexpr int kSettleMs = 1000;

 private:
  std::function<void()> changed_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* settle_ = nullptr;
};

}  // namespace deltrix::gui
