// CSettingDlg: the program's main window, where the user picks the drive, the ID tag language and
// the library mode and presses Start; a drive's mount point can also be dropped on it, or named on
// the command line. The SettingsPresenter decides every state; this class only forwards the events
// and draws the presenter's view. It owns the one CRunDlg used for every run. Main thread only.
#pragma once

#include <QComboBox>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/settings_presenter.h"
#include "gui/qt/dialogs.h"
#include "gui/qt/run_dialog.h"
#include "platform/platform.h"
#include "run/error_report.h"

class QCheckBox;
class QRadioButton;
class QPushButton;

namespace deltrix::gui {

// The drive list, which reports its opening and closing (the list is read afresh on opening).
class DriveComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  std::function<void()> onDropDown;
  std::function<void()> onCloseUp;
  void showPopup() override;
  void hidePopup() override;
};

// Errors and the skip question shown by the main thread when no run is open (the path starts).
class DialogErrorHost : public run::ErrorHost {
 public:
  explicit DialogErrorHost(QWidget* parent) : parent_(parent) {}
  void EnableStop(bool) override {}
  void ShowError(const std::u16string& message, const std::u16string& codeLine) override;
  run::SkipAnswer AskSkipOrAbort(const std::u16string& path) override;
  void SetParent(QWidget* parent) { parent_ = parent; }

 private:
  QWidget* parent_;
};

class CSettingDlg : public CDialogBase {
 public:
  CSettingDlg(platform::Platform& platform, const CRunDlg::ControllerFactory& makeController,
              QWidget* parent = nullptr);
  ~CSettingDlg() override;

  // The command-line start: `arguments` are the words after the program's name. Never shows this
  // dialog; returns when the run or the error is over, with the run's code or the error's code (0
  // when the confirmation was cancelled).
  int StartFromCommandLine(const QStringList& arguments);

  // Start pressed.
  void OnStart();
  // Local paths dropped on the dialog (an empty string for an item that is not a local file).
  void OnDropFiles(const std::vector<std::string>& localPaths);
  // The drives changed (a card inserted or removed): an open or chosen drive list is read again.
  void OnDrivesChanged();
  // Calls OnDrivesChanged when the mount table behind `mountTableFd` changes (drive_watch.h);
  // -1 watches nothing.
  void WatchDrives(int mountTableFd);

  const app::SettingsPresenter& presenter() const { return presenter_; }
  CRunDlg& runDialog() { return *runDialog_; }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Render();
  // The confirmation, then the run with this dialog minimised. Returns the run's code, or -1 when
  // the confirmation was cancelled.
  int ConfirmAndRun(const app::StartConfirmation& confirmation, bool manual);
  // What the run left to say (a recovered library, kept backup copies, a drive in use), one box
  // each.
  void ShowRunNotices(const std::u16string& shownDrive);

  platform::Platform& platform_;
  app::SettingsPresenter presenter_;
  DialogErrorHost errors_;
  std::unique_ptr<CRunDlg> runDialog_;

  DriveComboBox* drives_;
  QComboBox* languages_;
  QRadioButton* create_;
  QRadioButton* update_;
  QCheckBox* reread_;
  QPushButton* start_;
};

}  // namespace deltrix::gui
