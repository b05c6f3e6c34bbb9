#include "dialog_script.h"

#include <cstdio>
#include <utility>

#include "gui/win32/resource.h"

namespace deltrix::gui::win32::testing {

namespace {

DialogScript* g_active = nullptr;
constexpr auto kGiveUp = std::chrono::seconds(30);

}  // namespace

DialogKind KindOf(HWND dialog) {
  if (GetDlgItem(dialog, IDC_DRIVES)) return DialogKind::Settings;
  if (GetDlgItem(dialog, IDC_STOP)) return DialogKind::Run;
  if (GetDlgItem(dialog, IDC_CHECK_VALUES)) return DialogKind::StartCheck;
  if (GetDlgItem(dialog, IDC_ABORT)) return DialogKind::CannotOpen;
  if (GetDlgItem(dialog, IDC_CODE_LINE)) return DialogKind::Error;
  if (GetDlgItem(dialog, IDC_FINISH_TEXT)) return DialogKind::Finish;
  if (GetDlgItem(dialog, IDC_DETAILS_TEXT)) return DialogKind::Details;
  if (GetDlgItem(dialog, IDNO)) return DialogKind::Remove;
  if (GetDlgItem(dialog, IDC_MESSAGE)) return DialogKind::Cancel;
  return DialogKind::None;
}

HWND FrontDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM out) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(hwnd, name, 16);
        if (std::wstring(name) != L"#32770" || !IsWindowVisible(hwnd) || !IsWindowEnabled(hwnd))
          return TRUE;
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

void Command(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

DialogScript::DialogScript() : since_(std::chrono::steady_clock::now()) {
  g_active = this;
  timer_ = SetTimer(nullptr, 0, 50, &DialogScript::Poll);
}

DialogScript::~DialogScript() {
  KillTimer(nullptr, timer_);
  if (g_active == this) g_active = nullptr;
}

DialogScript& DialogScript::Then(DialogKind kind, int settleMs, std::function<void(HWND)> act,
                                 std::function<bool()> ready) {
  steps_.push_back({kind, settleMs, std::move(ready), std::move(act)});
  return *this;
}

void CALLBACK DialogScript::Poll(HWND, UINT, UINT_PTR, DWORD) {
  if (g_active != nullptr) g_active->PollNow();
}

void DialogScript::PollNow() {
  const auto now = std::chrono::steady_clock::now();
  if (steps_.empty()) {
    since_ = now;
    return;
  }
  if (now - since_ > kGiveUp) {
    std::fprintf(stderr, "the dialogs stopped %zu steps before the end of the script\n",
                 steps_.size());
    std::fflush(stderr);
    ExitProcess(1);
  }
  HWND front = FrontDialog();
  const Step& step = steps_.front();
  if (front == nullptr || KindOf(front) != step.kind) return;
  if (now - since_ < std::chrono::milliseconds(step.settle)) return;
  if (step.ready && !step.ready()) return;
  const std::function<void(HWND)> act = step.act;
  steps_.pop_front();
  since_ = now;
  act(front);
}

void Gate::Wait() {
  std::unique_lock lock(mu_);
  ++waiting_;
  cv_.wait(lock, [this] { return open_; });
  --waiting_;
}

void Gate::Open() {
  std::lock_guard lock(mu_);
  open_ = true;
  cv_.notify_all();
}

bool Gate::waiting() {
  std::lock_guard lock(mu_);
  return waiting_ > 0;
}

}  // namespace deltrix::gui::win32::testing
