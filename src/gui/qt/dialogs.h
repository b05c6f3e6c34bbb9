// The program's small modal dialogs, laid out in dialog units of the dialog font and titled
// "DELTRIX LIBRARY CREATOR": the error (CErrorDlg) and the unreadable-file question (CCannotOpen),
// the start confirmation (CStartCheckDlg), the stop question (CCancelDlg) and the finish message
// (CFinshDialog). They only draw and return the user's answer; what the answer does is decided by
// the presenters and the run. Each has the object name of its class, for tests.
#pragma once

#include <QDialog>
#include <QImage>
#include <QString>
#include <string>

#include "gui/qt/dialog_units.h"
#include "run/error_report.h"

class QFrame;
class QLabel;
class QPushButton;

namespace deltrix::gui {

inline constexpr const char* kDialogTitle = "DELTRIX LIBRARY CREATOR";

QString ToQString(std::u16string_view text);
std::u16string FromQString(const QString& text);

// What the dialogs share: the title, the program icon, the dialog font and its units, a fixed
// client size, and an optional 32 x 32 picture painted at client pixel (19, 15).
class CDialogBase : public QDialog {
 public:
  // `closeBox` false removes the title bar's close button.
  CDialogBase(QWidget* parent, const char* className, int width, int height, bool closeBox);

  const DialogUnits& units() const { return units_; }
  const QFont& dialogFont() const { return font_; }

 protected:
  // A static text; one taller than a line (over 10 units) wraps its words.
  QLabel* AddText(const QString& text, int x, int y, int w, int h,
                  Qt::Alignment align = Qt::AlignLeft, bool bold = false);
  // An etched line or frame (`shape` QFrame::HLine, VLine or Panel).
  QFrame* AddFrame(int shape, int x, int y, int w, int h);
  QPushButton* AddButton(const QString& text, int x, int y, int w, int h);
  void SetPicture(QImage picture) { picture_ = std::move(picture); }
  void paintEvent(QPaintEvent* event) override;

 private:
  QFont font_;
  DialogUnits units_;
  QImage picture_;
};

// An error: its message and the code line "Error Code : E-%02d". OK, Enter and Escape end it.
class CErrorDlg : public CDialogBase {
 public:
  explicit CErrorDlg(QWidget* parent = nullptr);
  // Called once before the dialog is shown.
  void SetError(const QString& message, const QString& codeLine);

 private:
  QLabel* message_;
  QLabel* codeLine_;
  QPushButton* ok_;
};

// "Canonot open a file." with Skip, Skip All and Abort. Skip, Enter, Escape and the close button
// answer Skip.
class CCannotOpen : public CDialogBase {
 public:
  explicit CCannotOpen(QWidget* parent = nullptr);
  run::SkipAnswer answer() const { return answer_; }

 private:
  run::SkipAnswer answer_ = run::SkipAnswer::Skip;
};

// The start confirmation: one of the three messages, then the drive and the language in bold on
// two lines beside "Slected Drive :" and "ID Tag Language :". OK (Enter) accepts, Cancel (Escape)
// rejects.
class CStartCheckDlg : public CDialogBase {
 public:
  explicit CStartCheckDlg(QWidget* parent = nullptr);
  // `values` is the drive and the language name on two lines.
  void SetTexts(const QString& message, const QString& values);

 private:
  QLabel* message_;
  QLabel* values_;
};

// The stop question. Yes accepts, No and Escape reject.
class CCancelDlg : public CDialogBase {
 public:
  explicit CCancelDlg(QWidget* parent = nullptr);
};

// "%d files are processed." with Finish; Escape does nothing. With `details` (what the run left
// out) a "Details…" button beside Finish shows them.
class CFinshDialog : public CDialogBase {
 public:
  explicit CFinshDialog(const QString& message, QWidget* parent = nullptr,
                        const QString& details = QString());
  void reject() override {}
};

// What a run left out, in a read-only text that scrolls, with Close.
class CDetailsDlg : public CDialogBase {
 public:
  explicit CDetailsDlg(const QString& details, QWidget* parent = nullptr);
};

// An update would remove most of the library: Yes removes, No (the default, also Enter, Escape
// and the close box) keeps the library as it was.
class CRemoveDlg : public CDialogBase {
 public:
  explicit CRemoveDlg(const QString& question, QWidget* parent = nullptr);
  bool removeChosen() const { return remove_; }

 private:
  bool remove_ = false;
};

}  // namespace deltrix::gui
