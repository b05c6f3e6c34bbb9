// A reader of the three library files that shares no state with the writers: each file is read
// whole into the image and walked with a bounded cursor, every count and length compared with what
// frames it. A corrupt or foreign file gives problem lines, never a read outside the bytes. The
// console's show and check use it, and the check (library_check.h) walks what it reads; the run
// uses CheckLibrary to decide whether a library left
// by an interrupted run can stand.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "library/library_format.h"
#include "platform/platform.h"

namespace deltrix::library {

// One ZRTL.DB record as stored.
struct ImageTrack {
  uint32_t offset = 0;  // of the record in ZRTL.DB
  uint32_t length = 0;
  uint8_t fileType = 0;
  uint8_t reservedFlag = 0;
  uint32_t index = 0;
  uint32_t id = 0;
  int32_t fileSize = 0;
  int32_t reservedA = 0;
  int32_t reservedB = 0;
  int16_t trackNumber = 0;
  int16_t reservedC = 0;
  uint32_t reservedD = 0;
  uint32_t groupNumber[3] = {};  // field 16 of the chunks of strings 0-2
  std::u16string text[5];        // genre, artist, album, title, path, without terminators
  uint32_t textAt[5] = {};       // offset of each string's data in the file (UTF-16LE)
};

struct ImageGroupRow {
  uint32_t firstTrack = 0;
  uint32_t firstChild = 0;
  uint32_t count = 0;
  uint32_t indexInParent = 0;
};

struct ImageList {
  uint8_t kind = 0;  // 1 track list, 2 group list
  uint8_t attribute = 0;
  uint8_t level = 0;
  std::vector<uint32_t> tracks;
  std::vector<ImageGroupRow> groups;
};

struct ImageBlock {
  uint32_t key = 0;
  std::vector<ImageList> lists;  // the track list first, then the group lists by level
};

struct LibraryImage {
  std::vector<uint8_t> trackListBytes;  // ZRTL.DB as read; textAt points into it
  std::vector<ImageTrack> tracks;
  std::vector<ImageBlock> blocks;
  uint32_t nextTrackId = 0;
  bool hasSections = false;
  StringStats stats[5];
  std::vector<DirectoryEntry> directory;
};

// The problem lines found in one library file, each "ZRTL.DB: what is wrong", appended to `out`
// (which may be null) and counted.
class ProblemList {
 public:
  ProblemList(std::string_view file, std::vector<std::string>* out) : file_(file), out_(out) {}
  template <typename... Args>
  void Add(const char* format, Args... args) {
    char line[256];
    std::snprintf(line, sizeof line, format, args...);
    ++count_;
    if (out_ != nullptr) out_->push_back(std::string(file_) + ": " + line);
  }
  int count() const { return count_; }

 private:
  std::string_view file_;
  std::vector<std::string>* out_;
  int count_ = 0;
};

// Reads the library of the drive at `root` (E:\). Every framing fault becomes one line in
// *problems. False when a file is missing, unreadable or cannot be walked to its end; the image
// then holds what could be read.
bool ReadLibraryImage(platform::FileSystem& files, std::u16string_view root, LibraryImage* image,
                      std::vector<std::string>* problems);

}  // namespace deltrix::library
