#include "gui/qt/run_dialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <utility>

#include "run/run_report.h"

namespace deltrix::gui {

namespace {

constexpr int kTickMilliseconds = 25;

// The path wraps at its separators: a zero-width space after each backslash gives the label a
// place to break a long path that has no blanks. Nothing visible changes.
QString WrappablePath(const QString& path) {
  QString text = path;
  text.replace(QLatin1Char('\\'), QStringLiteral("\\\u200B"));
  text.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
  return text;
}

}  // namespace

CRunDlg::CRunDlg(platform::Platform& platform, const ControllerFactory& makeController,
                 QWidget* parent)
    : CDialogBase(parent, "CRunDlg", 239, 143, false),
      platform_(platform),
      handOver_([this](std::function<void()> call) { Post(std::move(call)); },
                [this](const run::QuestionHandOver::Question& question) {
                  return ShowQuestion(question);
                }),
      controller_(makeController(*this)) {
  setWindowTitle(QStringLiteral(" "));
  const QFont heading = HeadingFont(dialogFont());
  heading_ = AddText(QStringLiteral("Creating.."), 10, 8, 124, 16);
  heading_->setFont(heading);
  heading_->setObjectName(QStringLiteral("heading"));
  AddText(QStringLiteral("Current Status/files"), 10, 23, 78, 8, Qt::AlignLeft, true);
  AddText(QStringLiteral("Processing Time"), 160, 23, 63, 8, Qt::AlignLeft, true);
  countLabel_ = AddText(QStringLiteral("Processed"), 12, 32, 36, 8, Qt::AlignRight);
  countLabel_->setObjectName(QStringLiteral("countLabel"));
  done_ = AddText(QStringLiteral("1234567"), 52, 32, 29, 8, Qt::AlignRight, true);
  done_->setObjectName(QStringLiteral("done"));
  AddText(QStringLiteral("Total"), 24, 44, 24, 8, Qt::AlignRight);
  total_ = AddText(QStringLiteral("1234567"), 52, 44, 29, 8, Qt::AlignRight);
  total_->setObjectName(QStringLiteral("total"));
  AddText(QStringLiteral("Remaining"), 161, 32, 36, 8, Qt::AlignRight);
  remaining_ = AddText(QStringLiteral("000:00"), 204, 32, 25, 8, Qt::AlignRight, true);
  remaining_->setObjectName(QStringLiteral("remaining"));
  AddText(QStringLiteral("Elapsed"), 161, 44, 36, 8, Qt::AlignRight);
  elapsed_ = AddText(QStringLiteral("00:00"), 205, 44, 24, 8, Qt::AlignRight);
  elapsed_->setObjectName(QStringLiteral("elapsed"));
  AddFrame(QFrame::HLine, 15, 41, 67, 1);
  AddFrame(QFrame::VLine, 50, 33, 1, 19);
  AddFrame(QFrame::HLine, 166, 41, 63, 1);
  AddFrame(QFrame::VLine, 200, 33, 1, 19);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("bar"));
  bar_->setRange(0, 100);
  bar_->setValue(0);
  bar_->setTextVisible(false);
  bar_->setGeometry(units().Rect(10, 56, 219, 11));
  AddText(QStringLiteral("Processing path"), 10, 72, 119, 8, Qt::AlignLeft, true);
  AddFrame(QFrame::Panel, 10, 82, 219, 32);
  path_ = AddText(QStringLiteral("output"), 15, 85, 208, 27);
  path_->setObjectName(QStringLiteral("path"));
  cancel_ = AddButton(QStringLiteral("Cancel"), 94, 124, 50, 12);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setAutoDefault(false);  // Enter does nothing here
  connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });

  tick_.setInterval(kTickMilliseconds);
  connect(&tick_, &QTimer::timeout, this, [this] { OnProgressTick(); });
}

CRunDlg::~CRunDlg() {
  // No wait of the worker on this thread may outlive the dialog: abandon, then join.
  handOver_.Abandon();
  controller_->RequestPause();
  controller_->StopAndJoin();
}

void CRunDlg::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}

