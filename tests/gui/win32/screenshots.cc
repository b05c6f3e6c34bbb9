// Saves a picture of every native dialog as Windows draws it, frame included:
//   deltrix_gui_win32_screenshots OUTDIR  ->  OUTDIR/<name>.bmp
// It drives the real dialogs over the in-memory drive (E: "МУЗЫКА" with a library, F: an NTFS
// stick, G: and H: FAT sticks without one) and a run whose builder is held at chosen files, with
// a DialogScript whose steps take each picture off the screen and then answer the dialog. Needs a
// display (scripts/screenshots_windows.sh runs it in a Wine desktop under Xvfb); not a test.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "base/utf16.h"
#include "dialog_script.h"
#include "gui/win32/resource.h"
#include "gui/win32/settings_dialog.h"
#include "run/builders.h"
#include "run/error_report.h"
#include "run/run_controller.h"
#include "support/memory_drive.h"

namespace deltrix::gui::win32 {
namespace {

using testing::Command;
using testing::DialogKind;

std::wstring g_folder;
int g_failures = 0;

// Takes every file; `add` may hold it or ask about it.
class HeldCreate : public run::CreateBuilder {
 public:
  HeldCreate(std::function<int(std::u16string_view, library::BuildOwner&)> add,
             library::BuildOwner& owner)
      : add_(std::move(add)), owner_(owner) {}
  int Open() override { return Success; }
  int AddFile(std::u16string_view path, int, int64_t) override { return add_(path, owner_); }
  int SortAndWriteBatch(bool) override { return Success; }
  int Finish() override { return Success; }
  void WriteTimes() override {}
  void Close() override {}

 private:
  std::function<int(std::u16string_view, library::BuildOwner&)> add_;
  library::BuildOwner& owner_;
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
  deltrix::testing::MemoryPlatform mp;
  testing::WindowsDrives drives;
  platform::Platform platform{mp.files, drives, mp.text, mp.clock, mp.locks};
};

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
  testing::Gate first, second;
  auto add = [&](std::u16string_view path, library::BuildOwner& owner) {
    if (path == paths[10]) first.Wait();
    if (path == paths[14]) second.Wait();
    if (path == paths[20]) return owner.AskSkipFile();
    return 0;
  };
  run::RunController* controller = nullptr;
  testing::DialogScript script;
  const CRunDlg::ControllerFactory factory = [&](run::RunHost& host) {
    run::BuilderFactories builders{
        [&](const run::BuilderRequest& r) { return std::make_unique<HeldCreate>(add, r.owner); },
        {}};
    auto made = std::make_unique<run::RunController>(shot.platform, host, builders);
    controller = made.get();
    return made;
  };

  script.Then(DialogKind::Settings, 1500, [](HWND d) {
    Save(d, L"settings");
    PostMessageW(GetDlgItem(d, IDC_DRIVES), CB_SHOWDROPDOWN, TRUE, 0);
  });
  script.Then(DialogKind::Settings, 800, [](HWND d) {
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
  script.Then(DialogKind::Settings, 800, [](HWND d) {
    Save(d, L"settings-drive-chosen");
    Command(d, IDC_CREATE);
    Command(d, IDC_START);
  });
  script.Then(DialogKind::StartCheck, 1200, [](HWND d) {
    Save(d, L"start-check");
    Command(d, IDOK);
  });
  script.Then(
      DialogKind::Run, 300, [&](HWND) { shot.mp.clock.now += 83; },
      [&] { return first.waiting() && controller && controller->state().scanDone; });
  script.Then(DialogKind::Run, 400, [&](HWND) { first.Open(); });
  script.Then(
      DialogKind::Run, 100, [&](HWND) { shot.mp.clock.now += 1; },
      [&] { return second.waiting(); });
  script.Then(DialogKind::Run, 1200, [](HWND d) {
    Save(d, L"run");
    Command(d, IDC_STOP);
  });
  script.Then(DialogKind::Cancel, 1200, [&](HWND d) {
    Save(d, L"stop-question");
    second.Open();
    Command(d, IDCANCEL);
  });
  script.Then(DialogKind::CannotOpen, 1200, [](HWND d) {
    Save(d, L"cannot-open");
    Command(d, IDOK);
  });
  script.Then(DialogKind::Finish, 1200, [](HWND d) {
    Save(d, L"finish");
    Command(d, IDOK);
  });
  script.Then(DialogKind::Settings, 1500, [](HWND d) { PostMessageW(d, WM_CLOSE, 0, 0); });

  CSettingDlg settings(shot.platform, factory);
  settings.Run(nullptr);

  script.Then(DialogKind::Error, 1200, [](HWND d) {
    Save(d, L"error-unsupported");
    Command(d, IDOK);
  });
  script.Then(DialogKind::Error, 1200, [](HWND d) {
    Save(d, L"error-root");
    Command(d, IDOK);
  });
  DialogErrorHost errors;
  run::ReportError(errors, UnsupportedDevice, u"F:\\");
  run::ReportError(errors, NotRootDirectory, u"");
  if (!script.finished()) ++g_failures;
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
  deltrix::gui::win32::Shots();
  return deltrix::gui::win32::g_failures == 0 ? 0 : 1;
}
