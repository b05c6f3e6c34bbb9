// Files and folders on Linux, by drive path: each path goes through the drive table to a native
// path (E:\Music\a.mp3 -> /media/me/STICK/Music/a.mp3) and then to plain system calls.
//
// Streams follow the C runtime's semantics for their modes, with the position kept by us:
//  - "r" and "rb" read through a raw descriptor: open, one fstat (only regular files are opened,
//    and the size serves Seek(End), the time ModifiedTime), a pread per Read, close. Seek is free.
//    "r" does no newline translation (the program reads nothing in text mode).
//  - "r+b", "w+b", "wb" and "a+b" read with pread and write through a 64 KiB buffer that collects
//    writes at consecutive positions; a read, a Seek(End), a write elsewhere and Close flush it, so
//    a failed write shows in Close's result as with stdio. In "a+b" every write goes to the end.
//  Writes past the end leave a gap of zeros. A File is used by one thread at a time.
//
// Attributes: directory from the listing's d_type (stat where it says nothing, or for a symbolic
// link, which is followed), read-only from the file's write permission (the FAT bit on vfat),
// hidden, system and archive as dos_attributes.h keeps them. Listings report the read-only bit
// only on vfat, where it costs nothing more.
//
// Thread safety: any method may be called from any thread; the class holds no state of its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/posix/posix_drive_table.h"

namespace deltrix::platform::posix {

class PosixFileSystem : public FileSystem {
 public:
  // `drives` must outlive this object.
  explicit PosixFileSystem(PosixDriveTable& drives) : drives_(drives) {}

  std::unique_ptr<File> Open(std::u16string_view path, const char* mode) override;
  std::unique_ptr<DirListing> List(std::u16string_view folder) override;
  uint32_t Attributes(std::u16string_view path) override;
  // stat's modification time. Listings leave it out: it costs a call per entry, and only an update
  // that looks for changed files wants it, for the files it knows (a file opened for reading
  // already has it from its open).
  int64_t ModifiedTime(std::u16string_view path) override;
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override;
  bool MakeFolder(std::u16string_view path) override;
  bool RemoveFile(std::u16string_view path) override;
  // rename with RENAME_NOREPLACE; where the file system lacks it, link and unlink, and where that
  // fails too (vfat has no links), a check for the target and a plain rename.
  bool Move(std::u16string_view from, std::u16string_view to) override;
  bool Replace(std::u16string_view from, std::u16string_view to) override;
  // Copies into a hidden temporary file beside `to` (".<name>.XXXXXX"), syncs it, gives it the
  // source's permissions, modification time and stored attributes, then renames it over `to`: a
  // failed copy never leaves a partial target.
  bool Copy(std::u16string_view from, std::u16string_view to) override;
  // O_TMPFILE in $TMPDIR (else /tmp); where the file system lacks it, mkstemp and an unlink at
  // once, so no name is left behind even when the process is killed.
  std::unique_ptr<File> OpenScratch() override;

 private:
  PosixDriveTable& drives_;
};

}  // namespace deltrix::platform::posix
