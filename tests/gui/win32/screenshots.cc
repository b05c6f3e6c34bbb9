// Saves a picture of every native dialog as Windows draws it, frame included:
//   deltrix_gui_win32_screenshots OUTDIR  ->  OUTDIR/<name>.bmp
// It drives the real dialogs over the in-memory drive (E: "МУЗЫКА" with a library, F: an NTFS
// stick, G: and H: FAT sticks without one) and a run whose builder is held at chosen files: a
// thread timer looks at the front dialog every 100 ms, and when it is the one the next step
// expects, takes the picture off the screen and answers it with a posted command. Needs a display
// (scripts/screenshots_windows.sh runs it in a Wine desktop under Xvfb); not a test.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "base/utf16.h"
#include "gui/win32/resource.h"
#include "gui/win32/settings_dialog.h"
#include "run/builders.h"
#include "run/error_report.h"
#include "run/run_controller.h"
#include "support/memory_drive.h"

namespace deltrix::gui::win32 {
namespace {

std::wstring g_folder;
int g_failures = 0;

// Holds a thread until opened.
class Gate {
 public:
  void Wait() {
    std::unique_lock lock(mu_);
    ++waiting_;
    cv_.wait(lock, [this] { return open_; });
    --waiting_;
  }
  void Open() {
    std::lock_guard lock(mu_);
    open_ = true;
    cv_.notify_all();
  }
  bool waiting() {
    std::lock_guard lock(mu_);
    return waiting_ > 0;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
  int waiting_ = 0;
};

// Takes every file; `add` may hold it or ask about it.
class HeldCreate : public run::CreateBuilder {
 public:
  HeldCreate(std::function<int(std::u16string_view, library::BuildOwner&)> add,
             library::BuildOwner& owner)
      : add_(std::move(add)), owner_(owner) {}
  int Open() override { return Success; }
  int AddFile(std::u16string_view path, int) override { return add_(path, owner_); }
  int SortAndWriteBatch(bool) override { return Success; }
  int Finish() override { return Success; }
  void Close() override {}

