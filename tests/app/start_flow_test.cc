#include "app/start_flow.h"

#include <gtest/gtest.h>

#include "app/tag_languages.h"
#include "base/error_code.h"
#include "run/drive_checks.h"
#include "run/run_controller.h"
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

TEST(CommandLine, SplitsAtSpacesAndKeepsQuotes) {
  struct Case {
    std::u16string_view arguments;
    std::vector<std::u16string> want;
  };
  const Case cases[] = {
      {u"E:\\", {u"E:\\"}},
      {u"  E:\\  ", {u"E:\\"}},
      {u"E:\\   F:\\", {u"E:\\", u"F:\\"}},
      {u"foo E:\\", {u"foo", u"E:\\"}},
      {u"\tE:\\\t", {u"E:\\"}},  // tabs are trimmed but do not separate
      {u"E:\\\tF:\\", {u"E:\\\tF:\\"}},
      {u"\"E:\\\"", {u"\"E:\\\""}},  // a quoted root stays quoted, so it is no root
      {u"", {}},
      {u"   ", {}},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].want, SplitCommandLine(cases[i].arguments));
  }
}

TEST(CommandLine, ArgumentsFollowTheQuotedOrBareProgramName) {
  struct Case {
    std::u16string_view commandLine;
    std::u16string_view want;
  };
  const Case cases[] = {
      {u"\"C:\\Program Files\\Deltrix\\deltrix-creator-gui.exe\" E:\\", u" E:\\"},
      {u"\"C:\\Program Files\\x.exe\"E:\\", u"E:\\"},
      {u"deltrix-creator-gui.exe E:\\ F:\\", u" E:\\ F:\\"},
      {u"deltrix-creator-gui.exe\tE:\\", u"\tE:\\"},
      {u"deltrix-creator-gui.exe", u""},
      {u"\"C:\\unterminated E:\\", u""},
      {u"", u""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(cases[i].want, CommandLineArguments(cases[i].commandLine));
  }
}

TEST(NoticesAfterRun, ABusyDriveIsSaidAfterTheRunsOwnNotices) {
  EXPECT_EQ(std::vector<std::u16string>({u"kept", u"Another run is already writing to E:\\."}),
            NoticesAfterRun(run::kDriveBusy, {u"kept"}, u"E:\\"));
  EXPECT_EQ(std::vector<std::u16string>({u"kept"}), NoticesAfterRun(0, {u"kept"}, u"E:\\"));
  EXPECT_TRUE(NoticesAfterRun(RunAborted, {}, u"/media/me/STICK").empty());
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
