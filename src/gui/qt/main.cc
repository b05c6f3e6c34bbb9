// deltrix-creator-gui: the desktop window of the library creator on Linux. main() builds the real
// platform and the run's builders; everything else is CCreatorApp's (creator_app.h).
#include <memory>

#include "gui/qt/creator_app.h"
#include "platform/posix/posix_platform.h"
#include "run/library_builders.h"
#include "run/run_controller.h"

int main(int argc, char** argv) {
  using namespace deltrix;
  platform::posix::PosixPlatform posix;
  const gui::CRunDlg::ControllerFactory makeController = [&posix](run::RunHost& host) {
    run::RunOptions options;
    options.libraryCheck = run::LibraryCheckFor(posix.platform.files);
    return std::make_unique<run::RunController>(posix.platform, host, run::LibraryBuilders(),
                                                options);
  };
  return gui::RunCreatorApp(argc, argv, posix.platform, makeController);
}
