#include "platform/win32/win32_drive_table.h"

#include <windows.h>

#include <vector>

#include "base/utf16.h"
#include "platform/win32/win32_text.h"

namespace deltrix::platform::win32 {

int LetterOf(std::u16string_view path) {
  if (path.size() < 2 || path[1] != u':') return -1;
  const char16_t c = AsciiUpper(path[0]);
  return (c >= u'A' && c <= u'Z') ? c - u'A' : -1;
}

bool IsRoot(std::u16string_view path) {
  if (LetterOf(path) < 0) return false;
  for (char16_t c : path.substr(2)) {
    if (!IsSeparator(c)) return false;
  }
  return true;
}

namespace {

constexpr int kLastStagingLetter = 'Y' - 'A';    // Z: is Wine's and many tools' own
constexpr size_t kLongPathFrom = MAX_PATH - 12;  // CreateDirectoryW's limit is the lowest

std::u16string RootOf(int letter) { return {char16_t(u'A' + letter), u':', u'\\'}; }

uint32_t Fnv1a32(std::string_view text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

// GetFullPathNameW of `path`; empty when it fails.
std::u16string FullPath(const std::u16string& path) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD n =
        GetFullPathNameW(Wide(path), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0) return {};
    if (n < buffer.size()) return FromWide(buffer.data(), n);
    buffer.resize(n + 1);
  }
  return {};
}

// Case-insensitive comparison as the file system compares names.
bool SameName(std::u16string_view a, std::u16string_view b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()),
                              static_cast<int>(a.size()),
                              reinterpret_cast<const wchar_t*>(b.data()),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::u16string WithSlashesTurned(std::string_view utf8) {
  std::u16string s = FromUtf8(utf8);
  for (char16_t& c : s) {
    if (c == u'/') c = u'\\';
  }
  return s;
}

// Joins the names of `drivePath` below its root onto `base` (which has no trailing separator);
// false for a NUL inside the path.
bool JoinNames(std::u16string_view drivePath, std::u16string base, std::u16string* out) {
  std::vector<std::u16string_view> names;
  std::u16string_view rest = drivePath.substr(2);
  while (!rest.empty()) {
    size_t end = 0;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::u16string_view name = rest.substr(0, end);
    rest.remove_prefix(std::min(end + 1, rest.size()));
    if (name.find(u'\0') != std::u16string_view::npos) return false;
    if (name.empty() || name == u".") continue;
    if (name == u"..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(name);
  }
  if (names.empty()) {
    base.push_back(u'\\');
  } else {
    for (std::u16string_view name : names) {
      base.push_back(u'\\');
      base.append(name);
    }
  }
  *out = std::move(base);
  return true;
}

}  // namespace

const Win32DriveTable::Staging* Win32DriveTable::StagingOf(std::u16string_view root) const {
  const int letter = LetterOf(root);
  if (letter < 0 || staging_[letter].folder.empty()) return nullptr;
  return &staging_[letter];
}

std::u16string Win32DriveTable::StagingFolder(std::u16string_view root) const {
  if (!IsRoot(root)) return {};
  std::lock_guard lock(mu_);
  const Staging* s = StagingOf(root);
  return s ? s->folder : std::u16string();
}

std::u16string Win32DriveTable::AddStagingFolder(std::string folder) {
  std::u16string full = FullPath(WithSlashesTurned(folder));
  while (full.size() > 3 && IsSeparator(full.back())) full.pop_back();
  if (full.size() == 3 && IsRoot(full)) full.pop_back();  // "C:\" is kept as "C:"
  if (full.empty()) return {};
  const DWORD attributes = GetFileAttributesW(Wide(full + u"\\"));
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};

  std::lock_guard lock(mu_);
  for (int letter = kLastStagingLetter; letter >= 0; --letter) {
    if (SameName(staging_[letter].folder, full)) return RootOf(letter);
  }
  const DWORD present = GetLogicalDrives();
  for (int letter = kLastStagingLetter; letter >= 2; --letter) {  // A: and B: stay floppies
    if ((present >> letter) & 1 || !staging_[letter].folder.empty()) continue;
    staging_[letter].serial = Fnv1a32(ToUtf8(full));
    if (staging_[letter].serial == 0) staging_[letter].serial = 1;  // 0 marks a drive unusable
    staging_[letter].folder = std::move(full);
    return RootOf(letter);
  }
  return {};
}

