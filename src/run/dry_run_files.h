// A dry run: the real run, step for step, over a file system that never writes to the card.
//
// DryRunFileSystem passes every read through to the card and keeps every change in memory: files
// opened for writing, folders made, files removed, moved, replaced or copied, attributes set.
// Later calls see the kept changes as if they had happened (a file written is read back, a file
// removed is gone from its folder's listing), so the run's own logic decides everything exactly as
// it would on the card, and what it would have written can be read back through the overlay when
// it has ended. It cannot tell whether the card would have taken the writes (a full or read-only
// card): those failures only a real run meets.
//
// Safe for the scan and the worker at once. A kept file's bytes are used by one thread at a time
// (the worker, then the caller once the run has ended).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace deltrix::run {

class DryRunFileSystem : public platform::FileSystem {
 public:
  explicit DryRunFileSystem(platform::FileSystem& card) : card_(card) {}

  std::unique_ptr<platform::File> Open(std::u16string_view path, const char* mode) override;
  std::unique_ptr<platform::DirListing> List(std::u16string_view folder) override;
  uint32_t Attributes(std::u16string_view path) override;
  bool SetAttributes(std::u16string_view path, uint32_t attributes) override;
  bool MakeFolder(std::u16string_view path) override;
  bool RemoveFile(std::u16string_view path) override;
  // Files only: a run never moves a folder.
  bool Move(std::u16string_view from, std::u16string_view to) override;
  bool Replace(std::u16string_view from, std::u16string_view to) override;
  bool Copy(std::u16string_view from, std::u16string_view to) override;
  // The computer's own disk, not the card: a dry run's scratch files are real ones.
  std::unique_ptr<platform::File> OpenScratch() override { return card_.OpenScratch(); }
  // The card's time for a file the run has not written; kNoTime for one it wrote or removed.
  int64_t ModifiedTime(std::u16string_view path) override;

  // True once any change has been kept: a real run would have written to the card.
  bool changed() const;

 private:
  enum class Kind { Gone, File, Folder };
  // What the overlay holds for one path. A file's bytes are either kept (`data`) or, until it is
  // opened for writing, still those of the card's file at `source` (a copy or move of an unchanged
  // file costs nothing).
  struct Node {
    Kind kind = Kind::Gone;
    std::u16string name;  // the entry's own name as it was given
    uint32_t attributes = 0;
    std::shared_ptr<std::vector<uint8_t>> data;
    std::u16string source;
    bool onCard = false;  // a folder that is also on the card: its listing merges the card's
    uint64_t order = 0;   // when it was made, for listings
  };

  // Under the lock.
  Node* Find(const std::u16string& key);
  // The overlay's node of an existing file at `path`, made from the card's file when the overlay
  // has none yet; null when no file is there.
  Node* FileNode(std::u16string_view path, const std::u16string& key);
  bool IsFolder(std::u16string_view path, const std::u16string& key);
  bool ParentIsFolder(std::u16string_view path, const std::u16string& key);
  Node& Put(const std::u16string& key, std::u16string_view path, Node node);
  // Reads a file node's bytes from the card if they are not kept yet; false when it cannot.
  bool Keep(Node& node);
  // Marks the node's path as removed.
  static void Forget(Node& node);

  platform::FileSystem& card_;
  mutable std::mutex mu_;
  std::map<std::u16string, Node> nodes_;  // by path key (upper-case ASCII, single separators)
  uint64_t nextOrder_ = 1;
  bool changed_ = false;
};

// What a dry run would change in the library, by the tracks' paths: how many tracks the library
// written over the overlay holds that the card's library does not, and those the card's library
// holds that the new one does not (drive form, sorted).
struct LibraryChanges {
  bool libraryBefore = false;  // the card holds a library that can be read
  bool libraryAfter = false;   // the run leaves one
  size_t tracksBefore = 0;
  size_t tracksAfter = 0;
  size_t added = 0;
  std::vector<std::u16string> removed;
};

// Compares the library on the card at `driveRoot` with the one the dry run left in `dryRun`.
LibraryChanges CompareLibraries(platform::FileSystem& card, DryRunFileSystem& dryRun,
                                std::u16string_view driveRoot);

}  // namespace deltrix::run
