// The settings dialog's states and transitions over a fake drive table, without a toolkit.
#include "app/settings_presenter.h"

#include <gtest/gtest.h>

#include "app/tag_languages.h"
#include "base/error_code.h"
#include "base/utf16.h"
#include "support/memory_drive.h"
#include "support/test_host.h"

namespace deltrix::app {
namespace {

using platform::DriveTypeRemovable;
using testing::MemoryPlatform;
using testing::TestHost;

// E: FAT32 stick with a library, F: NTFS stick, G: FAT32 stick without a library, H: card reader
// without a card. Drives are named by mount points (/mnt/e), as on Linux; `namesByRoot` names
// them by their roots, as on Windows.
struct Drives {
  explicit Drives(bool namesByRoot = false) {
    mp.drives.namesByRoot = namesByRoot;
    mp.drives.Get(u'E')->volume.name = u"MUSIC";
    for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
      mp.files.AddFile(std::u16string(u"E:\\KORVANE\\LIBRARY\\") + name, "x");
    }
    mp.drives.Add({u'F', {u"WINDOWS", 7, u"NTFS"}, DriveTypeRemovable, true});
    mp.drives.Add({u'G', {u"", 9, u"FAT32"}, DriveTypeRemovable, true});
    mp.drives.Add({u'H', {}, DriveTypeRemovable, false});
  }
  MemoryPlatform mp;
};

// The view in one line: the list items with the selection, then Create, Update, the "Read changed
// files again" box and Start as "-" disabled, "e" enabled, "E" enabled and selected or checked
// ("d*" would be disabled but selected).
std::string Describe(const SettingsView& v) {
  std::string s = "[";
  for (size_t i = 0; i < v.driveItems.size(); ++i) {
    if (i) s += "|";
    if (static_cast<int>(i) == v.driveSelection) s += "*";
    s += ToUtf8(v.driveItems[i]);
  }
  auto mode = [](bool enabled, bool selected) {
    return std::string(enabled ? (selected ? "E" : "e") : (selected ? "d*" : "-"));
  };
  s += "] create " + mode(v.createEnabled, v.createSelected) + " update " +
       mode(v.updateEnabled, v.updateSelected) + " reread " +
       mode(v.rereadEnabled, v.rereadChecked) + " start " + (v.startEnabled ? "e" : "-");
  return s;
}

enum Event { DropDown, CloseUp, Choose, ClickCreate, ClickUpdate, CheckReread, ManualRunEnded };
struct Step {
  Event event;
  int index = 0;  // for Choose
};

void Apply(SettingsPresenter& p, const Step& step) {
  switch (step.event) {
    case DropDown:
      p.OnDriveDropDown();
      break;
    case CloseUp:
      p.OnDriveCloseUp();
      break;
    case Choose:
      p.OnDriveSelChange(step.index);
      break;
    case ClickCreate:
      p.OnModeClicked(false);
      break;
    case ClickUpdate:
      p.OnModeClicked(true);
      break;
    case CheckReread:
      p.OnRereadClicked(true);
      break;
    case ManualRunEnded:
      p.OnManualRunEnded();
      break;
  }
}

constexpr const char* kNoDrive = "[*Please Select Drive.] create - update - reread - start -";
constexpr const char* kListOpen =
    "[E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create - update - reread - start -";

TEST(SettingsPresenter, FollowsTheTransitionsOfTheSettingsDialog) {
  struct Case {
    const char* what;
    std::vector<Step> steps;  // the list closes after a choice, as the list control does
    const char* want;
  };
  const Case cases[] = {
      {"after initialisation", {}, kNoDrive},
      {"the list opens with fresh labels and no selection", {{DropDown}}, kListOpen},
      {"closing the list without a choice", {{DropDown}, {CloseUp}}, kNoDrive},
      {"a drive with a library selects Update",
       {{DropDown}, {Choose, 0}, {CloseUp}},
       "[*E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create e update E reread e start e"},
      {"...and the user may still switch to Create",
       {{DropDown}, {Choose, 0}, {CloseUp}, {ClickCreate}},
       "[*E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create E update e reread - start e"},
      {"NTFS disables both modes and Start",
       {{DropDown}, {Choose, 1}, {CloseUp}},
       "[E:\\ [MUSIC]|*F:\\ [WINDOWS]|G:\\|H:\\] create - update - reread - start -"},
      {"a new drive can only be created",
       {{DropDown}, {Choose, 2}, {CloseUp}, {ClickUpdate}},
       "[E:\\ [MUSIC]|F:\\ [WINDOWS]|*G:\\|H:\\] create E update - reread - start e"},
      {"a slot without a card is unsupported",
       {{DropDown}, {Choose, 3}, {CloseUp}},
       "[E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|*H:\\] create - update - reread - start -"},
      {"a library drive, then NTFS, clears the modes",
       {{DropDown}, {Choose, 0}, {CloseUp}, {DropDown}, {Choose, 1}, {CloseUp}},
       "[E:\\ [MUSIC]|*F:\\ [WINDOWS]|G:\\|H:\\] create - update - reread - start -"},
      {"opening the list again keeps the modes until a choice",
       {{DropDown}, {Choose, 2}, {CloseUp}, {DropDown}},
       "[E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create E update - reread - start e"},
      {"...and closing it then without a choice resets",
       {{DropDown}, {Choose, 2}, {CloseUp}, {DropDown}, {CloseUp}},
       kNoDrive},
      {"Update enables the box, which a click checks",
       {{DropDown}, {Choose, 0}, {CloseUp}, {CheckReread}},
       "[*E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create e update E reread E start e"},
      {"Create disables the box and shows it clear",
       {{DropDown}, {Choose, 0}, {CloseUp}, {CheckReread}, {ClickCreate}},
       "[*E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create E update e reread - start e"},
      {"...and Update again brings the choice back",
       {{DropDown}, {Choose, 0}, {CloseUp}, {CheckReread}, {ClickCreate}, {ClickUpdate}},
       "[*E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create e update E reread E start e"},
      {"a click on the disabled box is ignored",
       {{DropDown}, {Choose, 2}, {CloseUp}, {CheckReread}, {DropDown}, {Choose, 0}, {CloseUp}},
       "[*E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create e update E reread e start e"},
      {"after a manual run", {{DropDown}, {Choose, 0}, {CloseUp}, {ManualRunEnded}}, kNoDrive},
      {"a manual run clears the box",
       {{DropDown},
        {Choose, 0},
        {CloseUp},
        {CheckReread},
        {ManualRunEnded},
        {DropDown},
        {Choose, 0},
        {CloseUp}},
       "[*E:\\ [MUSIC]|F:\\ [WINDOWS]|G:\\|H:\\] create e update E reread e start e"},
      {"a choice outside the list is no choice", {{DropDown}, {Choose, 9}}, kNoDrive},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drives d(true);
    SettingsPresenter p(d.mp.platform, 4);
    for (const Step& step : c.steps) Apply(p, step);
    EXPECT_EQ(c.want, Describe(p.view()));
    EXPECT_EQ(4, p.view().languageSelection) << "the language keeps the locale default";
  }
}

TEST(SettingsPresenter, ReadsTheDriveListAfreshEachTimeItOpens) {
  Drives d(true);
  SettingsPresenter p(d.mp.platform, 2);
  p.OnDriveDropDown();
  ASSERT_EQ(4u, p.view().driveItems.size());
  d.mp.drives.Remove(u'F');
  d.mp.drives.Add({u'Z', {u"LAST", 3, u"FAT32"}, DriveTypeRemovable, true});  // Z is never listed
  d.mp.drives.Get(u'G')->volume.name = u"NEW";
  p.OnDriveDropDown();
  EXPECT_EQ((std::vector<std::u16string>{u"E:\\ [MUSIC]", u"G:\\ [NEW]", u"H:\\"}),
            p.view().driveItems);
  p.OnDriveSelChange(1);  // the index maps to the fresh list: G, a new drive
  EXPECT_TRUE(p.view().createSelected);
  EXPECT_FALSE(p.view().updateEnabled);
}

TEST(SettingsPresenter, NamesDrivesByLabelAndMountPointWhereThePlatformDoes) {
  Drives d;
  d.mp.drives.Get(u'E')->volume.name = u"МУЗЫКА";
  d.mp.drives.Add({u'I', {u"NAS", 5, u"FAT32"}, platform::DriveTypeRemote, true});
  d.mp.drives.Add({u'J', {u"DISC", 6, u"UDF"}, platform::DriveTypeCdRom, true});
  SettingsPresenter p(d.mp.platform, 2);
  p.OnDriveDropDown();
  EXPECT_EQ((std::vector<std::u16string>{
                u"МУЗЫКА — /mnt/e", u"WINDOWS — /mnt/f (not FAT)", u"/mnt/g", u"/mnt/h (no medium)",
                u"NAS — /mnt/i (network drive)", u"DISC — /mnt/j (optical drive)"}),
            p.view().driveItems);
  p.OnDriveSelChange(0);
  EXPECT_TRUE(p.view().updateSelected) << "the items map to the same drives as in letter form";
}

TEST(SettingsPresenter, ReadsTheDrivesAgainWhenTheyChangeWhileTheDialogIsOpen) {
  struct Case {
    const char* what;
    std::vector<Step> steps;
    char16_t pulled;  // the drive pulled; 0: a card goes into the reader H: instead
    const char* want;
  };
  const Case cases[] = {
      {"nothing read yet: the list stays as it is", {}, 0, kNoDrive},
      {"the list is open: a card appears in it",
       {{DropDown}},
       0,
       "[MUSIC — /mnt/e|WINDOWS — /mnt/f (not FAT)|/mnt/g|CARD — /mnt/h] create - update - reread "
       "- start "
       "-"},
      {"a chosen drive stays chosen and is judged again",
       {{DropDown}, {Choose, 2}, {CloseUp}},
       0,
       "[MUSIC — /mnt/e|WINDOWS — /mnt/f (not FAT)|*/mnt/g|CARD — /mnt/h] create E update - reread "
       "- start "
       "e"},
      {"the chosen drive is pulled: back to no drive",
       {{DropDown}, {Choose, 2}, {CloseUp}},
       u'G',
       kNoDrive},
      {"a drive before it is pulled: the choice follows its drive to its new place",
       {{DropDown}, {Choose, 2}, {CloseUp}},
       u'F',
       "[MUSIC — /mnt/e|*/mnt/g|/mnt/h (no medium)] create E update - reread - start e"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drives d;
    SettingsPresenter p(d.mp.platform, 2);
    for (const Step& step : c.steps) Apply(p, step);
    if (c.pulled) {
      d.mp.drives.Remove(c.pulled);
    } else {
      d.mp.drives.Get(u'H')->readable = true;
      d.mp.drives.Get(u'H')->volume = {u"CARD", 11, u"FAT32"};
    }
    p.OnDrivesChanged();
    EXPECT_EQ(c.want, Describe(p.view()));
  }

  // A list opened with no drive at all gets the card inserted while it is open.
  Drives d;
  for (char16_t letter : {u'E', u'F', u'G', u'H'}) d.mp.drives.Remove(letter);
  SettingsPresenter p(d.mp.platform, 2);
  p.OnDriveDropDown();
  EXPECT_EQ("[] create - update - reread - start -", Describe(p.view()));
  d.mp.drives.Add({u'E', {u"CARD", 11, u"FAT32"}, DriveTypeRemovable, true});
  p.OnDrivesChanged();
  EXPECT_EQ("[CARD — /mnt/e] create - update - reread - start -", Describe(p.view()));
}

TEST(SettingsPresenter, StartConfirmsTheChosenDriveLanguageAndMode) {
  struct Case {
    const char* what;
    int drive;
    bool clickCreate;
    int language;
    std::u16string_view wantMessage;
    int wantMode;
    bool checkReread = false;  // before Create is clicked
  };
  const Case cases[] = {
      {"library drive, Update", 0, false, 4, run::kUpdateMessage, 1},
      {"library drive, Update reading changed files", 0, false, 4, run::kUpdateMessage, 1, true},
      {"library drive, Create: the overwrite question", 0, true, 0, run::kOverwriteMessage, 0},
      {"library drive, Create after the box was checked", 0, true, 0, run::kOverwriteMessage, 0,
       true},
      {"new drive", 2, false, 8, run::kCreateMessage, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drives d;
    SettingsPresenter p(d.mp.platform, 2);
    p.OnDriveDropDown();
    p.OnDriveSelChange(c.drive);
    p.OnDriveCloseUp();
    if (c.checkReread) p.OnRereadClicked(true);
    if (c.clickCreate) p.OnModeClicked(false);
    p.OnLanguageSelChange(c.language);
    StartConfirmation confirmation;
    ASSERT_TRUE(p.OnStart(&confirmation));
    EXPECT_EQ(c.wantMessage, confirmation.request.message);
    EXPECT_EQ(c.wantMode, confirmation.request.runMode);
    EXPECT_EQ(c.checkReread && c.wantMode == 1, confirmation.request.rereadChanged);
    EXPECT_EQ(c.language + 1, confirmation.request.tagLanguage);
    const std::u16string root = c.drive == 0 ? u"E:\\" : u"G:\\";
    EXPECT_EQ(root, confirmation.request.driveRoot);
    // The fake drive table names drives by /mnt/<letter>, as a mount point would.
    const std::u16string shown = c.drive == 0 ? u"/mnt/e" : u"/mnt/g";
    EXPECT_EQ(shown + u"\n" + std::u16string(kTagLanguageNames[c.language]), confirmation.values());
    EXPECT_TRUE(p.view().startEnabled) << "Start itself changes nothing until the run has ended";
  }
}

TEST(SettingsPresenter, StartDoesNothingWhileDisabledAndARemovedDriveStillGetsAMessage) {
  Drives d;
  SettingsPresenter p(d.mp.platform, 2);
  StartConfirmation confirmation;
  EXPECT_FALSE(p.OnStart(&confirmation)) << "no drive chosen";
  p.OnDriveDropDown();
  p.OnDriveSelChange(1);
  EXPECT_FALSE(p.OnStart(&confirmation)) << "NTFS chosen";

  p.OnDriveDropDown();
  p.OnDriveSelChange(0);
  d.mp.drives.Remove(u'E');  // pulled out after it was chosen: class 3 now
  ASSERT_TRUE(p.OnStart(&confirmation));
  EXPECT_EQ(run::kUpdateMessage, confirmation.request.message);
  p.OnModeClicked(false);
  ASSERT_TRUE(p.OnStart(&confirmation));
  EXPECT_EQ(run::kCreateMessage, confirmation.request.message)
      << "no library can be seen on a missing drive";
}

TEST(SettingsPresenter, PathStartsUseTheLocaleLanguageAndReportErrorsOneFiveAndSix) {
  struct Case {
    const char* what;
    std::vector<std::u16string> driveItems;
    StartSource source;
    std::u16string wantError;  // empty: confirmed
    int wantMode;
  };
  const Case cases[] = {
      {"a dropped root with a library is updated", {u"E:\\"}, StartSource::Drop, u"", 1},
      {"a root on the command line without a library is created",
       {u"G:\\"},
       StartSource::CommandLine,
       u"",
       0},
      {"a dropped folder",
       {u"E:\\Music"},
       StartSource::Drop,
       u"Can only create a Library in the Root Directory. | Error Code : E-01",
       0},
      {"a dropped path on no drive",
       {u""},
       StartSource::Drop,
       u"Can only create a Library in the Root Directory. | Error Code : E-01",
       0},
      {"two dropped drives",
       {u"E:\\", u"G:\\"},
       StartSource::Drop,
       u"Cannot make the library for multiple devices. | Error Code : E-05",
       0},
      {"a folder and a drive dropped",
       {u"E:\\Music", u"G:\\"},
       StartSource::Drop,
       u"Cannot make the library for multiple devices. | Error Code : E-05",
       0},
      {"two roots on the command line",
       {u"E:\\", u"G:\\"},
       StartSource::CommandLine,
       u"Cannot make the library for multiple devices. | Error Code : E-05",
       0},
      {"a word, then a root on the command line",
       {u"", u"G:\\"},
       StartSource::CommandLine,
       u"Can only create a Library in the Root Directory. | Error Code : E-01",
       0},
      {"an NTFS root",
       {u"F:\\"},
       StartSource::Drop,
       u"[/mnt/f] is not supported device. | Error Code : E-06",
       0},
      {"a card reader without a card",
       {u"H:\\"},
       StartSource::CommandLine,
       u"[/mnt/h] is not supported device. | Error Code : E-06",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Drives d;
    SettingsPresenter p(d.mp.platform, DefaultTagLanguage("de"));
    p.OnLanguageSelChange(2);  // English in the list: a path start does not look at it
    std::vector<std::u16string> shown;
    for (const std::u16string& item : c.driveItems) {
      shown.push_back(item.size() >= 2 ? u"/mnt/" + std::u16string(1, AsciiLower(item[0]))
                                       : u"foo");
    }
    TestHost host;
    StartConfirmation confirmation;
    const SettingsView before = p.view();
    const bool ok = p.StartFromPaths(host, c.driveItems, shown, c.source, &confirmation);
    EXPECT_EQ(Describe(before), Describe(p.view())) << "a path start leaves the dialog as it was";
    if (c.wantError.empty()) {
      ASSERT_TRUE(ok);
      EXPECT_TRUE(host.errors().empty());
      EXPECT_EQ(c.wantMode, confirmation.request.runMode);
      EXPECT_EQ(5, confirmation.request.tagLanguage);
      EXPECT_EQ(shown[0] + u"\nGerman", confirmation.values());
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(std::vector<std::u16string>{c.wantError}, host.errors());
    }
  }
}

}  // namespace
}  // namespace deltrix::app
