#include "gui/win32/dialogs.h"

#include <commctrl.h>

#include <utility>

#include "gui/win32/resource.h"
#include "run/messages.h"

namespace deltrix::gui::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 API's wide text is UTF-16");

namespace {

constexpr int kPictureSize = 32;
constexpr int kPictureX = 19;
constexpr int kPictureY = 15;
constexpr COLORREF kPictureMask = RGB(255, 0, 0);

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

}  // namespace

void InitDialogControls() {
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX),
                                ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
}

std::wstring Wide(std::u16string_view text) {
  return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string FromWide(std::wstring_view text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

void SetItemText(HWND dialog, int id, std::u16string_view text) {
  // Unchanged text is not set again, so the 25 ms refresh does not make a control flicker.
  if (ItemText(dialog, id) == text) return;
  SetDlgItemTextW(dialog, id, Wide(text).c_str());
}

std::u16string ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  if (item == nullptr) return {};
  const int length = GetWindowTextLengthW(item);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(item, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return FromWide(text);
}

void OwnedFont::MakeBold(HWND dialog, int extraHeight) {
  Reset();
  HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(dialog, WM_GETFONT, 0, 0));
  LOGFONTW description{};
  if (dialogFont == nullptr || GetObjectW(dialogFont, sizeof description, &description) == 0)
    return;
  description.lfWeight = FW_BOLD;
  description.lfHeight += extraHeight;
  font_ = CreateFontIndirectW(&description);
}

void OwnedFont::ApplyTo(HWND dialog, int id) const {
  if (font_ != nullptr)
    SendDlgItemMessageW(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

void OwnedFont::Reset() {
  if (font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
}

INT_PTR ModalDialog::Run(HWND owner, HWND* openSlot) {
  openSlot_ = openSlot;
  const INT_PTR result = DialogBoxParamW(Instance(), MAKEINTRESOURCEW(templateId_), owner,
                                         &ModalDialog::Procedure, reinterpret_cast<LPARAM>(this));
  openSlot_ = nullptr;
  return result;
}

INT_PTR CALLBACK ModalDialog::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  ModalDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<ModalDialog*>(lParam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
    self->hwnd_ = hwnd;
    if (self->openSlot_ != nullptr) *self->openSlot_ = hwnd;
  } else {
    self = reinterpret_cast<ModalDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  }
  if (self == nullptr) return FALSE;
  const INT_PTR result = self->Handle(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    if (self->openSlot_ != nullptr && *self->openSlot_ == hwnd) *self->openSlot_ = nullptr;
    self->hwnd_ = nullptr;
  }
  return result;
}

INT_PTR ModalDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  (void)lParam;
  switch (message) {
    case WM_INITDIALOG: {
      HICON big = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_PROGRAM),
                                                IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                GetSystemMetrics(SM_CYICON), LR_SHARED));
      HICON small = static_cast<HICON>(LoadImageW(Instance(), MAKEINTRESOURCEW(IDI_PROGRAM),
                                                  IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                  GetSystemMetrics(SM_CYSMICON), LR_SHARED));
      SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
      SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
      return OnInit();
    }
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_PAINT:
      if (pictureId_ == 0) return FALSE;
      PaintPicture();
      return TRUE;
    default:
      return FALSE;
  }
}

void ModalDialog::RemoveCloseItem() {
  HMENU menu = GetSystemMenu(hwnd_, FALSE);
  if (menu != nullptr) DeleteMenu(menu, SC_CLOSE, MF_BYCOMMAND);
}

void ModalDialog::PaintPicture() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(hwnd_, &paint);
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(Instance(), MAKEINTRESOURCEW(pictureId_),
                                                   IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  HIMAGELIST list = ImageList_Create(kPictureSize, kPictureSize, ILC_COLOR24 | ILC_MASK, 1, 0);
  if (bitmap != nullptr && list != nullptr && ImageList_AddMasked(list, bitmap, kPictureMask) >= 0)
    ImageList_Draw(list, 0, dc, kPictureX, kPictureY, ILD_TRANSPARENT);
  if (list != nullptr) ImageList_Destroy(list);
  if (bitmap != nullptr) DeleteObject(bitmap);
  EndPaint(hwnd_, &paint);
}

CErrorDlg::CErrorDlg(std::u16string message, std::u16string codeLine)
    : ModalDialog(IDD_ERROR), message_(std::move(message)), codeLine_(std::move(codeLine)) {
  SetPicture(IDB_ERROR);
}

