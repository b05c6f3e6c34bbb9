// The native dialogs at work over the in-memory drive: the settings dialog draws what its
// presenter decides, and the run dialog shows the worker's questions and its stop question and
// ends as the run ends. The dialogs are real windows, answered by a DialogScript. They need a
// window system: under Wine without a display the test prefix uses Wine's null graphics driver
// (scripts/test_windows.sh sets it), with which Wine showed dialogs work in full.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "dialog_script.h"
#include "gui/win32/resource.h"
#include "gui/win32/settings_dialog.h"
#include "run/builders.h"
#include "run/messages.h"
#include "run/run_controller.h"

namespace deltrix::gui::win32 {
namespace {

using testing::Command;
using testing::DialogKind;
using testing::DialogScript;
using testing::FrontDialog;
using testing::Gate;

// Takes every file; `add` may hold it or ask about it.
class ScriptedCreate : public run::CreateBuilder {
 public:
  ScriptedCreate(std::function<int(std::u16string_view, library::BuildOwner&)> add,
                 library::BuildOwner& owner)
      : add_(std::move(add)), owner_(owner) {}
  int Open() override { return Success; }
  int AddFile(std::u16string_view path, int, int64_t) override {
    return add_ ? add_(path, owner_) : 0;
  }
  int SortAndWriteBatch(bool) override { return Success; }
  int Finish() override { return Success; }
  void WriteTimes() override {}
  void Close() override {}

 private:
  std::function<int(std::u16string_view, library::BuildOwner&)> add_;
  library::BuildOwner& owner_;
};

// Finds every file known; would remove `toRemove` of the library's `total` tracks.
class ScriptedUpdate : public run::UpdateBuilder {
 public:
  ScriptedUpdate(uint32_t total, uint32_t toRemove, bool* merged)
      : total_(total), toRemove_(toRemove), merged_(merged) {}
  int Open() override { return Success; }
  int CheckFile(std::u16string_view, int64_t) override { return Success; }
  library::TimesFileState TimesState() const override { return library::TimesFileState::kLoaded; }
  int KeepTracksBelow(std::span<const std::u16string>) override { return Success; }
  uint32_t libraryTrackCount() const override { return total_; }
  uint32_t tracksToRemove() const override { return toRemove_; }
  int Merge(int) override {
    *merged_ = true;
    return Success;
  }
  int Finish() override { return Success; }
  void WriteTimes() override {}
  void Close() override {}

