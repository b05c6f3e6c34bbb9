#include "gui/win32/settings_dialog.h"

#include <dbt.h>
#include <shellapi.h>

#include "app/start_flow.h"
#include "app/tag_languages.h"
#include "base/utf16.h"
#include "gui/win32/resource.h"

namespace deltrix::gui::win32 {

void DialogErrorHost::ShowError(const std::u16string& message, const std::u16string& codeLine) {
  CErrorDlg dialog(message, codeLine);
  dialog.Run(owner);
}

run::SkipAnswer DialogErrorHost::AskSkipOrAbort(const std::u16string&) {
  CCannotOpen dialog;
  dialog.Run(owner);
  return dialog.answer();
}

CSettingDlg::CSettingDlg(platform::Platform& platform,
                         const CRunDlg::ControllerFactory& makeController)
    : ModalDialog(IDD_SETTINGS),
      platform_(platform),
      presenter_(platform, app::DefaultTagLanguage(platform.text.UserLanguage())),
      runDialog_(std::make_unique<CRunDlg>(platform, makeController)) {}

CSettingDlg::~CSettingDlg() = default;

BOOL CSettingDlg::OnInit() {
  errors_.owner = hwnd_;
  bigIcon_ = reinterpret_cast<HICON>(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0));
  bold_.MakeBold(hwnd_);
  bold_.ApplyTo(hwnd_, IDC_SETTINGS_HEADING);
  bold_.ApplyTo(hwnd_, IDC_MODE_HEADING);
  for (std::u16string_view name : app::kTagLanguageNames) {
    SendDlgItemMessageW(hwnd_, IDC_LANGUAGES, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(Wide(name).c_str()));
  }
  Render();
  return TRUE;
}

void CSettingDlg::Render() {
  const app::SettingsView& v = presenter_.view();
  HWND drives = GetDlgItem(hwnd_, IDC_DRIVES);
  const LRESULT count = SendMessageW(drives, CB_GETCOUNT, 0, 0);
  bool same = count == static_cast<LRESULT>(v.driveItems.size());
  for (LRESULT i = 0; same && i < count; ++i) {
    const LRESULT length = SendMessageW(drives, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
    std::wstring text(static_cast<size_t>(length < 0 ? 0 : length) + 1, L'\0');
    SendMessageW(drives, CB_GETLBTEXT, static_cast<WPARAM>(i),
                 reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length < 0 ? 0 : length));
    same = FromWide(text) == v.driveItems[static_cast<size_t>(i)];
  }
  if (!same) {
    SendMessageW(drives, CB_RESETCONTENT, 0, 0);
    for (const std::u16string& item : v.driveItems)
      SendMessageW(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(item).c_str()));
  }
  if (SendMessageW(drives, CB_GETCURSEL, 0, 0) != v.driveSelection)
    SendMessageW(drives, CB_SETCURSEL, static_cast<WPARAM>(v.driveSelection), 0);
  SendDlgItemMessageW(hwnd_, IDC_LANGUAGES, CB_SETCURSEL, static_cast<WPARAM>(v.languageSelection),
                      0);
  EnableWindow(GetDlgItem(hwnd_, IDC_CREATE), v.createEnabled);
  CheckDlgButton(hwnd_, IDC_CREATE, v.createSelected ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(hwnd_, IDC_UPDATE), v.updateEnabled);
  CheckDlgButton(hwnd_, IDC_UPDATE, v.updateSelected ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(hwnd_, IDC_REREAD), v.rereadEnabled);
  CheckDlgButton(hwnd_, IDC_REREAD, v.rereadChecked ? BST_CHECKED : BST_UNCHECKED);
  EnableWindow(GetDlgItem(hwnd_, IDC_START), v.startEnabled);
}

INT_PTR CSettingDlg::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_DEVICECHANGE:
      // A card inserted or removed: the list and a chosen drive are judged again.
      if (wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) {
        presenter_.OnDrivesChanged();
        Render();
      }
      return FALSE;
    case WM_QUERYDRAGICON:
      SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, reinterpret_cast<LONG_PTR>(bigIcon_));
      return TRUE;
    case WM_CLOSE:
      End(IDCANCEL);
      return TRUE;
    default:
      return ModalDialog::Handle(message, wParam, lParam);
  }
}

