// An in-memory drive for tests, safe to use from several threads: a FileSystem over drive paths
// (E:\a\b) with FAT-like behaviour (names compared without regard to ASCII case, entries listed in
// creation order, "." and ".." listed first; a name holding U+FFFD lists as one without a drive
// form), a fake DriveTable, a codec that widens bytes (tests
// of real code pages use the POSIX codec), and a clock that never sleeps. It records what was
// opened for writing and can be told to fail chosen calls, so tests can assert effects and inject
// faults.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace deltrix::testing {

using Bytes = std::vector<uint8_t>;

class MemoryFileSystem : public platform::FileSystem {
 public:
  MemoryFileSystem();

  // --- test set-up and inspection -------------------------------------------------------------
  // Creates the file (and its folders) with the given contents and attributes.
  void AddFile(std::u16string_view path, const Bytes& data, uint32_t attributes = 0);
  void AddFile(std::u16string_view path, std::string_view data, uint32_t attributes = 0);
  void AddFolder(std::u16string_view path, uint32_t attributes = 0);
  bool Exists(std::u16string_view path) const;
  // The file's contents; empty when missing.
  Bytes Contents(std::u16string_view path) const;
  // Names (display case) of the entries directly in a folder, in listing order.
  std::vector<std::u16string> Names(std::u16string_view folder) const;
  // Every mutating call (open for writing, write, set attributes, make folder, remove, move, copy)
  // made so far, one line each, e.g. "open w+b E:\KORVANE\LIBRARY\ZRTL.DB".
  const std::vector<std::string>& mutations() const { return mutations_; }
  int writeOpens() const { return writeOpens_; }
  // Bytes that reached the drive: every write to a file on it and every byte a copy made. Moves
  // write none; the scratch file is not on the drive.
  uint64_t bytesWritten() const { return bytesWritten_; }
  // Scratch files opened so far. Each fails as the path kScratchPath in fault rules.
  int scratchOpens() const { return scratchOpens_; }
  static constexpr std::u16string_view kScratchPath = u"<scratch>";

  // A predicate over (operation, path) that makes the call fail when it returns true. Operations:
  // "open" (any mode), "read", "write", "close", "seek", "list", "attr", "setattr", "mkdir",
  // "remove", "move", "replace", "copy", "time". Used for fault injection.
  using FaultRule = std::function<bool(std::string_view op, std::u16string_view path)>;
  void SetFault(FaultRule rule) { fault_ = std::move(rule); }

  // Removes everything below the root, as a pulled card would look.
  void Eject() {
    std::lock_guard lock(mu_);
    nodes_.clear();
    ejected_ = true;
  }
  bool ejected() const { return ejected_; }
  // A file's modification time (every file starts at kDefaultTime). With `listsTimes` listings
  // report it, as on Windows; without, only ModifiedTime does, as on POSIX.
  static constexpr int64_t kDefaultTime = 1600000000;
  void SetModifiedTime(std::u16string_view path, int64_t time);
  bool listsTimes = false;

  // --- FileSystem -------------------------------------------------------------------------------
  std::unique_ptr<platform::File> Open(std::u16string_view path, const char* mode) override;
  std::unique_ptr<platform::DirListing> List(std::u16string_view folder) override;
  uint32_t Attributes(std::u16string_view path) override;
  int64_t ModifiedTime(std::u16string_view path) override;  // "time" faults it
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override;
  bool MakeFolder(std::u16string_view path) override;
  bool RemoveFile(std::u16string_view path) override;
  bool Move(std::u16string_view from, std::u16string_view to) override;
  bool Replace(std::u16string_view from, std::u16string_view to) override;
  bool Copy(std::u16string_view from, std::u16string_view to) override;
  std::unique_ptr<platform::File> OpenScratch() override;

  struct Node {
    std::u16string name;  // display name
    bool folder = false;
    uint32_t attributes = 0;
    uint64_t order = 0;  // creation order, for listings
    int64_t modified = kDefaultTime;
    std::shared_ptr<Bytes> data;
  };
  bool Fails(std::string_view op, std::u16string_view path);
  void CountWritten(size_t bytes) { bytesWritten_ += bytes; }

