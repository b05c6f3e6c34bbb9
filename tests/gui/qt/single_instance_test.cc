// One copy at a time, with real processes of the program: a second copy started while the first
// runs ends at once and silently; after the first has ended a new start works. The lock's key is
// tested in tests/app.
#include "app/single_instance.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

#include "platform/posix/posix_locks.h"

namespace deltrix::gui {
namespace {

// The program under test.
constexpr const char* kProgram = DELTRIX_GUI_EXE;

// True when another process holds the program's lock (a lock taken here to find out is given back
// at once).
bool HeldElsewhere(platform::posix::PosixLocks& locks) {
  return !app::TakeInstanceLock(locks, "/usr/bin/deltrix-creator-gui");
}

// Starts the program and waits until it holds its lock. Looking at the lock may, rarely, make
// the starting program find it held and end; it is then started again.
bool StartHolding(QProcess& process, platform::posix::PosixLocks& locks) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    process.start(QString::fromLocal8Bit(kProgram), {});
    if (!process.waitForStarted(10000)) return false;
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running &&
           !HeldElsewhere(locks)) {
      QTest::qWait(10);
    }
    if (process.state() == QProcess::Running && HeldElsewhere(locks)) return true;
    process.waitForFinished(10000);
  }
  return false;
}

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void aSecondCopyEndsSilentlyAndANewStartWorksAfterTheFirst() {
    QTemporaryDir runtime;  // the lock files of this test only
    QVERIFY(runtime.isValid());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    platform::posix::PosixLocks locks(runtime.path().toStdString());

    QProcess first;
    first.setProcessEnvironment(env);
    QVERIFY(StartHolding(first, locks));

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QString::fromLocal8Bit(kProgram), {});
    QVERIFY(second.waitForFinished(20000));
    QCOMPARE(second.exitStatus(), QProcess::NormalExit);
    QCOMPARE(second.exitCode(), 0);
    QCOMPARE(second.readAllStandardOutput(), QByteArray());
    QCOMPARE(second.readAllStandardError(), QByteArray());
    QCOMPARE(first.state(), QProcess::Running);  // the first copy is unaffected

    first.terminate();
    QVERIFY(first.waitForFinished(20000));
    QVERIFY(!HeldElsewhere(locks));

    QProcess third;
    third.setProcessEnvironment(env);
    QVERIFY2(StartHolding(third, locks), "a new start works once the first copy has ended");
    third.terminate();
    QVERIFY(third.waitForFinished(20000));
  }
};

}  // namespace deltrix::gui

int RunSingleInstanceTests(int argc, char** argv) {
  deltrix::gui::SingleInstanceTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "single_instance_test.moc"
