// The console's side of a run: it is the run's host (errors, the skip question, the finish
// message) and its user-interface thread (the progress tick, the stop question on Ctrl-C).
//
// Hand-over between the worker and the main thread: the worker's questions and the stop question
// share one mutex-guarded "question open" flag, so only one is on the terminal at a time. A worker
// question that arrives while the stop question is open waits for it; if the stop was confirmed it
// answers Abort without asking, so the main thread, which then joins the worker, never waits on a
// worker that waits for it. The worker's close request only sets a flag that the main loop reads.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/terminal.h"
#include "run/progress_model.h"
#include "run/run_controller.h"
#include "run/run_host.h"

namespace deltrix::cli {

enum class SkipPolicy { Skip, Abort };

class ConsoleHost : public run::RunHost {
 public:
  ConsoleHost(platform::Terminal& terminal, platform::DriveTable& drives, std::ostream& out,
              std::ostream& err, SkipPolicy whenNoTerminal);

  // Runs a started run to its end on the calling (main) thread: ticks every 25 ms, asks the stop
  // question on Ctrl-C, and joins the run when the worker asks to close. Returns the run's code.
  int Drive(run::RunController& run, platform::Clock& clock);

  // Paths of the files the user (or the policy) skipped, in the user's form.
  const std::vector<std::string>& skipped() const { return skipped_; }

  // run::RunHost
  void EnableStop(bool on) override { stopEnabled_ = on; }
  void ShowError(const std::u16string& message, const std::u16string& codeLine) override;
  bool AskSkipOrAbort(const std::u16string& path) override;
  void ShowFinishMessage(const std::u16string& text) override;
  void RequestClose() override;
  void ShowCompletion() override { completed_ = true; }
  void StopTick() override {}
  void Notice(const std::u16string& text) override;

 private:
  void Render(int64_t now, bool force);
  void ClearLine();
  bool AskStop();
  std::string UserPath(std::u16string_view drivePath) const;
  bool AskYesNo(const std::string& question, bool noTerminalAnswer);

  platform::Terminal& terminal_;
  platform::DriveTable& drives_;
  std::ostream& out_;
  std::ostream& err_;
  SkipPolicy policy_;
  bool interactive_;

  run::RunController* run_ = nullptr;
  run::ProgressModel model_;
  std::atomic<bool> stopEnabled_{false};
  std::atomic<bool> closeRequested_{false};
  std::mutex closeMu_;  // with closeWake_: ends the tick's wait when the worker asks to close
  std::condition_variable closeWake_;
  std::atomic<bool> completed_{false};

  std::mutex mu_;  // guards the terminal, the question flag and what follows
  std::condition_variable questionDone_;
  bool questionOpen_ = false;
  bool stopConfirmed_ = false;
  std::string lastLine_;
  int64_t lastPlainSecond_ = -1;
  std::vector<std::string> skipped_;
};

}  // namespace deltrix::cli
