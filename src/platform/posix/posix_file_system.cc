#include "platform/posix/posix_file_system.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/utf16.h"
#include "platform/posix/dos_attributes.h"

namespace deltrix::platform::posix {

namespace {

constexpr size_t kWriteBuffer = 64 * 1024;
constexpr size_t kCopyBuffer = 256 * 1024;

struct OpenMode {
  bool read = false, write = false, create = false, truncate = false, append = false;
};

// A C-runtime mode: "r", "w" or "a", then any of "+", "b" and "t". False for anything else.
bool ParseMode(const char* mode, OpenMode* out) {
  if (!mode) return false;
  OpenMode m;
  switch (mode[0]) {
    case 'r':
      m.read = true;
      break;
    case 'w':
      m.write = m.create = m.truncate = true;
      break;
    case 'a':
      m.write = m.create = m.append = true;
      break;
    default:
      return false;
  }
  for (const char* p = mode + 1; *p; ++p) {
    if (*p == '+') {
      m.read = m.write = true;
    } else if (*p != 'b' && *p != 't') {
      return false;
    }
  }
  *out = m;
  return true;
}

// Position arithmetic of Seek: false when the result would be negative or overflow.
bool SeekTarget(int64_t base, int64_t offset, int64_t* target) {
  if (offset > 0 && base > INT64_MAX - offset) return false;
  const int64_t t = base + offset;
  if (t < 0) return false;
  *target = t;
  return true;
}

// pread until `size` bytes or the end; stops early after a short read when `atEnd` says so.
size_t ReadAt(int fd, void* dst, size_t size, int64_t* pos, int64_t knownSize) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(fd, static_cast<uint8_t*>(dst) + done, size - done, *pos);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
    *pos += n;
    if (knownSize >= 0 && *pos >= knownSize) break;  // at the end: spare the call that returns 0
  }
  return done;
}

