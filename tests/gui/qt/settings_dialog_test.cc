// The settings dialog through its widgets: the drive list read afresh, the mode buttons and Start
// by drive class, the start flows with their confirmation messages, and the drop and command-line
// starts with errors 1, 5 and 6.
#include "gui/qt/settings_dialog.h"

#include <sys/mount.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "base/error_code.h"
#include "gui_test_support.h"
#include "platform/posix/mount_watch.h"

namespace deltrix::gui {
namespace {

using testing::Click;
using testing::DialogScript;
using testing::GuiDrives;
using testing::Text;

struct Widgets {
  explicit Widgets(CSettingDlg& d)
      : drives(d.findChild<DriveComboBox*>(QStringLiteral("drives"))),
        languages(d.findChild<QComboBox*>(QStringLiteral("languages"))),
        create(d.findChild<QRadioButton*>(QStringLiteral("create"))),
        update(d.findChild<QRadioButton*>(QStringLiteral("update"))),
        reread(d.findChild<QCheckBox*>(QStringLiteral("reread"))),
        start(d.findChild<QPushButton*>(QStringLiteral("start"))) {}

  // The state as the user sees it: the list, the modes and the "Read changed files again" box
  // ("-" disabled, "e" enabled, "E" selected or checked) and Start.
  QString Describe() const {
    QStringList items;
    for (int i = 0; i < drives->count(); ++i)
      items << (i == drives->currentIndex() ? "*" : "") + drives->itemText(i);
    auto mode = [](QAbstractButton* b) {
      return QString::fromLatin1(!b->isEnabled() ? (b->isChecked() ? "d*" : "-")
                                                 : (b->isChecked() ? "E" : "e"));
    };
    return "[" + items.join('|') + "] create " + mode(create) + " update " + mode(update) +
           " reread " + mode(reread) + " start " + (start->isEnabled() ? "e" : "-");
  }

  // Opens the list and clicks item `index`, or closes it without a choice when `index` < 0.
  void Choose(int index) {
    drives->showPopup();
    QAbstractItemView* view = drives->view();
    QTRY_VERIFY(view->isVisible());
    if (index < 0) {
      drives->hidePopup();
    } else {
      const QRect item = view->visualRect(view->model()->index(index, 0));
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    }
    QTRY_VERIFY(!view->isVisible());
    QCoreApplication::processEvents();  // the close-up is looked at after the choice
  }

  DriveComboBox* drives;
  QComboBox* languages;
  QRadioButton* create;
  QRadioButton* update;
  QCheckBox* reread;
  QPushButton* start;
};

const QString kNoDrive =
    QStringLiteral("[*Please Select Drive.] create - update - reread - start -");

void DropPaths(QWidget* target, const QStringList& paths) {
  QMimeData mime;
  QList<QUrl> urls;
  for (const QString& p : paths) urls << (p.startsWith('/') ? QUrl::fromLocalFile(p) : QUrl(p));
  mime.setUrls(urls);
  const QPointF at(target->width() / 2.0, target->height() / 2.0);
  QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
}

}  // namespace

class SettingsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void statesFollowTheDriveChosen() {
    struct Case {
      const char* what;
      std::vector<int> choices;  // -1 closes the list without a choice
      bool clickCreate;
      const char* want;
    };
    const Case cases[] = {
        {"opened and closed without a choice",
         {-1},
         false,
         "[*Please Select Drive.] create - update - reread - start -"},
        {"a drive with a library",
         {0},
         false,
         "[*MUSIC — /mnt/e|WINDOWS — /mnt/f (not FAT)|/mnt/g] create e update E reread e start e"},
        {"...switched to Create",
         {0},
         true,
         "[*MUSIC — /mnt/e|WINDOWS — /mnt/f (not FAT)|/mnt/g] create E update e reread - start e"},
        {"an NTFS stick",
         {1},
         false,
         "[MUSIC — /mnt/e|*WINDOWS — /mnt/f (not FAT)|/mnt/g] create - update - reread - start -"},
        {"a new stick",
         {2},
         false,
         "[MUSIC — /mnt/e|WINDOWS — /mnt/f (not FAT)|*/mnt/g] create E update - reread - start e"},
        {"library, then NTFS",
         {0, 1},
         false,
         "[MUSIC — /mnt/e|*WINDOWS — /mnt/f (not FAT)|/mnt/g] create - update - reread - start -"},
        {"a drive, then closed without a choice",
         {2, -1},
         false,
         "[*Please Select Drive.] create - update - reread - start -"},
    };
    for (const Case& c : cases) {
      GuiDrives drives;
      CSettingDlg dialog(drives.mp.platform, drives.factory);
      dialog.show();
      Widgets w(dialog);
      QCOMPARE(w.Describe(), kNoDrive);
      for (int choice : c.choices) w.Choose(choice);
      if (c.clickCreate) QTest::mouseClick(w.create, Qt::LeftButton);
      QVERIFY2(w.Describe() == QString::fromUtf8(c.want),
               qPrintable(QString::fromLatin1(c.what) + ": " + w.Describe()));
    }
  }

