// The hand-over of the worker's questions, with a plain thread as the worker and the test's own
// thread as the user-interface thread serving a queue: no toolkit.
#include "run/question_hand_over.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace deltrix::run {
namespace {

using Kind = QuestionHandOver::Kind;

// The user-interface thread's queue: the hand-over posts, the test serves when it chooses.
struct MainThread {
  std::mutex mu;
  std::deque<std::function<void()>> posted;
  std::vector<QuestionHandOver::Question> shown;
  SkipAnswer answer = SkipAnswer::Skip;

  QuestionHandOver handOver{[this](std::function<void()> call) {
                              std::lock_guard lock(mu);
                              posted.push_back(std::move(call));
                            },
                            [this](const QuestionHandOver::Question& q) {
                              shown.push_back(q);
                              return answer;
                            }};

  // Serves what was posted until `done` is ready.
  template <typename T>
  T ServeUntil(std::future<T>& done) {
    while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
      std::function<void()> call;
      {
        std::lock_guard lock(mu);
        if (posted.empty()) continue;
        call = std::move(posted.front());
        posted.pop_front();
      }
      call();
    }
    return done.get();
  }
};

TEST(QuestionHandOver, AWorkerQuestionIsShownOnTheMainThreadWithItsPathAndAnswered) {
  for (SkipAnswer answer : {SkipAnswer::Skip, SkipAnswer::SkipAll, SkipAnswer::Abort}) {
    MainThread main;
    main.answer = answer;
    std::future<SkipAnswer> asked = std::async(std::launch::async, [&] {
      return main.handOver.Ask({Kind::SkipOrAbort, {}, {}, u"E:\\bad.mp3"});
    });
    EXPECT_EQ(answer, main.ServeUntil(asked)) << "every answer reaches the worker as given";
    ASSERT_EQ(1u, main.shown.size());
    EXPECT_EQ(u"E:\\bad.mp3", main.shown[0].path);
    EXPECT_FALSE(main.handOver.questionOpen());
  }
}

TEST(QuestionHandOver, TheStopQuestionTakesTheTurnAndAConfirmedStopAnswersAbort) {
  MainThread main;
  main.handOver.SetStopEnabled(true);
  bool paused = false;
  ASSERT_TRUE(main.handOver.BeginStopQuestion([&] { paused = true; }));
  EXPECT_TRUE(paused);
  EXPECT_FALSE(main.handOver.BeginStopQuestion([] {})) << "one question at a time";
  std::future<SkipAnswer> asked = std::async(std::launch::async, [&] {
    return main.handOver.Ask({Kind::SkipOrAbort, {}, {}, u"E:\\bad.mp3"});
  });
  while (!main.handOver.workerWaitingToAsk()) std::this_thread::yield();
  main.handOver.EndStopQuestion(true);  // Yes: the run is abandoned
  EXPECT_EQ(SkipAnswer::Abort, main.ServeUntil(asked)) << "the waiting question is answered Abort";
  EXPECT_TRUE(main.shown.empty()) << "and never shown";
  EXPECT_EQ(SkipAnswer::Abort, main.handOver.Ask({Kind::Error, u"x", u"Error Code : E-03", {}}))
      << "later questions return at once";
}

TEST(QuestionHandOver, NoStopQuestionWhileStopIsOffOrAfterTheRunWasAbandoned) {
  MainThread main;
  bool paused = false;
  EXPECT_FALSE(main.handOver.BeginStopQuestion([&] { paused = true; }));
  main.handOver.SetStopEnabled(true);
  main.handOver.Abandon();
  EXPECT_FALSE(main.handOver.BeginStopQuestion([&] { paused = true; }));
  EXPECT_FALSE(paused);
  main.handOver.BeginRun();
  EXPECT_FALSE(main.handOver.abandoned());
  EXPECT_FALSE(main.handOver.stopEnabled());
}

}  // namespace
}  // namespace deltrix::run
