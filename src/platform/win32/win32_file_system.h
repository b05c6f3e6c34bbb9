// Files and folders on Windows, by drive path, through the Win32 calls of the same names: streams
// are the C runtime's own (_wfopen with the mode as given, so "r" is text mode as on any Windows
// program), listings are FindFirstFileW/FindNextFileW in the order the file system gives, moves
// are MoveFileW (never replacing), replacement MoveFileExW with MOVEFILE_REPLACE_EXISTING, and
// copies CopyFileW replacing the target. Attributes are reported as the FAT bits (read-only,
// hidden, system, directory, archive) and nothing else.
//
// A stream that switches between reading and writing is repositioned in between, as the C
// runtime requires; writing streams get a 64 KiB buffer.
//
// Thread safety: any method may be called from any thread; the class holds no state of its own.
#pragma once

#include <memory>
#include <string_view>

#include "platform/platform.h"
#include "platform/win32/win32_drive_table.h"

namespace deltrix::platform::win32 {

class Win32FileSystem : public FileSystem {
 public:
  // `drives` must outlive this object; it resolves staging letters.
  explicit Win32FileSystem(Win32DriveTable& drives) : drives_(drives) {}

  std::unique_ptr<File> Open(std::u16string_view path, const char* mode) override;
  std::unique_ptr<DirListing> List(std::u16string_view folder) override;
  uint32_t Attributes(std::u16string_view path) override;
  int64_t ModifiedTime(std::u16string_view path) override;  // the last write time
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override;
  bool MakeFolder(std::u16string_view path) override;
  bool RemoveFile(std::u16string_view path) override;
  bool Move(std::u16string_view from, std::u16string_view to) override;
  bool Replace(std::u16string_view from, std::u16string_view to) override;
  bool Copy(std::u16string_view from, std::u16string_view to) override;
  // A file in GetTempPathW's folder opened with FILE_FLAG_DELETE_ON_CLOSE (and
  // FILE_ATTRIBUTE_TEMPORARY, which keeps it in the cache where it can): the system deletes it when
  // its handle closes, also when the process is killed.
  std::unique_ptr<File> OpenScratch() override;

 private:
  Win32DriveTable& drives_;
};

}  // namespace deltrix::platform::win32
