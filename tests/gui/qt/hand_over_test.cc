// The interleavings of the worker and the main thread that could deadlock: a stop question open
// when the worker meets an unreadable file, and close requests while both run threads work. Each
// must end with the threads joined and the library of before the run on the drive.
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <deque>
#include <future>
#include <thread>

#include "base/error_code.h"
#include "gui/qt/run_dialog.h"
#include "gui_test_support.h"
#include "run/question_hand_over.h"

namespace deltrix::gui {
namespace {

using testing::CancelButton;
using testing::Click;
using testing::DialogScript;
using testing::Gate;
using testing::GuiDrives;
using testing::Text;

void ThreeFilesOneUnreadable(GuiDrives& drives, Gate& gate) {
  for (const char16_t* name : {u"E:\\1.mp3", u"E:\\bad.mp3", u"E:\\3.mp3"}) drives.AddAudio(name);
  drives.script.add = [&gate](std::u16string_view path, library::BuildOwner& owner) {
    if (!path.ends_with(u"bad.mp3")) return 0;
    gate.Wait();
    return owner.AskSkipFile();
  };
}

// Twenty folders with a file each; listing E:\F05 holds the scan until the run is stopped (or the
// gate opens). Counts the folders listed after the stop.
struct SlowScan {
  SlowScan(GuiDrives& drives, CRunDlg& run) {
    for (int i = 0; i < 20; ++i) {
      drives.AddAudio(u"E:\\F" + std::u16string(1, char16_t(u'0' + i / 10)) +
                      std::u16string(1, char16_t(u'0' + i % 10)) + u"\\a.mp3");
    }
    drives.mp.files.SetFault([this, &run](std::string_view op, std::u16string_view path) {
      if (op != "list" || !path.starts_with(u"E:\\F")) return false;
      const std::atomic<bool>& stop = run.controller().state().stopRequested;
      if (stop) ++listedAfterStop;
      if (!path.starts_with(u"E:\\F05")) return false;
      held.Wait([&stop] { return stop.load(); });
      // Stopped: this listing fails, so the scan touches the drive no more (the worker is about
      // to put the library back).
      return stop.load();
    });
  }
  Gate held;
  std::atomic<int> listedAfterStop{0};
};

}  // namespace

class HandOverTest : public QObject {
  Q_OBJECT

