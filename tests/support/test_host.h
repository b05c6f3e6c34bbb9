// A host for runs in tests: records every host call, answers the skip question from a script, and
// lets the test wait for the worker's close request without sleeping.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "run/run_host.h"

namespace deltrix::testing {

class TestHost : public run::RunHost {
 public:
  // Answers to the skip question, in order; Skip once they run out.
  std::vector<run::SkipAnswer> answers;
  // The answer to the removal question (true removes).
  bool removeAnswer = false;
  // Called inside AskSkipOrAbort and ShowError (on the worker), for tests that act at that moment.
  std::function<void()> onQuestion;

  void EnableStop(bool on) override {
    std::lock_guard lock(mu_);
    stopEnabled_ = on;
    events_.push_back(on ? "stop on" : "stop off");
  }
  void ShowError(const std::u16string& message, const std::u16string& codeLine) override {
    if (onQuestion) onQuestion();
    std::lock_guard lock(mu_);
    errors_.push_back(message + u" | " + codeLine);
    events_.push_back("error");
  }
  run::SkipAnswer AskSkipOrAbort(const std::u16string& path) override {
    if (onQuestion) onQuestion();
    std::lock_guard lock(mu_);
    events_.push_back("ask");
    askedPaths_.push_back(path);
    const run::SkipAnswer answer =
        asked_ < answers.size() ? answers[asked_] : run::SkipAnswer::Skip;
    ++asked_;
    return answer;
  }
  bool AskRemoveTracks(const std::u16string& question) override {
    std::lock_guard lock(mu_);
    events_.push_back("remove?");
    removalQuestions_.push_back(question);
    return removeAnswer;
  }
  void ShowFinishMessage(const std::u16string& text) override {
    std::lock_guard lock(mu_);
    finish_ = text;
    events_.push_back("finish");
  }
  void RequestClose() override {
    std::lock_guard lock(mu_);
    closeRequested_ = true;
    events_.push_back("close");
    cv_.notify_all();
  }
  void ShowCompletion() override {
    std::lock_guard lock(mu_);
    events_.push_back("complete");
  }
  void StopTick() override {}
  void Notice(const std::u16string& text) override {
    std::lock_guard lock(mu_);
    notices_.push_back(text);
  }

  // Blocks until the worker (or a failed start) has requested the close.
  void WaitForClose() {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return closeRequested_; });
  }

  bool stopEnabled() {
    std::lock_guard lock(mu_);
    return stopEnabled_;
  }
  std::vector<std::u16string> errors() {
    std::lock_guard lock(mu_);
    return errors_;
  }
  std::vector<std::u16string> notices() {
    std::lock_guard lock(mu_);
    return notices_;
  }
  std::vector<std::string> events() {
    std::lock_guard lock(mu_);
    return events_;
  }
  std::u16string finish() {
    std::lock_guard lock(mu_);
    return finish_;
  }
  size_t asked() {
    std::lock_guard lock(mu_);
    return asked_;
  }
  std::vector<std::u16string> removalQuestions() {
    std::lock_guard lock(mu_);
    return removalQuestions_;
  }
  // The file each skip question named, in order.
  std::vector<std::u16string> askedPaths() {
    std::lock_guard lock(mu_);
    return askedPaths_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool stopEnabled_ = false;
  bool closeRequested_ = false;
  size_t asked_ = 0;
  std::vector<std::u16string> errors_;
  std::vector<std::u16string> notices_;
  std::vector<std::u16string> askedPaths_;
  std::vector<std::u16string> removalQuestions_;
  std::vector<std::string> events_;
  std::u16string finish_;
};

}  // namespace deltrix::testing