int CRunDlg::RunModal(const std::u16string& driveRoot, int tagLanguage, int runMode,
                      bool rereadChanged) {
  driveRoot_ = driveRoot;
  tagLanguage_ = tagLanguage;
  runMode_ = runMode;
  rereadChanged_ = rereadChanged;
  closeAfterQuestion_ = false;
  // The dialog opens as its layout draws it; the run's display set-up follows when it starts.
  setWindowTitle(QStringLiteral(" "));
  heading_->setText(QStringLiteral("Creating.."));
  countLabel_->setText(QStringLiteral("Processed"));
  done_->setText(QStringLiteral("1234567"));
  total_->setText(QStringLiteral("1234567"));
  remaining_->setText(QStringLiteral("000:00"));
  elapsed_->setText(QStringLiteral("00:00"));
  bar_->setValue(0);
  path_->setText(QStringLiteral("output"));
  cancel_->setEnabled(true);
  runPending_ = true;
  const int result = exec();
  runPending_ = false;
  return result;
}

std::vector<std::u16string> CRunDlg::TakeNotices() {
  std::lock_guard lock(noticesMu_);
  return std::exchange(notices_, {});
}

void CRunDlg::showEvent(QShowEvent* event) {
  CDialogBase::showEvent(event);
  // Only the opening of RunModal starts a run: a dialog shown again (restored from a minimised
  // desktop) while its run is active starts nothing.
  if (runPending_ && !runActive_) {
    runPending_ = false;
    Post([this] { StartRunNow(); });
  }
}

void CRunDlg::StartRunNow() {
  handOver_.BeginRun();
  runActive_ = true;
  controller_->state().rereadChanged = rereadChanged_;
  if (!controller_->StartRun(driveRoot_, tagLanguage_, runMode_)) {
    return;  // the error is shown (or the drive is busy); the close request is on its way
  }
  model_.Start(controller_->state(), controller_->startSeconds());
  Render();
  RefreshStopButton();
  tick_.start();
}

void CRunDlg::OnProgressTick() {
  model_.Tick(controller_->state(), platform_.clock.NowSeconds());
  Render();
}

void CRunDlg::Render() {
  const run::ProgressView& v = model_.view();
  auto set = [](QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
  };
  set(heading_, ToQString(v.heading));
  set(countLabel_, ToQString(v.countLabel));
  set(done_, ToQString(v.done));
  set(total_, ToQString(v.total));
  set(remaining_, ToQString(v.remaining));
  set(elapsed_, ToQString(v.elapsed));
  ShowPath(v.path);
  if (bar_->value() != v.barPosition) bar_->setValue(v.barPosition);
  const std::u16string& root = controller_->state().driveRoot;
  const std::string userRoot = root.empty() ? std::string() : platform_.drives.ToUserPath(root);
  const QString title =
      userRoot.empty()
          ? ToQString(v.title)
          : QStringLiteral("%1% / %2").arg(v.barPosition).arg(QString::fromStdString(userRoot));
  if (windowTitle() != title) setWindowTitle(title);
}

void CRunDlg::ShowPath(const std::u16string& drivePath) {
  // Users read their own paths: a mount point and the paths below it, not drive letters.
  const std::string userPath =
      drivePath.empty() ? std::string() : platform_.drives.ToUserPath(drivePath);
  const QString text =
      WrappablePath(userPath.empty() ? ToQString(drivePath) : QString::fromStdString(userPath));
  if (path_->text() != text) path_->setText(text);
}

void CRunDlg::RefreshStopButton() { cancel_->setEnabled(runActive_ && handOver_.stopEnabled()); }

void CRunDlg::OnCancel() {
  if (!runActive_ || stopQuestionOpen_) return;
  // The check and the pause are one step against the worker's EnableStop
  // (run/question_hand_over.h).
  if (!handOver_.BeginStopQuestion([this] { controller_->RequestPause(); })) return;
  stopQuestionOpen_ = true;
  tick_.stop();
  platform_.clock.Sleep(10);
  CCancelDlg question(this);
  const int answer = ExecChild(question);
  stopQuestionOpen_ = false;
  const bool stop = answer == QDialog::Accepted && runActive_;
  handOver_.EndStopQuestion(stop);
  if (!runActive_) return;  // the run was ended while the question was open
  if (stop) {
    EndRun(QDialog::Rejected);
    return;
  }
  controller_->Resume();
  if (closeAfterQuestion_) {
    EndRun(QDialog::Accepted);
    return;
  }
  tick_.start();
  platform_.clock.Sleep(10);
}

int CRunDlg::ExecChild(QDialog& dialog) {
  openChild_ = &dialog;
  const int result = dialog.exec();
  if (openChild_ == &dialog) openChild_ = nullptr;
  return result;
}