// A file opened "r" or "rb": the position is ours, so Seek costs no system call.
class ReadOnlyFile : public File {
 public:
  ReadOnlyFile(int fd, int64_t size, int64_t modified)
      : fd_(fd), size_(size), modified_(modified) {}
  ~ReadOnlyFile() override {
    if (fd_ >= 0) close(fd_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  size_t Read(void* dst, size_t size) override {
    if (fd_ < 0) return 0;
    return ReadAt(fd_, dst, size, &pos_, size_);
  }
  size_t Write(const void*, size_t) override { return 0; }
  bool Seek(int64_t offset, SeekFrom from) override {
    if (fd_ < 0) return false;
    const int64_t base = from == SeekFrom::Start ? 0 : from == SeekFrom::Current ? pos_ : size_;
    return SeekTarget(base, offset, &pos_);
  }
  int64_t Tell() override { return fd_ < 0 ? -1 : pos_; }
  bool Close() override {
    if (fd_ < 0) return false;
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }
  int64_t ModifiedTime() override { return modified_; }

 private:
  int fd_;
  int64_t pos_ = 0;
  const int64_t size_;      // at open; a reader of tags needs no later growth
  const int64_t modified_;  // from the same fstat
};

// A file opened for writing ("r+b", "w+b", "wb", "a+b").
class ReadWriteFile : public File {
 public:
  ReadWriteFile(int fd, const OpenMode& mode, int64_t size)
      : fd_(fd), canRead_(mode.read), append_(mode.append), size_(size) {}
  ~ReadWriteFile() override {
    if (fd_ >= 0) Close();
  }
  ReadWriteFile(const ReadWriteFile&) = delete;
  ReadWriteFile& operator=(const ReadWriteFile&) = delete;

  size_t Read(void* dst, size_t size) override {
    if (fd_ < 0 || !canRead_) return 0;
    Flush();
    return ReadAt(fd_, dst, size, &pos_, -1);
  }

  size_t Write(const void* src, size_t size) override {
    if (fd_ < 0) return 0;
    const auto* bytes = static_cast<const uint8_t*>(src);
    if (append_) {
      // Every write lands at the end, so buffered appends are always consecutive.
      if (buffer_.size() + size > kWriteBuffer) Flush();
      size_t done = size;
      if (size >= kWriteBuffer) {
        done = WriteAll(bytes, size, -1);
      } else {
        buffer_.insert(buffer_.end(), bytes, bytes + size);
      }
      size_ += static_cast<int64_t>(done);
      pos_ = size_;
      return done;
    }
    if (!buffer_.empty() && (pos_ != bufferStart_ + static_cast<int64_t>(buffer_.size()) ||
                             buffer_.size() + size > kWriteBuffer)) {
      Flush();
    }
    if (size >= kWriteBuffer) {
      const size_t done = WriteAll(bytes, size, pos_);
      pos_ += static_cast<int64_t>(done);
      return done;
    }
    if (buffer_.empty()) bufferStart_ = pos_;
    buffer_.insert(buffer_.end(), bytes, bytes + size);
    pos_ += static_cast<int64_t>(size);
    return size;
  }

  bool Seek(int64_t offset, SeekFrom from) override {
    if (fd_ < 0) return false;
    int64_t base = pos_;
    if (from == SeekFrom::Start) base = 0;
    if (from == SeekFrom::End) {
      Flush();
      struct stat st {};
      if (fstat(fd_, &st) != 0) return false;
      base = size_ = st.st_size;
    }
    return SeekTarget(base, offset, &pos_);
  }

  int64_t Tell() override { return fd_ < 0 ? -1 : pos_; }

  bool Close() override {
    if (fd_ < 0) return false;
    bool ok = Flush() && !failed_;
    if (close(fd_) != 0) ok = false;
    fd_ = -1;
    return ok;
  }

 private:
  // Writes the buffer out; false (and remembered for Close) when not all of it reached the file.
  bool Flush() {
    if (buffer_.empty()) return true;
    const bool ok =
        WriteAll(buffer_.data(), buffer_.size(), append_ ? -1 : bufferStart_) == buffer_.size();
    buffer_.clear();
    return ok;
  }

  // write (at the end, in append mode) or pwrite at `at`; the count that reached the file.
  size_t WriteAll(const uint8_t* bytes, size_t size, int64_t at) {
    size_t done = 0;
    while (done < size) {
      const ssize_t n =
          at < 0 ? write(fd_, bytes + done, size - done)
                 : pwrite(fd_, bytes + done, size - done, at + static_cast<int64_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done < size) failed_ = true;
    return done;
  }

  int fd_;
  const bool canRead_;
  const bool append_;
  int64_t pos_ = 0;
  int64_t size_;  // the file's size, kept up to date in append mode
  std::vector<uint8_t> buffer_;
  int64_t bufferStart_ = 0;
  bool failed_ = false;
};

class PosixListing : public DirListing {
 public:
  PosixListing(DIR* dir, std::string folder, bool fat)
      : dir_(dir), folder_(std::move(folder)), fat_(fat) {
    if (folder_.back() != '/') folder_.push_back('/');
  }
  ~PosixListing() override { closedir(dir_); }
  PosixListing(const PosixListing&) = delete;
  PosixListing& operator=(const PosixListing&) = delete;

  bool Next(DirEntry* entry) override {
    const dirent* e;
    bool folder = false;
    while (true) {
      e = readdir(dir_);
      if (!e) return false;
      folder = e->d_type == DT_DIR;
      bool link = e->d_type == DT_LNK;
      struct stat st {};
      if (e->d_type == DT_UNKNOWN &&
          fstatat(dirfd(dir_), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        folder = S_ISDIR(st.st_mode);
        link = S_ISLNK(st.st_mode);
      }
      if (!link) break;
      // A link to a folder is left out; a link to a file is the file.
      if (fstatat(dirfd(dir_), e->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode)) break;
    }
    const std::string_view name = e->d_name;
    entry->name = FromUtf8(name);
    // A drive path is UTF-16 with backslashes between names: a name that does not come back as
    // itself from UTF-16, or that holds a backslash, cannot be reached by one.
    entry->unmappable = name.find('\\') != std::string_view::npos || ToUtf8(entry->name) != name;
    if (name == "." || name == "..") {
      entry->attributes = kAttrDirectory;
      return true;
    }
    entry->attributes =
        ReadStoredAttributesAt(dirfd(dir_), e->d_name, folder_, fat_, &atUnsupported_);
    if (!fat_) entry->attributes &= ~kAttrReadOnly;
    if (folder) entry->attributes |= kAttrDirectory;
    return true;
  }

 private:
  DIR* dir_;
  std::string folder_;
  bool fat_;
  bool atUnsupported_ = false;  // the kernel has no getxattrat: attributes are asked by path
};

std::u16string_view StripPattern(std::u16string_view folder) {
  if (folder.ends_with(u"*.*")) {
    folder.remove_suffix(3);
  } else if (folder.ends_with(u"*")) {
    folder.remove_suffix(1);
  }
  return folder;
}

// Copies the bytes of `in` to `out`: in the kernel where it can, else through a buffer.
bool CopyBytes(int in, int out) {
  bool kernel = true;
  int64_t copied = 0;
  while (kernel) {
    const ssize_t n = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
    if (n == 0) return true;
    if (n > 0) {
      copied += n;
      continue;
    }
    if (errno == EINTR) continue;
    if (copied != 0 || (errno != EXDEV && errno != EINVAL && errno != ENOSYS &&
                        errno != EOPNOTSUPP && errno != ENOTSUP)) {
      return false;
    }
    kernel = false;
  }
  std::vector<uint8_t> buffer(kCopyBuffer);
  for (;;) {
    const ssize_t n = read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    size_t done = 0;
    while (done < static_cast<size_t>(n)) {
      const ssize_t w = write(out, buffer.data() + done, static_cast<size_t>(n) - done);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) return false;
      done += static_cast<size_t>(w);
    }
  }
}

void SyncFolder(const std::string& folder) {
  const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // best effort: the rename is done either way
  close(fd);
}

}  // namespace

std::unique_ptr<File> PosixFileSystem::Open(std::u16string_view path, const char* mode) {
  OpenMode m;
  std::string native;
  bool fat = false;
  if (!ParseMode(mode, &m) || !drives_.Resolve(path, &native, &fat)) return nullptr;
  if (!m.write) {
    // Non-blocking, so that a pipe named like a song cannot stall the worker; only regular
    // files are streams.
    const int fd = open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      return nullptr;
    }
    return std::make_unique<ReadOnlyFile>(fd, st.st_size, static_cast<int64_t>(st.st_mtim.tv_sec));
  }
  int flags = (m.read ? O_RDWR : O_WRONLY) | O_CLOEXEC | O_NOCTTY;
  if (m.create) flags |= O_CREAT;
  if (m.truncate) flags |= O_TRUNC;
  if (m.append) flags |= O_APPEND;
  const int fd = open(native.c_str(), flags, 0666);
  if (fd < 0) return nullptr;
  int64_t size = 0;
  if (m.append) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
      close(fd);
      return nullptr;
    }
    size = st.st_size;
  }
  return std::make_unique<ReadWriteFile>(fd, m, size);
}

