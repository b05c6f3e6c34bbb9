#include "run/question_hand_over.h"

#include <utility>

namespace deltrix::run {

QuestionHandOver::QuestionHandOver(Post post, Show show)
    : post_(std::move(post)), show_(std::move(show)), mainThread_(std::this_thread::get_id()) {}

void QuestionHandOver::BeginRun() {
  std::lock_guard lock(mu_);
  stopEnabled_ = false;
  questionOpen_ = false;
  abandoned_ = false;
  activeId_ = 0;
  answered_ = false;
}

void QuestionHandOver::SetStopEnabled(bool on) {
  std::lock_guard lock(mu_);
  stopEnabled_ = on;
}

bool QuestionHandOver::stopEnabled() const {
  std::lock_guard lock(mu_);
  return stopEnabled_;
}

bool QuestionHandOver::abandoned() const {
  std::lock_guard lock(mu_);
  return abandoned_;
}

bool QuestionHandOver::questionOpen() const {
  std::lock_guard lock(mu_);
  return questionOpen_;
}

bool QuestionHandOver::workerWaitingToAsk() const {
  std::lock_guard lock(mu_);
  return waitingToAsk_ > 0;
}

bool QuestionHandOver::workerAwaitingAnswer() const {
  std::lock_guard lock(mu_);
  return activeId_ != 0 && !answered_;
}

SkipAnswer QuestionHandOver::Ask(const Question& question) {
  if (std::this_thread::get_id() == mainThread_) {
    // A question of the main thread itself (a run that could not start): nobody waits for it.
    {
      std::lock_guard lock(mu_);
      if (abandoned_) return SkipAnswer::Abort;
    }
    return show_(question);
  }

  std::unique_lock lock(mu_);
  ++waitingToAsk_;
  changed_.wait(lock, [&] { return !questionOpen_ || abandoned_; });
  --waitingToAsk_;
  if (abandoned_) return SkipAnswer::Abort;
  questionOpen_ = true;
  const uint64_t id = ++lastId_;
  activeId_ = id;
  active_ = question;
  answered_ = false;
  lock.unlock();

  post_([this, id] { Serve(id); });

  lock.lock();
  changed_.wait(lock, [&] { return (activeId_ == id && answered_) || abandoned_; });
  const SkipAnswer answer = (activeId_ == id && answered_) ? answer_ : SkipAnswer::Abort;
  activeId_ = 0;
  answered_ = false;
  questionOpen_ = false;
  changed_.notify_all();
  return answer;
}

void QuestionHandOver::Serve(uint64_t id) {
  Question question;
  {
    std::lock_guard lock(mu_);
    if (activeId_ != id || abandoned_) return;  // answered Abort already: the run is ending
    question = active_;
  }
  const SkipAnswer answer = show_(question);
  std::lock_guard lock(mu_);
  if (activeId_ == id && !abandoned_) {
    answer_ = answer;
    answered_ = true;
    changed_.notify_all();
  }
}

bool QuestionHandOver::BeginStopQuestion(const std::function<void()>& pause) {
  std::lock_guard lock(mu_);
  if (!stopEnabled_ || questionOpen_ || abandoned_) return false;
  questionOpen_ = true;
  pause();
  return true;
}

void QuestionHandOver::EndStopQuestion(bool stopConfirmed) {
  std::lock_guard lock(mu_);
  questionOpen_ = false;
  if (stopConfirmed) abandoned_ = true;
  changed_.notify_all();
}

void QuestionHandOver::Abandon() {
  std::lock_guard lock(mu_);
  abandoned_ = true;
  changed_.notify_all();
}

}  // namespace deltrix::run
