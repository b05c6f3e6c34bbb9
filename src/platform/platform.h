// Everything the core asks of the operating system. Paths are in the player's drive form: a drive
// root of letter, colon and backslash (E:\) and backslash-separated names below it
// (E:\Music\a.mp3), in UTF-16. Each implementation maps them to its own file system (posix/ through
// a drive table of mounted folders, win32/ as they stand). A doubled backslash, as in "E:\\*.*"
// patterns, is accepted.
//
// Every call reports failure the same way: false, null, or the documented "none" value; the caller
// turns it into an ErrorCode. No method shares a name with a Win32 function (<windows.h> makes
// those macros). The core receives a Platform by reference and never calls the OS itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace deltrix::platform {

// FAT attribute bits, as directory listings and the attribute query report them.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
// What Attributes() answers when the path does not exist or cannot be queried.
inline constexpr uint32_t kNoAttributes = 0xFFFFFFFF;
// A modification time that is not known (a listing that does not give it, a file that cannot be
// queried). Known times are seconds since 1970-01-01 UTC.
inline constexpr int64_t kNoTime = INT64_MIN;

enum class SeekFrom { Start, Current, End };

// An open file with the C runtime's stream semantics for its mode (see FileSystem::Open).
// Destroying it closes it; Close() reports whether the data written reached the file.
class File {
 public:
  virtual ~File() = default;
  // Reads up to `size` bytes at the current position; returns the count read, fewer at the end of
  // the file or on an error.
  virtual size_t Read(void* dst, size_t size) = 0;
  // Writes `size` bytes (at the end in "a+b" mode); returns the count written, fewer on an error.
  virtual size_t Write(const void* src, size_t size) = 0;
  virtual bool Seek(int64_t offset, SeekFrom from) = 0;
  virtual int64_t Tell() = 0;  // -1 on failure
  // Flushes and closes; every later call fails. False when buffered data could not be written.
  virtual bool Close() = 0;
  // The file's modification time when it was opened, where the open learned it without another
  // call; kNoTime otherwise (FileSystem::ModifiedTime asks for it).
  virtual int64_t ModifiedTime() { return kNoTime; }
};

// One entry of a folder listing. Listings report "." and ".." as the platform's do, and never a
// symbolic link to a folder (a FAT card has none; a staging folder's links would lead the walk out
// of it or round in a loop). A link to a file is listed as the file.
struct DirEntry {
  std::u16string name;  // the entry's own name, no folder
  uint32_t attributes = 0;
  // The name has no drive form (it is not valid text, or holds a backslash): `name` shows it with
  // replacement characters, and no path made from it reaches the entry.
  bool unmappable = false;
  // The file's last modification time where the listing gives it without another call (Windows);
  // kNoTime elsewhere, where ModifiedTime asks for it.
  int64_t modified = kNoTime;
};

