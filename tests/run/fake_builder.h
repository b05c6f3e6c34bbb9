// A create builder that records what the driver hands it, for tests of the run spine.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/error_code.h"
#include "run/builders.h"

namespace deltrix::testing {

struct FakeBuilderLog {
  std::mutex mu;
  std::vector<std::u16string> added;  // every path handed to AddFile
  std::vector<std::string> calls;     // "open", "final", "finish", "close"
  int tagLanguage = -1;
  int fileSystemKind = -1;
  // Per path: the AddFile answer; 0 (taken in) when absent. Paths marked unreadable ask the owner.
  std::function<int(std::u16string_view path, library::BuildOwner& owner)> addResult;
  int openResult = 0, finalResult = 0, finishResult = 0;
  int timesWritten = 0;  // WriteTimes calls (after a run that succeeded only)
};

class FakeBuilder : public run::CreateBuilder {
 public:
  FakeBuilder(FakeBuilderLog& log, library::BuildOwner& owner) : log_(log), owner_(owner) {}
  int Open() override {
    Note("open");
    return log_.openResult;
  }
  int AddFile(std::u16string_view path, int tagLanguage, int64_t) override {
    {
      std::lock_guard lock(log_.mu);
      log_.added.emplace_back(path);
      log_.tagLanguage = tagLanguage;
    }
    return log_.addResult ? log_.addResult(path, owner_) : Success;
  }
  int SortAndWriteBatch(bool final) override {
    Note(final ? "final" : "batch");
    return log_.finalResult;
  }
  int Finish() override {
    Note("finish");
    return log_.finishResult;
  }
  void WriteTimes() override { ++log_.timesWritten; }
  void Close() override { Note("close"); }

 private:
  void Note(const char* what) {
    std::lock_guard lock(log_.mu);
    log_.calls.emplace_back(what);
  }
  FakeBuilderLog& log_;
  library::BuildOwner& owner_;
};

// An update builder double: CheckFile answers from the log's checkResult; Merge runs the given
// script against the owner (the run), as the real merge phase would.
struct FakeUpdaterLog {
  std::mutex mu;
  std::vector<std::u16string> checked;
  std::vector<std::string> calls;  // "open", "merge", "finish", "close"
  std::function<int(std::u16string_view path)> checkResult;
  std::function<int(library::BuildOwner& owner)> merge;
  int openResult = 0, finishResult = 0;
  std::vector<std::u16string> keptBelow;  // the folders handed to KeepTracksBelow
  uint32_t libraryTracks = 0, toRemove = 0;
  library::TimesFileState timesState = library::TimesFileState::kLoaded;
  int timesWritten = 0;
};

class FakeUpdater : public run::UpdateBuilder {
 public:
  FakeUpdater(FakeUpdaterLog& log, library::BuildOwner& owner) : log_(log), owner_(owner) {}
  int Open() override {
    Note("open");
    return log_.openResult;
  }
  int CheckFile(std::u16string_view path, int64_t) override {
    {
      std::lock_guard lock(log_.mu);
      log_.checked.emplace_back(path);
    }
    return log_.checkResult ? log_.checkResult(path) : Success;
  }
  int KeepTracksBelow(std::span<const std::u16string> folders) override {
    std::lock_guard lock(log_.mu);
    log_.keptBelow.assign(folders.begin(), folders.end());
    return Success;
  }
  uint32_t libraryTrackCount() const override { return log_.libraryTracks; }
  uint32_t tracksToRemove() const override { return log_.toRemove; }
  int Merge(int) override {
    Note("merge");
    return log_.merge ? log_.merge(owner_) : Success;
  }
  int Finish() override {
    Note("finish");
    return log_.finishResult;
  }
  library::TimesFileState TimesState() const override { return log_.timesState; }
  void WriteTimes() override { ++log_.timesWritten; }
  void Close() override { Note("close"); }

 private:
  void Note(const char* what) {
    std::lock_guard lock(log_.mu);
    log_.calls.emplace_back(what);
  }
  FakeUpdaterLog& log_;
  library::BuildOwner& owner_;
};

inline run::BuilderFactories FakeFactory(FakeBuilderLog& log, FakeUpdaterLog* updates = nullptr) {
  return {[&log](const run::BuilderRequest& request) -> std::unique_ptr<run::CreateBuilder> {
            log.fileSystemKind = request.fileSystemKind;
            return std::make_unique<FakeBuilder>(log, request.owner);
          },
          [updates](const run::BuilderRequest& request) -> std::unique_ptr<run::UpdateBuilder> {
            return std::make_unique<FakeUpdater>(*updates, request.owner);
          }};
}

}  // namespace deltrix::testing
