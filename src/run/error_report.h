// How failures reach the user: ReportError turns an ErrorCode into the fixed English message and
// the code line "Error Code : E-%02d"; code 2 is the skip-or-abort question. The logic needs three
// things from whatever user interface runs it (run dialog, console, test host): show an error,
// ask skip or abort, and enable or disable the run's stop control.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace deltrix::run {

// The answers to the "cannot open a file" question. Skip All skips the file and every later file
// of the same run that cannot be read, without asking again.
enum class SkipAnswer { Skip, SkipAll, Abort };

class ErrorHost {
 public:
  virtual ~ErrorHost() = default;
  // The run's stop control; a host with no run in progress ignores it.
  virtual void EnableStop(bool on) = 0;
  // Shows an error and returns when the user has dismissed it. Called on the thread that reports
  // (the worker during a run); the host must not need that thread's caller to answer.
  virtual void ShowError(const std::u16string& message, const std::u16string& codeLine) = 0;
  // The "cannot open a file" question about `path` (drive form, the file that could not be read).
  // Escape and close answer Skip.
  virtual SkipAnswer AskSkipOrAbort(const std::u16string& path) = 0;
};

// The message of codes 1 and 3 to 7 (`text` fills the %s of codes 6 and 7); empty for any other
// code.
std::u16string ErrorMessage(int code, std::u16string_view text);
// "Error Code : E-%02d".
std::u16string ErrorCodeLine(int code);

// "N of M tracks would be removed from the library. Remove them?"
std::u16string RemovalQuestion(uint32_t removed, uint32_t total);

// Disables the stop control, then shows the code: 2 asks about the file `text` (true = Abort, false
// for Skip and Skip All); 1 and 3 to 7 show the message and return false; anything else shows
// nothing and returns true.
bool ReportError(ErrorHost& host, int code, std::u16string_view text);

// For the file `path` that cannot be read during a run: a drive that is gone reports error 7 and
// answers 7; after a Skip All (`*skipAll` set) answers 2 without asking; otherwise asks, and Skip
// and Skip All enable the stop control again and answer 2 (Skip All sets `*skipAll`), Abort
// answers 8.
[[nodiscard]] int AskSkipFile(ErrorHost& host, platform::DriveTable& drives,
                              std::u16string_view driveRoot, std::u16string_view path,
                              bool* skipAll);

}  // namespace deltrix::run
