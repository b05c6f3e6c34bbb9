#include "app/settings_presenter.h"

#include "app/drive_list.h"
#include "app/tag_languages.h"
#include "base/error_code.h"
#include "base/utf16.h"
#include "run/drive_checks.h"

namespace deltrix::app {

SettingsPresenter::SettingsPresenter(platform::Platform& platform, int defaultLanguage)
    : platform_(platform),
      defaultLanguage_(defaultLanguage >= 0 &&
                               defaultLanguage < static_cast<int>(kTagLanguageNames.size())
                           ? defaultLanguage
                           : 2) {
  view_.languageSelection = defaultLanguage_;
  ResetDriveSelection();
}

void SettingsPresenter::ClearModes() {
  view_.updateEnabled = view_.updateSelected = false;
  view_.createEnabled = view_.createSelected = false;
  ShowReread();
}

void SettingsPresenter::ShowReread() {
  view_.rereadEnabled = view_.updateSelected;
  view_.rereadChecked = view_.rereadEnabled && rereadChosen_;
}

void SettingsPresenter::ResetDriveSelection() {
  rereadChosen_ = false;
  driveRoots_.clear();
  driveUserPaths_.clear();
  view_.driveItems = {std::u16string(kPleaseSelectDrive)};
  view_.driveSelection = 0;
  ClearModes();
  view_.startEnabled = false;
}

void SettingsPresenter::ReadDriveList() {
  driveRoots_.clear();
  driveUserPaths_.clear();
  view_.driveItems.clear();
  for (DriveChoice& choice : ListDriveChoices(platform_, false)) {
    driveRoots_.push_back(std::move(choice.root));
    driveUserPaths_.push_back(std::move(choice.userPath));
    view_.driveItems.push_back(std::move(choice.item));
  }
}

void SettingsPresenter::OnDriveDropDown() {
  ReadDriveList();
  view_.driveSelection = -1;
}

void SettingsPresenter::OnDrivesChanged() {
  const int selected = view_.driveSelection;
  // "Please Select Drive.": the list is read when it opens.
  if (driveRoots_.empty() && selected >= 0) return;
  if (selected < 0) {
    ReadDriveList();
    return;
  }
  // The same drive is the same root under the same name (a letter freed by a removed card may be
  // given to the next one).
  const std::u16string root = driveRoots_[selected];
  const std::string userPath = driveUserPaths_[selected];
  ReadDriveList();
  for (size_t i = 0; i < driveRoots_.size(); ++i) {
    if (driveRoots_[i] == root && driveUserPaths_[i] == userPath) {
      OnDriveSelChange(static_cast<int>(i));
      return;
    }
  }
  ResetDriveSelection();
}

void SettingsPresenter::OnDriveCloseUp() {
  if (view_.driveSelection < 0) ResetDriveSelection();
}

void SettingsPresenter::OnDriveSelChange(int index) {
  if (index < 0 || static_cast<size_t>(index) >= driveRoots_.size()) {
    // Only "Please Select Drive." (or nothing) is listed: there is no drive to choose.
    ResetDriveSelection();
    return;
  }
  view_.driveSelection = index;
  switch (run::CheckDrive(platform_, driveRoots_[index])) {
    case run::DriveHasLibrary:
      view_.updateEnabled = view_.updateSelected = true;
      view_.createEnabled = true;
      view_.createSelected = false;
      view_.startEnabled = true;
      break;
    case run::DriveUsable:
      view_.updateEnabled = view_.updateSelected = false;
      view_.createEnabled = view_.createSelected = true;
      view_.startEnabled = true;
      break;
    default:  // unsupported: no message, nothing to start
      ClearModes();
      view_.startEnabled = false;
      break;
  }
  ShowReread();
}

void SettingsPresenter::OnLanguageSelChange(int index) {
  if (index >= 0 && index < static_cast<int>(kTagLanguageNames.size()))
    view_.languageSelection = index;
}

void SettingsPresenter::OnModeClicked(bool update) {
  if (update ? !view_.updateEnabled : !view_.createEnabled) return;
  view_.updateSelected = update;
  view_.createSelected = !update;
  ShowReread();
}

void SettingsPresenter::OnRereadClicked(bool checked) {
  if (!view_.rereadEnabled) return;
  rereadChosen_ = checked;
  ShowReread();
}

bool SettingsPresenter::OnStart(StartConfirmation* confirmation) {
  const int index = view_.driveSelection;
  if (!view_.startEnabled || index < 0 || static_cast<size_t>(index) >= driveRoots_.size())
    return false;
  const std::u16string& root = driveRoots_[index];
  // A drive removed since it was chosen is class 3 now: it still gets the create (or update)
  // message, and the run meets the missing drive.
  const int driveClass = run::CheckDrive(platform_, root);
  StartRequest& request = confirmation->request;
  request.driveRoot = root;
  request.runMode = view_.updateSelected ? 1 : 0;
  request.rereadChanged = view_.rereadChecked;
  request.message = std::u16string(ConfirmationMessage(view_.updateSelected, driveClass));
  request.tagLanguage = view_.languageSelection + 1;
  request.languageName = std::u16string(kTagLanguageNames[view_.languageSelection]);
  confirmation->shownDrive = FromUtf8(platform_.drives.ToUserPath(root));
  if (confirmation->shownDrive.empty()) confirmation->shownDrive = root;
  return true;
}

bool SettingsPresenter::StartFromPaths(run::ErrorHost& host,
                                       const std::vector<std::u16string>& driveItems,
                                       const std::vector<std::u16string>& shownItems,
                                       StartSource source, StartConfirmation* confirmation) {
  if (CheckStartItems(host, driveItems, source) != Success) return false;
  const std::u16string shown = shownItems.empty() ? driveItems[0] : shownItems[0];
  if (!StartWithPath(platform_, host, driveItems[0], shown, defaultLanguage_,
                     &confirmation->request)) {
    return false;
  }
  confirmation->shownDrive = shown;
  return true;
}

}  // namespace deltrix::app
