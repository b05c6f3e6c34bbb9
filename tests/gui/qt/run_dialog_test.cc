// The run dialog driven by scripted runs: what it draws, the stop question (No resumes, Yes stops
// and restores the library), Cancel doing nothing while a question is open or the run finishes, a
// run that cannot start, and the dialog reused for a second run.
#include "gui/qt/run_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <thread>

#include "base/error_code.h"
#include "gui_test_support.h"
#include "platform/posix/posix_platform.h"
#include "run/library_builders.h"

namespace deltrix::gui {
namespace {

using testing::CancelButton;
using testing::Click;
using testing::DialogScript;
using testing::Gate;
using testing::GuiDrives;
using testing::Text;

int Bar(QWidget* run) { return run->findChild<QProgressBar*>(QStringLiteral("bar"))->value(); }

// Opens a gate when a scripted step ends, also when a failed check returns early, so that a
// failing test ends instead of leaving the worker waiting.
struct OpenOnExit {
  Gate& gate;
  ~OpenOnExit() { gate.Open(); }
};

// Four files in E:\Music; the third holds the worker at `gate` before it is taken in.
void FourFiles(GuiDrives& drives, Gate& gate) {
  for (const char16_t* name : {u"01.mp3", u"02.mp3", u"03.mp3", u"04.mp3"}) {
    drives.AddAudio(std::u16string(u"E:\\Music\\") + name);
  }
  drives.script.add = [&gate](std::u16string_view path, library::BuildOwner&) {
    if (path.ends_with(u"03.mp3")) gate.Wait();
    return 0;
  };
}

QPushButton* ButtonNamed(QWidget* dialog, const QString& text) {
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

}  // namespace

class RunDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void drawsTheProgressViewAndFinishes() {
    GuiDrives drives;
    Gate gate;
    FourFiles(drives, gate);
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    int barAtFinish = -1;
    QString titleAtFinish;
    script.Then("CRunDlg", [&](QDialog* d) {
      OpenOnExit opener{gate};
      QTRY_VERIFY(gate.waiting() && run.controller().state().scanDone);
      QTRY_COMPARE(Text(d, "done"), QStringLiteral("2"));
      // A tick taken before the scan ended may have shown 2 of 2: wait for one taken after it.
      QTRY_COMPARE(Text(d, "total"), QStringLiteral("4"));
      QCOMPARE(Text(d, "countLabel"), QStringLiteral("Processed"));
      QCOMPARE(Text(d, "heading"), QStringLiteral("Creating.."));
      QTRY_COMPARE(Bar(d), 47);  // trunc(0.5 x 95)
      QTRY_COMPARE(d->windowTitle(),
                   QStringLiteral("47% / /mnt/e"));  // the user's own form of the drive
      QCOMPARE(Text(d, "path").remove(QChar(0x200B)), QStringLiteral("/mnt/e/Music/03.mp3"));
      QCOMPARE(Text(d, "elapsed"), QStringLiteral("00:00"));
      QCOMPARE(Text(d, "remaining"), QStringLiteral("--:--"));
      drives.mp.clock.now += 65;  // the next tick sees a new second
      QTRY_COMPARE(Text(d, "elapsed"), QStringLiteral("01:05"));
      QVERIFY(CancelButton(d)->isEnabled());
      // Whatever the tick shows is the progress model's view, drawn unchanged.
      QCOMPARE(Text(d, "remaining"), QString::fromStdU16String(run.view().remaining));
      gate.Open();
    });
    script.Then("CFinshDialog", [&](QDialog* d) {
      barAtFinish = Bar(&run);
      titleAtFinish = run.windowTitle();
      QVERIFY(!CancelButton(&run)->isEnabled());
      QCOMPARE(Text(d, "message"), QStringLiteral("4 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QVERIFY(script.unexpected.isEmpty());
    QCOMPARE(barAtFinish, 100);
    QCOMPARE(titleAtFinish, QStringLiteral("100% / /mnt/e"));
    QCOMPARE(run.resultCode(), int(Success));
    QCOMPARE(drives.script.Calls(), (std::vector<std::string>{"open", "final", "finish", "close"}));
  }

  void cancelThenNoResumes() {
    GuiDrives drives;
    Gate gate;
    FourFiles(drives, gate);
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    script.Then("CRunDlg", [&](QDialog* d) {
      QTRY_VERIFY(gate.waiting());
      Click(d, QStringLiteral("Cancel"));
    });
    script.Then("CCancelDlg", [&](QDialog* d) {
      QVERIFY(run.controller().state().pauseRequested);
      gate.Open();  // the worker goes on to its pause wait and holds there
      Click(d, QStringLiteral("No"));
    });
    script.Then("CFinshDialog", [&](QDialog* d) {
      QVERIFY(!run.controller().state().pauseRequested);
      QCOMPARE(Text(d, "message"), QStringLiteral("4 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QCOMPARE(run.resultCode(), int(Success));
  }

  void cancelThenYesStopsAndRestoresTheLibrary() {
    GuiDrives drives;
    Gate gate;
    FourFiles(drives, gate);
    CRunDlg run(drives.mp.platform, drives.factory);
    drives.script.add = [&](std::u16string_view path, library::BuildOwner&) {
      if (path.ends_with(u"03.mp3")) {
        // The library is being overwritten when the user stops (after the scan, which reads the
        // drive, has ended).
        while (!run.controller().state().scanDone) std::this_thread::yield();
        drives.mp.files.AddFile(u"E:\\KORVANE\\LIBRARY\\ZRTL.DB", "half");
        gate.Wait();
      }
      return 0;
    };
    DialogScript script;
    script.Then("CRunDlg", [&](QDialog* d) {
      QTRY_VERIFY(gate.waiting() && run.controller().state().scanDone);
      Click(d, QStringLiteral("Cancel"));
    });
    script.Then("CCancelDlg", [&](QDialog* d) {
      gate.Open();
      Click(d, QStringLiteral("Yes"));
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Rejected));
    QVERIFY(script.finished());
    QVERIFY(script.unexpected.isEmpty());
    QVERIFY(!run.controller().running());
    QCOMPARE(run.resultCode(), int(RunAborted));
    QCOMPARE(drives.Library(u'E', u"ZRTL.DB"), std::string("old-ZRTL.DB"));
    QVERIFY(!drives.mp.files.Exists(u"E:\\KORVANE\\ZRTL.DB.bak"));
    QCOMPARE(drives.script.Calls().back(), std::string("close"));
  }

  void cancelDoesNothingWhileAQuestionIsOpenOrTheRunFinishes() {
    GuiDrives drives;
    Gate finalWrite;
    for (const char16_t* name : {u"E:\\1.mp3", u"E:\\bad.mp3", u"E:\\3.mp3"}) drives.AddAudio(name);
    drives.script.add = [](std::u16string_view path, library::BuildOwner& owner) {
      return path.ends_with(u"bad.mp3") ? owner.AskSkipFile() : 0;
    };
    drives.script.final = [&] {
      finalWrite.Wait();
      return 0;
    };
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    auto cancelIsInert = [&] {
      QVERIFY(!CancelButton(&run)->isEnabled());
      run.OnCancel();  // as if a click got through
      QVERIFY(!run.controller().state().pauseRequested);
    };
    script.Then("CCannotOpen", [&](QDialog* d) {
      cancelIsInert();
      QVERIFY(run.handOver().questionOpen());
      // The path field names the file the question is about, whatever the progress showed last.
      QCOMPARE(Text(&run, "path").remove(QChar(0x200B)), QStringLiteral("/mnt/e/bad.mp3"));
      Click(d, QStringLiteral("Skip"));
    });
    script.Then("CRunDlg", [&](QDialog*) {
      QTRY_VERIFY(finalWrite.waiting());
      QTRY_VERIFY(!CancelButton(&run)->isEnabled());
      cancelIsInert();
      finalWrite.Open();
    });
    script.Then("CFinshDialog", [&](QDialog* d) {
      cancelIsInert();
      QCOMPARE(Text(d, "message"), QStringLiteral("2 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
    QCOMPARE(run.controller().state().skippedCount.load(), 1);
  }

  void skipAllIsAskedOnceForEveryUnreadableFileOfTheRun() {
    GuiDrives drives;
    for (const char16_t* name : {u"E:\\1.mp3", u"E:\\bad1.mp3", u"E:\\bad2.mp3", u"E:\\bad3.mp3"})
      drives.AddAudio(name);
    drives.script.add = [](std::u16string_view path, library::BuildOwner& owner) {
      return path.find(u"bad") != std::u16string_view::npos ? owner.AskSkipFile() : 0;
    };
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    script.Then("CCannotOpen", [](QDialog* d) { Click(d, QStringLiteral("Skip All")); });
    script.Then("CFinshDialog", [](QDialog* d) {
      QCOMPARE(Text(d, "message"), QStringLiteral("1 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
    QCOMPARE(run.controller().state().skippedCount.load(), 3);
  }

  void aRunThatCannotStartShowsErrorFourAndCloses() {
    GuiDrives drives;
    // The library on the card cannot be moved aside: the run starts nothing and leaves it.
    drives.mp.files.SetFault([](std::string_view op, std::u16string_view) { return op == "move"; });
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    script.Then("CErrorDlg", [](QDialog* d) {
      QCOMPARE(Text(d, "message"), QStringLiteral("Error occurred while writing library file."));
      QCOMPARE(Text(d, "codeLine"), QStringLiteral("Error Code : E-04"));
      Click(d, QStringLiteral("OK"));
    });
    run.RunModal(u"E:\\", 3, 0);
    QVERIFY(script.finished());
    QCOMPARE(run.resultCode(), int(WriteFileFailed));
    QVERIFY(drives.script.Calls().empty());
    QCOMPARE(drives.Library(u'E', u"ZRDB.DB"), std::string("old-ZRDB.DB"));
  }

  void theDialogServesOneRunAfterAnother() {
    GuiDrives drives;
    drives.AddAudio(u"G:\\a.mp3");
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    script.Then("CFinshDialog", [](QDialog* d) {
      QCOMPARE(Text(d, "message"), QStringLiteral("0 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 1), int(QDialog::Accepted));  // an update
    QCOMPARE(run.view().heading, std::u16string(u"Updating.."));
    script.Then("CFinshDialog", [&](QDialog* d) {
      QCOMPARE(Text(&run, "heading"), QStringLiteral("Creating.."));
      QCOMPARE(run.windowTitle(), QStringLiteral("100% / /mnt/g"));
      QCOMPARE(Text(d, "message"), QStringLiteral("1 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(u"G:\\", 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QVERIFY(script.unexpected.isEmpty());
  }

  void theFinishDialogOffersDetailsOnlyWhenSomethingWasLeftOut() {
    GuiDrives drives;
    drives.AddAudio(u"G:\\a.mp3");
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    script.Then("CFinshDialog", [](QDialog* d) {
      QVERIFY(ButtonNamed(d, QStringLiteral("Details\u2026")) == nullptr);
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(u"G:\\", 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());

    drives.mp.files.AddFolder(u"G:\\Hid", platform::kAttrHidden);
    drives.AddAudio(u"G:\\Bad\\b.mp3");
    drives.mp.files.SetFault([](std::string_view op, std::u16string_view path) {
      return op == "list" && path.starts_with(u"G:\\Bad");
    });
    QString details;
    script.Then("CFinshDialog", [](QDialog* d) {
      QPushButton* more = ButtonNamed(d, QStringLiteral("Details\u2026"));
      QVERIFY(more != nullptr);
      QVERIFY(ButtonNamed(d, QStringLiteral("Finish"))->isDefault());
      more->click();  // opens the details over the finish dialog
      Click(d, QStringLiteral("Finish"));
    });
    script.Then("CDetailsDlg", [&](QDialog* d) {
      details = d->findChild<QPlainTextEdit*>(QStringLiteral("details"))->toPlainText();
      Click(d, QStringLiteral("Close"));
    });
    QCOMPARE(run.RunModal(u"G:\\", 3, 0), int(QDialog::Accepted));
    drives.mp.files.SetFault(nullptr);
    QVERIFY(script.finished());
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
    QCOMPARE(details, QStringLiteral("1 hidden or system folder(s) were passed over:\n"
                                     "  /mnt/g/Hid\n"
                                     "\n"
                                     "1 folder(s) could not be listed:\n"
                                     "  /mnt/g/Bad\n"));
  }

  void anUpdateThatWouldRemoveMostOfTheLibraryAsksWithNoAsTheDefault() {
    for (const bool yes : {false, true}) {
      GuiDrives drives;
      drives.script.libraryTracks = 100;
      drives.script.toRemove = 60;
      CRunDlg run(drives.mp.platform, drives.factory);
      DialogScript script;
      script.Then("CRemoveDlg", [&](QDialog* d) {
        QCOMPARE(
            Text(d, "message"),
            QStringLiteral("60 of 100 tracks would be removed from the library. Remove them?"));
        QVERIFY(ButtonNamed(d, QStringLiteral("No"))->isDefault());
        QVERIFY(!ButtonNamed(d, QStringLiteral("Yes"))->isDefault());
        QVERIFY(!CancelButton(&run)->isEnabled());
        Click(d, yes ? QStringLiteral("Yes") : QStringLiteral("No"));
      });
      if (yes) {
        script.Then("CFinshDialog", [](QDialog* d) { Click(d, QStringLiteral("Finish")); });
      }
      QCOMPARE(run.RunModal(u"E:\\", 3, 1), int(QDialog::Accepted));
      QVERIFY(script.finished());
      QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
      QCOMPARE(run.resultCode(), yes ? int(Success) : int(RunAborted));
      const auto calls = drives.script.Calls();
      QCOMPARE(std::find(calls.begin(), calls.end(), "update merge") != calls.end(), yes);
      QCOMPARE(drives.Library(u'E', u"ZRDB.DB"), std::string("old-ZRDB.DB"));
    }
  }

  // The whole way down: the real platform over a folder, the real library engine and tag readers.
  void aRealRunOverAFolderWritesTheLibrary() {
    QTemporaryDir card;
    QVERIFY(card.isValid());
    QVERIFY(QDir(card.path()).mkpath(QStringLiteral("Music/Album")));
    for (const char* name : {"eyed3_v24_utf16be.mp3", "ffmpeg_v23_ascii.mp3"}) {
      QVERIFY(QFile::copy(QStringLiteral(DELTRIX_TAG_DATA "/id3v2/") + QLatin1String(name),
                          card.path() + QStringLiteral("/Music/Album/") + QLatin1String(name)));
    }
    platform::posix::PosixPlatform posix;
    const std::u16string root = posix.drives.AddStagingFolder(card.path().toStdString());
    QCOMPARE(root.size(), size_t{3});
    const CRunDlg::ControllerFactory real = [&posix](run::RunHost& host) {
      run::RunOptions options;
      options.libraryCheck = run::LibraryCheckFor(posix.platform.files);
      return std::make_unique<run::RunController>(posix.platform, host, run::LibraryBuilders(),
                                                  options);
    };
    CRunDlg run(posix.platform, real);
    DialogScript script;
    script.Then("CFinshDialog", [](QDialog* d) {
      QCOMPARE(Text(d, "message"), QStringLiteral("2 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(root, 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
    QCOMPARE(run.resultCode(), int(Success));
    for (const char* name : {"ZRTL.DB", "ZRBL.DB", "ZRDB.DB"}) {
      QVERIFY2(QFileInfo(card.path() + QStringLiteral("/KORVANE/LIBRARY/") + QLatin1String(name))
                       .size() > 0,
               name);
    }

    // An update of the same card finds nothing new.
    script.Then("CFinshDialog", [](QDialog* d) {
      QCOMPARE(Text(d, "message"), QStringLiteral("0 files are processed."));
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(run.RunModal(root, 3, 1), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QCOMPARE(run.resultCode(), int(Success));
  }
};

}  // namespace deltrix::gui

int RunRunDialogTests(int argc, char** argv) {
  deltrix::gui::RunDialogTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "run_dialog_test.moc"
