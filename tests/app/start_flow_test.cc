#include "app/start_flow.h"

#include <gtest/gtest.h>

#include "app/tag_languages.h"
#include "base/error_code.h"
#include "run/drive_checks.h"
#include "support/memory_drive.h"
#include "support/test_host.h"

namespace deltrix::app {
namespace {

using testing::MemoryPlatform;
using testing::TestHost;

TEST(StartItems, CommandLineTestsTheRootFirstAndDropsTheCountFirst) {
  struct Case {
    std::vector<std::u16string> items;
    StartSource source;
    int want;
  };
  const Case cases[] = {
      {{u"E:\\"}, StartSource::CommandLine, 0},
      {{u"E:\\", u"F:\\"}, StartSource::CommandLine, MultipleDevices},
      {{u"", u"E:\\"}, StartSource::CommandLine, NotRootDirectory},  // foo E:\ (foo is on no drive)
      {{u"E:\\Music"}, StartSource::CommandLine, NotRootDirectory},
      {{u"E:\\Music", u"F:\\"}, StartSource::Drop, MultipleDevices},
      {{u"E:\\Music"}, StartSource::Drop, NotRootDirectory},
      {{}, StartSource::Drop, MultipleDevices},
      {{u"E:\\"}, StartSource::Drop, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    TestHost host;
    EXPECT_EQ(cases[i].want, CheckStartItems(host, cases[i].items, cases[i].source));
    EXPECT_EQ(cases[i].want == 0 ? 0u : 1u, host.errors().size());
  }
}

TEST(StartWithPath, UpdatesALibraryCreatesOtherwiseAndRefusesNtfs) {
  MemoryPlatform mp;
  TestHost host;
  StartRequest request;
  ASSERT_TRUE(StartWithPath(mp.platform, host, u"E:\\", u"/media/me/STICK", 4, &request));
  EXPECT_EQ(0, request.runMode);
  EXPECT_EQ(run::kCreateMessage, request.message);
  EXPECT_EQ(5, request.tagLanguage);
  EXPECT_EQ(u"German", request.languageName);

  for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
    mp.files.AddFile(std::u16string(u"E:\\KORVANE\\LIBRARY\\") + name, "x");
  }
  ASSERT_TRUE(StartWithPath(mp.platform, host, u"E:\\", u"E:\\", 2, &request));
  EXPECT_EQ(1, request.runMode) << "a drive with a library is always updated on this path";
  EXPECT_EQ(run::kUpdateMessage, request.message);

  mp.drives.Get(u'E')->volume.fileSystem = u"NTFS";
  EXPECT_FALSE(StartWithPath(mp.platform, host, u"E:\\", u"/media/me/STICK", 2, &request));
  ASSERT_EQ(1u, host.errors().size());
  EXPECT_EQ(u"[/media/me/STICK] is not supported device. | Error Code : E-06", host.errors()[0]);
}

TEST(ConfirmationMessage, OverwriteOnlyForCreateOverALibrary) {
  EXPECT_EQ(run::kUpdateMessage, ConfirmationMessage(true, run::DriveHasLibrary));
  EXPECT_EQ(run::kOverwriteMessage, ConfirmationMessage(false, run::DriveHasLibrary));
  EXPECT_EQ(run::kCreateMessage, ConfirmationMessage(false, run::DriveUsable));
}

TEST(TagLanguages, DefaultFollowsTheUserLanguageAndFallsBackToEnglish) {
  EXPECT_EQ(4, DefaultTagLanguage("de"));
  EXPECT_EQ(0, DefaultTagLanguage("ja"));
  EXPECT_EQ(8, DefaultTagLanguage("ru"));
  EXPECT_EQ(2, DefaultTagLanguage("ko"));
  EXPECT_EQ(2, DefaultTagLanguage(""));
  EXPECT_EQ(1, FindTagLanguage("chinese"));
  EXPECT_EQ(-1, FindTagLanguage("Klingon"));
}

}  // namespace
}  // namespace deltrix::app
