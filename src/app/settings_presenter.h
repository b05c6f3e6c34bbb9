// The settings dialog without a toolkit: the drive list, the ID tag language list, the two mode
// buttons and Start, and every state they pass through. A front-end forwards the dialog's events
// (list opened, closed, chosen; a mode clicked; Start; a drive dropped or named on the command
// line) and draws SettingsView unchanged after each one. Nothing is remembered between program
// runs: the drive list is read afresh whenever it opens and the language default comes from the
// user's locale.
//
// States (drive list / mode buttons / Start; the "Read changed files again" box follows Update):
//   No drive          "Please Select Drive." / both disabled, not selected / disabled
//   Drive list open   fresh labels, no selection / unchanged / unchanged
//   Unsupported drive its label / both disabled, not selected / disabled
//   New drive         its label / Create selected, Update disabled / enabled
//   Drive with library its label / Update selected, Create enabled / enabled
// A confirmed manual run returns to No drive; a run started by a drop leaves the state as it was.
// All calls are made on the user-interface thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/start_flow.h"
#include "platform/platform.h"
#include "run/error_report.h"

namespace deltrix::app {

inline constexpr std::u16string_view kPleaseSelectDrive = u"Please Select Drive.";

// What the dialog shows. The language items never change: kTagLanguageNames in order.
struct SettingsView {
  // "Please Select Drive.", or the drives: "E:\ [MUSIC]" where drives are named by letter,
  // "MUSIC — /media/anna/MUSIC" where they are named by mount point (app/drive_list.h).
  std::vector<std::u16string> driveItems;
  int driveSelection = 0;     // index into driveItems, -1 for none
  int languageSelection = 2;  // index into kTagLanguageNames
  bool createEnabled = false;
  bool createSelected = false;
  bool updateEnabled = false;
  bool updateSelected = false;
  // "Read changed files again": enabled only while Update is selected, and shown checked only
  // while enabled (the user's choice comes back with Update).
  bool rereadEnabled = false;
  bool rereadChecked = false;
  bool startEnabled = false;
};

// What the confirmation shows and what the run gets once it is confirmed.
struct StartConfirmation {
  StartRequest request;
  std::u16string shownDrive;  // the drive as the user names it (a mount point; E:\ on Windows)
  // The confirmation's values: the drive and the language name on two lines.
  std::u16string values() const { return shownDrive + u"\n" + request.languageName; }
};

class SettingsPresenter {
 public:
  // `defaultLanguage` is DefaultTagLanguage of the user's locale (an index into kTagLanguageNames).
  SettingsPresenter(platform::Platform& platform, int defaultLanguage);

  const SettingsView& view() const { return view_; }
  int defaultLanguage() const { return defaultLanguage_; }

  // The drive list opens: it is emptied and filled with the present drives, none selected.
  void OnDriveDropDown();
  // The drives changed (a card inserted or removed) while the dialog is open. A drive list that is
  // open or has a drive chosen is read again; a chosen drive stays chosen, with its mode buttons
  // judged again, while it is still there, and the state goes back to No drive when it is gone.
  // Before any list was read ("Please Select Drive.") nothing changes.
  void OnDrivesChanged();
  // The drive list closes: without a choice it goes back to "Please Select Drive.".
  void OnDriveCloseUp();
  // A drive was chosen (an index into the current list): the mode buttons and Start follow the
  // drive's class. An index outside the list behaves as closing the list without a choice.
  void OnDriveSelChange(int index);
  // A language was chosen; an index outside the nine is ignored.
  void OnLanguageSelChange(int index);
  // A mode button was clicked: it becomes the selected one when it is enabled.
  void OnModeClicked(bool update);
  // The "Read changed files again" box was clicked; ignored while it is disabled.
  void OnRereadClicked(bool checked);
  // "Please Select Drive." with both mode buttons and Start disabled.
  void ResetDriveSelection();

  // Start: the confirmation for the chosen drive, language and mode. False (nothing to confirm)
  // when Start is disabled. The drive's class only chooses the message; Start is not refused here.
  bool OnStart(StartConfirmation* confirmation);
  // After the run dialog of a confirmed Start has closed.
  void OnManualRunEnded() { ResetDriveSelection(); }

  // A drive named by path, dropped (`source` Drop) or on the command line. `driveItems` are the
  // items in drive form (empty for an item on no drive), `shownItems` as the user named them; the
  // language is the locale's default, whatever the list shows. Reports errors 1, 5 and 6 through
  // `host` and returns false; true fills `confirmation`. The view is not changed.
  bool StartFromPaths(run::ErrorHost& host, const std::vector<std::u16string>& driveItems,
                      const std::vector<std::u16string>& shownItems, StartSource source,
                      StartConfirmation* confirmation);

 private:
  void ClearModes();
  void ShowReread();
  void ReadDriveList();

  platform::Platform& platform_;
  int defaultLanguage_;
  std::vector<std::u16string> driveRoots_;   // root of each item of the drive list
  std::vector<std::string> driveUserPaths_;  // and how the user names it
  SettingsView view_;
  bool rereadChosen_ = false;  // the box's state as the user left it
};

}  // namespace deltrix::app
