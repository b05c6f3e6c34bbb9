// The parts of TempDrive every system shares; temp_drive_<system>.cc makes and removes the folder.
#include "support/temp_drive.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace deltrix::testing {

namespace {

namespace fs = std::filesystem;

// A UTF-8 path as the file system library reads it on every system.
fs::path PathOf(const std::string& utf8) {
  return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

std::string TempDrive::Native(std::u16string_view drivePath) {
  return native_.drives.ToUserPath(drivePath);
}

bool TempDrive::WriteFile(std::u16string_view drivePath, std::string_view bytes) {
  const std::string native = Native(drivePath);
  if (native.empty()) return false;
  const fs::path path = PathOf(native);
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

bool TempDrive::SetModifiedTime(std::u16string_view drivePath, int64_t seconds) {
  const std::string native = Native(drivePath);
  if (native.empty()) return false;
  std::error_code ec;
  fs::last_write_time(
      PathOf(native),
      std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(seconds))),
      ec);
  return !ec;
}

std::string TempDrive::ReadFile(std::u16string_view drivePath) {
  std::ifstream in(PathOf(Native(drivePath)), std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool TempDrive::Exists(std::u16string_view drivePath) {
  std::error_code ec;
  const std::string path = Native(drivePath);
  return !path.empty() && fs::exists(PathOf(path), ec);
}

std::vector<std::string> TempDrive::Names(std::u16string_view drivePath) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto it = fs::directory_iterator(PathOf(Native(drivePath)), ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    const std::u8string name = it->path().filename().u8string();
    names.emplace_back(name.begin(), name.end());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace deltrix::testing
