// TempDrive's Windows part: a fresh folder in the temporary folder, lent a free drive letter by
// the platform as --folder is.
#include <filesystem>
#include <random>

#include "support/temp_drive.h"

namespace deltrix::testing {

namespace {

namespace fs = std::filesystem;

std::string MakeTempFolder() {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) return {};
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path folder = base / ("deltrix-drive-" + std::to_string(random() % 1000000000u));
    if (fs::create_directory(folder, ec)) {
      const std::u8string utf8 = folder.u8string();
      return std::string(utf8.begin(), utf8.end());
    }
  }
  return {};
}

}  // namespace

TempDrive::TempDrive()
    : folder_(MakeTempFolder()), root_(native_.drives.AddStagingFolder(folder_)) {}

TempDrive::~TempDrive() {
  if (folder_.empty()) return;
  const fs::path folder(std::u8string(folder_.begin(), folder_.end()));
  std::error_code ec;
  // Read-only files cannot be deleted on Windows; make everything writable first.
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
  }
  fs::remove_all(folder, ec);
}

}  // namespace deltrix::testing
