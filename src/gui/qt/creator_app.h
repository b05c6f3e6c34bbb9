// CCreatorApp: the program from start to end. It refuses a second copy (app/single_instance.h),
// then runs the settings dialog, whose close ends the program; with a mount point on the command
// line it runs that one start instead and ends after the run or the error. main() supplies the
// platform and the run's builders.
#pragma once

#include "gui/qt/run_dialog.h"
#include "platform/platform.h"

namespace deltrix::gui {

// Returns the process's exit status: 0, or with a command-line start the run's code (0 also when
// no run took place). A second copy returns 0 at once, before any window opens. `mountTableFd`
// signals changes of the drives while the window is open (drive_watch.h); -1 for none.
int RunCreatorApp(int argc, char** argv, platform::Platform& platform,
                  const CRunDlg::ControllerFactory& makeController, int mountTableFd = -1);

}  // namespace deltrix::gui