run::SkipAnswer CRunDlg::ShowQuestion(const run::QuestionHandOver::Question& question) {
  RefreshStopButton();  // the worker has turned stop off: show it before the question
  switch (question.kind) {
    case run::QuestionHandOver::Kind::Error: {
      CErrorDlg dialog(this);
      dialog.SetError(ToQString(question.message), ToQString(question.codeLine));
      ExecChild(dialog);
      return run::SkipAnswer::Skip;
    }
    case run::QuestionHandOver::Kind::SkipOrAbort: {
      // The path field names the file the question is about until the next tick redraws it.
      const bool ticking = tick_.isActive();
      tick_.stop();
      ShowPath(question.path);
      CCannotOpen dialog(this);
      ExecChild(dialog);
      if (ticking && runActive_) tick_.start();
      return dialog.answer();
    }
    case run::QuestionHandOver::Kind::Finish: {
      // The worker waits for this answer and the scan has ended: the report holds still.
      CFinshDialog dialog(
          ToQString(question.message), this,
          ToQString(run::DetailsText(controller_->state().report, platform_.drives)));
      ExecChild(dialog);
      return run::SkipAnswer::Skip;
    }
    case run::QuestionHandOver::Kind::Removal: {
      CRemoveDlg dialog(ToQString(question.message), this);
      ExecChild(dialog);
      return dialog.removeChosen() ? run::SkipAnswer::Skip : run::SkipAnswer::Abort;
    }
  }
  return run::SkipAnswer::Abort;
}

void CRunDlg::OnWorkerClose() {
  if (!runActive_) return;
  if (stopQuestionOpen_) {
    closeAfterQuestion_ = true;  // ended when the question closes
    return;
  }
  EndRun(QDialog::Accepted);
}

void CRunDlg::EndRun(int result) {
  if (!runActive_) return;
  runActive_ = false;
  closeAfterQuestion_ = false;
  handOver_.Abandon();
  if (openChild_) openChild_->done(QDialog::Rejected);  // its caller sees that the run has ended
  tick_.stop();
  // The pause makes a scan or worker that is still busy see the stop at its next pause wait.
  controller_->RequestPause();
  controller_->StopAndJoin();
  controller_->Resume();
  RefreshStopButton();
  done(result);
}

void CRunDlg::closeEvent(QCloseEvent* event) {
  if (!runActive_) {
    if (runPending_) {
      event->ignore();  // the run is about to start
    } else {
      event->accept();
    }
    return;
  }
  if (event->spontaneous()) {
    // The desktop asks to close the window: treated as the Cancel button.
    event->ignore();
    Post([this] { OnCancel(); });
    return;
  }
  // The program closes the dialog while the run works: end the run without asking.
  EndRun(QDialog::Rejected);
  event->accept();
}

void CRunDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
      event->accept();  // Enter and Escape do nothing in the run dialog
      return;
    default:
      CDialogBase::keyPressEvent(event);
  }
}

void CRunDlg::EnableStop(bool on) {
  handOver_.SetStopEnabled(on);
  Post([this] { RefreshStopButton(); });
}

void CRunDlg::ShowError(const std::u16string& message, const std::u16string& codeLine) {
  (void)handOver_.Ask({run::QuestionHandOver::Kind::Error, message, codeLine, {}});
}

run::SkipAnswer CRunDlg::AskSkipOrAbort(const std::u16string& path) {
  return handOver_.Ask({run::QuestionHandOver::Kind::SkipOrAbort, {}, {}, path});
}

bool CRunDlg::AskRemoveTracks(const std::u16string& question) {
  return handOver_.Ask({run::QuestionHandOver::Kind::Removal, question, {}, {}}) ==
         run::SkipAnswer::Skip;
}

void CRunDlg::ShowFinishMessage(const std::u16string& text) {
  (void)handOver_.Ask({run::QuestionHandOver::Kind::Finish, text, {}, {}});
}

void CRunDlg::RequestClose() {
  Post([this] { OnWorkerClose(); });
}

void CRunDlg::ShowCompletion() {
  Post([this] {
    model_.Complete(controller_->state());
    Render();
  });
}

void CRunDlg::StopTick() {
  Post([this] { tick_.stop(); });
}

void CRunDlg::Notice(const std::u16string& text) {
  std::lock_guard lock(noticesMu_);
  notices_.push_back(text);
}

}  // namespace deltrix::gui