  void theDriveListIsReadAfreshAndTheLanguageFollowsTheLocale() {
    GuiDrives drives;
    drives.mp.text.language = "ru";
    CSettingDlg dialog(drives.mp.platform, drives.factory);
    dialog.show();
    Widgets w(dialog);
    QCOMPARE(w.languages->currentText(), QStringLiteral("Russian"));
    QCOMPARE(w.languages->count(), 9);
    w.drives->showPopup();
    QCOMPARE(w.drives->count(), 3);
    QCOMPARE(w.drives->currentIndex(), -1);
    w.drives->hidePopup();
    QCoreApplication::processEvents();
    drives.mp.drives.Get(u'G')->volume.name = u"МУЗЫКА";
    drives.mp.drives.Remove(u'F');
    w.Choose(1);
    QCOMPARE(w.drives->currentText(), QStringLiteral("МУЗЫКА — /mnt/g"));
    QVERIFY(w.create->isChecked());
  }

  void theListFollowsCardsInsertedAndRemovedWhileTheDialogIsOpen() {
    GuiDrives drives;
    CSettingDlg dialog(drives.mp.platform, drives.factory);
    dialog.show();
    Widgets w(dialog);
    w.Choose(2);
    drives.mp.drives.Add({u'H', {u"CARD", 11, u"FAT32"}, platform::DriveTypeRemovable, true});
    dialog.OnDrivesChanged();
    QCOMPARE(w.Describe(),
             QStringLiteral("[MUSIC — /mnt/e|WINDOWS — /mnt/f (not FAT)|*/mnt/g|CARD — /mnt/h] "
                            "create E update - reread - start e"));
    drives.mp.drives.Remove(u'G');  // the chosen card is pulled
    dialog.OnDrivesChanged();
    QCOMPARE(w.Describe(), kNoDrive);
  }

  // A real change of the mount table reaches the dialog through the watch, one second after it.
  // Mounting needs the right to mount; without it the test is skipped.
  void aMountTableChangeReachesTheDialogAfterItSettles() {
    namespace fs = std::filesystem;
    platform::posix::MountWatch watch;
    QVERIFY(watch.fd() >= 0);
    GuiDrives drives;
    CSettingDlg dialog(drives.mp.platform, drives.factory);
    dialog.show();
    Widgets w(dialog);
    w.Choose(2);
    dialog.WatchDrives(watch.fd());
    drives.mp.drives.Remove(u'G');  // what the drive table will say when it is read again
    QCoreApplication::processEvents();
    QVERIFY(w.Describe() != kNoDrive);

    const fs::path point =
        fs::temp_directory_path() / ("deltrix_dialog_watch_" + std::to_string(getpid()));
    fs::create_directories(point);
    if (mount("none", point.c_str(), "tmpfs", 0, "size=64k") != 0) {
      fs::remove(point);
      QSKIP("no right to mount here");
    }
    umount(point.c_str());
    fs::remove(point);
    QTest::qWait(200);  // the change has arrived, but the list waits for the burst to settle
    QVERIFY(w.Describe() != kNoDrive);
    QTRY_COMPARE_WITH_TIMEOUT(w.Describe(), kNoDrive, 5000);
  }

