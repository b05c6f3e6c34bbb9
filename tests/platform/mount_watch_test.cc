// The mount-table watch against the real kernel: mounting and unmounting a scratch file system is
// seen once each. Mounting needs the right to mount; without it the test is skipped.
#include "platform/posix/mount_watch.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

namespace deltrix::platform::posix {
namespace {

TEST(MountWatch, ReportsEachChangeOfTheMountTableOnce) {
  namespace fs = std::filesystem;
  MountWatch watch;
  ASSERT_GE(watch.fd(), 0);
  while (watch.Changed()) {
  }  // whatever happened before the test
  EXPECT_FALSE(watch.Changed(50));

  const fs::path point = fs::temp_directory_path() / ("deltrix_watch_" + std::to_string(getpid()));
  fs::create_directories(point);
  if (mount("none", point.c_str(), "tmpfs", 0, "size=64k") != 0) {
    fs::remove(point);
    GTEST_SKIP() << "no right to mount here";
  }
  EXPECT_TRUE(watch.Changed(1000));
  EXPECT_FALSE(watch.Changed());  // reported once
  ASSERT_EQ(0, umount(point.c_str()));
  EXPECT_TRUE(watch.Changed(1000));
  fs::remove(point);
}

}  // namespace
}  // namespace deltrix::platform::posix
