#include "gui/win32/run_dialog.h"

#include <commctrl.h>

#include <utility>

#include "gui/win32/resource.h"
#include "run/run_report.h"

namespace deltrix::gui::win32 {

namespace {

constexpr UINT kTickMilliseconds = 25;
// A call posted to the dialog by Post.
constexpr UINT kPostedCall = WM_APP + 1;
// The heading's font: the bold font with its height value raised by this much.
constexpr int kHeadingExtraHeight = 30;

}  // namespace

CRunDlg::CRunDlg(platform::Platform& platform, const ControllerFactory& makeController)
    : ModalDialog(IDD_RUN),
      platform_(platform),
      handOver_([this](std::function<void()> call) { Post(std::move(call)); },
                [this](const RunHandOver::Question& question) { return ShowQuestion(question); }),
      controller_(makeController(*this)) {}

CRunDlg::~CRunDlg() {
  // No wait of the worker on this thread may outlive the dialog: abandon, then join.
  handOver_.Abandon();
  controller_->RequestPause();
  controller_->StopAndJoin();
}

INT_PTR CRunDlg::RunModal(const std::u16string& driveRoot, int tagLanguage, int runMode,
                          bool rereadChanged) {
  driveRoot_ = driveRoot;
  tagLanguage_ = tagLanguage;
  runMode_ = runMode;
  rereadChanged_ = rereadChanged;
  closeAfterQuestion_ = false;
  {
    std::lock_guard lock(postedMu_);
    posted_.clear();  // what an earlier run left behind finds no run to act on
  }
  runPending_ = true;
  // No owner: the settings dialog is minimised meanwhile, and an owned window would be hidden
  // with it.
  const INT_PTR result = Run(nullptr);
  runPending_ = false;
  {
    std::lock_guard lock(postedMu_);
    postTarget_ = nullptr;
    posted_.clear();
  }
  return result;
}

std::vector<std::u16string> CRunDlg::TakeNotices() {
  std::lock_guard lock(noticesMu_);
  return std::exchange(notices_, {});
}

void CRunDlg::Post(std::function<void()> call) {
  std::lock_guard lock(postedMu_);
  posted_.push_back(std::move(call));
  if (postTarget_ != nullptr) PostMessageW(postTarget_, kPostedCall, 0, 0);
}

void CRunDlg::RunPosted() {
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(postedMu_);
      if (posted_.empty()) return;
      call = std::move(posted_.front());
      posted_.pop_front();
    }
    call();
  }
}

BOOL CRunDlg::OnInit() {
  bold_.MakeBold(hwnd_);
  heading_.MakeBold(hwnd_, kHeadingExtraHeight);
  heading_.ApplyTo(hwnd_, IDC_RUN_HEADING);
  for (int id : {IDC_STATUS_CAPTION, IDC_TIME_CAPTION, IDC_DONE, IDC_REMAINING, IDC_PATH_CAPTION})
    bold_.ApplyTo(hwnd_, id);
  SendDlgItemMessageW(hwnd_, IDC_BAR, PBM_SETRANGE32, 0, 100);
  std::lock_guard lock(postedMu_);
  postTarget_ = hwnd_;
  if (!posted_.empty()) PostMessageW(hwnd_, kPostedCall, 0, 0);
  return TRUE;
}

INT_PTR CRunDlg::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      // Only the opening of RunModal starts a run: a dialog shown again while its run is active
      // (restored with the desktop) starts nothing.
      if (wParam && runPending_ && !runActive_) {
        runPending_ = false;
        Post([this] { StartRunNow(); });
      }
      return FALSE;
    case WM_TIMER:
      OnProgressTick();  // whichever timer it is
      return TRUE;
    case kPostedCall:
      RunPosted();
      return TRUE;
    case WM_CLOSE:
      // Alt+F4 or the taskbar's Close: the Cancel button's stop path while a run works.
      if (runActive_) {
        Post([this] { OnCancel(); });
      } else if (!runPending_) {
        End(IDCANCEL);
      }
      return TRUE;
    case WM_DESTROY: {
      StopTimer();
      std::lock_guard lock(postedMu_);
      postTarget_ = nullptr;
      return FALSE;
    }
    default:
      return ModalDialog::Handle(message, wParam, lParam);
  }
}

void CRunDlg::OnCommand(int id, int code) {
  if (id == IDC_STOP && code == BN_CLICKED) OnCancel();
  // Enter (IDOK) and Escape (IDCANCEL) do nothing in the run dialog.
}

void CRunDlg::StartTimer() {
  if (hwnd_ == nullptr) return;
  SetTimer(hwnd_, IDT_PROGRESS, kTickMilliseconds, nullptr);
  ticking_ = true;
}

void CRunDlg::StopTimer() {
  if (hwnd_ != nullptr) KillTimer(hwnd_, IDT_PROGRESS);
  ticking_ = false;
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
  StartTimer();
}

void CRunDlg::OnProgressTick() {
  if (!runActive_) return;
  model_.Tick(controller_->state(), platform_.clock.NowSeconds());
  Render();
}

