#include "gui/qt/dialogs.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>

#include "base/error_code.h"
#include "gui/qt/pictures.h"
#include "run/error_report.h"
#include "run/messages.h"

namespace deltrix::gui {

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

std::u16string FromQString(const QString& text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}

CDialogBase::CDialogBase(QWidget* parent, const char* className, int width, int height,
                         bool closeBox)
    : QDialog(parent), font_(DialogFont()), units_(font_) {
  setObjectName(QString::fromLatin1(className));
  Qt::WindowFlags flags =
      Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
  if (closeBox) flags |= Qt::WindowCloseButtonHint;
  setWindowFlags(flags);
  setWindowTitle(QString::fromLatin1(kDialogTitle));
  setWindowIcon(ProgramIcon());
  setFont(font_);
  setFixedSize(units_.Size(width, height));
}

QLabel* CDialogBase::AddText(const QString& text, int x, int y, int w, int h, Qt::Alignment align,
                             bool bold) {
  auto* label = new QLabel(text, this);
  label->setTextFormat(Qt::PlainText);
  label->setAlignment(align | Qt::AlignTop);
  label->setWordWrap(h > 10);
  if (bold) label->setFont(BoldFont(font_));
  label->setGeometry(units_.Rect(x, y, w, h));
  return label;
}

QFrame* CDialogBase::AddFrame(int shape, int x, int y, int w, int h) {
  auto* frame = new QFrame(this);
  frame->setFrameShape(static_cast<QFrame::Shape>(shape));
  frame->setFrameShadow(QFrame::Sunken);
  frame->setGeometry(units_.Rect(x, y, w, h));
  return frame;
}

QPushButton* CDialogBase::AddButton(const QString& text, int x, int y, int w, int h) {
  auto* button = new QPushButton(text, this);
  button->setGeometry(units_.Rect(x, y, w, h));
  return button;
}

void CDialogBase::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(QPoint(kPictureX, kPictureY), picture_);
}

