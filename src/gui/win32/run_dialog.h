// CRunDlg: the modal dialog that hosts one run at a time and is reused for every run. When it
// becomes visible it starts the run; its 25 ms timer (IDT_PROGRESS) ticks the run's ProgressModel
// and draws the view unchanged; its Cancel button leads to the stop question. It is the run's host:
// the worker's errors, skip questions and finish message reach this thread through a RunHandOver
// (gui/qt/run_hand_over.h explains why the two threads cannot wait for each other), and the
// worker's close request ends the dialog. Calls from other threads arrive as posted messages. All
// members are used on the user-interface thread unless marked otherwise.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/win32/dialogs.h"
#include "gui/win32/hand_over.h"
#include "platform/platform.h"
#include "run/progress_model.h"
#include "run/run_controller.h"
#include "run/run_host.h"

namespace deltrix::gui::win32 {

class CRunDlg : public ModalDialog, public run::RunHost {
 public:
  // Makes the one RunController of this dialog, hosted by `host`.
  using ControllerFactory = std::function<std::unique_ptr<run::RunController>(run::RunHost& host)>;

  CRunDlg(platform::Platform& platform, const ControllerFactory& makeController);
  ~CRunDlg() override;

  // Opens the dialog without an owner for one run and returns when it has closed: IDOK after the
  // worker's close request (success or failure), IDCANCEL after a confirmed stop.
  INT_PTR RunModal(const std::u16string& driveRoot, int tagLanguage, int runMode,
                   bool rereadChanged = false);
  // The last run's outcome (RunController::resultCode).
  int resultCode() const { return controller_->resultCode(); }
  // Notices of the last run (a recovered library, kept backup copies); emptied.
  std::vector<std::u16string> TakeNotices();

  // run::RunHost; EnableStop, ShowError, AskSkipOrAbort, ShowFinishMessage, RequestClose,
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
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  BOOL OnInit() override;
  void OnCommand(int id, int code) override;

 private:
  // Any thread: runs `call` on this thread later, never inline.
  void Post(std::function<void()> call);
  void RunPosted();
  void StartRunNow();
  void OnProgressTick();
  void Render();
  void RefreshStopButton();
  // The stop path of the Cancel button: nothing while stop is off or a question is open.
  void OnCancel();
  run::SkipAnswer ShowQuestion(const RunHandOver::Question& question);
  void OnWorkerClose();
  // Ends the run on any path: abandons the hand-over, ends an open question, joins the threads and
  // ends the dialog with `result`.
  void EndRun(INT_PTR result);
  void StartTimer();
  void StopTimer();

  platform::Platform& platform_;
  RunHandOver handOver_;
  std::unique_ptr<run::RunController> controller_;
  run::ProgressModel model_;

  std::mutex postedMu_;  // Post may come from the worker
  HWND postTarget_ = nullptr;
  std::deque<std::function<void()>> posted_;

  std::u16string driveRoot_;
  int tagLanguage_ = 0;
  int runMode_ = 0;
  bool rereadChanged_ = false;  // an update reads changed files again
  bool runPending_ = false;     // RunModal opened the dialog; the run starts when it is shown
  bool runActive_ = false;      // started and not yet ended
  bool stopQuestionOpen_ = false;
  bool closeAfterQuestion_ = false;
  bool ticking_ = false;      // the progress timer runs
  HWND openChild_ = nullptr;  // the question open over this dialog, if any

  std::mutex noticesMu_;  // Notice may come from the worker
  std::vector<std::u16string> notices_;

  OwnedFont bold_;
  OwnedFont heading_;
};

}  // namespace deltrix::gui::win32
