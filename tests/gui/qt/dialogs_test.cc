// The small dialogs: exact texts, titles, the close box, bold values, the pictures' place, the
// dialog-unit sizes, and what each way of closing answers.
#include "gui/qt/dialogs.h"

#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "base/error_code.h"
#include "gui/qt/dialog_units.h"
#include "gui/qt/pictures.h"
#include "gui/qt/run_dialog.h"
#include "gui/qt/settings_dialog.h"
#include "gui_test_support.h"
#include "run/error_report.h"

namespace deltrix::gui {
namespace {

using testing::Click;
using testing::DialogScript;
using testing::Text;

bool HasCloseBox(QWidget* w) { return w->windowFlags().testFlag(Qt::WindowCloseButtonHint); }

// The picture lies at client pixel (19, 15): the grab shows its opaque middle unchanged there.
void ExpectPictureAt1915(QWidget* dialog, const QImage& picture) {
  const QImage shot = dialog->grab().toImage();
  const qreal ratio = shot.devicePixelRatio();
  for (QPoint p : {QPoint(16, 16), QPoint(12, 20), QPoint(20, 9)}) {
    const QRgb want = picture.pixel(p);
    QCOMPARE(qAlpha(want), 255);
    const QRgb got =
        shot.pixel(QPoint(int((kPictureX + p.x()) * ratio), int((kPictureY + p.y()) * ratio)));
    QCOMPARE(QColor(got).name(), QColor(want).name());
  }
}

}  // namespace

class DialogsTest : public QObject {
  Q_OBJECT

 private slots:
  void errorDialogShowsEachMessageWithItsCodeLine() {
    struct Case {
      int code;
      const char* text;
      const char* message;
      const char* codeLine;
      const char* close;  // how the user ends it
    };
    const Case cases[] = {
        {NotRootDirectory, "", "Can only create a Library in the Root Directory.",
         "Error Code : E-01", "OK"},
        {CreateDataFailed, "", "Error occurred while creating library data.", "Error Code : E-03",
         "Enter"},
        {WriteFileFailed, "", "Error occurred while writing library file.", "Error Code : E-04",
         "Escape"},
        {MultipleDevices, "", "Cannot make the library for multiple devices.", "Error Code : E-05",
         "OK"},
        {UnsupportedDevice, "/media/ユーザー/КАРТА",
         "[/media/ユーザー/КАРТА] is not supported device.", "Error Code : E-06", "OK"},
        {DeviceRemoved, "E:\\", "Selected device is removed.", "Error Code : E-07", "OK"},
    };
    for (const Case& c : cases) {
      DialogErrorHost host(nullptr);
      DialogScript script;
      bool checked = false;
      script.Then("CErrorDlg", [&](QDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("DELTRIX LIBRARY CREATOR"));
        QVERIFY(!HasCloseBox(d));
        QCOMPARE(Text(d, "message"), QString::fromUtf8(c.message));
        QCOMPARE(Text(d, "codeLine"), QString::fromLatin1(c.codeLine));
        ExpectPictureAt1915(d, ErrorPicture());
        checked = true;
        if (std::strcmp(c.close, "OK") == 0) Click(d, QStringLiteral("OK"));
        if (std::strcmp(c.close, "Enter") == 0) QTest::keyClick(d, Qt::Key_Return);
        if (std::strcmp(c.close, "Escape") == 0) QTest::keyClick(d, Qt::Key_Escape);
      });
      QVERIFY(!run::ReportError(host, c.code, FromQString(QString::fromUtf8(c.text))));
      QVERIFY(checked);
      QVERIFY(script.finished());
      QVERIFY(script.unexpected.isEmpty());
    }
  }

