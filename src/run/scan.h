// The walk of a drive for the audio files a run reads: depth first in listing order, seven folder
// levels below the root, until the file list is full. It passes over "." and "..", names that
// begin with a dot, hidden entries (except on a portable player's drive, which hides its music) and
// system entries. What it leaves out goes to the run's report: hidden and system folders, folders
// too deep, audio files past the full list (the walk goes on to count them), folders it could not
// list and entries whose names have no drive form. It runs on the scan thread of a run, or alone
// for the console's `scan`.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "run/run_report.h"
#include "run/run_state.h"

namespace deltrix::run {

// True for a file a run reads, by its extension (the tag readers' table).
bool IsAudioPath(std::u16string_view path);

// True when the drive at `driveRoot` (E:\) holds a portable player's database: its hidden entries
// are walked too.
bool IsIpodVolume(platform::FileSystem& files, std::u16string_view driveRoot);

class DriveScan {
 public:
  // Found files are appended to `found`, what is left out noted in `report`. `keepGoing` is asked
  // at every entry (the run's pause wait); false ends the walk.
  DriveScan(platform::FileSystem& files, FileList& found, RunReport& report,
            std::function<bool()> keepGoing);

  // Walks the drive from its root (E:\). False when `keepGoing` ended it; true when it was walked
  // (a full list ends the listing, not the walk).
  bool Walk(std::u16string_view root, bool ipodVolume);

 private:
  bool Folder(const std::u16string& folder, int depth);

  platform::FileSystem& files_;
  FileList& found_;
  RunReport& report_;
  std::function<bool()> keepGoing_;
  bool ipodVolume_ = false;
};

}  // namespace deltrix::run
