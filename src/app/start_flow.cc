#include "app/start_flow.h"

#include "app/tag_languages.h"
#include "base/error_code.h"
#include "run/drive_checks.h"

namespace deltrix::app {

std::u16string_view ConfirmationMessage(bool updateSelected, int driveClass) {
  if (updateSelected) return run::kUpdateMessage;
  return driveClass == run::DriveHasLibrary ? run::kOverwriteMessage : run::kCreateMessage;
}

bool StartWithPath(platform::Platform& platform, run::ErrorHost& host,
                   std::u16string_view driveRoot, std::u16string_view shownPath, int languageIndex,
                   StartRequest* request) {
  const int driveClass = run::CheckDrive(platform, driveRoot);
  if (driveClass == run::DriveUnsupported) {
    run::ReportError(host, UnsupportedDevice, shownPath);
    return false;
  }
  request->driveRoot = std::u16string(driveRoot);
  request->runMode = driveClass == run::DriveHasLibrary ? 1 : 0;
  request->message = std::u16string(driveClass == run::DriveHasLibrary ? run::kUpdateMessage
                                                                       : run::kCreateMessage);
  request->tagLanguage = languageIndex + 1;
  request->languageName = std::u16string(kTagLanguageNames[languageIndex]);
  return true;
}

int CheckStartItems(run::ErrorHost& host, const std::vector<std::u16string>& items,
                    StartSource source) {
  if (source == StartSource::Drop && items.size() != 1) {
    run::ReportError(host, MultipleDevices, u"");
    return MultipleDevices;
  }
  if (items.empty() || !run::IsRootPath(items[0])) {
    run::ReportError(host, NotRootDirectory, u"");
    return NotRootDirectory;
  }
  if (items.size() > 1) {
    run::ReportError(host, MultipleDevices, u"");
    return MultipleDevices;
  }
  return Success;
}

}  // namespace deltrix::app