  void startConfirmsRunsAndComesBackWithNoDrive() {
    GuiDrives drives;
    drives.AddAudio(u"E:\\a.mp3");
    CSettingDlg dialog(drives.mp.platform, drives.factory);
    dialog.show();
    Widgets w(dialog);
    w.Choose(0);
    QTest::mouseClick(w.create, Qt::LeftButton);  // over a library: the overwrite question

    DialogScript script;
    script.Then("CStartCheckDlg", [](QDialog* d) {
      QCOMPARE(Text(d, "message"),
               QStringLiteral("A previous Library has been located on the selected drive!\n"
                              "Are you sure you want to overwrite this?"));
      QCOMPARE(Text(d, "values"), QStringLiteral("/mnt/e\nEnglish"));
      Click(d, QStringLiteral("Cancel"));
    });
    QTest::mouseClick(w.start, Qt::LeftButton);
    QVERIFY(script.finished());
    QCOMPARE(w.Describe(), QStringLiteral("[*MUSIC — /mnt/e|WINDOWS — /mnt/f (not FAT)|/mnt/g] "
                                          "create E update e reread - start e"));
    QVERIFY2(drives.script.Calls().empty(), "a cancelled confirmation runs nothing");

    QTest::mouseClick(w.update, Qt::LeftButton);
    QTest::mouseClick(w.reread, Qt::LeftButton);  // an update that reads changed files again
    w.languages->setCurrentIndex(1);
    emit w.languages->activated(1);
    bool minimised = false;
    script.Then("CStartCheckDlg", [](QDialog* d) {
      QCOMPARE(Text(d, "message"),
               QStringLiteral("Are you sure you would like to update the library using these "
                              "settings?"));
      QCOMPARE(Text(d, "values"), QStringLiteral("/mnt/e\nChinese"));
      Click(d, QStringLiteral("OK"));
    });
    script.Then("CFinshDialog", [&](QDialog* d) {
      minimised = dialog.isMinimized();
      Click(d, QStringLiteral("Finish"));
    });
    QTest::mouseClick(w.start, Qt::LeftButton);
    QVERIFY(script.finished());
    QVERIFY(script.unexpected.isEmpty());
    QVERIFY2(minimised, "the settings dialog is minimised while the run dialog is open");
    QVERIFY(!dialog.isMinimized());
    QVERIFY(dialog.isVisible());
    QCOMPARE(drives.script.Calls().front(), std::string("update open"));
    QVERIFY(drives.script.rereadChanged);
    QCOMPARE(w.Describe(), kNoDrive);
  }

  void dropsStartOneDriveWithTheLocaleLanguage() {
    struct Case {
      const char* what;
      QStringList paths;
      const char* error;  // nullptr: the confirmation follows
    };
    const Case cases[] = {
        {"a folder below a root",
         {QStringLiteral("/mnt/e/Music")},
         "Can only create a Library in the Root Directory."},
        {"a file on no drive",
         {QStringLiteral("/home/me/a.mp3")},
         "Can only create a Library in the Root Directory."},
        {"not a local file",
         {QStringLiteral("https://example.org/x")},
         "Can only create a Library in the Root Directory."},
        {"two drives",
         {QStringLiteral("/mnt/e"), QStringLiteral("/mnt/g")},
         "Cannot make the library for multiple devices."},
        {"an NTFS stick", {QStringLiteral("/mnt/f")}, "[/mnt/f] is not supported device."},
        {"a mount point", {QStringLiteral("/mnt/e/")}, nullptr},
    };
    for (const Case& c : cases) {
      GuiDrives drives;
      drives.mp.text.language = "de";
      CSettingDlg dialog(drives.mp.platform, drives.factory);
      dialog.show();
      Widgets w(dialog);
      w.Choose(2);
      w.languages->setCurrentIndex(2);
      const QString before = w.Describe();
      DialogScript script;
      if (c.error) {
        script.Then("CErrorDlg", [&](QDialog* d) {
          QCOMPARE(Text(d, "message"), QString::fromUtf8(c.error));
          Click(d, QStringLiteral("OK"));
        });
      } else {
        script.Then("CStartCheckDlg", [](QDialog* d) {
          QCOMPARE(Text(d, "message"),
                   QStringLiteral("Are you sure you would like to update the library using "
                                  "these settings?"));
          QCOMPARE(Text(d, "values"), QStringLiteral("/mnt/e\nGerman"));
          Click(d, QStringLiteral("OK"));
        });
        script.Then("CFinshDialog", [](QDialog* d) { Click(d, QStringLiteral("Finish")); });
      }
      DropPaths(&dialog, c.paths);
      QTRY_VERIFY2(script.finished(), c.what);
      QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
      QCOMPARE(w.Describe(), before);  // a drop leaves the dialog as it was
      QCOMPARE(drives.script.Calls().empty(), c.error != nullptr);
    }
  }

