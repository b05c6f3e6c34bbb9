#include "platform/posix/posix_locks.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "base/utf16.h"

namespace deltrix::platform::posix {

namespace {

class FileLock : public Lock {
 public:
  explicit FileLock(int fd) : fd_(fd) {}
  ~FileLock() override {
    if (fd_ >= 0) close(fd_);  // closing the last descriptor releases the flock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

// A folder we may keep lock files in: a real folder (not a link) owned by us.
bool UsableFolder(const std::string& folder) {
  struct stat st {};
  return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == geteuid();
}

std::string DefaultFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && runtime[0] == '/' && UsableFolder(runtime)) return runtime;
  const std::string folder = "/tmp/deltrix-" + std::to_string(geteuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  return UsableFolder(folder) ? folder : std::string();
}

uint64_t Fnv1a64(std::string_view text) {
  uint64_t h = 14695981039346656037ull;
  for (char c : text) {
    h ^= static_cast<uint8_t>(c);
    h *= 1099511628211ull;
  }
  return h;
}

}  // namespace

PosixLocks::PosixLocks(std::string folder, PosixDriveTable* drives)
    : folder_(folder.empty() ? DefaultFolder() : std::move(folder)), drives_(drives) {}

std::string PosixLocks::LockFilePath(std::u16string_view key) const {
  if (folder_.empty()) return {};
  const std::string utf8 = ToUtf8(key);
  std::string name = "deltrix-";
  for (char c : utf8) {
    if (name.size() >= 56) break;
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '-' || c == '_';
    name.push_back(plain ? c : '_');
  }
  char hash[24];
  std::snprintf(hash, sizeof hash, "-%016llx.lock", static_cast<unsigned long long>(Fnv1a64(utf8)));
  return folder_ + "/" + name + hash;
}

std::unique_ptr<Lock> PosixLocks::TryLockDrive(std::u16string_view driveRoot) {
  std::string folder;
  bool fat = false;
  if (!drives_ || !drives_->Resolve(driveRoot, &folder, &fat)) {
    return std::make_unique<FileLock>(-1);
  }
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::make_unique<FileLock>(-1);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    if (held) return nullptr;
    return std::make_unique<FileLock>(-1);
  }
  return std::make_unique<FileLock>(fd);
}

std::unique_ptr<Lock> PosixLocks::TryLock(std::u16string_view key) {
  const std::string path = LockFilePath(key);
  if (path.empty()) return std::make_unique<FileLock>(-1);
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return std::make_unique<FileLock>(-1);
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    if (held) return nullptr;
    return std::make_unique<FileLock>(-1);  // the file system cannot lock: do not stop the program
  }
  return std::make_unique<FileLock>(fd);
}

}  // namespace deltrix::platform::posix
