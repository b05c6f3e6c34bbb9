// What a run left out of the library, and why. Every run fills one: the scan notes the folders it
// does not enter and the audio files it does not list, the worker the files it could not read. The
// counts are always exact; each reason keeps a list of at most `listCap` entries, so a drive with a
// million hidden folders costs no more memory than one with ten thousand.
//
// Each reason has one writer (the scan thread or the worker, as marked below). The lists are read
// once the run has ended, and the worker reads the scan's list of unlistable folders only after the
// scan has said it is done.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace deltrix::run {

enum class LeftOutReason : int {
  Unreadable = 0,  // worker: a file that could not be read and was skipped
  PathTooLong,     // worker: an audio file whose path is longer than a track record holds
  TooDeep,         // scan: a folder below the seven levels the player browses
  PastLimit,       // scan: an audio file found after the file list was full
  HiddenOrSystem,  // scan: a hidden or system folder (a name that begins with a dot is hidden)
  Unlistable,      // scan: a folder whose listing failed
  NoDriveForm,     // scan: a folder or audio file whose name has no drive form
};
inline constexpr int kLeftOutReasons = 7;

// The word that names a reason in a report file.
std::string_view ReasonTag(LeftOutReason reason);

class RunReport {
 public:
  // One entry: the folder it lies in (drive form) and its name; a backslash in the name is part
  // of the name.
  struct Entry {
    std::u16string folder;
    std::u16string name;
    bool operator==(const Entry&) const = default;
  };
  static constexpr size_t kListCap = 10000;

  explicit RunReport(size_t listCap = kListCap) : cap_(listCap) {}

  void Add(LeftOutReason reason, std::u16string_view folder, std::u16string_view name);
  // A drive-form path (E:\Music\a.mp3), split at its last separator.
  void AddPath(LeftOutReason reason, std::u16string_view path);

  int64_t count(LeftOutReason reason) const { return parts_[Index(reason)].count; }
  // At most the cap's first entries, in the order noted.
  const std::vector<Entry>& list(LeftOutReason reason) const {
    return parts_[Index(reason)].entries;
  }
  // True when nothing was left out.
  bool empty() const;
  void Clear();

 private:
  static size_t Index(LeftOutReason reason) { return static_cast<size_t>(reason); }
  struct Part {
    int64_t count = 0;
    std::vector<Entry> entries;
  };
  std::array<Part, kLeftOutReasons> parts_;
  size_t cap_;
};

// The entry's drive-form path: its folder and name joined by one separator.
std::u16string DrivePathOf(const RunReport::Entry& entry);

// The entry as its user reads it: the folder in the user's form, then the name.
std::string UserPathOf(platform::DriveTable& drives, const RunReport::Entry& entry);

// The report file's text: one line per listed entry, the reason's tag, a tab and the user's path,
// in UTF-8, reason by reason.
std::string ReportFileText(const RunReport& report, platform::DriveTable& drives);

// What the finish dialog's details show: for each reason with a count, its count line, then its
// entries in the user's form, one a line and indented, and how many more the list could not hold.
// Empty when nothing was left out.
std::u16string DetailsText(const RunReport& report, platform::DriveTable& drives);

// The reason's line for its count: "3 folder(s) lie deeper than ...".
std::u16string CountLine(LeftOutReason reason, int64_t count);

}  // namespace deltrix::run
