// deltrix-creator-gui.exe: the library creator's native Windows program. wWinMain builds the real
// platform and the run's builders; everything else is RunCreatorApp's (creator_app.h).
#include <windows.h>

#include <memory>
#include <string_view>

#include "gui/win32/creator_app.h"
#include "native_platform.h"
#include "run/library_builders.h"
#include "run/run_controller.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using namespace deltrix;
  platform::NativePlatform native;
  const gui::win32::CRunDlg::ControllerFactory makeController = [&native](run::RunHost& host) {
    run::RunOptions options;
    options.libraryCheck = run::LibraryCheckFor(native.platform.files);
    return std::make_unique<run::RunController>(native.platform, host, run::LibraryBuilders(),
                                                options);
  };
  // The whole command line, program name included, as Windows passes it.
  const std::u16string_view commandLine(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  return gui::win32::RunCreatorApp(commandLine, native.platform, makeController);
}
