#include "app/error_report.h"

#include <cstdio>

#include "app/drive_checks.h"
#include "base/error_code.h"

namespace deltrix::app {

std::u16string ErrorMessage(int code, std::u16string_view text) {
  switch (code) {
    case NotRootDirectory:
      return u"Can only create a Library in the Root Directory.";
    case CreateDataFailed:
      return u"Error occurred while creating library data.";
    case WriteFileFailed:
      return u"Error occurred while writing library file.";
    case MultipleDevices:
      return u"Cannot make the library for multiple devices.";
    case UnsupportedDevice:
      return u"[" + std::u16string(text) + u"] is not supported device.";
    case DeviceRemoved:
      return u"Selected device is removed.";  // the format has no place for the text
    default:
      return {};
  }
}

std::u16string ErrorCodeLine(int code) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "Error Code : E-%02d", code);
  return std::u16string(buf, buf + std::char_traits<char>::length(buf));
}

bool ReportError(ErrorHost& host, int code, std::u16string_view text) {
  host.EnableStop(false);
  if (code == CannotOpenFile) return host.AskSkipOrAbort(std::u16string(text));
  if (code == NotRootDirectory || (code >= CreateDataFailed && code <= DeviceRemoved)) {
    host.ShowError(ErrorMessage(code, text), ErrorCodeLine(code));
    return false;
  }
  return true;
}

int AskSkipFile(ErrorHost& host, platform::DriveTable& drives, std::u16string_view driveRoot,
                std::u16string_view path) {
  if (!IsDrivePresent(drives, driveRoot)) {
    ReportError(host, DeviceRemoved, driveRoot);
    return DeviceRemoved;
  }
  if (ReportError(host, CannotOpenFile, path)) return RunAborted;
  host.EnableStop(true);
  return CannotOpenFile;
}

}  // namespace deltrix::app
