// CCreatorApp on Windows: the program from start to end. It refuses a second copy (the platform's
// named lock keyed by the executable's base name), prepares the common controls, then either runs
// the start named on the command line and ends, or runs the settings dialog, whose close ends the
// program. wWinMain supplies the platform and the run's builders.
#pragma once

#include <string_view>

#include "gui/win32/run_dialog.h"
#include "platform/platform.h"

namespace deltrix::gui::win32 {

// `commandLine` is the whole command line, program name included (GetCommandLineW). Returns the
// process's exit status: 0, or with a command-line start the run's code (0 also when no run took
// place). A second copy returns 0 at once, before any window opens.
int RunCreatorApp(std::u16string_view commandLine, platform::Platform& platform,
                  const CRunDlg::ControllerFactory& makeController);

}  // namespace deltrix::gui::win32
