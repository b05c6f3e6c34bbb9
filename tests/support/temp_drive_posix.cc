// TempDrive's Linux part: a mkdtemp folder as the staging drive of a platform without mounts.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "support/temp_drive.h"

namespace deltrix::testing {

namespace {

namespace fs = std::filesystem;

// The running system, but without its mounts.
class NoMountsProbe : public platform::posix::LinuxSystemProbe {
 public:
  std::string MountInfo() override { return {}; }
};

std::string MakeTempFolder() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/deltrix-drive-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

}  // namespace

TempDrive::TempDrive()
    : folder_(MakeTempFolder()),
      native_(std::make_unique<NoMountsProbe>()),
      root_(native_.drives.AddStagingFolder(folder_)) {}

TempDrive::~TempDrive() {
  if (folder_.empty()) return;
  std::error_code ec;
  // Folders made read-only by a test would keep their contents; give write access back first.
  for (auto it = fs::recursive_directory_iterator(folder_, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (it->is_directory(ec) && !it->is_symlink(ec)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
  }
  fs::remove_all(folder_, ec);
}

}  // namespace deltrix::testing
