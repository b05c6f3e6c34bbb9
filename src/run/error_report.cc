#include "run/error_report.h"

#include <cstdio>
#include <string>

#include "base/error_code.h"
#include "run/drive_checks.h"
#include "run/messages.h"

namespace deltrix::run {

std::u16string ErrorMessage(int code, std::u16string_view text) {
  switch (code) {
    case NotRootDirectory:
      return std::u16string(kNotRootDirectoryMessage);
    case CreateDataFailed:
      return std::u16string(kCreateDataFailedMessage);
    case WriteFileFailed:
      return std::u16string(kWriteFileFailedMessage);
    case MultipleDevices:
      return std::u16string(kMultipleDevicesMessage);
    case UnsupportedDevice:
      return u"[" + std::u16string(text) + std::u16string(kUnsupportedDeviceAfterName);
    case DeviceRemoved:
      return std::u16string(kDeviceRemovedMessage);  // the format has no place for the text
    default:
      return {};
  }
}

std::u16string ErrorCodeLine(int code) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Error Code : E-%02d", code);
  return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

std::u16string RemovalQuestion(uint32_t removed, uint32_t total) {
  const std::string r = std::to_string(removed), t = std::to_string(total);
  return std::u16string(r.begin(), r.end()) + std::u16string(kRemovalQuestionMiddle) +
         std::u16string(t.begin(), t.end()) + std::u16string(kRemovalQuestionEnd);
}

bool ReportError(ErrorHost& host, int code, std::u16string_view text) {
  host.EnableStop(false);
  if (code == CannotOpenFile) return host.AskSkipOrAbort(std::u16string(text)) == SkipAnswer::Abort;
  if (code == NotRootDirectory || (code >= CreateDataFailed && code <= DeviceRemoved)) {
    host.ShowError(ErrorMessage(code, text), ErrorCodeLine(code));
    return false;
  }
  return true;
}

int AskSkipFile(ErrorHost& host, platform::DriveTable& drives, std::u16string_view driveRoot,
                std::u16string_view path, bool* skipAll) {
  // Checked at every unreadable file, asked or not: a pulled card is not a run of unreadable files.
  if (!IsDrivePresent(drives, driveRoot)) {
    ReportError(host, DeviceRemoved, driveRoot);
    return DeviceRemoved;
  }
  if (*skipAll) return CannotOpenFile;
  host.EnableStop(false);
  const SkipAnswer answer = host.AskSkipOrAbort(std::u16string(path));
  if (answer == SkipAnswer::Abort) return RunAborted;
  if (answer == SkipAnswer::SkipAll) *skipAll = true;
  host.EnableStop(true);
  return CannotOpenFile;
}

}  // namespace deltrix::run
