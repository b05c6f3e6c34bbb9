// The program's native dialogs over the templates of deltrix-creator-gui.rc, and what they share:
// a modal run of a template with its procedure bound to a C++ object, the program icon, the bold
// fonts made from each dialog's own font, and the 32 x 32 picture painted at client pixel (19, 15)
// through an image list whose mask is the picture's pure red. The small dialogs only draw and
// return the user's answer; what an answer does is decided by the presenters in app/ and by the
// run. Every dialog runs on the thread that calls Run (the user-interface thread).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "run/error_report.h"

namespace deltrix::gui::win32 {

// Registers the common controls the templates use (the run dialog's progress bar); called once
// before the first dialog opens.
void InitDialogControls();

// Our UTF-16 text as the wide strings of the Win32 API, and back.
std::wstring Wide(std::u16string_view text);
std::u16string FromWide(std::wstring_view text);
void SetItemText(HWND dialog, int id, std::u16string_view text);
std::u16string ItemText(HWND dialog, int id);

// A font owned by a dialog for as long as it is open.
class OwnedFont {
 public:
  OwnedFont() = default;
  OwnedFont(const OwnedFont&) = delete;
  OwnedFont& operator=(const OwnedFont&) = delete;
  ~OwnedFont() { Reset(); }
  // The dialog's own font with weight 700, its height value raised by `extraHeight`.
  void MakeBold(HWND dialog, int extraHeight = 0);
  // Gives the font to the control `id`.
  void ApplyTo(HWND dialog, int id) const;
  void Reset();
  HFONT handle() const { return font_; }

 private:
  HFONT font_ = nullptr;
};

// A modal dialog over one template. Subclasses answer the messages they handle.
class ModalDialog {
 public:
  explicit ModalDialog(int templateId) : templateId_(templateId) {}
  virtual ~ModalDialog() = default;
  ModalDialog(const ModalDialog&) = delete;
  ModalDialog& operator=(const ModalDialog&) = delete;

  // Runs the dialog until it ends and returns its result (-1 when it could not be created).
  // `openSlot`, when given, holds the dialog's window while it is open, so that its opener can end
  // it.
  INT_PTR Run(HWND owner, HWND* openSlot = nullptr);
  HWND hwnd() const { return hwnd_; }

 protected:
  // A message for the dialog; returns what a dialog procedure returns (FALSE: not handled).
  virtual INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  // WM_INITDIALOG, after the icon is set. Return TRUE to let the dialog set the focus.
  virtual BOOL OnInit() { return TRUE; }
  // WM_COMMAND: a control or the keyboard (IDOK for Enter, IDCANCEL for Escape and the close box).
  virtual void OnCommand(int id, int code) {
    (void)code;
    if (id == IDOK || id == IDCANCEL) End(id);
  }
  void End(INT_PTR result) { EndDialog(hwnd_, result); }
  // The title bar's close box and the window menu's Close item are removed.
  void RemoveCloseItem();
  // The picture (bitmap resource `id`) is painted on every WM_PAINT.
  void SetPicture(int bitmapId) { pictureId_ = bitmapId; }

  HWND hwnd_ = nullptr;

 private:
  static INT_PTR CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void PaintPicture();

  int templateId_;
  int pictureId_ = 0;
  HWND* openSlot_ = nullptr;
};

// An error: its message and the code line "Error Code : E-%02d". OK, Enter and Escape end it; the
// close box is removed.
class CErrorDlg : public ModalDialog {
 public:
  CErrorDlg(std::u16string message, std::u16string codeLine);

 protected:
  BOOL OnInit() override;

 private:
  std::u16string message_;
  std::u16string codeLine_;
};

// "Canonot open a file." with Skip, Skip All and Abort. Skip, Enter, Escape and the close box
// answer Skip.
class CCannotOpen : public ModalDialog {
 public:
  CCannotOpen();
  run::SkipAnswer answer() const { return answer_; }

 protected:
  void OnCommand(int id, int code) override;

 private:
  run::SkipAnswer answer_ = run::SkipAnswer::Skip;
};

// The start confirmation: the message, then the drive and the language name in bold on two lines
// beside "Slected Drive :" and "ID Tag Language :". OK (Enter) gives IDOK, Cancel (Escape)
// IDCANCEL.
class CStartCheckDlg : public ModalDialog {
 public:
  CStartCheckDlg(std::u16string message, std::u16string values);

 protected:
  BOOL OnInit() override;

 private:
  std::u16string message_;
  std::u16string values_;
  OwnedFont bold_;
};

// The stop question: Yes gives IDOK, No and Escape IDCANCEL.
class CCancelDlg : public ModalDialog {
 public:
  CCancelDlg();

 protected:
  BOOL OnInit() override;
};

// "%d files are processed." with Finish; Escape does nothing. With `details` (what the run left
// out) a Details button beside Finish shows them.
class CFinshDialog : public ModalDialog {
 public:
  explicit CFinshDialog(std::u16string message, std::u16string details = {});

 protected:
  BOOL OnInit() override;
  void OnCommand(int id, int code) override;

 private:
  std::u16string message_;
  std::u16string details_;
};

// What a run left out, in a read-only text that scrolls, with Close.
class CDetailsDlg : public ModalDialog {
 public:
  explicit CDetailsDlg(std::u16string details);

 protected:
  BOOL OnInit() override;

 private:
  std::u16string details_;
};

// An update would remove most of the library: Yes removes; No (the default, also Enter, Escape
// and the close box) keeps the library as it was.
class CRemoveDlg : public ModalDialog {
 public:
  explicit CRemoveDlg(std::u16string question);
  bool removeChosen() const { return remove_; }

 protected:
  BOOL OnInit() override;
  void OnCommand(int id, int code) override;

 private:
  std::u16string question_;
  bool remove_ = false;
};

}  // namespace deltrix::gui::win32
