// How a run fails: the small integer that travels up the call chain. Only ReportError shows one
// (0, 8 and anything outside 1..7 show nothing). Unscoped, so it passes as a plain int.
#pragma once

namespace deltrix {

enum ErrorCode : int {
  RunStopped = -1,  // a builder saw the stop the user confirmed; ends the run as 8 does
  Success = 0,
  NotRootDirectory = 1,
  CannotOpenFile = 2,
  CreateDataFailed = 3,
  WriteFileFailed = 4,
  MultipleDevices = 5,
  UnsupportedDevice = 6,
  DeviceRemoved = 7,
  RunAborted = 8,
};

// Engine steps answer 1 when done and 0 or -1 when not. -1 is true in C++, so compare with kDone.
inline constexpr int kDone = 1;

}  // namespace deltrix
