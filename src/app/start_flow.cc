#include "app/start_flow.h"

#include "app/drive_checks.h"
#include "app/tag_languages.h"
#include "base/error_code.h"

namespace deltrix::app {

std::u16string_view ConfirmationMessage(bool updateSelected, int driveClass) {
  if (updateSelected) return kUpdateMessage;
  return driveClass == DriveHasLibrary ? kOverwriteMessage : kCreateMessage;
}

bool StartWithPath(platform::Platform& platform, ErrorHost& host, std::u16string_view driveRoot,
                   std::u16string_view shownPath, int languageIndex, StartRequest* request) {
  const int driveClass = CheckDrive(platform, driveRoot);
  if (driveClass == DriveUnsupported) {
    ReportError(host, UnsupportedDevice, shownPath);
    return false;
  }
  request->driveRoot = std::u16string(driveRoot);
  request->runMode = driveClass == DriveHasLibrary ? 1 : 0;
  request->message =
      std::u16string(driveClass == DriveHasLibrary ? kUpdateMessage : kCreateMessage);
  request->tagLanguage = languageIndex + 1;
  request->languageName = std::u16string(kTagLanguageNames[languageIndex]);
  return true;
}

int CheckStartItems(ErrorHost& host, const std::vector<std::u16string>& items, StartSource source) {
  if (source == StartSource::Drop && items.size() != 1) {
    ReportError(host, MultipleDevices, u"");
    return MultipleDevices;
  }
  if (items.empty() || !IsRootPath(items[0])) {
    ReportError(host, NotRootDirectory, u"");
    return NotRootDirectory;
  }
  if (items.size() > 1) {
    ReportError(host, MultipleDevices, u"");
    return MultipleDevices;
  }
  return Success;
}

}  // namespace deltrix::app
