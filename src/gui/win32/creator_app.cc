#include "gui/win32/creator_app.h"

#include <memory>
#include <string>

#include "app/single_instance.h"
#include "app/start_flow.h"
#include "base/utf16.h"
#include "gui/win32/settings_dialog.h"

namespace deltrix::gui::win32 {

namespace {

std::string ExecutablePath() {
  std::wstring path(1024, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) return "deltrix-creator-gui.exe";
    if (got < path.size()) {
      path.resize(got);
      return ToUtf8(FromWide(path));
    }
    path.resize(path.size() * 2);
  }
}

}  // namespace

int RunCreatorApp(std::u16string_view commandLine, platform::Platform& platform,
                  const CRunDlg::ControllerFactory& makeController) {
  const std::unique_ptr<platform::Lock> instance =
      app::TakeInstanceLock(platform.locks, ExecutablePath());
  if (!instance) return 0;

  InitDialogControls();

  CSettingDlg settings(platform, makeController);
  const std::u16string_view arguments = app::CommandLineArguments(commandLine);
  if (!app::SplitCommandLine(arguments).empty()) return settings.StartFromCommandLine(arguments);
  settings.Run(nullptr);
  return 0;
}

}  // namespace deltrix::gui::win32
