#include "cli/console_host.h"

#include <algorithm>
#include <chrono>

#include "base/utf16.h"

namespace deltrix::cli {

namespace {

constexpr const char* kStopQuestion =
    "Are you sure you want to Stop creating the library?\nThe Library being created will be "
    "discarded!";

}  // namespace

ConsoleHost::ConsoleHost(platform::Terminal& terminal, platform::DriveTable& drives,
                         std::ostream& out, std::ostream& err, SkipPolicy whenNoTerminal)
    : terminal_(terminal),
      drives_(drives),
      out_(out),
      err_(err),
      policy_(whenNoTerminal),
      interactive_(terminal.Interactive()) {}

std::string ConsoleHost::UserPath(std::u16string_view drivePath) const {
  return drivePath.empty() ? std::string() : drives_.ToUserPath(drivePath);
}

void ConsoleHost::ClearLine() {
  if (interactive_ && !lastLine_.empty()) {
    err_ << "\r\x1b[K" << std::flush;
    lastLine_.clear();
  }
}

void ConsoleHost::Render(int64_t now, bool force) {
  std::lock_guard lock(mu_);
  if (questionOpen_) return;
  const run::ProgressView& v = model_.view();
  const std::string currentPath = UserPath(v.path);
  const std::string label = ToUtf8(v.countLabel);
  const std::string counts = ToUtf8(v.done) + "/" + ToUtf8(v.total);
  const std::string pct = std::to_string(v.barPosition) + "%";
  if (interactive_) {
    const int filled = std::clamp(v.barPosition, 0, 100) / 5;
    std::string line = "[" + std::string(filled, '#') + std::string(20 - filled, '-') + "] " + pct +
                       "  " + label + " " + counts + "  Elapsed " + ToUtf8(v.elapsed) +
                       "  Remaining " + ToUtf8(v.remaining);
    if (!currentPath.empty()) line += "  " + currentPath;
    const size_t width = static_cast<size_t>(std::max(20, terminal_.Width() - 1));
    if (line.size() > width) {
      // Keep the start (the figures) and the end of the path, which names the file.
      const size_t keep = width > 40 ? width - 3 : width;
      line = line.substr(0, keep / 2) + "..." + line.substr(line.size() - (keep - keep / 2));
    }
    if (line != lastLine_ || force) {
      err_ << "\r" << line << "\x1b[K" << std::flush;
      lastLine_ = line;
    }
    return;
  }
  // Not a terminal: a plain line at most once a second, when something changed.
  std::string line = label + " " + counts + " (" + pct + ")  Elapsed " + ToUtf8(v.elapsed) +
                     "  Remaining " + ToUtf8(v.remaining);
  if ((line != lastLine_ && now != lastPlainSecond_) || force) {
    err_ << line << "\n" << std::flush;
    lastLine_ = line;
    lastPlainSecond_ = now;
  }
}

void ConsoleHost::RequestClose() {
  std::lock_guard lock(closeMu_);
  closeRequested_ = true;
  closeWake_.notify_all();
}

void ConsoleHost::ShowError(const std::u16string& message, const std::u16string& codeLine) {
  std::lock_guard lock(mu_);
  ClearLine();
  err_ << ToUtf8(message) << "\n" << ToUtf8(codeLine) << "\n" << std::flush;
}

void ConsoleHost::Notice(const std::u16string& text) {
  std::lock_guard lock(mu_);
  ClearLine();
  err_ << ToUtf8(text) << "\n" << std::flush;
}

void ConsoleHost::ShowFinishMessage(const std::u16string& text) {
  std::lock_guard lock(mu_);
  ClearLine();
  out_ << ToUtf8(text) << "\n" << std::flush;
}

bool ConsoleHost::AskSkipOrAbort(const std::u16string& drivePath) {
  std::unique_lock lock(mu_);
  questionDone_.wait(lock, [&] { return !questionOpen_; });
  if (stopConfirmed_) return true;  // the user already chose to stop
  questionOpen_ = true;
  ClearLine();
  const std::string path = UserPath(drivePath);
  bool abort;
  if (interactive_) {
    err_ << "Canonot open a file.\nSee the processing dialog for the file name.\n"
            "Skip the file or abort creating the library?\nError Code : E-02\n";
    if (!path.empty()) err_ << "  " << path << "\n";
    err_ << "[S]kip or [a]bort? " << std::flush;
    lock.unlock();
    std::string answer;
    const bool read = terminal_.ReadLine(&answer);
    lock.lock();
    // An interrupt while asking means the user wants out; an empty answer is Skip, as Enter is.
    abort = !read ? terminal_.Interrupts() > 0
                  : (!answer.empty() && (answer[0] == 'a' || answer[0] == 'A'));
  } else {
    abort = policy_ == SkipPolicy::Abort;
    err_ << "Cannot read " << (path.empty() ? std::string("a file") : path) << ": "
         << (abort ? "aborting" : "skipped") << "\n"
         << std::flush;
  }
  if (!abort && !path.empty()) skipped_.push_back(path);
  questionOpen_ = false;
  questionDone_.notify_all();
  return abort;
}

bool ConsoleHost::AskStop() {
  std::unique_lock lock(mu_);
  if (questionOpen_) return false;  // a question of the worker is on the terminal
  questionOpen_ = true;
  ClearLine();
  bool yes = true;  // no terminal, or a second Ctrl-C: stop
  if (interactive_) {
    err_ << kStopQuestion << "\n[y/N] " << std::flush;
    lock.unlock();
    std::string answer;
    const bool read = terminal_.ReadLine(&answer);
    lock.lock();
    yes = !read || (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y'));
  } else {
    err_ << kStopQuestion << "\nStopping.\n" << std::flush;
  }
  stopConfirmed_ = yes;
  questionOpen_ = false;
  questionDone_.notify_all();
  return yes;
}

int ConsoleHost::Drive(run::RunController& run, platform::Clock& clock) {
  run_ = &run;
  model_.Start(run.state(), run.startSeconds());
  int interrupts = terminal_.Interrupts();
  while (!closeRequested_) {
    const int64_t now = clock.NowSeconds();
    model_.Tick(run.state(), now);
    Render(now, false);
    if (terminal_.Interrupts() != interrupts) {
      if (stopEnabled_) {
        run.RequestPause();
        const bool stop = AskStop();
        if (stop) {
          run.StopAndJoin();
          run.Resume();
          break;
        }
        run.Resume();
      } else {
        std::lock_guard lock(mu_);
        if (!questionOpen_) {
          ClearLine();
          err_ << "The run cannot be stopped now.\n" << std::flush;
        }
      }
      interrupts = terminal_.Interrupts();
    }
    // The 25 ms tick, cut short by the worker's close request so that a finished run does not
    // wait out the rest of a tick.
    std::unique_lock lock(closeMu_);
    closeWake_.wait_for(lock, std::chrono::milliseconds(25),
                        [&] { return closeRequested_.load(); });
  }
  run.StopAndJoin();
  {
    std::lock_guard lock(mu_);
    ClearLine();
  }
  run_ = nullptr;
  return run.resultCode();
}

}  // namespace deltrix::cli
