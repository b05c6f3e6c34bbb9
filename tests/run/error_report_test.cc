#include "run/error_report.h"

#include <gtest/gtest.h>

#include "support/memory_drive.h"
#include "support/test_host.h"

namespace deltrix::run {
namespace {

using testing::MemoryPlatform;
using testing::TestHost;

TEST(ReportError, ShowsTheFixedMessagesWithTheirCodeLines) {
  struct Case {
    int code;
    std::u16string shown;  // empty: nothing is shown
  };
  const Case cases[] = {
      {1, u"Can only create a Library in the Root Directory. | Error Code : E-01"},
      {3, u"Error occurred while creating library data. | Error Code : E-03"},
      {4, u"Error occurred while writing library file. | Error Code : E-04"},
      {5, u"Cannot make the library for multiple devices. | Error Code : E-05"},
      {6, u"[E:\\] is not supported device. | Error Code : E-06"},
      {7, u"Selected device is removed. | Error Code : E-07"},
      {0, u""},
      {8, u""},
      {9, u""},
      {-1, u""},
      {100, u""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    TestHost host;
    host.EnableStop(true);
    const bool result = ReportError(host, c.code, u"E:\\");
    EXPECT_FALSE(host.stopEnabled()) << "every code disables the stop control";
    if (c.shown.empty()) {
      EXPECT_TRUE(result);
      EXPECT_TRUE(host.errors().empty());
    } else {
      EXPECT_FALSE(result);
      ASSERT_EQ(1u, host.errors().size());
      EXPECT_EQ(c.shown, host.errors()[0]);
    }
  }
}

TEST(ReportError, CodeTwoAsksAndAnswersAbortOnlyForAbort) {
  TestHost host;
  host.answers = {SkipAnswer::Abort, SkipAnswer::Skip, SkipAnswer::SkipAll};
  EXPECT_TRUE(ReportError(host, 2, u"E:\\"));
  EXPECT_FALSE(ReportError(host, 2, u"E:\\"));
  EXPECT_FALSE(ReportError(host, 2, u"E:\\"));
  EXPECT_EQ(3u, host.asked());
  EXPECT_TRUE(host.errors().empty());
}

TEST(AskSkipFile, SkipEnablesStopAgainAbortAndRemovedDriveStop) {
  MemoryPlatform mp;
  bool skipAll = false;
  {
    TestHost host;
    EXPECT_EQ(2, AskSkipFile(host, mp.drives, u"E:\\", u"E:\\a.mp3", &skipAll));
    EXPECT_TRUE(host.stopEnabled());
    EXPECT_EQ(std::vector<std::u16string>{u"E:\\a.mp3"}, host.askedPaths());
    EXPECT_FALSE(skipAll);
  }
  {
    TestHost host;
    host.answers = {SkipAnswer::Abort};
    EXPECT_EQ(8, AskSkipFile(host, mp.drives, u"E:\\", u"E:\\a.mp3", &skipAll));
    EXPECT_FALSE(host.stopEnabled());
    EXPECT_FALSE(skipAll);
  }
  {
    TestHost host;
    mp.drives.Get(u'E')->readable = false;  // unplugged
    EXPECT_EQ(7, AskSkipFile(host, mp.drives, u"E:\\", u"E:\\a.mp3", &skipAll));
    EXPECT_EQ(0u, host.asked()) << "a removed drive never gets the skip question";
    ASSERT_EQ(1u, host.errors().size());
    EXPECT_EQ(u"Selected device is removed. | Error Code : E-07", host.errors()[0]);
    EXPECT_FALSE(host.stopEnabled());
  }
}

TEST(AskSkipFile, SkipAllSkipsLaterFilesUnaskedButStillSeesARemovedDrive) {
  MemoryPlatform mp;
  TestHost host;
  host.answers = {SkipAnswer::SkipAll};
  bool skipAll = false;
  EXPECT_EQ(2, AskSkipFile(host, mp.drives, u"E:\\", u"E:\\a.mp3", &skipAll));
  EXPECT_TRUE(skipAll);
  EXPECT_TRUE(host.stopEnabled());
  EXPECT_EQ(2, AskSkipFile(host, mp.drives, u"E:\\", u"E:\\b.mp3", &skipAll));
  EXPECT_EQ(2, AskSkipFile(host, mp.drives, u"E:\\", u"E:\\c.mp3", &skipAll));
  EXPECT_EQ(std::vector<std::u16string>{u"E:\\a.mp3"}, host.askedPaths()) << "asked once";
  EXPECT_TRUE(host.stopEnabled()) << "a file skipped unasked leaves the stop control on";
  mp.drives.Get(u'E')->readable = false;  // a pulled card is not one more unreadable file
  EXPECT_EQ(7, AskSkipFile(host, mp.drives, u"E:\\", u"E:\\d.mp3", &skipAll));
  ASSERT_EQ(1u, host.errors().size());
  EXPECT_EQ(u"Selected device is removed. | Error Code : E-07", host.errors()[0]);
}

}  // namespace
}  // namespace deltrix::run