std::unique_ptr<DirListing> PosixFileSystem::List(std::u16string_view folder) {
  std::string native;
  bool fat = false;
  if (!drives_.Resolve(StripPattern(folder), &native, &fat)) return nullptr;
  DIR* dir = opendir(native.c_str());
  if (!dir) return nullptr;
  return std::make_unique<PosixListing>(dir, std::move(native), fat);
}

uint32_t PosixFileSystem::Attributes(std::u16string_view path) {
  std::string native;
  bool fat = false;
  struct stat st {};
  if (!drives_.Resolve(path, &native, &fat) || stat(native.c_str(), &st) != 0) return kNoAttributes;
  uint32_t attributes = ReadStoredAttributes(native, fat);
  if (S_ISDIR(st.st_mode)) attributes |= kAttrDirectory;
  if (!fat) {
    attributes &= ~kAttrReadOnly;
    if ((st.st_mode & 0222) == 0) attributes |= kAttrReadOnly;
  }
  return attributes;
}

int64_t PosixFileSystem::ModifiedTime(std::u16string_view path) {
  std::string native;
  bool fat = false;
  struct stat st {};
  if (!drives_.Resolve(path, &native, &fat) || fstatat(AT_FDCWD, native.c_str(), &st, 0) != 0)
    return kNoTime;
  return static_cast<int64_t>(st.st_mtim.tv_sec);
}