 private:
  uint32_t total_, toRemove_;
  bool* merged_;
};

// E: a FAT32 stick with a library, F: an NTFS stick, G: a FAT32 stick without one holding three
// songs.
struct Drives {
  Drives() {
    drives.Add({u'E', {u"MUSIC", 0x1234ABCD, u"FAT32"}, platform::DriveTypeRemovable, true});
    drives.Add({u'F', {u"WINDOWS", 7, u"NTFS"}, platform::DriveTypeRemovable, true});
    drives.Add({u'G', {u"", 9, u"FAT32"}, platform::DriveTypeRemovable, true});
    for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"})
      mp.files.AddFile(std::u16string(u"E:\\KORVANE\\LIBRARY\\") + name, "old");
    for (const char16_t* song : {u"G:\\a.mp3", u"G:\\b.mp3", u"G:\\c.mp3"})
      mp.files.AddFile(song, "");
    factory = [this](run::RunHost& host) {
      run::BuilderFactories builders{[this](const run::BuilderRequest& r) {
                                       return std::make_unique<ScriptedCreate>(add, r.owner);
                                     },
                                     [this](const run::BuilderRequest&) {
                                       return std::make_unique<ScriptedUpdate>(libraryTracks,
                                                                               toRemove, &merged);
                                     }};
      auto made = std::make_unique<run::RunController>(platform, host, builders);
      controller = made.get();
      return made;
    };
  }
  deltrix::testing::MemoryPlatform mp;
  testing::WindowsDrives drives;
  platform::Platform platform{mp.files, drives, mp.text, mp.clock, mp.locks};
  std::function<int(std::u16string_view, library::BuildOwner&)> add;
  uint32_t libraryTracks = 0, toRemove = 0;  // what an update would remove
  bool merged = false;
  run::RunController* controller = nullptr;
  CRunDlg::ControllerFactory factory;
};

std::vector<std::u16string> ComboItems(HWND combo) {
  std::vector<std::u16string> items;
  const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[128] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    items.push_back(FromWide(text));
  }
  return items;
}

// The mode buttons, the "Read changed files again" box and Start as "create+ update- reread-
// start+": + enabled, - disabled, * selected or checked.
std::string Modes(HWND d) {
  auto state = [d](int id) {
    std::string s = IsWindowEnabled(GetDlgItem(d, id)) ? "+" : "-";
    if (IsDlgButtonChecked(d, id) == BST_CHECKED) s += "*";
    return s;
  };
  return "create" + state(IDC_CREATE) + " update" + state(IDC_UPDATE) + " reread" +
         state(IDC_REREAD) + " start" + state(IDC_START);
}

void Notify(HWND d, int id, int code) {
  SendMessageW(d, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(GetDlgItem(d, id)));
}

void Choose(HWND d, int index) {
  SendDlgItemMessageW(d, IDC_DRIVES, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  Notify(d, IDC_DRIVES, CBN_SELCHANGE);
  Notify(d, IDC_DRIVES, CBN_CLOSEUP);
}

TEST(SettingsDialog, TheDriveChosenSetsTheModesAndStartAsksFirst) {
  Drives drives;
  std::vector<std::string> seen;
  std::vector<std::u16string> listed;
  std::u16string message, values;
  DialogScript script;
  script.Then(DialogKind::Settings, 0, [&](HWND d) {
    seen.push_back(Modes(d));
    listed = ComboItems(GetDlgItem(d, IDC_DRIVES));
    Notify(d, IDC_DRIVES, CBN_DROPDOWN);  // the list opens: the drives are read
    const std::vector<std::u16string> open = ComboItems(GetDlgItem(d, IDC_DRIVES));
    listed.insert(listed.end(), open.begin(), open.end());
    Choose(d, 1);  // F: NTFS
    seen.push_back(Modes(d));
    Choose(d, 2);  // G: no library
    seen.push_back(Modes(d));
    Choose(d, 0);  // E: a library
    seen.push_back(Modes(d));
    Command(d, IDC_REREAD);
  });
  script.Then(DialogKind::Settings, 0, [&](HWND d) {
    seen.push_back(Modes(d));
    Command(d, IDC_CREATE);
  });
  script.Then(DialogKind::Settings, 0, [&](HWND d) {
    seen.push_back(Modes(d));
    Command(d, IDC_START);
  });
  script.Then(DialogKind::StartCheck, 0, [&](HWND d) {
    message = ItemText(d, IDC_CHECK_MESSAGE);
    values = ItemText(d, IDC_CHECK_VALUES);
    Command(d, IDCANCEL);
  });
  script.Then(DialogKind::Settings, 0, [&](HWND d) {
    seen.push_back(Modes(d));  // a cancelled confirmation changes nothing
    Notify(d, IDC_DRIVES, CBN_DROPDOWN);
    Notify(d, IDC_DRIVES, CBN_CLOSEUP);  // closed without a choice
    seen.push_back(Modes(d));
    listed.push_back(ComboItems(GetDlgItem(d, IDC_DRIVES)).at(0));
    PostMessageW(d, WM_CLOSE, 0, 0);
  });
  CSettingDlg settings(drives.platform, drives.factory);
  ASSERT_EQ(IDCANCEL, settings.Run(nullptr)) << "the dialog could not be shown";
  ASSERT_TRUE(script.finished());

  EXPECT_EQ(std::vector<std::string>(
                {"create- update- reread- start-", "create- update- reread- start-",
                 "create+* update- reread- start+", "create+ update+* reread+ start+",
                 "create+ update+* reread+* start+", "create+* update+ reread- start+",
                 "create+* update+ reread- start+", "create- update- reread- start-"}),
            seen);
  EXPECT_EQ(std::vector<std::u16string>({u"Please Select Drive.", u"E:\\ [MUSIC]",
                                         u"F:\\ [WINDOWS]", u"G:\\", u"Please Select Drive."}),
            listed);
  EXPECT_EQ(run::kOverwriteMessage, message);
  EXPECT_EQ(u"E:\\\nEnglish", values);
}

TEST(RunDialog, TheWorkersQuestionAndFinishReachTheUser) {
  Drives drives;
  std::u16string pathShown, finish;
  bool stopWhileAsked = true;
  drives.add = [](std::u16string_view path, library::BuildOwner& owner) {
    return path == u"G:\\b.mp3" ? owner.AskSkipFile() : 0;
  };
  DialogScript script;
  script.Then(DialogKind::CannotOpen, 0, [&](HWND d) {
    HWND run = GetWindow(d, GW_OWNER);
    pathShown = ItemText(run, IDC_PATH);
    stopWhileAsked = IsWindowEnabled(GetDlgItem(run, IDC_STOP));
    Command(d, IDOK);  // Skip
  });
  script.Then(DialogKind::Finish, 0, [&](HWND d) {
    finish = ItemText(d, IDC_FINISH_TEXT);
    Command(d, IDOK);
  });
  CRunDlg run(drives.platform, drives.factory);
  EXPECT_EQ(IDOK, run.RunModal(u"G:\\", 3, 0));
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(u"G:\\b.mp3", pathShown) << "the path field names the file asked about";
  EXPECT_FALSE(stopWhileAsked) << "no stop while a question is open";
  EXPECT_EQ(u"2 files are processed.", finish);
  EXPECT_EQ(Success, run.resultCode());
}

TEST(RunDialog, TheFinishMessageShowsWhatWasLeftOutBehindDetails) {
  for (const bool leftOut : {false, true}) {
    SCOPED_TRACE(leftOut ? "a hidden folder" : "a clean run");
    Drives drives;
    if (leftOut) drives.mp.files.AddFolder(u"G:\\Hid", platform::kAttrHidden);
    bool detailsShown = true;
    std::u16string details;
    DialogScript script;
    script.Then(DialogKind::Finish, 0, [&](HWND d) {
      detailsShown = IsWindowVisible(GetDlgItem(d, IDC_DETAILS));
      if (!detailsShown) {
        Command(d, IDOK);
        return;
      }
      EXPECT_EQ(run::kDetailsButton, ItemText(d, IDC_DETAILS));
      Command(d, IDC_DETAILS);
    });
    if (leftOut) {
      script.Then(DialogKind::Details, 0, [&](HWND d) {
        details = ItemText(d, IDC_DETAILS_TEXT);
        Command(d, IDOK);
      });
      script.Then(DialogKind::Finish, 0, [](HWND d) { Command(d, IDOK); });
    }
    CRunDlg run(drives.platform, drives.factory);
    EXPECT_EQ(IDOK, run.RunModal(u"G:\\", 3, 0));
    ASSERT_TRUE(script.finished());
    EXPECT_EQ(leftOut, detailsShown);
    if (leftOut) {
      EXPECT_EQ(u"1 hidden or system folder(s) were passed over:\r\n  G:\\Hid\r\n", details);
    }
  }
}

TEST(RunDialog, TheRemovalQuestionDefaultsToNoAndNoKeepsTheLibrary) {
  for (const int answer : {IDNO, IDYES}) {
    SCOPED_TRACE(answer == IDYES ? "Yes" : "No");
    Drives drives;
    drives.libraryTracks = 100;
    drives.toRemove = 60;
    std::u16string question;
    LONG_PTR defaultId = 0;
    HWND focused = nullptr, no = nullptr;
    DialogScript script;
    script.Then(DialogKind::Remove, 0, [&](HWND d) {
      question = ItemText(d, IDC_MESSAGE);
      defaultId = LOWORD(SendMessageW(d, DM_GETDEFID, 0, 0));
      focused = GetFocus();
      no = GetDlgItem(d, IDNO);
      Command(d, answer);
    });
    if (answer == IDYES) script.Then(DialogKind::Finish, 0, [](HWND d) { Command(d, IDOK); });
    CRunDlg run(drives.platform, drives.factory);
    EXPECT_EQ(IDOK, run.RunModal(u"E:\\", 3, 1));
    ASSERT_TRUE(script.finished());
    EXPECT_EQ(u"60 of 100 tracks would be removed from the library. Remove them?", question);
    EXPECT_EQ(IDNO, defaultId);
    // Focus exists only in the active window, which another program may hold while the tests run
    // side by side; where the dialog has it, it is on No.
    EXPECT_TRUE(focused == nullptr || focused == no) << focused;
    EXPECT_EQ(answer == IDYES, drives.merged);
    EXPECT_EQ(answer == IDYES ? Success : RunAborted, run.resultCode());
  }
}

TEST(RunDialog, SkipAllAnswersTheRestOfTheRunWithoutAsking) {
  Drives drives;
  std::u16string finish;
  int asked = 0;
  drives.add = [](std::u16string_view, library::BuildOwner& owner) { return owner.AskSkipFile(); };
  DialogScript script;
  script.Then(DialogKind::CannotOpen, 0, [&](HWND d) {
    ++asked;
    Command(d, IDC_SKIP_ALL);
  });
  // A second question would stand in front of the finish message and stall the script.
  script.Then(DialogKind::Finish, 0, [&](HWND d) {
    finish = ItemText(d, IDC_FINISH_TEXT);
    Command(d, IDOK);
  });
  CRunDlg run(drives.platform, drives.factory);
  EXPECT_EQ(IDOK, run.RunModal(u"G:\\", 3, 0));
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(1, asked);
  EXPECT_EQ(u"0 files are processed.", finish);
  EXPECT_EQ(3, drives.controller->state().skippedCount.load());
  EXPECT_EQ(Success, run.resultCode());
}

TEST(RunDialog, YesInTheStopQuestionEndsTheRunStopped) {
  Drives drives;
  Gate held;
  std::u16string question;
  drives.add = [&](std::u16string_view path, library::BuildOwner&) {
    if (path == u"G:\\a.mp3") held.Wait();
    return 0;
  };
  DialogScript script;
  script.Then(
      DialogKind::Run, 0, [](HWND d) { Command(d, IDC_STOP); },
      [&] { return held.waiting() && IsWindowEnabled(GetDlgItem(FrontDialog(), IDC_STOP)); });
  script.Then(DialogKind::Cancel, 0, [&](HWND d) {
    question = ItemText(d, IDC_MESSAGE);
    held.Open();  // the worker goes on to its pause
    Command(d, IDOK);
  });
  CRunDlg run(drives.platform, drives.factory);
  EXPECT_EQ(IDCANCEL, run.RunModal(u"G:\\", 3, 0));
  ASSERT_TRUE(script.finished());
  EXPECT_EQ(run::kStopQuestion, question);
  EXPECT_EQ(RunAborted, run.resultCode());
}

}  // namespace
}  // namespace deltrix::gui::win32
