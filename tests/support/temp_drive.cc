#include "support/temp_drive.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

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
      posix_(std::make_unique<NoMountsProbe>()),
      root_(posix_.drives.AddStagingFolder(folder_)) {}

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

std::string TempDrive::Native(std::u16string_view drivePath) {
  return posix_.drives.ToUserPath(drivePath);
}

bool TempDrive::WriteFile(std::u16string_view drivePath, std::string_view bytes) {
  const fs::path path = Native(drivePath);
  if (path.empty()) return false;
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return !out.fail();
}

bool TempDrive::WriteFile(std::u16string_view drivePath, const std::vector<uint8_t>& bytes) {
  return WriteFile(drivePath,
                   std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::string TempDrive::ReadFile(std::u16string_view drivePath) {
  std::ifstream in(Native(drivePath), std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDrive::Exists(std::u16string_view drivePath) {
  std::error_code ec;
  const std::string path = Native(drivePath);
  return !path.empty() && fs::exists(path, ec);
}

std::vector<std::string> TempDrive::Names(std::u16string_view drivePath) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(Native(drivePath), ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace deltrix::testing