  void aLongMessageWrapsAndTheErrorDialogGrows() {
    CErrorDlg shortOne, longOne;
    shortOne.SetError(QStringLiteral("Selected device is removed."),
                      QStringLiteral("Error Code : E-07"));
    const QString path =
        QStringLiteral("/media/a-rather-long-user-name/A CARD WITH A VERY LONG VOLUME LABEL");
    longOne.SetError(QLatin1Char('[') + path + QStringLiteral("] is not supported device."),
                     QStringLiteral("Error Code : E-06"));
    auto* message = longOne.findChild<QLabel*>(QStringLiteral("message"));
    QVERIFY(longOne.height() > shortOne.height());
    QVERIFY(message->height() >= message->heightForWidth(message->width()));
    QVERIFY(message->geometry().bottom() <
            longOne.findChild<QLabel*>(QStringLiteral("codeLine"))->y());
    QCOMPARE(longOne.width(), shortOne.width());
  }

  void silentCodesShowNothing() {
    DialogErrorHost host(nullptr);
    DialogScript script;
    for (int code : {0, int(RunAborted), 9, -1}) QVERIFY(run::ReportError(host, code, u"E:\\"));
    QVERIFY(script.unexpected.isEmpty());
  }

  void cannotOpenAnswersItsButtonsAndSkipForEverythingElse() {
    struct Case {
      const char* how;
      run::SkipAnswer want;
    };
    const Case cases[] = {{"Skip", run::SkipAnswer::Skip},   {"Skip All", run::SkipAnswer::SkipAll},
                          {"Abort", run::SkipAnswer::Abort}, {"Enter", run::SkipAnswer::Skip},
                          {"Escape", run::SkipAnswer::Skip}, {"close", run::SkipAnswer::Skip}};
    for (const Case& c : cases) {
      DialogErrorHost host(nullptr);
      DialogScript script;
      script.Then("CCannotOpen", [&](QDialog* d) {
        QCOMPARE(Text(d, "message"),
                 QStringLiteral("Canonot open a file.\nSee the processing dialog for the file "
                                "name.\nSkip the file or abort creating the library?"));
        QCOMPARE(Text(d, "codeLine"), QStringLiteral("Error Code : E-02"));
        QVERIFY(HasCloseBox(d));
        const QString how = QString::fromLatin1(c.how);
        if (how == QLatin1String("Enter")) {
          QTest::keyClick(d, Qt::Key_Return);
        } else if (how == QLatin1String("Escape")) {
          QTest::keyClick(d, Qt::Key_Escape);
        } else if (how == QLatin1String("close")) {
          d->close();
        } else {
          Click(d, how);
        }
      });
      QVERIFY2(host.AskSkipOrAbort(u"E:\\a.mp3") == c.want, c.how);
      QVERIFY2(script.finished(), c.how);
    }
  }

  void startCheckShowsDriveAndLanguageInBoldOnTwoLines() {
    for (const char* how : {"OK", "Cancel", "Escape", "Enter"}) {
      CStartCheckDlg dialog;
      dialog.SetTexts(
          QString::fromUtf16(run::kOverwriteMessage.data(), run::kOverwriteMessage.size()),
          QStringLiteral("/media/me/MUSIC\nJapanese"));
      DialogScript script;
      script.Then("CStartCheckDlg", [&](QDialog* d) {
        QVERIFY(!HasCloseBox(d));
        QCOMPARE(Text(d, "labels"), QStringLiteral("Slected Drive :\nID Tag Language :"));
        QCOMPARE(Text(d, "message"),
                 QStringLiteral("A previous Library has been located on the selected drive!\n"
                                "Are you sure you want to overwrite this?"));
        QCOMPARE(Text(d, "values"), QStringLiteral("/media/me/MUSIC\nJapanese"));
        QVERIFY(d->findChild<QLabel*>(QStringLiteral("values"))->font().bold());
        QVERIFY(!d->findChild<QLabel*>(QStringLiteral("message"))->font().bold());
        ExpectPictureAt1915(d, QuestionPicture());
        const QString h = QString::fromLatin1(how);
        if (h == QLatin1String("Escape")) {
          QTest::keyClick(d, Qt::Key_Escape);
        } else if (h == QLatin1String("Enter")) {
          QTest::keyClick(d, Qt::Key_Return);
        } else {
          Click(d, h);
        }
      });
      const int want = std::strcmp(how, "OK") == 0 || std::strcmp(how, "Enter") == 0
                           ? QDialog::Accepted
                           : QDialog::Rejected;
      QCOMPARE(dialog.exec(), want);
    }
  }