bool PosixFileSystem::SetAttributes(std::u16string_view path, uint32_t attributes) {
  std::string native;
  bool fat = false;
  struct stat st {};
  if (!drives_.Resolve(path, &native, &fat) || stat(native.c_str(), &st) != 0) return false;
  const bool folder = S_ISDIR(st.st_mode);
  if (fat) return WriteStoredAttributes(native, true, folder, attributes);
  // The read-only bit is the write permission. A read-only file refuses new extended attributes
  // to its owner, so write access comes back before them and goes after them.
  const bool wantReadOnly = attributes & kAttrReadOnly;
  const bool readOnly = (st.st_mode & 0222) == 0;
  if (readOnly && !wantReadOnly && chmod(native.c_str(), (st.st_mode & 07777) | 0200) != 0) {
    return false;
  }
  if (!WriteStoredAttributes(native, false, folder, attributes)) return false;
  if (!readOnly && wantReadOnly && chmod(native.c_str(), st.st_mode & 07555) != 0) return false;
  return true;
}

bool PosixFileSystem::MakeFolder(std::u16string_view path) {
  std::string native;
  bool fat = false;
  return drives_.Resolve(path, &native, &fat) && mkdir(native.c_str(), 0777) == 0;
}

bool PosixFileSystem::RemoveFile(std::u16string_view path) {
  std::string native;
  bool fat = false;
  return drives_.Resolve(path, &native, &fat) && unlink(native.c_str()) == 0;
}

bool PosixFileSystem::Move(std::u16string_view from, std::u16string_view to) {
  std::string a, b;
  bool fat = false;
  if (!drives_.Resolve(from, &a, &fat) || !drives_.Resolve(to, &b, &fat)) return false;
  if (renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP && errno != EOPNOTSUPP) return false;
  if (link(a.c_str(), b.c_str()) == 0) {
    if (unlink(a.c_str()) == 0) return true;
    unlink(b.c_str());
    return false;
  }
  if (errno == EEXIST) return false;
  // No links here (vfat) or a folder: check, then rename. Only our own run writes the drive.
  struct stat st {};
  if (lstat(b.c_str(), &st) == 0 || errno != ENOENT) return false;
  return rename(a.c_str(), b.c_str()) == 0;
}

bool PosixFileSystem::Replace(std::u16string_view from, std::u16string_view to) {
  std::string a, b;
  bool fat = false;
  if (!drives_.Resolve(from, &a, &fat) || !drives_.Resolve(to, &b, &fat)) return false;
  struct stat st {};
  if (lstat(a.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  return rename(a.c_str(), b.c_str()) == 0;  // rename(2) replaces `to` atomically, vfat included
}

bool PosixFileSystem::Copy(std::u16string_view from, std::u16string_view to) {
  std::string a, b;
  bool fromFat = false, toFat = false;
  if (!drives_.Resolve(from, &a, &fromFat) || !drives_.Resolve(to, &b, &toFat)) return false;
  const int in = open(a.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (in < 0) return false;
  struct stat st {};
  if (fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(in);
    return false;
  }
  const size_t slash = b.rfind('/');
  const std::string folder = b.substr(0, slash);
  std::string temp = folder + "/." + b.substr(slash + 1) + ".XXXXXX";
  const int out = mkostemp(temp.data(), O_CLOEXEC);
  if (out < 0) {
    close(in);
    return false;
  }
  bool ok = CopyBytes(in, out);
  close(in);
  // Attributes before the permissions: a read-only file takes no new extended attributes.
  const uint32_t stored = ReadStoredAttributes(a, fromFat);
  if (ok && (stored != 0 || toFat)) ok = WriteStoredAttributes(temp, toFat, false, stored);
  if (ok && !toFat) ok = fchmod(out, st.st_mode & 07777) == 0;
  const timespec times[2] = {st.st_atim, st.st_mtim};
  if (ok) ok = futimens(out, times) == 0;
  if (ok) ok = fsync(out) == 0;
  if (close(out) != 0) ok = false;
  if (ok) ok = rename(temp.c_str(), b.c_str()) == 0;
  if (!ok) {
    unlink(temp.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

std::unique_ptr<File> PosixFileSystem::OpenScratch() {
  const char* env = std::getenv("TMPDIR");
  std::string folder = env != nullptr && env[0] == '/' ? env : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  int fd = -1;
#ifdef O_TMPFILE
  fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
#endif
  if (fd < 0) {
    std::string name = folder + "/.deltrix-scratch.XXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    unlink(name.c_str());  // nameless from here: nothing is left if the process dies
  }
  OpenMode mode;
  mode.read = mode.write = true;
  return std::make_unique<ReadWriteFile>(fd, mode, 0);
}

}  // namespace deltrix::platform::posix
