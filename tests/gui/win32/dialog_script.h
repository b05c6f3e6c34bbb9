// Drives the native dialogs as a user would, for the dialog tests and the screenshot program: a
// thread timer looks at the front dialog every 50 ms and, when it is the kind the next step
// expects, `settle` ms have passed since the previous step and the step's condition holds, runs
// the step. Steps answer with posted commands, so no step waits inside another dialog's loop. A
// script that makes no progress for 30 s ends the process with status 1 (a dialog left open would
// otherwise hold the program forever). Everything runs on the thread that shows the dialogs.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "base/utf16.h"
#include "support/memory_drive.h"

namespace deltrix::gui::win32::testing {

enum class DialogKind {
  None,
  Settings,
  Run,
  StartCheck,
  Cancel,
  Finish,
  Error,
  CannotOpen,
  Remove,
  Details
};

// Which of the program's dialogs `dialog` is, told by its controls.
DialogKind KindOf(HWND dialog);
// The dialog the user would answer now: visible, enabled, topmost of this thread's dialogs.
HWND FrontDialog();
// Posts a click of the button `id`.
void Command(HWND dialog, int id);

class DialogScript {
 public:
  DialogScript();
  ~DialogScript();
  DialogScript(const DialogScript&) = delete;
  DialogScript& operator=(const DialogScript&) = delete;

  DialogScript& Then(DialogKind kind, int settleMs, std::function<void(HWND)> act,
                     std::function<bool()> ready = {});
  bool finished() const { return steps_.empty(); }

 private:
  struct Step {
    DialogKind kind;
    int settle;
    std::function<bool()> ready;
    std::function<void(HWND)> act;
  };
  static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD);
  void PollNow();

  std::deque<Step> steps_;
  std::chrono::steady_clock::time_point since_;
  UINT_PTR timer_ = 0;
};

// Holds a run's thread until the test opens it.
class Gate {
 public:
  void Wait();
  void Open();
  bool waiting();

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
  int waiting_ = 0;
};

// Drives named as Windows names them: the drive form is what the user reads.
class WindowsDrives : public deltrix::testing::FakeDriveTable {
 public:
  std::u16string ToDrivePath(std::string_view userPath) override { return FromUtf8(userPath); }
  std::string ToUserPath(std::u16string_view drivePath) override { return ToUtf8(drivePath); }
};

}  // namespace deltrix::gui::win32::testing
