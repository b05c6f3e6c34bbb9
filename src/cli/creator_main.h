// The console program, whatever the system: each system's entry point (main_posix.cc,
// main_win32.cc) hands it the command line in UTF-8 and returns its exit status.
#pragma once

namespace deltrix::cli {

int CreatorMain(int argc, char** argv);

}  // namespace deltrix::cli
