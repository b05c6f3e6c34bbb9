// tags_only TREE: a create run over a folder that reads every file's tags as a create does and
// keeps nothing: the run's real scan, drivers and tag readers, without the library engine. Writes
// nothing to the tree. The series times it as "tag reading alone". Exit status: the run's code.
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "base/utf16.h"
#include "platform/posix/posix_platform.h"
#include "run/run_controller.h"
#include "tag_reading_builder.h"

namespace {

using namespace deltrix;

// Skips every unreadable file and says nothing but errors.
class QuietHost : public run::RunHost {
 public:
  void EnableStop(bool) override {}
  void ShowError(const std::u16string& message, const std::u16string& codeLine) override {
    std::fprintf(stderr, "%s\n%s\n", ToUtf8(message).c_str(), ToUtf8(codeLine).c_str());
  }
  run::SkipAnswer AskSkipOrAbort(const std::u16string&) override { return run::SkipAnswer::Skip; }
  bool AskRemoveTracks(const std::u16string&) override { return false; }  // keep the library
  void ShowFinishMessage(const std::u16string&) override {}
  void RequestClose() override {
    std::lock_guard lock(mu_);
    closed_ = true;
    cv_.notify_all();
  }
  void ShowCompletion() override {}
  void StopTick() override {}
  void Notice(const std::u16string&) override {}
  void WaitForClose() {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return closed_; });
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool closed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: tags_only TREE\n");
    return 64;
  }
  platform::posix::PosixPlatform posix;
  const std::u16string root = posix.drives.AddStagingFolder(argv[1]);
  if (root.empty()) {
    std::fprintf(stderr, "tags_only: cannot use %s\n", argv[1]);
    return 64;
  }
  QuietHost host;
  run::RunController controller(posix.platform, host, bench::TagReadingBuilders());
  if (controller.StartRun(root, 3, run::RunModeCreate)) host.WaitForClose();
  controller.StopAndJoin();
  return controller.resultCode();
}