bool Win32DriveTable::Resolve(std::u16string_view drivePath, std::u16string* native) {
  const int letter = LetterOf(drivePath);
  if (letter < 0) return false;
  std::u16string base;
  {
    std::lock_guard lock(mu_);
    base = staging_[letter].folder;
  }
  if (base.empty()) base = {char16_t(u'A' + letter), u':'};
  if (!JoinNames(drivePath, std::move(base), native)) return false;
  if (native->size() >= kLongPathFrom && LetterOf(*native) >= 0) native->insert(0, u"\\\\?\\");
  return true;
}

uint32_t Win32DriveTable::PresentDrives() {
  uint32_t mask = GetLogicalDrives();
  std::lock_guard lock(mu_);
  for (int letter = 0; letter < 26; ++letter) {
    if (!staging_[letter].folder.empty()) mask |= 1u << letter;
  }
  return mask;
}

bool Win32DriveTable::ReadVolume(std::u16string_view root, VolumeInfo* info) {
  if (!IsRoot(root)) return false;
  std::u16string folder;
  uint32_t serial = 0;
  {
    std::lock_guard lock(mu_);
    if (const Staging* s = StagingOf(root)) {
      folder = s->folder;
      serial = s->serial;
    }
  }
  if (!folder.empty()) {
    const DWORD attributes = GetFileAttributesW(Wide(folder + u"\\"));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      return false;
    }
    if (!info) return true;
    const size_t slash = folder.find_last_of(u"\\/");
    info->name = slash == std::u16string::npos ? folder : folder.substr(slash + 1);
    info->serial = serial;
    info->fileSystem = u"FAT32";
    return true;
  }
  const std::u16string canonical = RootOf(LetterOf(root));
  wchar_t name[MAX_PATH + 1] = {};
  wchar_t fileSystem[MAX_PATH + 1] = {};
  DWORD volumeSerial = 0;
  DWORD maxName = 0;
  DWORD flags = 0;
  // No error box for an empty card reader or floppy drive.
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  const BOOL ok = GetVolumeInformationW(Wide(canonical), name, MAX_PATH + 1, &volumeSerial,
                                        &maxName, &flags, fileSystem, MAX_PATH + 1);
  SetErrorMode(oldMode);
  if (!ok) return false;
  if (!info) return true;
  info->name = FromWide(name, wcslen(name));
  info->serial = volumeSerial;
  info->fileSystem = FromWide(fileSystem, wcslen(fileSystem));
  return true;
}

DriveType Win32DriveTable::TypeOf(std::u16string_view root) {
  if (!IsRoot(root)) return DriveTypeNoRoot;
  {
    std::lock_guard lock(mu_);
    if (StagingOf(root)) return DriveTypeFixed;
  }
  const UINT type = GetDriveTypeW(Wide(RootOf(LetterOf(root))));
  return type <= DRIVE_RAMDISK ? static_cast<DriveType>(type) : DriveTypeUnknown;
}

std::u16string Win32DriveTable::ToDrivePath(std::string_view userPath) {
  const std::u16string typed = WithSlashesTurned(userPath);
  if (IsRoot(typed)) return RootOf(LetterOf(typed));  // "E:" names the root, not E:'s folder
  std::u16string full = FullPath(typed);
  if (full.starts_with(u"\\\\?\\")) full.erase(0, 4);
  if (full.empty()) return {};
  {
    // The longest staging folder that holds the path wins.
    std::lock_guard lock(mu_);
    int best = -1;
    for (int letter = 0; letter < 26; ++letter) {
      const std::u16string& folder = staging_[letter].folder;
      if (folder.empty() || full.size() < folder.size()) continue;
      if (!SameName(std::u16string_view(full).substr(0, folder.size()), folder)) continue;
      if (full.size() > folder.size() && !IsSeparator(full[folder.size()])) continue;
      if (best < 0 || folder.size() > staging_[best].folder.size()) best = letter;
    }
    if (best >= 0) {
      std::u16string tail = full.substr(staging_[best].folder.size());
      while (!tail.empty() && IsSeparator(tail.front())) tail.erase(0, 1);
      return RootOf(best) + tail;
    }
  }
  const int letter = LetterOf(full);
  if (letter < 0) return {};
  full[0] = AsciiUpper(full[0]);
  return full;
}

std::string Win32DriveTable::ToUserPath(std::u16string_view drivePath) {
  std::u16string native;
  if (!Resolve(drivePath, &native)) return {};
  if (native.starts_with(u"\\\\?\\")) native.erase(0, 4);
  return ToUtf8(native);
}

}  // namespace deltrix::platform::win32
