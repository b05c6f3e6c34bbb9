// How the worker's questions reach the user-interface thread, and why the two threads can never
// wait for each other in a cycle. Every host of a run (the window, the console) is built on it.
//
// A host shows its questions on its main thread only (a toolkit draws there; a console has one
// terminal), so when the worker must show an error, ask skip-or-abort or show the finish message,
// it posts the question to the main thread and waits for the answer. The
// danger is the main thread blocking in StopAndJoin (a confirmed stop, a close request) while the
// worker waits for its answer. Two rules rule it out:
//
//  1. Everything the two threads must agree on lives here, under one mutex, and is written at once
//     by the thread that changes it, never through a queued message: whether the stop control is
//     on, whether a question (the stop question or one of the worker's) is open, and whether the
//     run has been abandoned. A Cancel press checks "stop on, no question open" and sets the run's
//     pause flag in the same locked step in which the worker's EnableStop(false) runs: either the
//     pause comes first (and the worker's next pause wait, right after it disables stop, holds), or
//     the stop is already off and Cancel does nothing. The Cancel button's look follows later.
//  2. Before the main thread blocks in StopAndJoin it marks the run abandoned (Abandon, or a stop
//     question answered Yes). Every wait of the worker on the main thread ends when that mark is
//     set: a question waiting to be asked, or asked and waiting for its answer, returns Abort at
//     once, and later questions return without a dialog. So StopAndJoin never joins a worker that
//     waits for the main thread, and the worker never waits for a main thread that has stopped
//     serving it.
//
// One question is open at a time. A worker question that arrives while the stop question is open
// waits for it: the main thread is not blocked then (it runs the stop question's event loop), and
// a Yes answers the worker's question with Abort without showing it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "run/error_report.h"

namespace deltrix::run {

class QuestionHandOver {
 public:
  // Removal: an update would remove most of the library; an abandoned run answers Abort (keep the
  // library), so that it never removes anything.
  enum class Kind { Error, SkipOrAbort, Finish, Removal };
  struct Question {
    Kind kind = Kind::Error;
    std::u16string message;   // the error message, the finish message or the removal question
    std::u16string codeLine;  // "Error Code : E-%02d" for errors
    std::u16string path;      // the file that could not be read (skip-or-abort), drive form
  };
  // Runs a function on the main thread later (queued, never inline); callable from any thread.
  using Post = std::function<void(std::function<void()>)>;
  // Shows a question modally on the main thread and returns the answer: the user's for
  // skip-or-abort; for the removal question Skip to remove the tracks (Yes) and Abort to keep the
  // library (No); Skip for a message that is only dismissed.
  using Show = std::function<SkipAnswer(const Question&)>;

  // Constructed on the main thread, which it takes as the thread that shows the questions.
  QuestionHandOver(Post post, Show show);

  // Main thread, before each run: not abandoned, no question, stop off.
  void BeginRun();

  // Any thread: the run's stop control (the worker's EnableStop).
  void SetStopEnabled(bool on);
  bool stopEnabled() const;

  // Any thread: shows the question and returns the answer. On the main thread it is shown at once;
  // on another thread it is posted and the caller waits. After the run has been abandoned it
  // answers Abort without showing anything.
  SkipAnswer Ask(const Question& question);

  // Main thread, Cancel pressed: true when the stop question may open now (stop on, no question
  // open, not abandoned); then it is marked open and `pause` has been called under the lock.
  bool BeginStopQuestion(const std::function<void()>& pause);
  // Main thread, the stop question closed. Yes abandons the run (StopAndJoin may follow).
  void EndStopQuestion(bool stopConfirmed);
  // Main thread, before StopAndJoin on any close: no wait of the worker on the main thread is left.
  void Abandon();

  bool abandoned() const;
  bool questionOpen() const;
  // True while a worker question waits for an open question (the stop question) to close.
  bool workerWaitingToAsk() const;
  // True while a worker question has been handed to the main thread and awaits its answer.
  bool workerAwaitingAnswer() const;

 private:
  void Serve(uint64_t id);

  Post post_;
  Show show_;
  const std::thread::id mainThread_;

  mutable std::mutex mu_;
  std::condition_variable changed_;
  bool stopEnabled_ = false;
  bool questionOpen_ = false;
  bool abandoned_ = false;
  int waitingToAsk_ = 0;
  uint64_t lastId_ = 0;
  uint64_t activeId_ = 0;  // the worker question handed to the main thread, 0 for none
  Question active_;
  bool answered_ = false;
  SkipAnswer answer_ = SkipAnswer::Skip;
};

}  // namespace deltrix::run
