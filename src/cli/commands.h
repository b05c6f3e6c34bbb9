// The console front-end's commands. main() parses the options, builds the platform and calls one of
// these; each returns the exit status (0 on success, else the error code of the failure).
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/terminal.h"

namespace deltrix::cli {

// The exit status of a command line that names something unknown (not a run's error code).
inline constexpr int kUsageError = 64;

// What every command is handed.
struct Console {
  platform::Platform& platform;
  platform::Terminal& terminal;
  std::ostream& out;
  std::ostream& err;
  // Registers a folder as a staging volume and returns its drive root; empty when it cannot.
  std::function<std::u16string(const std::string& folder)> addStagingFolder;
};

// Where a command works: a mount point (or drive root) or a staging folder given with --folder.
struct DriveArg {
  std::string drive;   // as the user wrote it
  std::string folder;  // --folder DIR
};

struct RunArgs {
  DriveArg where;
  std::string language;    // a name as the settings list it; empty: from the user's locale
  bool yes = false;        // answers the confirmation
  std::string onError;     // "skip" or "abort": the answer to unreadable files without a terminal
  std::string reportFile;  // --report FILE: what the run left out, one line each
  bool allowRemoval = false;   // an update may remove more than half of the library
  bool dryRun = false;         // run without writing to the card, and say what a run would change
  bool rereadChanged = false;  // an update reads changed files again (--reread-changed)
};

// What is wrong with where a command is told to work (a mount point and --folder both given), or
// an empty string.
std::string UsageProblem(const DriveArg& where);
// The drive root of a staging folder, or an empty string after saying why there is none (no such
// folder, or it cannot be used).
std::u16string StagingRoot(Console& console, const std::string& folder);

// One line per drive: how the user names it, then "library present", "usable", or why it cannot
// be used.
int DrivesCommand(Console& console);
// The mount points of the removable drives that can carry a library, one a line, for completion.
int DriveMountPointsCommand(Console& console);
int ScanCommand(Console& console, const DriveArg& where);
// A dry run (args.dryRun) asks no confirmation, takes every step of the run over a file system that
// keeps its writes in memory, and prints what the run would add to and remove from the library.
int CreateCommand(Console& console, const RunArgs& args);
// Brings the library up to date: reads only the files it does not hold, drops vanished ones, and
// writes nothing when nothing changed.
int UpdateCommand(Console& console, const RunArgs& args);
// The command-line start: one mount point gives the confirmation, then an update of a drive that
// holds a library or a create of one that does not.
int StartCommand(Console& console, const std::vector<std::string>& items, const RunArgs& args);

}  // namespace deltrix::cli
