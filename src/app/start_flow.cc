#include "app/start_flow.h"

#include "app/tag_languages.h"
#include "base/error_code.h"
#include "run/drive_checks.h"
#include "run/run_controller.h"

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

namespace {

bool IsBlank(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

std::u16string_view Trimmed(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::vector<std::u16string> SplitCommandLine(std::u16string_view arguments) {
  std::vector<std::u16string> items;
  std::u16string_view rest = Trimmed(arguments);
  while (!rest.empty()) {
    const size_t space = rest.find(u' ');
    const std::u16string_view item = Trimmed(rest.substr(0, space));
    if (!item.empty()) items.emplace_back(item);
    if (space == std::u16string_view::npos) break;
    rest = rest.substr(space + 1);
  }
  return items;
}

std::u16string_view CommandLineArguments(std::u16string_view commandLine) {
  size_t end = 0;
  if (!commandLine.empty() && commandLine[0] == u'"') {
    const size_t close = commandLine.find(u'"', 1);
    end = close == std::u16string_view::npos ? commandLine.size() : close + 1;
  } else {
    while (end < commandLine.size() && commandLine[end] != u' ' && commandLine[end] != u'\t') ++end;
  }
  return commandLine.substr(end);
}

std::vector<std::u16string> NoticesAfterRun(int resultCode, std::vector<std::u16string> notices,
                                            std::u16string_view shownDrive) {
  if (resultCode == run::kDriveBusy) {
    notices.push_back(u"Another run is already writing to " + std::u16string(shownDrive) + u".");
  }
  return notices;
}

}  // namespace deltrix::app
