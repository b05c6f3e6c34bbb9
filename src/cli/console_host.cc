#include "cli/console_host.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <optional>
#include <string_view>
#include <utility>

#include "base/error_code.h"
#include "base/utf16.h"
#include "run/messages.h"

namespace deltrix::cli {

ConsoleHost::ConsoleHost(platform::Terminal& terminal, platform::DriveTable& drives,
                         std::ostream& out, std::ostream& err, SkipPolicy whenNoTerminal)
    : terminal_(terminal),
      drives_(drives),
      out_(out),
      err_(err),
      policy_(whenNoTerminal),
      interactive_(terminal.Interactive()),
      handOver_([this](std::function<void()> call) { Post(std::move(call)); },
                [this](const run::QuestionHandOver::Question& question) {
                  return ShowQuestion(question);
                }) {}

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
  std::lock_guard lock(terminalMu_);
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

void ConsoleHost::Post(std::function<void()> call) {
  std::lock_guard lock(wakeMu_);
  posted_.push_back(std::move(call));
  wake_.notify_all();
}

bool ConsoleHost::ServePosted() {
  bool served = false;
  while (true) {
    std::function<void()> call;
    {
      std::lock_guard lock(wakeMu_);
      if (posted_.empty()) return served;
      call = std::move(posted_.front());
      posted_.pop_front();
    }
    call();
    served = true;
  }
}

void ConsoleHost::RequestClose() {
  std::lock_guard lock(wakeMu_);
  closeRequested_ = true;
  wake_.notify_all();
}

void ConsoleHost::ShowError(const std::u16string& message, const std::u16string& codeLine) {
  (void)handOver_.Ask({run::QuestionHandOver::Kind::Error, message, codeLine, {}});
}

run::SkipAnswer ConsoleHost::AskSkipOrAbort(const std::u16string& path) {
  return handOver_.Ask({run::QuestionHandOver::Kind::SkipOrAbort, {}, {}, path});
}

bool ConsoleHost::AskRemoveTracks(const std::u16string& question) {
  // Not a question on the console: the option decides, and one line says what was done.
  std::lock_guard lock(terminalMu_);
  ClearLine();
  err_ << ToUtf8(question)
       << (allowRemoval_ ? " Yes (--allow-removal).\n"
                         : " No: the library is kept as it was. --allow-removal removes them.\n")
       << std::flush;
  return allowRemoval_;
}

void ConsoleHost::ShowFinishMessage(const std::u16string& text) {
  (void)handOver_.Ask({run::QuestionHandOver::Kind::Finish, text, {}, {}});
}

void ConsoleHost::Notice(const std::u16string& text) {
  std::lock_guard lock(terminalMu_);
  ClearLine();
  err_ << ToUtf8(text) << "\n" << std::flush;
}

namespace {

// A typed answer to the skip question: Enter or "s" skips, "a" skips all, "b" aborts (the words
// too, in any case); nothing for anything else.
std::optional<run::SkipAnswer> SkipAnswerOf(std::string_view typed) {
  while (!typed.empty() && std::isspace(static_cast<unsigned char>(typed.back())))
    typed.remove_suffix(1);
  while (!typed.empty() && std::isspace(static_cast<unsigned char>(typed.front())))
    typed.remove_prefix(1);
  std::string word;
  for (char c : typed)
    word.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  if (word.empty() || word == "s" || word == "skip") return run::SkipAnswer::Skip;
  if (word == "a" || word == "all" || word == "skip all") return run::SkipAnswer::SkipAll;
  if (word == "b" || word == "abort") return run::SkipAnswer::Abort;
  return std::nullopt;
}

}  // namespace

run::SkipAnswer ConsoleHost::ShowQuestion(const run::QuestionHandOver::Question& question) {
  std::unique_lock lock(terminalMu_);
  ClearLine();
  switch (question.kind) {
    case run::QuestionHandOver::Kind::Error:
      err_ << ToUtf8(question.message) << "\n" << ToUtf8(question.codeLine) << "\n" << std::flush;
      return run::SkipAnswer::Skip;
    case run::QuestionHandOver::Kind::Finish:
      out_ << ToUtf8(question.message) << "\n" << std::flush;
      return run::SkipAnswer::Skip;
    case run::QuestionHandOver::Kind::Removal:
      return run::SkipAnswer::Abort;  // never posted: the console answers it from its option
    case run::QuestionHandOver::Kind::SkipOrAbort:
      break;
  }
  const std::string path = UserPath(question.path);
  if (!interactive_) {
    const bool abort = policy_ == SkipPolicy::Abort;
    err_ << "Cannot read " << (path.empty() ? std::string("a file") : path) << ": "
         << (abort ? "aborting" : "skipped") << "\n"
         << std::flush;
    return abort ? run::SkipAnswer::Abort : run::SkipAnswer::Skip;
  }
  err_ << ToUtf8(run::kCannotOpenFileMessage) << "\n"
       << ToUtf8(run::ErrorCodeLine(CannotOpenFile)) << "\n";
  if (!path.empty()) err_ << "  " << path << "\n";
  while (true) {
    err_ << ToUtf8(run::kCannotOpenFilePrompt) << std::flush;
    lock.unlock();
    std::string typed;
    const bool read = terminal_.ReadLine(&typed);
    lock.lock();
    // An interrupt while asking means the user wants out; the end of the input skips, as Enter.
    if (!read) return terminal_.Interrupts() > 0 ? run::SkipAnswer::Abort : run::SkipAnswer::Skip;
    if (const std::optional<run::SkipAnswer> answer = SkipAnswerOf(typed)) return *answer;
  }
}

bool ConsoleHost::AskStop() {
  std::unique_lock lock(terminalMu_);
  ClearLine();
  bool yes = true;  // no terminal, or a second Ctrl-C: stop
  if (interactive_) {
    err_ << ToUtf8(run::kStopQuestion) << "\n[y/N] " << std::flush;
    lock.unlock();
    std::string answer;
    const bool read = terminal_.ReadLine(&answer);
    lock.lock();
    yes = !read || (!answer.empty() && (answer[0] == 'y' || answer[0] == 'Y'));
  } else {
    err_ << ToUtf8(run::kStopQuestion) << "\nStopping.\n" << std::flush;
  }
  return yes;
}

int ConsoleHost::Drive(run::RunController& run, platform::Clock& clock) {
  model_.Start(run.state(), run.startSeconds());
  int interrupts = terminal_.Interrupts();
  while (true) {
    // The worker's questions, on this thread; a Ctrl-C that answered one is used up.
    if (ServePosted()) interrupts = terminal_.Interrupts();
    {
      std::lock_guard lock(wakeMu_);
      if (closeRequested_) break;
    }
    const int64_t now = clock.NowSeconds();
    model_.Tick(run.state(), now);
    Render(now, false);
    if (terminal_.Interrupts() != interrupts) {
      // The check and the pause are one step against the worker's EnableStop (the hand-over's).
      if (handOver_.BeginStopQuestion([&] { run.RequestPause(); })) {
        const bool stop = AskStop();
        handOver_.EndStopQuestion(stop);  // a stop abandons the run: no question waits for us
        if (stop) {
          run.StopAndJoin();
          run.Resume();
          break;
        }
        run.Resume();
      } else if (!handOver_.questionOpen()) {
        std::lock_guard lock(terminalMu_);
        ClearLine();
        err_ << "The run cannot be stopped now.\n" << std::flush;
      }
      interrupts = terminal_.Interrupts();
    }
    // The 25 ms tick, cut short by a posted question or the worker's close request so that
    // neither waits out the rest of a tick.
    std::unique_lock lock(wakeMu_);
    wake_.wait_for(lock, std::chrono::milliseconds(25),
                   [&] { return closeRequested_ || !posted_.empty(); });
  }
  handOver_.Abandon();
  run.StopAndJoin();
  {
    std::lock_guard lock(wakeMu_);
    posted_.clear();  // questions abandoned with the run
  }
  {
    std::lock_guard lock(terminalMu_);
    ClearLine();
  }
  return run.resultCode();
}

}  // namespace deltrix::cli
