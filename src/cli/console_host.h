// The console's side of a run: it is the run's host (errors, the skip question, the finish
// message) and its user-interface thread (the progress tick, the stop question on Ctrl-C).
//
// The worker's questions reach the terminal through a run::QuestionHandOver, as the window's do:
// the worker posts each question to the main thread, which shows it between two ticks and hands
// back the answer; the stop question takes the same hand-over's turn, so one question is on the
// terminal at a time and a confirmed stop answers a waiting question with Abort. The main thread
// marks the run abandoned before it joins the threads, so it never joins a worker that waits for
// it. The worker's close request only sets a flag that the main loop reads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/terminal.h"
#include "run/progress_model.h"
#include "run/question_hand_over.h"
#include "run/run_controller.h"
#include "run/run_host.h"

namespace deltrix::cli {

enum class SkipPolicy { Skip, Abort };

class ConsoleHost : public run::RunHost {
 public:
  // Constructed on the main thread, which shows every question.
  ConsoleHost(platform::Terminal& terminal, platform::DriveTable& drives, std::ostream& out,
              std::ostream& err, SkipPolicy whenNoTerminal);

  // Runs a started run to its end on the calling (main) thread: ticks every 25 ms, shows the
  // worker's questions, asks the stop question on Ctrl-C, and joins the run when the worker asks
  // to close. Returns the run's code.
  int Drive(run::RunController& run, platform::Clock& clock);

  // Whether an update may remove most of the library; without it the removal is refused.
  void AllowRemoval(bool allow) { allowRemoval_ = allow; }

  // run::RunHost
  void EnableStop(bool on) override { handOver_.SetStopEnabled(on); }
  void ShowError(const std::u16string& message, const std::u16string& codeLine) override;
  run::SkipAnswer AskSkipOrAbort(const std::u16string& path) override;
  bool AskRemoveTracks(const std::u16string& question) override;
  void ShowFinishMessage(const std::u16string& text) override;
  void RequestClose() override;
  void ShowCompletion() override { completed_ = true; }
  void StopTick() override {}
  void Notice(const std::u16string& text) override;

 private:
  // Main thread.
  void Post(std::function<void()> call);
  // Runs the calls posted so far; true when there were any.
  bool ServePosted();
  run::SkipAnswer ShowQuestion(const run::QuestionHandOver::Question& question);
  void Render(int64_t now, bool force);
  void ClearLine();
  bool AskStop();
  std::string UserPath(std::u16string_view drivePath) const;

  platform::Terminal& terminal_;
  platform::DriveTable& drives_;
  std::ostream& out_;
  std::ostream& err_;
  SkipPolicy policy_;
  bool interactive_;
  bool allowRemoval_ = false;

  run::QuestionHandOver handOver_;
  run::ProgressModel model_;
  std::atomic<bool> completed_{false};

  std::mutex wakeMu_;  // with wake_: the posted calls and the close request end the tick's wait
  std::condition_variable wake_;
  std::deque<std::function<void()>> posted_;
  bool closeRequested_ = false;

  std::mutex terminalMu_;  // the terminal: Notice may come from the worker
  std::string lastLine_;
  int64_t lastPlainSecond_ = -1;
};

}  // namespace deltrix::cli