void CSettingDlg::OnCommand(int id, int code) {
  switch (id) {
    case IDC_DRIVES: {
      const int selected =
          static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_DRIVES, CB_GETCURSEL, 0, 0));
      if (code == CBN_DROPDOWN) {
        presenter_.OnDriveDropDown();
      } else if (code == CBN_SELCHANGE) {
        if (selected != presenter_.view().driveSelection) presenter_.OnDriveSelChange(selected);
      } else if (code == CBN_CLOSEUP) {
        // The choice may be told before or after the list closes: take it from the list itself.
        if (selected >= 0 && selected != presenter_.view().driveSelection)
          presenter_.OnDriveSelChange(selected);
        presenter_.OnDriveCloseUp();
      } else {
        return;
      }
      Render();
      return;
    }
    case IDC_LANGUAGES:
      if (code == CBN_SELCHANGE) {
        presenter_.OnLanguageSelChange(
            static_cast<int>(SendDlgItemMessageW(hwnd_, IDC_LANGUAGES, CB_GETCURSEL, 0, 0)));
        Render();
      }
      return;
    case IDC_CREATE:
    case IDC_UPDATE:
      if (code == BN_CLICKED) {
        presenter_.OnModeClicked(id == IDC_UPDATE);
        Render();
      }
      return;
    case IDC_REREAD:
      if (code == BN_CLICKED) {
        // A click turns the box over; the view then draws it as the presenter has it.
        presenter_.OnRereadClicked(!presenter_.view().rereadChecked);
        Render();
      }
      return;
    case IDC_START:
      if (code == BN_CLICKED) OnStart();
      return;
    case IDC_CLOSE:
      if (code == BN_CLICKED) PostMessageW(hwnd_, WM_CLOSE, 0, 0);
      return;
    default:
      ModalDialog::OnCommand(id, code);  // Enter and Escape end the dialog, and so the program
  }
}

void CSettingDlg::OnStart() {
  app::StartConfirmation confirmation;
  if (!presenter_.OnStart(&confirmation)) return;
  ConfirmAndRun(confirmation, true);
}

void CSettingDlg::OnDropFiles(HDROP drop) {
  std::vector<std::u16string> items;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    const UINT length = DragQueryFileW(drop, i, nullptr, 0);
    std::wstring path(length + 1, L'\0');
    const UINT got = DragQueryFileW(drop, i, path.data(), length + 1);
    path.resize(got);
    items.push_back(FromWide(path));
  }
  DragFinish(drop);
  // Dropped paths are drive paths already (E:\ for a drive); the drive table checks them.
  std::vector<std::u16string> driveItems;
  for (const std::u16string& item : items)
    driveItems.push_back(platform_.drives.ToDrivePath(ToUtf8(item)));
  errors_.owner = hwnd_;
  app::StartConfirmation confirmation;
  if (!presenter_.StartFromPaths(errors_, driveItems, items, app::StartSource::Drop, &confirmation))
    return;
  ConfirmAndRun(confirmation, false);
}

int CSettingDlg::StartFromCommandLine(std::u16string_view arguments) {
  const std::vector<std::u16string> items = app::SplitCommandLine(arguments);
  if (items.empty()) return -1;
  std::vector<std::u16string> driveItems;
  for (const std::u16string& item : items)
    driveItems.push_back(platform_.drives.ToDrivePath(ToUtf8(item)));
  errors_.owner = nullptr;  // this dialog is never shown on this path
  app::StartConfirmation confirmation;
  if (!presenter_.StartFromPaths(errors_, driveItems, items, app::StartSource::CommandLine,
                                 &confirmation))
    return 0;
  const int code = ConfirmAndRun(confirmation, false);
  return code < 0 ? 0 : code;
}

int CSettingDlg::ConfirmAndRun(const app::StartConfirmation& confirmation, bool manual) {
  const bool shown = hwnd_ != nullptr && IsWindowVisible(hwnd_);
  CStartCheckDlg check(confirmation.request.message, confirmation.values());
  if (check.Run(shown ? hwnd_ : nullptr) != IDOK) return -1;
  if (shown) {
    ShowWindow(hwnd_, SW_MINIMIZE);
    EnableWindow(hwnd_, FALSE);  // the run dialog has no owner to disable
  }
  const app::StartRequest& request = confirmation.request;
  runDialog_->RunModal(request.driveRoot, request.tagLanguage, request.runMode,
                       request.rereadChanged);
  if (shown) {
    EnableWindow(hwnd_, TRUE);
    ShowWindow(hwnd_, SW_RESTORE);
    SetForegroundWindow(hwnd_);
  }
  if (manual) presenter_.OnManualRunEnded();
  if (hwnd_ != nullptr) Render();
  ShowRunNotices(confirmation.shownDrive);
  return runDialog_->resultCode();
}

void CSettingDlg::ShowRunNotices(const std::u16string& shownDrive) {
  const std::vector<std::u16string> notices =
      app::NoticesAfterRun(runDialog_->resultCode(), runDialog_->TakeNotices(), shownDrive);
  const bool shown = hwnd_ != nullptr && IsWindowVisible(hwnd_);
  for (const std::u16string& text : notices) {
    MessageBoxW(shown ? hwnd_ : nullptr, Wide(text).c_str(), L"" DELTRIX_DIALOG_TITLE,
                MB_OK | MB_ICONINFORMATION);
  }
}

}  // namespace deltrix::gui::win32
