#include "platform/win32/win32_locks.h"

#include <windows.h>

#include "base/utf16.h"
#include "platform/win32/win32_drive_table.h"
#include "platform/win32/win32_text.h"

namespace deltrix::platform::win32 {

namespace {

constexpr size_t kLongestName = 200;

class MutexLock : public Lock {
 public:
  explicit MutexLock(HANDLE handle) : handle_(handle) {}
  ~MutexLock() override { CloseHandle(handle_); }

 private:
  HANDLE handle_;
};

std::unique_ptr<Lock> TakeMutex(const std::u16string& name) {
  const HANDLE handle = CreateMutexW(nullptr, FALSE, Wide(name));
  // No handle: held under another user's rights (access denied), or no name could be made.
  if (!handle) return nullptr;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(handle);
    return nullptr;
  }
  return std::make_unique<MutexLock>(handle);
}

}  // namespace

std::u16string Win32Locks::MutexName(std::u16string_view key, std::u16string_view space) {
  std::u16string name(space);
  name += u"\\deltrix-";
  for (char16_t c : key) name.push_back(c == u'\\' ? u'/' : AsciiLower(c));
  if (name.size() <= kLongestName) return name;
  // Object names end at MAX_PATH: a long key (a staging folder deep in a tree) keeps its start and
  // a hash of the whole, so different keys never share a name.
  uint64_t h = 14695981039346656037ull;
  for (char16_t c : name) {
    h ^= c;
    h *= 1099511628211ull;
  }
  name.resize(kLongestName - 17);
  name.push_back(u'-');
  for (int shift = 60; shift >= 0; shift -= 4)
    name.push_back(u"0123456789abcdef"[(h >> shift) & 15]);
  return name;
}

std::unique_ptr<Lock> Win32Locks::TryLock(std::u16string_view key) {
  return TakeMutex(MutexName(key));
}

std::unique_ptr<Lock> Win32Locks::TryLockDrive(std::u16string_view driveRoot) {
  // The volume's serial names the card whichever letter it has now; the root stands in for a
  // volume without one. A staging letter is lent inside one process only, so another process may
  // lend the same letter to another folder: the folder names such a drive.
  const std::u16string root(driveRoot);
  DWORD serial = 0;
  std::u16string key = u"drive-";
  const std::u16string staging = drives_ ? drives_->StagingFolder(root) : std::u16string();
  if (!staging.empty()) {
    key += staging;
  } else if (GetVolumeInformationW(Wide(root), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) &&
             serial != 0) {
    for (int shift = 28; shift >= 0; shift -= 4)
      key.push_back(u"0123456789abcdef"[(serial >> shift) & 15]);
  } else {
    key += root;
  }
  return TakeMutex(MutexName(key, u"Global"));
}

}  // namespace deltrix::platform::win32
