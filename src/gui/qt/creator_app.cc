#include "gui/qt/creator_app.h"

#include <QApplication>
#include <QStringList>
#include <memory>

#include "app/single_instance.h"
#include "gui/qt/pictures.h"
#include "gui/qt/settings_dialog.h"

namespace deltrix::gui {

int RunCreatorApp(int argc, char** argv, platform::Platform& platform,
                  const CRunDlg::ControllerFactory& makeController, int mountTableFd) {
  const std::unique_ptr<platform::Lock> instance =
      app::TakeInstanceLock(platform.locks, argc > 0 ? argv[0] : "deltrix-creator-gui");
  if (!instance) return 0;

  QApplication application(argc, argv);
  QApplication::setDesktopFileName(QStringLiteral("deltrix-creator-gui"));
  QApplication::setWindowIcon(ProgramIcon());

  CSettingDlg settings(platform, makeController);
  QStringList arguments = QApplication::arguments();  // Qt's own options are gone from it
  if (!arguments.isEmpty()) arguments.removeFirst();
  bool named = false;
  for (const QString& argument : arguments) named = named || !argument.trimmed().isEmpty();
  if (named) {
    const int code = settings.StartFromCommandLine(arguments);
    return code < 0 ? 0 : code;
  }
  settings.WatchDrives(mountTableFd);
  settings.exec();
  return 0;
}

}  // namespace deltrix::gui
