#include "gui/qt/drive_watch.h"

#include <QSocketNotifier>
#include <QTimer>

namespace deltrix::gui {

DriveWatch::DriveWatch(int fd, std::function<void()> changed, QObject* parent)
    : QObject(parent), changed_(std::move(changed)) {
  settle_ = new QTimer(this);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, [this] {
    if (changed_) changed_();
  });
  if (fd < 0) return;
  // The kernel signals a change of the mount table as an exceptional condition (POLLPRI).
  notifier_ = new QSocketNotifier(fd, QSocketNotifier::Exception, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    if (!settle_->isActive()) settle_->start();
  });
}

}  // namespace deltrix::gui
