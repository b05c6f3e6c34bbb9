// CSettingDlg: the program's main window, where the user picks the drive, the ID tag language and
// the library mode and presses Start; a drive dropped from Explorer (DragQueryFileW) or named on
// the command line starts the same way. Cards inserted or removed while it is open are noticed
// (WM_DEVICECHANGE). The SettingsPresenter decides every state; this class only
// forwards the window's notifications and draws the presenter's view. It owns the one CRunDlg used
// for every run. User-interface thread only.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/settings_presenter.h"
#include "gui/win32/dialogs.h"
#include "gui/win32/run_dialog.h"
#include "platform/platform.h"
#include "run/error_report.h"

namespace deltrix::gui::win32 {

// Errors and the skip question shown when no run is open (the starts by path).
class DialogErrorHost : public run::ErrorHost {
 public:
  void EnableStop(bool) override {}
  void ShowError(const std::u16string& message, const std::u16string& codeLine) override;
  run::SkipAnswer AskSkipOrAbort(const std::u16string& path) override;
  HWND owner = nullptr;
};

class CSettingDlg : public ModalDialog {
 public:
  CSettingDlg(platform::Platform& platform, const CRunDlg::ControllerFactory& makeController);
  ~CSettingDlg() override;

  // The command-line start: `arguments` is the command line after the program's name. Never shows
  // this dialog; returns when the run or the error is over, with the run's code (0 when nothing
  // ran). Does nothing and returns -1 when the arguments are blank.
  int StartFromCommandLine(std::u16string_view arguments);

  const app::SettingsPresenter& presenter() const { return presenter_; }

 protected:
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInit() override;
  void OnCommand(int id, int code) override;

 private:
  void Render();
  void OnStart();
  void OnDropFiles(HDROP drop);
  // The confirmation, then the run with this dialog minimised and disabled. Returns the run's code,
  // or -1 when the confirmation was cancelled.
  int ConfirmAndRun(const app::StartConfirmation& confirmation, bool manual);
  // What the run left to say, one message box each.
  void ShowRunNotices(const std::u16string& shownDrive);

  platform::Platform& platform_;
  app::SettingsPresenter presenter_;
  DialogErrorHost errors_;
  std::unique_ptr<CRunDlg> runDialog_;
  OwnedFont bold_;
  HICON bigIcon_ = nullptr;
};

}  // namespace deltrix::gui::win32