 private:
  static std::u16string Key(std::u16string_view path);
  static std::u16string ParentKey(const std::u16string& key);
  Node* Find(std::u16string_view path);
  const Node* Find(std::u16string_view path) const;
  bool ParentIsFolder(const std::u16string& key) const;
  Node& Insert(const std::u16string& key, std::u16string_view path, bool folder);
  void Note(std::string what, std::u16string_view path);

  // The scan and the worker use the drive at the same time. Recursive: AddFolder calls itself, and
  // fault rules may add files. Fault rules run outside the lock, so a rule may block.
  mutable std::recursive_mutex mu_;
  std::map<std::u16string, Node> nodes_;
  uint64_t nextOrder_ = 1;
  std::vector<std::string> mutations_;
  int writeOpens_ = 0;
  std::atomic<uint64_t> bytesWritten_{0};
  std::atomic<int> scratchOpens_{0};
  FaultRule fault_;
  bool ejected_ = false;
};

// A drive table of fixed entries; each drive is a root such as E:\ with its volume. A run reads it
// from its threads while a test may pull a drive: SetReadable and Remove may be called at any
// time; Add and the entries Get returns are for set-up before a run starts.
class FakeDriveTable : public platform::DriveTable {
 public:
  struct Drive {
    char16_t letter;
    platform::VolumeInfo volume;
    platform::DriveType type = platform::DriveTypeRemovable;
    bool readable = true;  // false: present letter whose volume cannot be read (no medium)
  };
  void Add(Drive drive) { drives_.push_back(std::move(drive)); }
  void Remove(char16_t letter);
  void SetReadable(char16_t letter, bool readable);
  Drive* Get(char16_t letter);

  uint32_t PresentDrives() override;
  bool ReadVolume(std::u16string_view root, platform::VolumeInfo* info) override;
  platform::DriveType TypeOf(std::u16string_view root) override;
  // User paths are "/mnt/<letter>/..." in tests, or the drive paths themselves (as on Windows)
  // when `namesByRoot` is set.
  std::u16string ToDrivePath(std::string_view userPath) override;
  std::string ToUserPath(std::u16string_view drivePath) override;
  bool namesByRoot = false;

 private:
  std::mutex mu_;
  std::vector<Drive> drives_;
};

// Widens every byte (Latin-1); the real code pages are tested against the POSIX codec.
class WideningCodec : public platform::TextCodec {
 public:
  size_t Decode(uint32_t codePage, std::span<const uint8_t> bytes,
                std::span<char16_t> out) override;
  std::string UserLanguage() override { return language; }
  std::string language = "en";
};

// A clock whose sleeps only yield, so runs in tests go as fast as the threads allow.
class FastClock : public platform::Clock {
 public:
  int64_t NowSeconds() override { return now; }
  void Sleep(int milliseconds) override;
  std::atomic<int64_t> now{1000};
};

class MemoryLocks : public platform::Locks {
 public:
  std::unique_ptr<platform::Lock> TryLock(std::u16string_view key) override;
  // Held under the key "drive " + the root, so tests can take it as another run would.
  std::unique_ptr<platform::Lock> TryLockDrive(std::u16string_view driveRoot) override {
    return TryLock(u"drive " + std::u16string(driveRoot));
  }

 private:
  friend class MemoryLock;
  std::map<std::u16string, bool> held_;
};

// A whole platform in memory: one FAT32 removable drive E: (label "MUSIC", serial 0x1234ABCD).
struct MemoryPlatform {
  MemoryPlatform();
  MemoryFileSystem files;
  FakeDriveTable drives;
  WideningCodec text;
  FastClock clock;
  MemoryLocks locks;
  platform::Platform platform{files, drives, text, clock, locks};
};

// A file over bytes in memory, read-only, for tag readers.
std::unique_ptr<platform::File> MemoryReadFile(Bytes bytes);

}  // namespace deltrix::testing