  void aDriveThatAnotherRunIsWritingIsNamedAfterTheRunDialogCloses() {
    GuiDrives drives;
    const auto held = drives.mp.locks.TryLockDrive(u"E:\\");  // another run's lock on that drive
    QVERIFY(held != nullptr);
    CSettingDlg dialog(drives.mp.platform, drives.factory);
    dialog.show();
    DialogScript script;
    script.Then("CStartCheckDlg", [](QDialog* d) { Click(d, QStringLiteral("OK")); });
    script.Then("notice", [&](QDialog* d) {
      QVERIFY(dialog.isVisible() && !dialog.isMinimized());
      QCOMPARE(static_cast<QMessageBox*>(d)->text(),
               QStringLiteral("Another run is already writing to /mnt/e."));
      d->accept();
    });
    dialog.OnDropFiles({"/mnt/e"});
    QVERIFY(script.finished());
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
    QCOMPARE(dialog.runDialog().resultCode(), run::kDriveBusy);
    QVERIFY(drives.script.Calls().empty());
  }

  void theCommandLineNeverLeavesTheDialogOpen() {
    struct Case {
      QStringList arguments;
      const char* error;  // nullptr: confirmed and run
      int want;
    };
    const Case cases[] = {
        {{QStringLiteral("/mnt/e"), QStringLiteral("/mnt/g")},
         "Cannot make the library for multiple devices.",
         -1},
        {{QStringLiteral("foo"), QStringLiteral("/mnt/e")},
         "Can only create a Library in the Root Directory.",
         -1},
        {{QStringLiteral("\"/mnt/e\"")}, "Can only create a Library in the Root Directory.", -1},
        {{QStringLiteral("/mnt/f")}, "[/mnt/f] is not supported device.", -1},
        {{QStringLiteral(" /mnt/g "), QStringLiteral("")}, nullptr, Success},
    };
    for (const Case& c : cases) {
      GuiDrives drives;
      CSettingDlg dialog(drives.mp.platform, drives.factory);
      DialogScript script;
      bool settingsShown = false;
      if (c.error) {
        script.Then("CErrorDlg", [&](QDialog* d) {
          settingsShown = settingsShown || dialog.isVisible();
          QCOMPARE(Text(d, "message"), QString::fromUtf8(c.error));
          Click(d, QStringLiteral("OK"));
        });
      } else {
        script.Then("CStartCheckDlg", [&](QDialog* d) {
          settingsShown = settingsShown || dialog.isVisible();
          QCOMPARE(Text(d, "message"),
                   QStringLiteral("Are you sure you would like to create the library using "
                                  "these settings?"));
          QCOMPARE(Text(d, "values"), QStringLiteral("/mnt/g\nEnglish"));
          Click(d, QStringLiteral("OK"));
        });
        script.Then("CFinshDialog", [&](QDialog* d) {
          settingsShown = settingsShown || dialog.isVisible();
          Click(d, QStringLiteral("Finish"));
        });
      }
      QCOMPARE(dialog.StartFromCommandLine(c.arguments), c.want);
      QVERIFY(script.finished());
      QVERIFY(!settingsShown);
      QVERIFY(!dialog.isVisible());
    }
  }
};

}  // namespace deltrix::gui

int RunSettingsDialogTests(int argc, char** argv) {
  deltrix::gui::SettingsDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "settings_dialog_test.moc"