CErrorDlg::CErrorDlg(QWidget* parent) : CDialogBase(parent, "CErrorDlg", 199, 58, false) {
  SetPicture(ErrorPicture());
  message_ = AddText(QString(), 37, 10, 155, 10);
  message_->setObjectName(QStringLiteral("message"));
  codeLine_ = AddText(QString(), 37, 23, 155, 10, Qt::AlignHCenter);
  codeLine_->setObjectName(QStringLiteral("codeLine"));
  ok_ = AddButton(QStringLiteral("OK"), 74, 38, 50, 14);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void CErrorDlg::SetError(const QString& message, const QString& codeLine) {
  message_->setText(message);
  codeLine_->setText(codeLine);
  // The message has one line; a longer one (error 6 names a mount point of any length) wraps, and
  // the dialog grows by the lines it needs instead of cutting the name off.
  message_->setWordWrap(true);
  const int grow = message_->heightForWidth(message_->width()) - message_->height();
  if (grow <= 0) return;
  message_->resize(message_->width(), message_->height() + grow);
  for (QWidget* below : {static_cast<QWidget*>(codeLine_), static_cast<QWidget*>(ok_)}) {
    below->move(below->x(), below->y() + grow);
  }
  setFixedSize(width(), height() + grow);
}

CCannotOpen::CCannotOpen(QWidget* parent) : CDialogBase(parent, "CCannotOpen", 199, 65, true) {
  SetPicture(ErrorPicture());
  AddText(ToQString(run::kCannotOpenFileMessage), 37, 7, 155, 27)
      ->setObjectName(QStringLiteral("message"));
  AddText(ToQString(run::ErrorCodeLine(CannotOpenFile)), 37, 35, 155, 9, Qt::AlignHCenter)
      ->setObjectName(QStringLiteral("codeLine"));
  QPushButton* skip = AddButton(QStringLiteral("Skip"), 19, 47, 50, 13);
  QPushButton* skipAll = AddButton(QStringLiteral("Skip All"), 74, 47, 50, 13);
  QPushButton* abort = AddButton(QStringLiteral("Abort"), 129, 47, 50, 13);
  skip->setDefault(true);
  connect(skip, &QPushButton::clicked, this, &QDialog::accept);
  connect(skipAll, &QPushButton::clicked, this, [this] {
    answer_ = run::SkipAnswer::SkipAll;
    accept();
  });
  connect(abort, &QPushButton::clicked, this, [this] {
    answer_ = run::SkipAnswer::Abort;
    accept();
  });
}

CStartCheckDlg::CStartCheckDlg(QWidget* parent)
    : CDialogBase(parent, "CStartCheckDlg", 239, 82, false) {
  SetPicture(QuestionPicture());
  message_ = AddText(QString(), 37, 8, 195, 26);
  message_->setObjectName(QStringLiteral("message"));
  AddText(
      ToQString(run::kSelectedDriveLabel) + QLatin1Char('\n') + ToQString(run::kTagLanguageLabel),
      37, 38, 68, 18, Qt::AlignRight)
      ->setObjectName(QStringLiteral("labels"));
  values_ = AddText(QString(), 109, 38, 123, 18, Qt::AlignLeft, true);
  values_->setObjectName(QStringLiteral("values"));
  QPushButton* ok = AddButton(QStringLiteral("OK"), 66, 62, 50, 14);
  QPushButton* cancel = AddButton(QStringLiteral("Cancel"), 123, 62, 50, 14);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CStartCheckDlg::SetTexts(const QString& message, const QString& values) {
  message_->setText(message);
  values_->setText(values);
}

CCancelDlg::CCancelDlg(QWidget* parent) : CDialogBase(parent, "CCancelDlg", 199, 58, false) {
  SetPicture(QuestionPicture());
  AddText(ToQString(run::kStopQuestion), 37, 8, 155, 28)->setObjectName(QStringLiteral("message"));
  QPushButton* yes = AddButton(QStringLiteral("Yes"), 46, 38, 50, 13);
  QPushButton* no = AddButton(QStringLiteral("No"), 101, 38, 50, 13);
  yes->setDefault(true);
  connect(yes, &QPushButton::clicked, this, &QDialog::accept);
  connect(no, &QPushButton::clicked, this, &QDialog::reject);
}

CFinshDialog::CFinshDialog(const QString& message, QWidget* parent, const QString& details)
    : CDialogBase(parent, "CFinshDialog", 179, 50, false) {
  AddText(message, 7, 7, 165, 14, Qt::AlignHCenter)->setObjectName(QStringLiteral("message"));
  QPushButton* finish =
      AddButton(QStringLiteral("Finish"), details.isEmpty() ? 64 : 34, 28, 50, 14);
  finish->setDefault(true);
  connect(finish, &QPushButton::clicked, this, &QDialog::accept);
  if (details.isEmpty()) return;
  QPushButton* more = AddButton(ToQString(run::kDetailsButton), 94, 28, 50, 14);
  more->setAutoDefault(false);
  connect(more, &QPushButton::clicked, this, [this, details] {
    CDetailsDlg dialog(details, this);
    dialog.exec();
  });
}

CDetailsDlg::CDetailsDlg(const QString& details, QWidget* parent)
    : CDialogBase(parent, "CDetailsDlg", 320, 200, true) {
  setWindowTitle(ToQString(run::kDetailsTitle));
  auto* text = new QPlainTextEdit(details, this);
  text->setObjectName(QStringLiteral("details"));
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setGeometry(units().Rect(7, 7, 306, 166));
  QPushButton* close = AddButton(QStringLiteral("Close"), 135, 179, 50, 14);
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

CRemoveDlg::CRemoveDlg(const QString& question, QWidget* parent)
    : CDialogBase(parent, "CRemoveDlg", 199, 58, true) {
  SetPicture(QuestionPicture());
  AddText(question, 37, 8, 155, 28)->setObjectName(QStringLiteral("message"));
  QPushButton* yes = AddButton(QStringLiteral("Yes"), 46, 38, 50, 13);
  QPushButton* no = AddButton(QStringLiteral("No"), 101, 38, 50, 13);
  yes->setAutoDefault(false);
  no->setDefault(true);
  no->setFocus();
  connect(yes, &QPushButton::clicked, this, [this] {
    remove_ = true;
    accept();
  });
  connect(no, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace deltrix::gui