class DirListing {
 public:
  virtual ~DirListing() = default;
  // The next entry, in the platform's listing order; false at the end.
  virtual bool Next(DirEntry* entry) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Opens with a C-runtime mode: "r" and "rb" (read, must exist), "r+b" (read and write, must
  // exist), "w+b" and "wb" (created or truncated), "a+b" (read anywhere, every write appends,
  // created if missing). Null when the file cannot be opened.
  virtual std::unique_ptr<File> Open(std::u16string_view path, const char* mode) = 0;
  // Lists a folder; a trailing "\*.*" pattern is accepted and ignored. Null when no listing can
  // begin (missing or unreadable folder).
  virtual std::unique_ptr<DirListing> List(std::u16string_view folder) = 0;
  virtual uint32_t Attributes(std::u16string_view path) = 0;  // kNoAttributes on failure
  // The last modification time of a file or folder; kNoTime when it cannot be queried.
  virtual int64_t ModifiedTime(std::u16string_view path) = 0;
  // Sets the hidden, system and read-only bits (others are ignored where the platform lacks them).
  virtual bool SetAttributes(std::u16string_view path, uint32_t attributes) = 0;
  virtual bool MakeFolder(std::u16string_view path) = 0;  // the parent must exist
  virtual bool RemoveFile(std::u16string_view path) = 0;  // files only; a folder fails
  virtual bool Move(std::u16string_view from, std::u16string_view to) = 0;  // fails if `to` exists
  // Moves the file `from` over the file `to` in one step, so that at every moment `to` holds either
  // its old or its new content; `to` need not exist. False when `from` is missing or the step
  // fails.
  virtual bool Replace(std::u16string_view from, std::u16string_view to) = 0;
  virtual bool Copy(std::u16string_view from, std::u16string_view to) = 0;  // replaces `to`
  // A nameless read/write file on the computer's own disk (never on a drive of the table), empty
  // at first, for work that should not wear the card. It is gone when closed, and when the process
  // ends by any means. Positioned as "w+b". Null when none can be made.
  virtual std::unique_ptr<File> OpenScratch() = 0;
};

// Drive types, numbered as the Windows drive-type query numbers them.
enum DriveType : int {
  DriveTypeUnknown = 0,
  DriveTypeNoRoot = 1,
  DriveTypeRemovable = 2,
  DriveTypeFixed = 3,
  DriveTypeRemote = 4,
  DriveTypeCdRom = 5,
  DriveTypeRamDisk = 6,
};

struct VolumeInfo {
  std::u16string name;        // volume label, may be empty
  uint32_t serial = 0;        // 0 where the volume has none
  std::u16string fileSystem;  // "FAT32", "FAT", "NTFS", or the platform's own name
};

// The drives the user can choose from, by drive root (E:\).
class DriveTable {
 public:
  virtual ~DriveTable() = default;
  // Bit mask of present drive letters, bit 0 = A.
  virtual uint32_t PresentDrives() = 0;
  // False when the volume of `root` cannot be read (no medium, drive gone).
  virtual bool ReadVolume(std::u16string_view root, VolumeInfo* info) = 0;
  virtual DriveType TypeOf(std::u16string_view root) = 0;

  // Edges: how a user names a drive or a file, and how they read one back. On Windows both are the
  // drive form itself; on POSIX a mount point or a path below one. ToDrivePath returns an empty
  // string when `userPath` lies on no drive of the table.
  virtual std::u16string ToDrivePath(std::string_view userPath) = 0;
  virtual std::string ToUserPath(std::u16string_view drivePath) = 0;
};

// 8-bit text in a Windows code page, and the user's locale.
class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // Decodes `bytes` (no terminator needed; decoding stops at a zero byte) in code page 932, 936,
  // 1251, 1252, or 0 for the system's default. Never fails: bytes invalid in the code page become a
  // replacement character. Writes at most out.size() units, never more units than input bytes, and
  // returns the count written (no terminator).
  virtual size_t Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                        std::span<char16_t> out) = 0;
  // The user's language as an ISO 639-1 code ("ja", "de", "en"); empty when unknown.
  virtual std::string UserLanguage() = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual int64_t NowSeconds() = 0;          // calendar time in seconds
  virtual void Sleep(int milliseconds) = 0;  // 0 yields the processor
};

// A lock that other processes see. Destroying it releases it.
class Lock {
 public:
  virtual ~Lock() = default;
};

class Locks {
 public:
  virtual ~Locks() = default;
  // Takes the lock named `key` (the executable's name); null when another holder, in this process
  // or another of the same user, has it.
  virtual std::unique_ptr<Lock> TryLock(std::u16string_view key) = 0;
  // Takes the lock of the drive at `driveRoot` (E:\): one run writes a drive at a time. Seen by
  // every process of every user of the machine, and writes nothing to the drive. Null when another
  // holder has it; a lock that holds nothing when the drive cannot be locked at all (the run then
  // finds out for itself whether the drive can be used).
  virtual std::unique_ptr<Lock> TryLockDrive(std::u16string_view driveRoot) = 0;
};

// What the core is handed. Each part is small, so a test fakes only the one it needs.
struct Platform {
  FileSystem& files;
  DriveTable& drives;
  TextCodec& text;
  Clock& clock;
  Locks& locks;
};

}  // namespace deltrix::platform