 private:
  std::function<int(std::u16string_view, library::BuildOwner&)> add_;
  library::BuildOwner& owner_;
};

// Drive paths are what Windows users read.
class WindowsDrives : public testing::FakeDriveTable {
 public:
  std::u16string ToDrivePath(std::string_view userPath) override { return FromUtf8(userPath); }
  std::string ToUserPath(std::u16string_view drivePath) override { return ToUtf8(drivePath); }
};

struct ShotPlatform {
  ShotPlatform() {
    drives.Add({u'E', {u"МУЗЫКА", 0x1234ABCD, u"FAT32"}, platform::DriveTypeRemovable, true});
    drives.Add({u'F', {u"音楽カード", 7, u"NTFS"}, platform::DriveTypeRemovable, true});
    drives.Add({u'G', {u"MUSIC", 9, u"FAT32"}, platform::DriveTypeRemovable, true});
    drives.Add({u'H', {u"", 11, u"FAT"}, platform::DriveTypeRemovable, true});
    for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"})
      mp.files.AddFile(std::u16string(u"E:\\KORVANE\\LIBRARY\\") + name, "old");
    mp.text.language = "ja";
  }
  testing::MemoryPlatform mp;
  WindowsDrives drives;
  platform::Platform platform{mp.files, drives, mp.text, mp.clock, mp.locks};
};

enum class Kind { None, Settings, Run, StartCheck, Cancel, Finish, Error, CannotOpen };

Kind KindOf(HWND dialog) {
  if (GetDlgItem(dialog, IDC_DRIVES)) return Kind::Settings;
  if (GetDlgItem(dialog, IDC_STOP)) return Kind::Run;
  if (GetDlgItem(dialog, IDC_CHECK_VALUES)) return Kind::StartCheck;
  if (GetDlgItem(dialog, IDC_ABORT)) return Kind::CannotOpen;
  if (GetDlgItem(dialog, IDC_CODE_LINE)) return Kind::Error;
  if (GetDlgItem(dialog, IDC_FINISH_TEXT)) return Kind::Finish;
  if (GetDlgItem(dialog, IDC_MESSAGE)) return Kind::Cancel;
  return Kind::None;
}

// The dialog the user would answer now: visible, enabled, topmost of this thread's dialogs.
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

// The screen inside `r` as a 24-bit bottom-up BMP file.
void SaveScreen(RECT r, const wchar_t* name) {
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY | CAPTUREBLT);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = w;
  info.biHeight = h;
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  const int stride = (w * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(h));
  const int lines = GetDIBits(memory, bitmap, 0, static_cast<UINT>(h), pixels.data(),
                              reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  const std::wstring path = g_folder + L"\\" + name + L".bmp";
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (lines != h || file == nullptr) {
    std::fwprintf(stderr, L"cannot save %ls\n", path.c_str());
    ++g_failures;
    if (file) std::fclose(file);
    return;
  }
  BITMAPFILEHEADER head{};
  head.bfType = 0x4D42;
  head.bfOffBits = sizeof head + sizeof info;
  head.bfSize = head.bfOffBits + static_cast<DWORD>(pixels.size());
  info.biSizeImage = static_cast<DWORD>(pixels.size());
  std::fwrite(&head, sizeof head, 1, file);
  std::fwrite(&info, sizeof info, 1, file);
  std::fwrite(pixels.data(), 1, pixels.size(), file);
  std::fclose(file);
  std::wprintf(L"%ls\n", path.c_str());
}

void Save(HWND dialog, const wchar_t* name) {
  RECT r;
  GetWindowRect(dialog, &r);
  SaveScreen(r, name);
}

void Command(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// One expected dialog: once it has been in front for `settle` ms (counted from the previous
// step) and `ready` agrees, `act` runs.
struct Step {
  Kind kind;
  int settle;
  std::function<bool()> ready;
  std::function<void(HWND)> act;
};

std::deque<Step> g_steps;
std::chrono::steady_clock::time_point g_since;

void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
  if (g_steps.empty()) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - g_since > std::chrono::seconds(30)) {
    std::fprintf(stderr, "the dialogs stopped at step %zu from the end\n", g_steps.size());
    ExitProcess(1);
  }
  HWND front = FrontDialog();
  const Step& step = g_steps.front();
  if (front == nullptr || KindOf(front) != step.kind) return;
  if (now - g_since < std::chrono::milliseconds(step.settle)) return;
  if (step.ready && !step.ready()) return;
  const std::function<void(HWND)> act = step.act;
  g_steps.pop_front();
  g_since = now;
  act(front);
}

void Then(Kind kind, int settle, std::function<void(HWND)> act, std::function<bool()> ready = {}) {
  g_steps.push_back({kind, settle, std::move(ready), std::move(act)});
}

void Shots() {
  ShotPlatform shot;
  std::vector<std::u16string> paths;
  const char16_t* folders[] = {
      u"E:\\音楽\\宇多田ヒカル\\First Love\\", u"E:\\Музыка\\Кино\\Группа крови\\",
      u"E:\\Music\\Miles Davis\\Kind of Blue\\", u"E:\\Music\\Björk\\Post\\"};
  for (int i = 0; i < 40; ++i) {
    std::u16string name = folders[i / 10];
    name += static_cast<char16_t>(u'0' + i % 10 / 10);
    name += static_cast<char16_t>(u'0' + i % 10);
    name += i / 10 == 0 ? u" Automatic.mp3" : i / 10 == 1 ? u" Кукушка.mp3" : u" So What.m4a";
    shot.mp.files.AddFile(name, "");
    paths.push_back(name);
  }
  Gate first, second;
  auto add = [&](std::u16string_view path, library::BuildOwner& owner) {
    if (path == paths[10]) first.Wait();
    if (path == paths[14]) second.Wait();
    if (path == paths[20]) return owner.AskSkipFile();
    return 0;
  };
  run::RunController* controller = nullptr;
  const CRunDlg::ControllerFactory factory = [&](run::RunHost& host) {
    run::BuilderFactories builders{
        [&](const run::BuilderRequest& r) { return std::make_unique<HeldCreate>(add, r.owner); },
        {}};
    auto made = std::make_unique<run::RunController>(shot.platform, host, builders);
    controller = made.get();
    return made;
  };

  Then(Kind::Settings, 1500, [](HWND d) {
    Save(d, L"settings");
    PostMessageW(GetDlgItem(d, IDC_DRIVES), CB_SHOWDROPDOWN, TRUE, 0);
  });
  Then(Kind::Settings, 800, [](HWND d) {
    RECT r, list;
    GetWindowRect(d, &r);
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    if (GetComboBoxInfo(GetDlgItem(d, IDC_DRIVES), &combo) && combo.hwndList &&
        GetWindowRect(combo.hwndList, &list))
      UnionRect(&r, &r, &list);
    SaveScreen(r, L"settings-drive-list");
    PostMessageW(GetDlgItem(d, IDC_DRIVES), CB_SETCURSEL, 0, 0);
    PostMessageW(GetDlgItem(d, IDC_DRIVES), CB_SHOWDROPDOWN, FALSE, 0);
  });
  Then(Kind::Settings, 800, [](HWND d) {
    Save(d, L"settings-drive-chosen");
    Command(d, IDC_CREATE);
    Command(d, IDC_START);
  });
  Then(Kind::StartCheck, 1200, [](HWND d) {
    Save(d, L"start-check");
    Command(d, IDOK);
  });
  Then(
      Kind::Run, 300, [&](HWND) { shot.mp.clock.now += 83; },
      [&] { return first.waiting() && controller && controller->state().scanDone; });
  Then(Kind::Run, 400, [&](HWND) { first.Open(); });
  Then(
      Kind::Run, 100, [&](HWND) { shot.mp.clock.now += 1; }, [&] { return second.waiting(); });
  Then(Kind::Run, 1200, [](HWND d) {
    Save(d, L"run");
    Command(d, IDC_STOP);
  });
  Then(Kind::Cancel, 1200, [&](HWND d) {
    Save(d, L"stop-question");
    second.Open();
    Command(d, IDCANCEL);
  });
  Then(Kind::CannotOpen, 1200, [](HWND d) {
    Save(d, L"cannot-open");
    Command(d, IDOK);
  });
  Then(Kind::Finish, 1200, [](HWND d) {
    Save(d, L"finish");
    Command(d, IDOK);
  });
  Then(Kind::Settings, 1500, [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); });

  g_since = std::chrono::steady_clock::now();
  CSettingDlg settings(shot.platform, factory);
  settings.Run(nullptr);

  Then(Kind::Error, 1200, [](HWND d) {
    Save(d, L"error-unsupported");
    Command(d, IDOK);
  });
  Then(Kind::Error, 1200, [](HWND d) {
    Save(d, L"error-root");
    Command(d, IDOK);
  });
  DialogErrorHost errors;
  g_since = std::chrono::steady_clock::now();
  run::ReportError(errors, UnsupportedDevice, u"F:\\");
  run::ReportError(errors, NotRootDirectory, u"");
  if (!g_steps.empty()) ++g_failures;
}

}  // namespace
}  // namespace deltrix::gui::win32

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: deltrix_gui_win32_screenshots OUTDIR\n");
    return 2;
  }
  deltrix::gui::win32::g_folder = argv[1];
  deltrix::gui::win32::InitDialogControls();
  SetTimer(nullptr, 0, 100, &deltrix::gui::win32::Poll);
  deltrix::gui::win32::Shots();
  return deltrix::gui::win32::g_failures == 0 ? 0 : 1;
}