void CRunDlg::Render() {
  if (hwnd_ == nullptr) return;
  const run::ProgressView& v = model_.view();
  SetItemText(hwnd_, IDC_RUN_HEADING, v.heading);
  SetItemText(hwnd_, IDC_COUNT_LABEL, v.countLabel);
  SetItemText(hwnd_, IDC_DONE, v.done);
  SetItemText(hwnd_, IDC_TOTAL, v.total);
  SetItemText(hwnd_, IDC_REMAINING, v.remaining);
  SetItemText(hwnd_, IDC_ELAPSED, v.elapsed);
  // On Windows the drive form of a path is the one its users read.
  SetItemText(hwnd_, IDC_PATH, v.path);
  if (SendDlgItemMessageW(hwnd_, IDC_BAR, PBM_GETPOS, 0, 0) != v.barPosition)
    SendDlgItemMessageW(hwnd_, IDC_BAR, PBM_SETPOS, static_cast<WPARAM>(v.barPosition), 0);
  const std::wstring title = Wide(v.title);
  wchar_t shown[512] = {};
  GetWindowTextW(hwnd_, shown, static_cast<int>(std::size(shown)));
  if (title != shown) SetWindowTextW(hwnd_, title.c_str());
}

void CRunDlg::RefreshStopButton() {
  if (hwnd_ == nullptr) return;
  EnableWindow(GetDlgItem(hwnd_, IDC_STOP), runActive_ && handOver_.stopEnabled());
}

void CRunDlg::OnCancel() {
  if (!runActive_ || stopQuestionOpen_) return;
  // The check and the pause are one step against the worker's EnableStop (run_hand_over.h).
  if (!handOver_.BeginStopQuestion([this] { controller_->RequestPause(); })) return;
  stopQuestionOpen_ = true;
  StopTimer();
  platform_.clock.Sleep(10);
  CCancelDlg question;
  const INT_PTR answer = question.Run(hwnd_, &openChild_);
  stopQuestionOpen_ = false;
  const bool stop = answer == IDOK && runActive_;
  handOver_.EndStopQuestion(stop);
  if (!runActive_) return;  // the run was ended while the question was open
  if (stop) {
    EndRun(IDCANCEL);
    return;
  }
  controller_->Resume();
  if (closeAfterQuestion_) {
    EndRun(IDOK);
    return;
  }
  StartTimer();
  platform_.clock.Sleep(10);
}

run::SkipAnswer CRunDlg::ShowQuestion(const RunHandOver::Question& question) {
  RefreshStopButton();  // the worker has turned stop off: show it before the question
  switch (question.kind) {
    case RunHandOver::Kind::Error: {
      CErrorDlg dialog(question.message, question.codeLine);
      dialog.Run(hwnd_, &openChild_);
      return run::SkipAnswer::Skip;
    }
    case RunHandOver::Kind::SkipOrAbort: {
      // The path field names the file the question is about until the next tick redraws it.
      const bool ticking = ticking_;
      StopTimer();
      SetItemText(hwnd_, IDC_PATH, question.path);
      CCannotOpen dialog;
      dialog.Run(hwnd_, &openChild_);
      if (ticking && runActive_) StartTimer();
      return dialog.answer();
    }
    case RunHandOver::Kind::Finish: {
      // The worker waits for this answer and the scan has ended: the report holds still.
      CFinshDialog dialog(question.message,
                          run::DetailsText(controller_->state().report, platform_.drives));
      dialog.Run(hwnd_, &openChild_);
      return run::SkipAnswer::Skip;
    }
    case RunHandOver::Kind::Removal: {
      CRemoveDlg dialog(question.message);
      dialog.Run(hwnd_, &openChild_);
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
  EndRun(IDOK);
}

void CRunDlg::EndRun(INT_PTR result) {
  if (!runActive_) return;
  runActive_ = false;
  closeAfterQuestion_ = false;
  handOver_.Abandon();
  if (openChild_ != nullptr) EndDialog(openChild_, IDCANCEL);  // its caller sees the run ended
  StopTimer();
  // The pause makes a scan or worker that is still busy see the stop at its next pause wait.
  controller_->RequestPause();
  controller_->StopAndJoin();
  controller_->Resume();
  RefreshStopButton();
  if (hwnd_ != nullptr) End(result);
}

void CRunDlg::EnableStop(bool on) {
  handOver_.SetStopEnabled(on);
  Post([this] { RefreshStopButton(); });
}

void CRunDlg::ShowError(const std::u16string& message, const std::u16string& codeLine) {
  (void)handOver_.Ask({RunHandOver::Kind::Error, message, codeLine, {}});
}

run::SkipAnswer CRunDlg::AskSkipOrAbort(const std::u16string& path) {
  return handOver_.Ask({RunHandOver::Kind::SkipOrAbort, {}, {}, path});
}

bool CRunDlg::AskRemoveTracks(const std::u16string& question) {
  return handOver_.Ask({RunHandOver::Kind::Removal, question, {}, {}}) == run::SkipAnswer::Skip;
}

void CRunDlg::ShowFinishMessage(const std::u16string& text) {
  (void)handOver_.Ask({RunHandOver::Kind::Finish, text, {}, {}});
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
  Post([this] { StopTimer(); });
}

void CRunDlg::Notice(const std::u16string& text) {
  std::lock_guard lock(noticesMu_);
  notices_.push_back(text);
}

}  // namespace deltrix::gui::win32
