#include "platform/win32/win32_file_system.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/win32/win32_text.h"

namespace deltrix::platform::win32 {

namespace {

constexpr DWORD kFatBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE;
constexpr DWORD kSettableBits = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
constexpr size_t kWriteBuffer = 64 * 1024;

class Win32File : public File {
 public:
  Win32File(FILE* f, const char* mode)
      : f_(f),
        canRead_(mode[0] == 'r' || mode[1] == '+'),
        canWrite_(mode[0] != 'r' || mode[1] == '+'),
        append_(mode[0] == 'a') {}
  ~Win32File() override { Close(); }

  // A read on a write-only stream, or the reverse, fails here: the C runtime would also mark the
  // stream as failed, and Close would then report data lost that never was.
  size_t Read(void* dst, size_t size) override {
    if (!f_ || !canRead_ || !Switch(Last::Read)) return 0;
    return std::fread(dst, 1, size, f_);
  }
  size_t Write(const void* src, size_t size) override {
    if (!f_ || !canWrite_ || !Switch(Last::Write)) return 0;
    // Every write appends; going to the end first also makes Tell report where it landed.
    if (append_ && _fseeki64(f_, 0, SEEK_END) != 0) return 0;
    return std::fwrite(src, 1, size, f_);
  }
  bool Seek(int64_t offset, SeekFrom from) override {
    if (!f_) return false;
    const int whence = from == SeekFrom::Start     ? SEEK_SET
                       : from == SeekFrom::Current ? SEEK_CUR
                                                   : SEEK_END;
    if (_fseeki64(f_, offset, whence) != 0) return false;
    last_ = Last::Seek;
    return true;
  }
  int64_t Tell() override { return f_ ? _ftelli64(f_) : -1; }
  bool Close() override {
    if (!f_) return false;
    const bool ok = std::ferror(f_) == 0;
    const bool closed = std::fclose(f_) == 0;
    f_ = nullptr;
    return ok && closed;
  }

 private:
  enum class Last { Seek, Read, Write };
  // The C runtime needs a flush or a seek between a write and a read, and a seek between a read
  // and a write.
  bool Switch(Last next) {
    if (last_ != Last::Seek && last_ != next && _fseeki64(f_, 0, SEEK_CUR) != 0) return false;
    last_ = next;
    return true;
  }

  FILE* f_;
  const bool canRead_;
  const bool canWrite_;
  const bool append_;
  Last last_ = Last::Seek;
};

// A FILETIME (100 ns units since 1601) in seconds since 1970.
int64_t UnixSeconds(const FILETIME& time) {
  const uint64_t ticks = (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000) - 11644473600LL;
}

class Win32Listing : public DirListing {
 public:
  // `handle` may be INVALID_HANDLE_VALUE for a folder that holds nothing to report.
  Win32Listing(HANDLE handle, const WIN32_FIND_DATAW& first) : handle_(handle), data_(first) {}
  ~Win32Listing() override {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }

  bool Next(DirEntry* entry) override {
    if (handle_ == INVALID_HANDLE_VALUE) return false;
    if (!pending_ && !FindNextFileW(handle_, &data_)) {
      FindClose(handle_);
      handle_ = INVALID_HANDLE_VALUE;
      return false;
    }
    pending_ = false;
    entry->name = FromWide(data_.cFileName, wcslen(data_.cFileName));
    entry->attributes = data_.dwFileAttributes & kFatBits;
    entry->modified = UnixSeconds(data_.ftLastWriteTime);  // the listing holds it anyway
    return true;
  }

