// Saves a picture of every dialog, drawn offscreen over the in-memory drive with Latin, Japanese,
// Chinese and Cyrillic text: deltrix_gui_screenshots OUTDIR. Each grab gets a plain title bar
// with the window's icon and title, which an offscreen grab does not include. Used by
// scripts/screenshots.sh for the README; not a test.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdio>

#include "base/error_code.h"
#include "gui/qt/dialog_units.h"
#include "gui/qt/dialogs.h"
#include "gui/qt/pictures.h"
#include "gui/qt/run_dialog.h"
#include "gui/qt/settings_dialog.h"
#include "gui_test_support.h"
#include "run/error_report.h"

namespace deltrix::gui {
namespace {

using testing::Click;
using testing::DialogScript;
using testing::Gate;
using testing::GuiDrives;

QString g_folder;
int g_failures = 0;

// The client area as grabbed, framed with a title bar that shows the window's title.
QImage Framed(const QPixmap& client, const QString& title, const QIcon& icon) {
  const int bar = 26;
  const QSize size = client.deviceIndependentSize().toSize();
  QImage image(size.width() + 2, size.height() + bar + 1, QImage::Format_ARGB32);
  image.fill(QColor(60, 63, 70));
  QPainter p(&image);
  p.drawPixmap(QRect(1, bar, image.width() - 2, image.height() - bar - 1), client);
  p.drawPixmap(6, 5, icon.pixmap(16, 16));
  QFont font = DialogFont();
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(235, 235, 240));
  p.drawText(QRect(28, 0, image.width() - 34, bar), Qt::AlignVCenter | Qt::AlignLeft, title);
  return image;
}

void Save(QWidget* window, const char* name, const QPixmap& client) {
  const QImage image = Framed(client, window->windowTitle(), window->windowIcon());
  const QString path =
      g_folder + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".png");
  if (!image.save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    ++g_failures;
    return;
  }
  std::printf("%s\n", qPrintable(path));
}

void Save(QWidget* window, const char* name) { Save(window, name, window->grab()); }

// The fake drives as a desktop mounts them: E: is /media/anna/МУЗЫКА, and so on.
class MountedDrives : public testing::FakeDriveTable {
 public:
  std::string ToUserPath(std::u16string_view drivePath) override {
    std::string user = FakeDriveTable::ToUserPath(drivePath);
    if (user.size() < 6 || user.compare(0, 5, "/mnt/") != 0) return user;
    const char* mounts[] = {"/media/anna/МУЗЫКА", "/media/anna/音楽カード", "/media/anna/我的音乐",
                            "/media/anna/H"};
    const int index = user[5] - 'e';
    return index < 0 || index > 3 ? user : mounts[index] + user.substr(6);
  }
};

// E: "МУЗЫКА" with a library, F: an NTFS stick "音楽カード", G: "我的音乐" without a library, H: no
// name.
struct ShotDrives : GuiDrives {
  ShotDrives() {
    for (char16_t letter : {u'E', u'F', u'G'}) mounted.Add(*mp.drives.Get(letter));
    mounted.Get(u'E')->volume.name = u"МУЗЫКА";
    mounted.Get(u'F')->volume.name = u"音楽カード";
    mounted.Get(u'G')->volume.name = u"我的音乐";
    mounted.Add({u'H', {u"", 11, u"FAT"}, platform::DriveTypeRemovable, true});
    factory = [this](run::RunHost& host) {
      return std::make_unique<run::RunController>(platform, host,
                                                  testing::ScriptedFactories(script));
    };
  }
  MountedDrives mounted;
  platform::Platform platform{mp.files, mounted, mp.text, mp.clock, mp.locks};
};

