// Helpers of the update tests: a drive whose audio files lie on the in-memory drive and whose tags
// come from a table (a file may be on the drive with tags that cannot be read), an owner that keeps
// the merge phase's file list and counters, and a whole update as the driver makes it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "library/build_owner.h"
#include "library/library_check.h"
#include "library/library_reader.h"
#include "library/library_updater.h"
#include "library_test_util.h"

namespace deltrix::library::testing {

// Audio files on the drive (full path E:\...) in scan order, and the tags of the readable ones.
class UpdateDrive : public TrackSource {
 public:
  // Puts the file on the drive; its tags can be read unless `readable` is false.
  void Add(const TestTrack& track, bool readable = true) {
    const std::u16string full = u"E:" + track.path;
    fs.AddFile(full, "audio");
    if (std::find(paths.begin(), paths.end(), full) == paths.end()) paths.push_back(full);
    if (readable) {
      tags_[full] = track;
    } else {
      tags_.erase(full);
    }
  }
  void Remove(std::u16string_view path) {
    const std::u16string full = u"E:" + std::u16string(path);
    (void)fs.RemoveFile(full);
    paths.erase(std::remove(paths.begin(), paths.end(), full), paths.end());
    tags_.erase(full);
  }
  // Changes the tags a file would now give (an update does not read them again).
  void Retag(const TestTrack& track) { tags_[u"E:" + track.path] = track; }
  void MakeUnreadable(std::u16string_view path) { tags_.erase(u"E:" + std::u16string(path)); }
  bool Readable(const std::u16string& full) const { return tags_.count(full) != 0; }

  int ReadTrack(std::u16string_view fullPath, int, tags::TrackRecord* record) override {
    ++reads;
    auto it = tags_.find(std::u16string(fullPath));
    if (it == tags_.end()) return 0;
    FillRecord(it->second, record);
    return 1;
  }

  // The library of the readable files on the drive, in scan order, made by a create run.
  int Create(CreatorOptions options = {}) {
    std::vector<TestTrack> tracks;
    for (const std::u16string& p : paths) {
      if (Readable(p)) tracks.push_back(tags_.at(p));
    }
    return CreateLibrary(fs, tracks, options);
  }

  // Makes this drive a copy of `other`: its audio files, their tags and its library files.
  void CopyFrom(const UpdateDrive& other) {
    paths = other.paths;
    tags_ = other.tags_;
    for (const std::u16string& p : paths) fs.AddFile(p, other.fs.Contents(p));
    for (std::u16string_view file : {kTrackListPath, kBrowsePath, kSummaryPath}) {
      if (other.fs.Exists(file)) fs.AddFile(file, other.fs.Contents(file));
    }
  }

  MemoryFileSystem fs;
  std::vector<std::u16string> paths;
  int reads = 0;

 private:
  std::map<std::u16string, TestTrack> tags_;
};

// What the run does for the merge phase, kept for the test to look at.
class MergeOwner : public BuildOwner {
 public:
  int AskSkipFile() override {
    ++asked;
    return answer;
  }
  void SetBatchInProgress(bool on) override { marks.push_back(on); }
  void EnableStop(bool on) override { stops.push_back(on); }
  bool WaitWhilePaused() override { return ++waits != stopAtWait; }
  void BeginMergePhase() override {
    list.clear();
    begun = true;
    total = processed = skipped = 0;
  }
  bool AppendMergePath(std::u16string path) override {
    list.push_back(std::move(path));
    return true;
  }
  void SetPhaseTotal(int32_t n) override { total = n; }
  std::u16string_view MergePath(int32_t i) override {
    return i >= 0 && static_cast<size_t>(i) < list.size() ? std::u16string_view(list[i])
                                                          : std::u16string_view();
  }
  void CountMergeFile(bool added) override { ++(added ? processed : skipped); }

  int answer = 2;  // skip
  int asked = 0;
  int stopAtWait = 0;  // the pause wait with this number reports a stop (0: never)
  int waits = 0;
  bool begun = false;
  int32_t total = 0, processed = 0, skipped = 0;
  std::vector<bool> marks;
  std::vector<bool> stops;
  std::vector<std::u16string> list;
};

// An update as the driver makes it: open, check every file on the drive (a file that cannot be
// used is skipped), merge, finish, close. The first code that is not 0, or 0.
inline int UpdateLibrary(UpdateDrive& drive, UpdaterOptions options = {},
                         MergeOwner* owner = nullptr, std::vector<int>* checkCodes = nullptr) {
  MergeOwner localOwner;
  MergeOwner& o = owner != nullptr ? *owner : localOwner;
  CLibraryUpdater updater(drive.fs, drive, options);
  int code = updater.Open(kRoot, o);
  for (size_t i = 0; code == 0 && i < drive.paths.size(); ++i) {
    const int r = updater.CheckFile(drive.paths[i]);
    if (checkCodes != nullptr) checkCodes->push_back(r);
    if (r != 0 && r != CannotOpenFile) code = r;
  }
  if (code == 0) code = updater.Merge(3);
  if (code == 0) code = updater.Finish();
  updater.Close();
  return code;
}

// The three library files.
struct LibraryFiles {
  std::vector<uint8_t> trackList, browseList, summary;
  bool operator==(const LibraryFiles&) const = default;
};
inline LibraryFiles FilesOf(const MemoryFileSystem& fs) {
  return {fs.Contents(kTrackListPath), fs.Contents(kBrowsePath), fs.Contents(kSummaryPath)};
}

// The library's paths as stored ("/A/1.mp3") and its track ids, read back by the reader.
inline std::vector<std::u16string> StoredPaths(MemoryFileSystem& fs) {
  LibraryImage image;
  std::vector<std::u16string> paths;
  if (!ReadLibraryImage(fs, kRoot, &image, nullptr)) return paths;
  for (const ImageTrack& t : image.tracks) paths.push_back(t.text[kPath]);
  return paths;
}

// The library passes every check, statistics included; the first problems are shown.
inline ::testing::AssertionResult LibraryIsSound(MemoryFileSystem& fs) {
  std::vector<std::string> problems;
  if (CheckLibrary(fs, kRoot, &problems)) return ::testing::AssertionSuccess();
  ::testing::AssertionResult failure = ::testing::AssertionFailure();
  for (size_t i = 0; i < problems.size() && i < 5; ++i) failure << problems[i] << "\n";
  return failure;
}

}  // namespace deltrix::library::testing