  void stopQuestionAndFinishMessage() {
    CCancelDlg question;
    DialogScript script;
    script.Then("CCancelDlg", [](QDialog* d) {
      QCOMPARE(Text(d, "message"),
               QStringLiteral("Are you sure you want to Stop creating the library?\n"
                              "The Library being created will be discarded!"));
      QVERIFY(!HasCloseBox(d));
      ExpectPictureAt1915(d, QuestionPicture());
      Click(d, QStringLiteral("No"));
    });
    QCOMPARE(question.exec(), int(QDialog::Rejected));
    script.Then("CCancelDlg", [](QDialog* d) { Click(d, QStringLiteral("Yes")); });
    QCOMPARE(question.exec(), int(QDialog::Accepted));

    CFinshDialog finish(QStringLiteral("1234 files are processed."));
    script.Then("CFinshDialog", [](QDialog* d) {
      QCOMPARE(Text(d, "message"), QStringLiteral("1234 files are processed."));
      QVERIFY(!HasCloseBox(d));
      QTest::keyClick(d, Qt::Key_Escape);
      QVERIFY2(d->isVisible(), "Escape does nothing");
      Click(d, QStringLiteral("Finish"));
    });
    QCOMPARE(finish.exec(), int(QDialog::Accepted));
    QVERIFY(script.finished());
  }

  void layoutsAreInDialogUnitsOfTheDialogFont() {
    testing::GuiDrives drives;
    CRunDlg run(drives.mp.platform, drives.factory);
    const DialogUnits u(DialogFont());
    QVERIFY(u.averageWidth() > 2);
    QCOMPARE(run.size(), QSize(239 * u.averageWidth() / 4, 143 * u.averageHeight() / 8));
    QCOMPARE(CCancelDlg().size(), QSize(199 * u.averageWidth() / 4, 58 * u.averageHeight() / 8));
    QCOMPARE(CFinshDialog(QString()).size(),
             QSize(179 * u.averageWidth() / 4, 50 * u.averageHeight() / 8));
    QCOMPARE(CStartCheckDlg().size(),
             QSize(239 * u.averageWidth() / 4, 82 * u.averageHeight() / 8));
    QCOMPARE(CCannotOpen().size(), QSize(199 * u.averageWidth() / 4, 65 * u.averageHeight() / 8));
    // The progress bar sits at 10, 56 and is 219 x 11 units.
    auto* bar = run.findChild<QWidget*>(QStringLiteral("bar"));
    QCOMPARE(bar->geometry(),
             QRect(QPoint(10 * u.averageWidth() / 4, 56 * u.averageHeight() / 8),
                   QPoint(229 * u.averageWidth() / 4 - 1, 67 * u.averageHeight() / 8 - 1)));
    // Bold headings and values; the heading slightly larger.
    auto* heading = run.findChild<QLabel*>(QStringLiteral("heading"));
    QVERIFY(heading->font().bold());
    QVERIFY(QFontInfo(heading->font()).pixelSize() > QFontInfo(DialogFont()).pixelSize());
    QVERIFY(run.findChild<QLabel*>(QStringLiteral("done"))->font().bold());
    QVERIFY(run.findChild<QLabel*>(QStringLiteral("remaining"))->font().bold());
    QVERIFY(!run.findChild<QLabel*>(QStringLiteral("total"))->font().bold());
    QVERIFY(!HasCloseBox(&run));
    QCOMPARE(run.windowTitle(), QStringLiteral(" "));
  }

  void picturesAreOurOwn32By32() {
    QCOMPARE(QuestionPicture().size(), QSize(32, 32));
    QCOMPARE(ErrorPicture().size(), QSize(32, 32));
    QVERIFY(QuestionPicture() != ErrorPicture());
    QVERIFY(!ProgramIcon().isNull());
    QCOMPARE(ProgramIconImage(48).size(), QSize(48, 48));
  }
};

}  // namespace deltrix::gui

int RunDialogsTests(int argc, char** argv) {
  deltrix::gui::DialogsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dialogs_test.moc"
