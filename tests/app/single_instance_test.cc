#include "app/single_instance.h"

#include <gtest/gtest.h>

#include "support/memory_drive.h"

namespace deltrix::app {
namespace {

TEST(SingleInstance, TheKeyIsTheExecutablesBaseName) {
  struct Case {
    const char* path;
    std::u16string_view want;
  };
  const Case cases[] = {
      {"/usr/bin/deltrix-creator-gui", u"deltrix-creator-gui"},
      {"./build/deltrix-creator-gui", u"deltrix-creator-gui"},
      {"C:\\Program Files\\Deltrix\\Creator.exe", u"Creator"},
      {"C:\\x.y\\deltrix-creator-gui.exe", u"deltrix-creator-gui"},
      {"creator", u"creator"},
      {"/opt/x.y/.hidden", u".hidden"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].want, InstanceKey(cases[i].path));
  }
}

TEST(SingleInstance, ASecondCopyUnderTheSameNameIsRefusedUntilTheFirstEnds) {
  testing::MemoryPlatform mp;
  std::unique_ptr<platform::Lock> first = TakeInstanceLock(mp.locks, "C:\\a\\Creator.exe");
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(nullptr, TakeInstanceLock(mp.locks, "D:\\b\\Creator.exe"));
  EXPECT_NE(nullptr, TakeInstanceLock(mp.locks, "C:\\a\\Other.exe")) << "another name runs";
  first.reset();
  EXPECT_NE(nullptr, TakeInstanceLock(mp.locks, "D:\\b\\Creator.exe"));
}

}  // namespace
}  // namespace deltrix::app
