#include "platform/posix/posix_locks.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/posix/posix_clock.h"
#include "support/temp_drive.h"

namespace deltrix::platform::posix {
namespace {

namespace fs = std::filesystem;

class LocksTest : public ::testing::Test {
 protected:
  LocksTest() {
    folder_ = (fs::temp_directory_path() / "deltrix-locks-XXXXXX").string();
    if (!mkdtemp(folder_.data())) folder_.clear();
  }
  ~LocksTest() override {
    std::error_code ec;
    fs::remove_all(folder_, ec);
  }
  std::string folder_;
};

TEST_F(LocksTest, AKeyIsHeldOnceUntilReleased) {
  PosixLocks locks(folder_);
  auto first = locks.TryLock(u"deltrix-creator");
  ASSERT_TRUE(first);
  EXPECT_FALSE(locks.TryLock(u"deltrix-creator"));  // the same process asking again
  PosixLocks other(folder_);
  EXPECT_FALSE(other.TryLock(u"deltrix-creator"));
  auto drive = locks.TryLock(u"drive 1234-ABCD");  // another key is free
  EXPECT_TRUE(drive);
  first.reset();
  EXPECT_TRUE(locks.TryLock(u"deltrix-creator"));
}

TEST_F(LocksTest, AnotherProcessSeesTheLock) {
  PosixLocks locks(folder_);
  auto held = locks.TryLock(u"deltrix-creator");
  ASSERT_TRUE(held);
  auto childResult = [&] {
    const pid_t pid = fork();
    if (pid == 0) {
      PosixLocks mine(folder_);
      _exit(mine.TryLock(u"deltrix-creator") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };
  EXPECT_EQ(1, childResult());  // refused while we hold it
  held.reset();
  EXPECT_EQ(0, childResult());
}

TEST_F(LocksTest, KeysBecomeDistinctFileNamesInsideTheFolder) {
  PosixLocks locks(folder_);
  const std::string a = locks.LockFilePath(u"../E:\\x");
  const std::string b = locks.LockFilePath(u"../E:/x");  // the same once sanitised
  EXPECT_NE(a, b);
  EXPECT_EQ(fs::path(folder_), fs::path(a).parent_path());
  EXPECT_EQ(std::string::npos, fs::path(a).filename().string().find_first_of("\\:/"));
  // Long keys are cut, and still told apart by their hash.
  EXPECT_NE(a, locks.LockFilePath(std::u16string(300, u'\u00E9')));
  auto lockA = locks.TryLock(u"../E:\\x");
  auto lockB = locks.TryLock(u"../E:/x");
  EXPECT_TRUE(lockA);
  EXPECT_TRUE(lockB);
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(LocksTest, TheRuntimeFolderIsTheDefault) {
  const char* old = getenv("XDG_RUNTIME_DIR");
  const std::string saved = old ? old : "";
  setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
  PosixLocks locks;
  const std::string path = locks.LockFilePath(u"deltrix-creator");
  if (old) {
    setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
  EXPECT_EQ(fs::path(folder_), fs::path(path).parent_path());
}

TEST_F(LocksTest, ADriveLockIsSeenWhateverTheLockFolderAndWritesNothingToTheDrive) {
  // Two users have two runtime folders; the lock of a drive must not live in either.
  testing::TempDrive drive;
  const std::string otherUser = folder_ + "/other";
  ASSERT_TRUE(fs::create_directory(otherUser));
  PosixLocks mine(folder_, &drive.native().drives);
  PosixLocks theirs(otherUser, &drive.native().drives);
  auto held = mine.TryLockDrive(drive.root());
  ASSERT_TRUE(held);
  EXPECT_FALSE(theirs.TryLockDrive(drive.root()));
  EXPECT_FALSE(mine.TryLockDrive(drive.root())) << "a second run in the same process";
  const pid_t pid = fork();
  if (pid == 0) {
    PosixLocks child(otherUser + "-child", &drive.native().drives);
    _exit(child.TryLockDrive(drive.root()) ? 0 : 1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "another process is refused";
  held.reset();
  EXPECT_TRUE(theirs.TryLockDrive(drive.root()));
  EXPECT_TRUE(drive.Names(drive.root()).empty()) << "nothing is written to the drive";
  EXPECT_TRUE(fs::is_empty(otherUser));
}

TEST(PosixClock, TellsCalendarSeconds) {
  PosixClock clock;
  const int64_t before = time(nullptr);
  const int64_t now = clock.NowSeconds();
  EXPECT_LE(before, now);
  EXPECT_LE(now, time(nullptr));
  clock.Sleep(0);  // yields and returns
  clock.Sleep(1);
}

}  // namespace
}  // namespace deltrix::platform::posix
