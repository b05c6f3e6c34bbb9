// The ways a run starts, without any toolkit: the confirmation message for a drive and mode, a
// drive named by path (dropped on the window, or on the command line), and the command-line rules.
// The front-end shows the confirmation and opens the run; these functions decide what it shows.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "run/error_report.h"
#include "run/messages.h"

namespace deltrix::app {

// What the confirmation shows and what the run gets once it is confirmed.
struct StartRequest {
  std::u16string driveRoot;     // E:\ (drive form)
  int tagLanguage = 3;          // index + 1
  int runMode = 0;              // 0 create, 1 update
  bool rereadChanged = false;   // an update reads changed files again
  std::u16string message;       // one of the three messages of run/messages.h
  std::u16string languageName;  // as listed
};

// The message for a chosen mode on a drive of the given class (Start button).
std::u16string_view ConfirmationMessage(bool updateSelected, int driveClass);

// A drive named by path: a drive with a library is updated, one without is created, an unsupported
// one reports error 6 naming `shownPath` (the path as the user wrote it) and returns false.
bool StartWithPath(platform::Platform& platform, run::ErrorHost& host,
                   std::u16string_view driveRoot, std::u16string_view shownPath, int languageIndex,
                   StartRequest* request);

// The rules before StartWithPath: exactly one item (error 5), and it must be a root (error 1). On
// the command line the root test of the first item comes first (E:\ F:\ gives 5, foo E:\ gives 1);
// for a drop the count comes first. Items are in drive form (an item on no drive is empty).
// Returns 0 or the code, which it has reported.
enum class StartSource { CommandLine, Drop };
int CheckStartItems(run::ErrorHost& host, const std::vector<std::u16string>& items,
                    StartSource source);

// The items of a command line's arguments: the text is trimmed and split at spaces; runs of spaces
// make no empty items, and each item is trimmed of white space. Quotation marks stay, so a quoted
// root is not a root.
std::vector<std::u16string> SplitCommandLine(std::u16string_view arguments);
// The arguments of a whole Windows command line: what follows the program's name, which is either
// quoted ("C:\Program Files\x.exe" E:\) or ends at the first blank.
std::u16string_view CommandLineArguments(std::u16string_view commandLine);

// What the settings dialog says once a run has closed, one message each: the run's own notices (a
// recovered library, kept backup copies), then that another run holds the drive when that kept
// this run from starting (`resultCode` kDriveBusy).
std::vector<std::u16string> NoticesAfterRun(int resultCode, std::vector<std::u16string> notices,
                                            std::u16string_view shownDrive);

}  // namespace deltrix::app