 private:
  HANDLE handle_;
  WIN32_FIND_DATAW data_;
  bool pending_ = true;  // `data_` holds FindFirstFileW's entry, not yet reported
};

}  // namespace

std::unique_ptr<File> Win32FileSystem::Open(std::u16string_view path, const char* mode) {
  static constexpr const char* kModes[] = {"r", "rb", "r+b", "w+b", "wb", "a+b"};
  bool known = false;
  for (const char* m : kModes) known = known || std::strcmp(m, mode) == 0;
  std::u16string native;
  if (!known || !drives_.Resolve(path, &native)) return nullptr;
  std::wstring wideMode(mode, mode + std::strlen(mode));
  FILE* f = _wfopen(Wide(native), wideMode.c_str());
  if (!f) return nullptr;
  if (mode[0] != 'r' || mode[1] == '+') std::setvbuf(f, nullptr, _IOFBF, kWriteBuffer);
  return std::make_unique<Win32File>(f, mode);
}

std::unique_ptr<DirListing> Win32FileSystem::List(std::u16string_view folder) {
  if (folder.ends_with(u"*.*")) folder.remove_suffix(3);
  std::u16string native;
  if (!drives_.Resolve(folder, &native)) return nullptr;
  if (!IsSeparator(native.back())) native.push_back(u'\\');
  native.push_back(u'*');
  WIN32_FIND_DATAW data{};
  const HANDLE handle = FindFirstFileW(Wide(native), &data);
  if (handle == INVALID_HANDLE_VALUE) {
    // An empty drive root lists nothing at all, not even "." and "..".
    if (GetLastError() == ERROR_FILE_NOT_FOUND) {
      return std::make_unique<Win32Listing>(INVALID_HANDLE_VALUE, data);
    }
    return nullptr;
  }
  return std::make_unique<Win32Listing>(handle, data);
}

uint32_t Win32FileSystem::Attributes(std::u16string_view path) {
  std::u16string native;
  if (!drives_.Resolve(path, &native)) return kNoAttributes;
  const DWORD attributes = GetFileAttributesW(Wide(native));
  return attributes == INVALID_FILE_ATTRIBUTES ? kNoAttributes : attributes & kFatBits;
}

int64_t Win32FileSystem::ModifiedTime(std::u16string_view path) {
  std::u16string native;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!drives_.Resolve(path, &native) ||
      !GetFileAttributesExW(Wide(native), GetFileExInfoStandard, &data)) {
    return kNoTime;
  }
  return UnixSeconds(data.ftLastWriteTime);
}

bool Win32FileSystem::SetAttributes(std::u16string_view path, uint32_t attributes) {
  std::u16string native;
  if (!drives_.Resolve(path, &native)) return false;
  DWORD bits = attributes & kSettableBits;
  if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
  return SetFileAttributesW(Wide(native), bits) != 0;
}

bool Win32FileSystem::MakeFolder(std::u16string_view path) {
  std::u16string native;
  return drives_.Resolve(path, &native) && CreateDirectoryW(Wide(native), nullptr) != 0;
}

bool Win32FileSystem::RemoveFile(std::u16string_view path) {
  std::u16string native;
  return drives_.Resolve(path, &native) && DeleteFileW(Wide(native)) != 0;
}

bool Win32FileSystem::Move(std::u16string_view from, std::u16string_view to) {
  std::u16string a, b;
  return drives_.Resolve(from, &a) && drives_.Resolve(to, &b) && MoveFileW(Wide(a), Wide(b)) != 0;
}

bool Win32FileSystem::Replace(std::u16string_view from, std::u16string_view to) {
  std::u16string a, b;
  return drives_.Resolve(from, &a) && drives_.Resolve(to, &b) &&
         MoveFileExW(Wide(a), Wide(b), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32FileSystem::Copy(std::u16string_view from, std::u16string_view to) {
  std::u16string a, b;
  if (!drives_.Resolve(from, &a) || !drives_.Resolve(to, &b)) return false;
  const DWORD attributes = GetFileAttributesW(Wide(a));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  if (!CopyFileW(Wide(a), Wide(b), FALSE)) {
    // CopyFileW refuses a hidden or read-only target; such a target is replaced like any other.
    const DWORD old = GetFileAttributesW(Wide(b));
    if (old == INVALID_FILE_ATTRIBUTES || (old & FILE_ATTRIBUTE_DIRECTORY) ||
        !(old & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY)) ||
        !SetFileAttributesW(Wide(b), FILE_ATTRIBUTE_NORMAL)) {
      return false;
    }
    if (!CopyFileW(Wide(a), Wide(b), FALSE)) {
      SetFileAttributesW(Wide(b), old);
      return false;
    }
  }
  // Windows copies the attributes with the data; Wine does not, so they are set once more.
  SetFileAttributesW(Wide(b), attributes & kSettableBits);
  return true;
}

std::unique_ptr<File> Win32FileSystem::OpenScratch() {
  wchar_t folder[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH) return nullptr;
  wchar_t name[MAX_PATH];
  if (GetTempFileNameW(folder, L"dtx", 0, name) == 0) return nullptr;  // makes the name's file
  const HANDLE handle = CreateFileW(
      name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    DeleteFileW(name);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDWR | _O_BINARY);
  if (fd < 0) {
    CloseHandle(handle);
    return nullptr;
  }
  FILE* f = _fdopen(fd, "w+b");
  if (!f) {
    _close(fd);  // closes the handle, which deletes the file
    return nullptr;
  }
  std::setvbuf(f, nullptr, _IOFBF, kWriteBuffer);
  return std::make_unique<Win32File>(f, "w+b");
}

}  // namespace deltrix::platform::win32