BOOL CErrorDlg::OnInit() {
  RemoveCloseItem();
  SetItemText(hwnd_, IDC_MESSAGE, message_);
  SetItemText(hwnd_, IDC_CODE_LINE, codeLine_);
  return TRUE;
}

CCannotOpen::CCannotOpen() : ModalDialog(IDD_CANNOT_OPEN) { SetPicture(IDB_ERROR); }

void CCannotOpen::OnCommand(int id, int code) {
  if (id == IDC_ABORT || id == IDC_SKIP_ALL) {
    answer_ = id == IDC_ABORT ? run::SkipAnswer::Abort : run::SkipAnswer::SkipAll;
    End(IDOK);
    return;
  }
  ModalDialog::OnCommand(id, code);
}

CStartCheckDlg::CStartCheckDlg(std::u16string message, std::u16string values)
    : ModalDialog(IDD_START_CHECK), message_(std::move(message)), values_(std::move(values)) {
  SetPicture(IDB_QUESTION);
}

BOOL CStartCheckDlg::OnInit() {
  RemoveCloseItem();
  bold_.MakeBold(hwnd_);
  bold_.ApplyTo(hwnd_, IDC_CHECK_VALUES);
  SetItemText(hwnd_, IDC_CHECK_MESSAGE, message_);
  SetItemText(hwnd_, IDC_CHECK_VALUES, values_);
  return TRUE;
}

CCancelDlg::CCancelDlg() : ModalDialog(IDD_CANCEL) { SetPicture(IDB_QUESTION); }

BOOL CCancelDlg::OnInit() {
  RemoveCloseItem();
  SetItemText(hwnd_, IDC_MESSAGE, run::kStopQuestion);
  return TRUE;
}

CFinshDialog::CFinshDialog(std::u16string message, std::u16string details)
    : ModalDialog(IDD_FINISH), message_(std::move(message)), details_(std::move(details)) {}

BOOL CFinshDialog::OnInit() {
  RemoveCloseItem();
  SetItemText(hwnd_, IDC_FINISH_TEXT, message_);
  if (details_.empty()) return TRUE;
  // Finish moves left to make room for the Details button beside it.
  RECT place{34, 28, 84, 42};
  MapDialogRect(hwnd_, &place);
  SetWindowPos(GetDlgItem(hwnd_, IDOK), nullptr, place.left, place.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetItemText(hwnd_, IDC_DETAILS, run::kDetailsButton);
  ShowWindow(GetDlgItem(hwnd_, IDC_DETAILS), SW_SHOW);
  return TRUE;
}

void CFinshDialog::OnCommand(int id, int code) {
  (void)code;
  if (id == IDC_DETAILS && !details_.empty()) {
    CDetailsDlg details(details_);
    details.Run(hwnd_);
    return;
  }
  if (id == IDOK) End(IDOK);  // Escape does nothing
}

CDetailsDlg::CDetailsDlg(std::u16string details)
    : ModalDialog(IDD_DETAILS), details_(std::move(details)) {}

BOOL CDetailsDlg::OnInit() {
  SetWindowTextW(hwnd_,
                 reinterpret_cast<const wchar_t*>(std::u16string(run::kDetailsTitle).c_str()));
  // An edit control breaks lines at CR LF only.
  std::u16string text;
  for (const char16_t c : details_) {
    if (c == u'\n') text.push_back(u'\r');
    text.push_back(c);
  }
  SetItemText(hwnd_, IDC_DETAILS_TEXT, text);
  return TRUE;
}

CRemoveDlg::CRemoveDlg(std::u16string question)
    : ModalDialog(IDD_REMOVE), question_(std::move(question)) {
  SetPicture(IDB_QUESTION);
}

BOOL CRemoveDlg::OnInit() {
  SetItemText(hwnd_, IDC_MESSAGE, question_);
  SetFocus(GetDlgItem(hwnd_, IDNO));  // No has the focus as well as the default
  return FALSE;
}

void CRemoveDlg::OnCommand(int id, int code) {
  (void)code;
  if (id == IDYES) {
    remove_ = true;
    End(IDYES);
  } else if (id == IDNO || id == IDOK || id == IDCANCEL) {
    End(IDNO);
  }
}

}  // namespace deltrix::gui::win32