void SettingsShots() {
  ShotDrives drives;
  drives.mp.text.language = "ja";
  CSettingDlg settings(drives.platform, drives.factory);
  settings.move(40, 40);
  settings.show();
  if (!QTest::qWaitForWindowExposed(&settings)) ++g_failures;
  Save(&settings, "settings");

  // The drive list open: the list's own window drawn over the dialog where it lies.
  auto* list = settings.findChild<QComboBox*>(QStringLiteral("drives"));
  list->showPopup();
  QWidget* popup = list->view()->window();
  QTest::qWait(50);
  const QPixmap dialog = settings.grab();
  const QPixmap items = popup->grab();
  const QPoint at = popup->mapToGlobal(QPoint(0, 0)) - settings.mapToGlobal(QPoint(0, 0));
  QPixmap canvas(QSize(dialog.width(), std::max(dialog.height(), at.y() + items.height())));
  canvas.fill(settings.palette().window().color());
  {
    QPainter p(&canvas);
    p.drawPixmap(0, 0, dialog);
    p.drawPixmap(at, items);
  }
  Save(&settings, "settings-drive-list", canvas);
  // Choosing the drive with a library selects "Update Library".
  const QRect first = list->view()->visualRect(list->view()->model()->index(0, 0));
  QTest::mouseClick(list->view()->viewport(), Qt::LeftButton, {}, first.center());
  QTest::qWait(20);
  Save(&settings, "settings-drive-chosen");

  DialogScript script;
  script.Then("CStartCheckDlg", [](QDialog* d) {
    Save(d, "start-check");
    Click(d, QStringLiteral("Cancel"));
  });
  settings.findChild<QRadioButton*>(QStringLiteral("create"))->click();
  settings.findChild<QPushButton*>(QStringLiteral("start"))->click();
}

void RunShots() {
  ShotDrives drives;
  const char16_t* folders[] = {u"E:\\音楽\\宇多田ヒカル\\First Love\\",
                               u"E:\\音乐\\周杰伦\\魔杰座\\", u"E:\\Музыка\\Кино\\Группа крови\\",
                               u"E:\\Music\\Miles Davis\\Kind of Blue\\"};
  std::vector<std::u16string> paths;
  for (int i = 0; i < 40; ++i) {
    std::u16string name = folders[i / 10];
    name += char16_t(u'0' + (i % 10) / 10);
    name += char16_t(u'0' + i % 10);
    name += i / 10 == 0   ? u" Automatic.mp3"
            : i / 10 == 1 ? u" 稻香.mp3"
            : i / 10 == 2 ? u" Кукушка.mp3"
                          : u" So What.m4a";
    drives.AddAudio(name);
    paths.push_back(name);
  }
  Gate first, second;
  drives.script.add = [&](std::u16string_view path, library::BuildOwner& owner) {
    if (path == paths[10]) first.Wait();
    if (path == paths[14]) second.Wait();
    if (path == paths[20]) return owner.AskSkipFile();
    return 0;
  };
  CRunDlg run(drives.platform, drives.factory);
  run.move(60, 60);
  DialogScript script;
  script.Then("CRunDlg", [&](QDialog* d) {
    QTRY_VERIFY(first.waiting() && run.controller().state().scanDone);
    drives.mp.clock.now += 83;
    QTest::qWait(60);
    first.Open();
    QTRY_VERIFY(second.waiting());
    drives.mp.clock.now += 1;
    QTest::qWait(60);
    Save(d, "run");
    Click(d, QStringLiteral("Cancel"));
  });
  script.Then("CCancelDlg", [&](QDialog* d) {
    Save(d, "stop-question");
    second.Open();
    Click(d, QStringLiteral("No"));
  });
  script.Then("CCannotOpen", [](QDialog* d) {
    Save(d, "cannot-open");
    Click(d, QStringLiteral("Skip"));
  });
  script.Then("CFinshDialog", [](QDialog* d) {
    Save(d, "finish");
    Click(d, QStringLiteral("Finish"));
  });
  run.RunModal(u"E:\\", 1, 0);
  if (!script.finished()) ++g_failures;
}

void ErrorShots() {
  DialogErrorHost host(nullptr);
  DialogScript script;
  script.Then("CErrorDlg", [](QDialog* d) {
    Save(d, "error-unsupported");
    Click(d, QStringLiteral("OK"));
  });
  run::ReportError(host, UnsupportedDevice, u"/media/用户/我的音乐");
  script.Then("CErrorDlg", [](QDialog* d) {
    Save(d, "error-root");
    Click(d, QStringLiteral("OK"));
  });
  run::ReportError(host, NotRootDirectory, u"");
}

}  // namespace
}  // namespace deltrix::gui

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  deltrix::gui::g_folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(deltrix::gui::g_folder);
  QApplication::setWindowIcon(deltrix::gui::ProgramIcon());
  deltrix::gui::SettingsShots();
  deltrix::gui::RunShots();
  deltrix::gui::ErrorShots();
  return deltrix::gui::g_failures == 0 ? 0 : 1;
}