 private slots:
  void stopQuestionOpenWhenTheWorkerMeetsAnUnreadableFile_data() {
    QTest::addColumn<bool>("stop");
    QTest::newRow("No: the skip question follows") << false;
    QTest::newRow("Yes: the run stops without the skip question") << true;
  }
  void stopQuestionOpenWhenTheWorkerMeetsAnUnreadableFile() {
    QFETCH(bool, stop);
    GuiDrives drives;
    Gate gate;
    ThreeFilesOneUnreadable(drives, gate);
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    script.Then("CRunDlg", [&](QDialog* d) {
      QTRY_VERIFY(gate.waiting());
      Click(d, QStringLiteral("Cancel"));
    });
    script.Then("CCancelDlg", [&](QDialog* d) {
      gate.Open();  // now the worker meets the unreadable file
      QTRY_VERIFY(run.handOver().workerWaitingToAsk());
      // It waits for the stop question, with the stop control already off; its own question is
      // not on the screen.
      QTRY_VERIFY(!CancelButton(&run)->isEnabled());
      QCOMPARE(QApplication::activeModalWidget(), static_cast<QWidget*>(d));
      Click(d, stop ? QStringLiteral("Yes") : QStringLiteral("No"));
    });
    if (!stop) {
      script.Then("CCannotOpen", [](QDialog* d) { Click(d, QStringLiteral("Skip")); });
      script.Then("CFinshDialog", [](QDialog* d) {
        QCOMPARE(Text(d, "message"), QStringLiteral("2 files are processed."));
        Click(d, QStringLiteral("Finish"));
      });
    }
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), stop ? int(QDialog::Rejected) : int(QDialog::Accepted));
    QVERIFY(script.finished());
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
    QVERIFY(!run.controller().running());
    QCOMPARE(run.resultCode(), stop ? int(RunAborted) : int(Success));
    if (stop) QCOMPARE(drives.Library(u'E', u"ZRTL.DB"), std::string("old-ZRTL.DB"));
  }

  void aCloseRequestWhileBothThreadsWorkStopsThemAtOnce() {
    GuiDrives drives;
    CRunDlg run(drives.mp.platform, drives.factory);
    SlowScan scan(drives, run);
    DialogScript script;
    script.Then("CRunDlg", [&](QDialog* d) {
      QTRY_VERIFY(scan.held.waiting());
      QTRY_VERIFY(run.controller().state().processedCount > 0);  // the worker is taking files in
      d->close();  // the program closes the dialog (not the user's Cancel)
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Rejected));
    QVERIFY(script.finished());
    QVERIFY(script.unexpected.isEmpty());
    QVERIFY(!run.controller().running());
    QCOMPARE(scan.listedAfterStop.load(), 0);
    QCOMPARE(run.resultCode(), int(RunAborted));
    QCOMPARE(drives.Library(u'E', u"ZRBL.DB"), std::string("old-ZRBL.DB"));
  }

  void aCloseRequestWhileAQuestionIsOpenAnswersItAndStops_data() {
    QTest::addColumn<QString>("question");
    QTest::newRow("the worker's skip question") << QStringLiteral("CCannotOpen");
    QTest::newRow("the stop question") << QStringLiteral("CCancelDlg");
  }
  void aCloseRequestWhileAQuestionIsOpenAnswersItAndStops() {
    QFETCH(QString, question);
    GuiDrives drives;
    Gate gate;
    ThreeFilesOneUnreadable(drives, gate);
    CRunDlg run(drives.mp.platform, drives.factory);
    DialogScript script;
    if (question == QLatin1String("CCancelDlg")) {
      script.Then("CRunDlg", [&](QDialog* d) {
        QTRY_VERIFY(run.controller().state().processedCount > 0);
        Click(d, QStringLiteral("Cancel"));
      });
    } else {
      gate.Open();
    }
    script.Then(question.toLatin1().constData(), [&](QDialog* d) {
      gate.Open();
      run.close();
      QVERIFY2(!d->isVisible(), "the question closes with the run");
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Rejected));
    QVERIFY(script.finished());
    QVERIFY2(script.unexpected.isEmpty(), qPrintable(script.unexpected.join('\n')));
    QVERIFY(!run.controller().running());
    QCOMPARE(run.resultCode(), int(RunAborted));
    QCOMPARE(drives.Library(u'E', u"ZRTL.DB"), std::string("old-ZRTL.DB"));
  }

  void theWorkersCloseRequestStopsAScanStillWorking() {
    GuiDrives drives;
    drives.script.openResult = CreateDataFailed;
    CRunDlg run(drives.mp.platform, drives.factory);
    SlowScan scan(drives, run);
    DialogScript script;
    script.Then("CErrorDlg", [&](QDialog* d) {
      QTRY_VERIFY(scan.held.waiting());
      QCOMPARE(Text(d, "message"), QStringLiteral("Error occurred while creating library data."));
      Click(d, QStringLiteral("OK"));
    });
    QCOMPARE(run.RunModal(u"E:\\", 3, 0), int(QDialog::Accepted));
    QVERIFY(script.finished());
    QVERIFY(!run.controller().running());
    QCOMPARE(scan.listedAfterStop.load(), 0);
    QCOMPARE(run.resultCode(), int(CreateDataFailed));
  }

  // The hand-over alone, with the main thread's queue in the test's hands.
  void aConfirmedStopReleasesEveryWaitOfTheWorker() {
    std::mutex mu;
    std::deque<std::function<void()>> queue;
    int shown = 0;
    run::QuestionHandOver handOver(
        [&](std::function<void()> call) {
          std::lock_guard lock(mu);
          queue.push_back(std::move(call));
        },
        [&](const run::QuestionHandOver::Question&) {
          ++shown;
          return run::SkipAnswer::Skip;
        });
    handOver.BeginRun();
    bool paused = false;
    QVERIFY2(!handOver.BeginStopQuestion([&] { paused = true; }), "stop is off");
    QVERIFY(!paused);
    handOver.SetStopEnabled(true);
    QVERIFY(handOver.BeginStopQuestion([&] { paused = true; }));
    QVERIFY(paused);

    auto worker = std::async(std::launch::async, [&] {
      return handOver.Ask({run::QuestionHandOver::Kind::SkipOrAbort, {}, {}, {}});
    });
    QTRY_VERIFY(handOver.workerWaitingToAsk());
    handOver.EndStopQuestion(true);
    QVERIFY2(worker.get() == run::SkipAnswer::Abort, "a confirmed stop answers Abort");
    QVERIFY(queue.empty());
    QVERIFY(
        handOver.Ask({run::QuestionHandOver::Kind::Finish, u"1 files are processed.", {}, {}}) ==
        run::SkipAnswer::Abort);  // main thread
    QCOMPARE(shown, 0);

    // A question handed over but not yet served when the run is abandoned.
    handOver.BeginRun();
    auto second = std::async(std::launch::async, [&] {
      return handOver.Ask({run::QuestionHandOver::Kind::Error, u"x", u"Error Code : E-03", {}});
    });
    QTRY_VERIFY(handOver.workerAwaitingAnswer());
    handOver.Abandon();
    QVERIFY(second.get() == run::SkipAnswer::Abort);
    std::function<void()> serve;
    {
      std::lock_guard lock(mu);
      QCOMPARE(queue.size(), size_t{1});
      serve = std::move(queue.front());
    }
    serve();  // comes too late: shows nothing
    QCOMPARE(shown, 0);
  }
};

}  // namespace deltrix::gui

int RunHandOverTests(int argc, char** argv) {
  deltrix::gui::HandOverTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "hand_over_test.moc"
