// deltrix-creator-gui: the desktop window of the library creator on Linux. main() builds the real
// platform and the run's builders; everything else is CCreatorApp's (creator_app.h). --help and
// --version are answered before any window opens, so the manual page is made from them without a
// display.
#include <cstdio>
#include <cstring>
#include <memory>

#include "gui/qt/creator_app.h"
#include "platform/posix/mount_watch.h"
#include "platform/posix/posix_platform.h"
#include "run/library_builders.h"
#include "run/run_controller.h"

namespace {

constexpr const char* kHelp = R"(Usage: deltrix-creator-gui [OPTION]... [MOUNT-POINT]
Builds the music library of a hardware music player on a FAT USB stick or memory card, in a small
window: pick the card, the ID Tag Language and Create or Update, and press Start. A card's folder
dropped on the window, or named on the command line, starts a run at once (an update when the card
holds a library, else a create) after one confirmation. Only one copy runs at a time; a second one
ends at once.

Options:
  MOUNT-POINT    the mount point of a card: run on it without showing the window, then end
  --help         print this help and end
  --version      print the version and end
  Qt's own options (-platform, -display, ...) are accepted as well.

*Exit status*
  0   the window was closed, the run succeeded, or the run named on the command line did not
      start (its confirmation was cancelled, or the path cannot be used: a box says why)
  3   the library data could not be made
  4   a file could not be written on the card (full, read-only)
  7   the drive was removed during the run
  8   the run was stopped or aborted
  9   another run is writing to the same card
)";

}  // namespace

int main(int argc, char** argv) {
  using namespace deltrix;
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("deltrix-creator-gui " DELTRIX_VERSION);
    return 0;
  }
  platform::posix::PosixPlatform posix;
  const gui::CRunDlg::ControllerFactory makeController = [&posix](run::RunHost& host) {
    run::RunOptions options;
    options.libraryCheck = run::LibraryCheckFor(posix.platform.files);
    return std::make_unique<run::RunController>(posix.platform, host, run::LibraryBuilders(),
                                                options);
  };
  const platform::posix::MountWatch mounts;
  return gui::RunCreatorApp(argc, argv, posix.platform, makeController, mounts.fd());
}
