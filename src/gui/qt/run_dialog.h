// CRunDlg: the modal dialog that hosts one run at a time and is reused for every run. When it
// becomes visible it starts the run; every 25 ms it ticks the run's ProgressModel and draws the
// view unchanged; its Cancel button leads to the stop question (CCancelDlg). It is the run's host:
// the worker's errors, skip questions and finish message are shown on the main thread through a
// run::QuestionHandOver (see run/question_hand_over.h for why the threads cannot deadlock), and the
// worker's close request ends the dialog. All members are used on the main thread unless marked
// otherwise.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/qt/dialogs.h"
#include "platform/platform.h"
#include "run/progress_model.h"
#include "run/question_hand_over.h"
#include "run/run_controller.h"
#include "run/run_host.h"

class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;

namespace deltrix::gui {

class CRunDlg : public CDialogBase, public run::RunHost {
 public:
  // Makes the one RunController of this dialog, hosted by `host`; the front-end chooses the
  // builders (and tests their doubles).
  using ControllerFactory = std::function<std::unique_ptr<run::RunController>(run::RunHost& host)>;

  CRunDlg(platform::Platform& platform, const ControllerFactory& makeController,
          QWidget* parent = nullptr);
  ~CRunDlg() override;

  // Opens the dialog modally for one run and returns when it has closed: Accepted after the
  // worker's close request (success or failure), Rejected after a confirmed stop or a close
  // request.
  int RunModal(const std::u16string& driveRoot, int tagLanguage, int runMode,
               bool rereadChanged = false);
  // The last run's outcome (RunController::resultCode).
  int resultCode() const { return controller_->resultCode(); }
  // Notices of the last run (a recovered library, kept backup copies, a drive in use); emptied.
  std::vector<std::u16string> TakeNotices();

  // The stop path of the Cancel button: nothing while stop is off or a question is open.
  void OnCancel();

  run::RunController& controller() { return *controller_; }
  run::QuestionHandOver& handOver() { return handOver_; }
  const run::ProgressView& view() const { return model_.view(); }
  bool runActive() const { return runActive_; }

  // run::RunHost. EnableStop, ShowError, AskSkipOrAbort, ShowFinishMessage, RequestClose,
  // ShowCompletion, StopTick and Notice may be called on the worker thread.
  void EnableStop(bool on) override;
  void ShowError(const std::u16string& message, const std::u16string& codeLine) override;
  run::SkipAnswer AskSkipOrAbort(const std::u16string& path) override;
  bool AskRemoveTracks(const std::u16string& question) override;
  void ShowFinishMessage(const std::u16string& text) override;
  void RequestClose() override;
  void ShowCompletion() override;
  void StopTick() override;
  void Notice(const std::u16string& text) override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override {}  // Escape does nothing

 private:
  void Post(std::function<void()> call);
  void StartRunNow();
  void OnProgressTick();
  void Render();
  void RefreshStopButton();
  void ShowPath(const std::u16string& drivePath);
  run::SkipAnswer ShowQuestion(const run::QuestionHandOver::Question& question);
  int ExecChild(QDialog& dialog);
  void OnWorkerClose();
  // Ends the run on any path: abandons the hand-over, closes an open question, joins the threads
  // and ends the dialog with `result`.
  void EndRun(int result);

  platform::Platform& platform_;
  run::QuestionHandOver handOver_;
  std::unique_ptr<run::RunController> controller_;
  run::ProgressModel model_;
  QTimer tick_;

  std::u16string driveRoot_;
  int tagLanguage_ = 0;
  int runMode_ = 0;
  bool rereadChanged_ = false;  // an update reads changed files again
  bool runPending_ = false;     // RunModal opened the dialog; the run starts when it is shown
  bool runActive_ = false;      // started and not yet ended
  bool stopQuestionOpen_ = false;
  bool closeAfterQuestion_ = false;
  QPointer<QDialog> openChild_;

  std::mutex noticesMu_;  // Notice may come from the worker
  std::vector<std::u16string> notices_;

  QLabel* heading_;
  QLabel* countLabel_;
  QLabel* done_;
  QLabel* total_;
  QLabel* remaining_;
  QLabel* elapsed_;
  QProgressBar* bar_;
  QLabel* path_;
  QPushButton* cancel_;
};

}  // namespace deltrix::gui
