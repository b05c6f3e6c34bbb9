#include "gui/qt/settings_dialog.h"

#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QUrl>

#include "app/tag_languages.h"
#include "base/utf16.h"
#include "gui/qt/drive_watch.h"
#include "run/run_controller.h"

namespace deltrix::gui {

void DriveComboBox::showPopup() {
  if (onDropDown) onDropDown();
  QComboBox::showPopup();
}

void DriveComboBox::hidePopup() {
  QComboBox::hidePopup();
  // The choice made in the list arrives after the list has closed: look at the selection after it.
  if (onCloseUp)
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (onCloseUp) onCloseUp();
        },
        Qt::QueuedConnection);
}

void DialogErrorHost::ShowError(const std::u16string& message, const std::u16string& codeLine) {
  CErrorDlg dialog(parent_);
  dialog.SetError(ToQString(message), ToQString(codeLine));
  dialog.exec();
}

run::SkipAnswer DialogErrorHost::AskSkipOrAbort(const std::u16string&) {
  CCannotOpen dialog(parent_);
  dialog.exec();
  return dialog.answer();
}

CSettingDlg::CSettingDlg(platform::Platform& platform,
                         const CRunDlg::ControllerFactory& makeController, QWidget* parent)
    : CDialogBase(parent, "CSettingDlg", 179, 153, true),
      platform_(platform),
      presenter_(platform, app::DefaultTagLanguage(platform.text.UserLanguage())),
      errors_(this),
      runDialog_(std::make_unique<CRunDlg>(platform, makeController)) {
  // A main window of its own: a close button, no minimise or maximise box, a taskbar entry.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setAcceptDrops(true);

  AddText(QStringLiteral("Program Setting"), 7, 6, 165, 10, Qt::AlignLeft, true)
      ->setObjectName(QStringLiteral("heading"));
  AddText(QStringLiteral("Drive"), 14, 20, 150, 8);
  drives_ = new DriveComboBox(this);
  drives_->setObjectName(QStringLiteral("drives"));
  drives_->setGeometry(units().Rect(14, 29, 151, 13));
  AddText(QStringLiteral("ID Tag Language"), 14, 47, 150, 8);
  languages_ = new QComboBox(this);
  languages_->setObjectName(QStringLiteral("languages"));
  languages_->setGeometry(units().Rect(14, 56, 151, 13));
  for (std::u16string_view name : app::kTagLanguageNames) languages_->addItem(ToQString(name));
  AddText(QStringLiteral("Library Mode"), 7, 76, 165, 10, Qt::AlignLeft, true)
      ->setObjectName(QStringLiteral("modeHeading"));
  create_ = new QRadioButton(QStringLiteral("Create Library"), this);
  create_->setObjectName(QStringLiteral("create"));
  create_->setGeometry(units().Rect(14, 89, 75, 10));
  update_ = new QRadioButton(QStringLiteral("Update Library"), this);
  update_->setObjectName(QStringLiteral("update"));
  update_->setGeometry(units().Rect(92, 89, 75, 10));
  // The presenter keeps the buttons exclusive; both may be clear.
  create_->setAutoExclusive(false);
  update_->setAutoExclusive(false);
  reread_ = new QCheckBox(QStringLiteral("Read changed files again"), this);
  reread_->setObjectName(QStringLiteral("reread"));
  reread_->setGeometry(units().Rect(14, 102, 153, 10));
  AddFrame(QFrame::HLine, 7, 118, 165, 1);
  start_ = AddButton(QStringLiteral("Start"), 33, 129, 50, 14);
  start_->setObjectName(QStringLiteral("start"));
  QPushButton* close = AddButton(QStringLiteral("Close"), 96, 129, 50, 14);
  close->setObjectName(QStringLiteral("close"));

  drives_->onDropDown = [this] {
    presenter_.OnDriveDropDown();
    Render();
  };
  drives_->onCloseUp = [this] {
    presenter_.OnDriveCloseUp();
    Render();
  };
  connect(drives_, &QComboBox::activated, this, [this](int index) {
    presenter_.OnDriveSelChange(index);
    Render();
  });
  connect(languages_, &QComboBox::activated, this, [this](int index) {
    presenter_.OnLanguageSelChange(index);
    Render();
  });
  connect(create_, &QRadioButton::clicked, this, [this] {
    presenter_.OnModeClicked(false);
    Render();
  });
  connect(update_, &QRadioButton::clicked, this, [this] {
    presenter_.OnModeClicked(true);
    Render();
  });
  connect(reread_, &QCheckBox::clicked, this, [this](bool checked) {
    presenter_.OnRereadClicked(checked);
    Render();
  });
  connect(start_, &QPushButton::clicked, this, [this] { OnStart(); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  Render();
}

CSettingDlg::~CSettingDlg() = default;

void CSettingDlg::Render() {
  const app::SettingsView& v = presenter_.view();
  bool same = drives_->count() == static_cast<int>(v.driveItems.size());
  for (int i = 0; same && i < drives_->count(); ++i)
    same = drives_->itemText(i) == ToQString(v.driveItems[i]);
  {
    const QSignalBlocker block(drives_);
    if (!same) {
      drives_->clear();
      for (const std::u16string& item : v.driveItems) drives_->addItem(ToQString(item));
    }
    if (drives_->currentIndex() != v.driveSelection) drives_->setCurrentIndex(v.driveSelection);
  }
  {
    const QSignalBlocker block(languages_);
    languages_->setCurrentIndex(v.languageSelection);
  }
  create_->setEnabled(v.createEnabled);
  create_->setChecked(v.createSelected);
  update_->setEnabled(v.updateEnabled);
  update_->setChecked(v.updateSelected);
  reread_->setEnabled(v.rereadEnabled);
  reread_->setChecked(v.rereadChecked);
  start_->setEnabled(v.startEnabled);
}

void CSettingDlg::OnStart() {
  app::StartConfirmation confirmation;
  if (!presenter_.OnStart(&confirmation)) return;
  if (ConfirmAndRun(confirmation, true) < 0) return;  // cancelled: nothing has changed
}

void CSettingDlg::OnDropFiles(const std::vector<std::string>& localPaths) {
  std::vector<std::u16string> driveItems, shownItems;
  for (std::string path : localPaths) {
    // A file manager may name a folder with a trailing slash.
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    driveItems.push_back(path.empty() ? std::u16string() : platform_.drives.ToDrivePath(path));
    shownItems.push_back(FromUtf8(path));
  }
  errors_.SetParent(this);
  app::StartConfirmation confirmation;
  if (!presenter_.StartFromPaths(errors_, driveItems, shownItems, app::StartSource::Drop,
                                 &confirmation))
    return;
  ConfirmAndRun(confirmation, false);
}

void CSettingDlg::OnDrivesChanged() {
  presenter_.OnDrivesChanged();
  Render();
}

void CSettingDlg::WatchDrives(int mountTableFd) {
  new DriveWatch(
      mountTableFd, [this] { OnDrivesChanged(); }, this);
}

int CSettingDlg::StartFromCommandLine(const QStringList& arguments) {
  std::vector<std::u16string> driveItems, shownItems;
  for (const QString& argument : arguments) {
    const QString token = argument.trimmed();
    if (token.isEmpty()) continue;
    std::string path = token.toStdString();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    driveItems.push_back(platform_.drives.ToDrivePath(path));
    shownItems.push_back(FromQString(token));
  }
  if (driveItems.empty()) return -1;
  errors_.SetParent(nullptr);  // this dialog is never shown on this path
  app::StartConfirmation confirmation;
  if (!presenter_.StartFromPaths(errors_, driveItems, shownItems, app::StartSource::CommandLine,
                                 &confirmation)) {
    return -1;
  }
  return ConfirmAndRun(confirmation, false);
}

int CSettingDlg::ConfirmAndRun(const app::StartConfirmation& confirmation, bool manual) {
  const bool shown = isVisible();
  CStartCheckDlg check(shown ? this : nullptr);
  check.SetTexts(ToQString(confirmation.request.message), ToQString(confirmation.values()));
  if (check.exec() != QDialog::Accepted) return -1;
  if (shown) showMinimized();
  const app::StartRequest& request = confirmation.request;
  runDialog_->RunModal(request.driveRoot, request.tagLanguage, request.runMode,
                       request.rereadChanged);
  if (shown) {
    showNormal();
    raise();
    activateWindow();
  }
  if (manual) presenter_.OnManualRunEnded();
  Render();
  ShowRunNotices(confirmation.shownDrive);
  return runDialog_->resultCode();
}

void CSettingDlg::ShowRunNotices(const std::u16string& shownDrive) {
  const std::vector<std::u16string> notices =
      app::NoticesAfterRun(runDialog_->resultCode(), runDialog_->TakeNotices(), shownDrive);
  for (const std::u16string& text : notices) {
    QMessageBox box(QMessageBox::Information, QString::fromLatin1(kDialogTitle), ToQString(text),
                    QMessageBox::Ok, isVisible() ? this : nullptr);
    box.setObjectName(QStringLiteral("notice"));
    box.exec();
  }
}

void CSettingDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CSettingDlg::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    paths.push_back(url.isLocalFile() ? url.toLocalFile().toStdString() : std::string());
  }
  event->acceptProposedAction();
  // The file manager finishes its part of the drop before the confirmation opens.
  QTimer::singleShot(0, this, [this, paths] { OnDropFiles(paths); });
}

void CSettingDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && !qobject_cast<QPushButton*>(focusWidget())) {
    accept();  // Enter ends the dialog, and so the program, as Escape does
    return;
  }
  CDialogBase::keyPressEvent(event);
}

}  // namespace deltrix::gui
