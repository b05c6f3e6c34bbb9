#include "gui_test_support.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <thread>

#include "base/error_code.h"
#include "base/utf16.h"

namespace deltrix::testing {

void Gate::Wait(const std::function<bool()>& release) {
  std::unique_lock lock(mu_);
  ++waiting_;
  while (!open_ && !(release && release())) cv_.wait_for(lock, std::chrono::milliseconds(1));
  --waiting_;
}

void Gate::Open() {
  std::lock_guard lock(mu_);
  open_ = true;
  cv_.notify_all();
}

bool Gate::open() const {
  std::lock_guard lock(mu_);
  return open_;
}

namespace {

class ScriptedCreate : public run::CreateBuilder {
 public:
  ScriptedCreate(BuilderScript& script, library::BuildOwner& owner)
      : script_(script), owner_(owner) {}
  int Open() override {
    script_.Note("open");
    return script_.openResult;
  }
  int AddFile(std::u16string_view path, int, int64_t) override {
    {
      std::lock_guard lock(script_.mu);
      script_.added.emplace_back(path);
    }
    return script_.add ? script_.add(path, owner_) : Success;
  }
  int SortAndWriteBatch(bool final) override {
    script_.Note(final ? "final" : "batch");
    return final && script_.final ? script_.final() : Success;
  }
  int Finish() override {
    script_.Note("finish");
    return Success;
  }
  void WriteTimes() override {}
  void Close() override { script_.Note("close"); }

 private:
  BuilderScript& script_;
  library::BuildOwner& owner_;
};

// Updates find every file known and change nothing, unless the script says how many tracks they
// would remove.
class ScriptedUpdate : public run::UpdateBuilder {
 public:
  explicit ScriptedUpdate(BuilderScript& script) : script_(script) {}
  int Open() override {
    script_.Note("update open");
    return script_.openResult;
  }
  int CheckFile(std::u16string_view path, int64_t) override {
    std::lock_guard lock(script_.mu);
    script_.added.emplace_back(path);
    return Success;
  }
  int KeepTracksBelow(std::span<const std::u16string>) override { return Success; }
  uint32_t libraryTrackCount() const override { return script_.libraryTracks; }
  uint32_t tracksToRemove() const override { return script_.toRemove; }
  int Merge(int) override {
    script_.Note("update merge");
    return Success;
  }
  int Finish() override {
    script_.Note("update finish");
    return Success;
  }
  library::TimesFileState TimesState() const override { return library::TimesFileState::kLoaded; }
  void WriteTimes() override {}
  void Close() override { script_.Note("update close"); }

 private:
  BuilderScript& script_;
};

}  // namespace

run::BuilderFactories ScriptedFactories(BuilderScript& script) {
  return {[&script](const run::BuilderRequest& r) {
            return std::make_unique<ScriptedCreate>(script, r.owner);
          },
          [&script](const run::BuilderRequest& r) {
            script.rereadChanged = r.rereadChanged;
            return std::make_unique<ScriptedUpdate>(script);
          }};
}

GuiDrives::GuiDrives() {
  AddLibrary(u'E', "old");
  mp.drives.Add({u'F', {u"WINDOWS", 7, u"NTFS"}, platform::DriveTypeRemovable, true});
  mp.drives.Add({u'G', {u"", 9, u"FAT32"}, platform::DriveTypeRemovable, true});
  factory = [this](run::RunHost& host) {
    return std::make_unique<run::RunController>(mp.platform, host, ScriptedFactories(script));
  };
}

void GuiDrives::AddLibrary(char16_t letter, std::string_view contents) {
  for (const char16_t* name : {u"ZRDB.DB", u"ZRTL.DB", u"ZRBL.DB"}) {
    mp.files.AddFile(std::u16string(1, letter) + u":\\KORVANE\\LIBRARY\\" + name,
                     std::string(contents) + "-" + ToUtf8(name));
  }
}

std::string GuiDrives::Library(char16_t letter, std::u16string_view name) const {
  const Bytes bytes = mp.files.Contents(std::u16string(1, letter) + u":\\KORVANE\\LIBRARY\\" +
                                        std::u16string(name));
  return std::string(bytes.begin(), bytes.end());
}

class DialogScript::HideWatch : public QObject {
 public:
  explicit HideWatch(DialogScript* script) : script_(script) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide && watched == script_->last_) script_->last_ = nullptr;
    return false;
  }

 private:
  DialogScript* script_;
};

DialogScript::DialogScript()
    : context_(std::make_unique<QObject>()), hideWatch_(std::make_unique<HideWatch>(this)) {
  QTimer::singleShot(5, context_.get(), [this] { Poll(); });
}

void DialogScript::Handled(QDialog* dialog) {
  last_ = dialog;
  dialog->removeEventFilter(hideWatch_.get());
  dialog->installEventFilter(hideWatch_.get());
}

DialogScript::~DialogScript() = default;

DialogScript& DialogScript::Then(const char* dialogClass, Act act) {
  steps_.emplace_back(QString::fromLatin1(dialogClass), std::move(act));
  return *this;
}

void DialogScript::Poll() {
  // Armed again first: an answer may open a nested event loop, in which the polling goes on.
  QTimer::singleShot(5, context_.get(), [this] { Poll(); });
  QWidget* front = QApplication::activeModalWidget();
  if (!front || front == last_) return;
  auto* dialog = qobject_cast<QDialog*>(front);
  if (!dialog) return;
  const QString name = dialog->objectName();
  if (!steps_.empty() && steps_.front().first == name) {
    Handled(dialog);
    Act act = std::move(steps_.front().second);
    steps_.pop_front();
    seen << name + QStringLiteral(": ") + DialogTexts(dialog);
    if (act) act(dialog);
    // A failed check leaves the dialog open: close it, so that the test ends instead of waiting.
    if (QTest::currentTestFailed() && dialog->isVisible()) dialog->done(QDialog::Rejected);
    return;
  }
  if (name == QLatin1String("CRunDlg")) return;  // the run goes on; nothing to answer
  Handled(dialog);
  unexpected << name + QStringLiteral(": ") + DialogTexts(dialog);
  dialog->done(QDialog::Rejected);
}

QString DialogTexts(QWidget* dialog) {
  QStringList texts;
  for (QLabel* label : dialog->findChildren<QLabel*>(Qt::FindDirectChildrenOnly))
    texts << label->text();
  return texts.join(QStringLiteral(" | "));
}

void Click(QWidget* dialog, const QString& buttonText) {
  for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
    if (button->text() == buttonText) {
      QTest::mouseClick(button, Qt::LeftButton);
      return;
    }
  }
  QFAIL(qPrintable(QStringLiteral("no button ") + buttonText));
}

QString Text(QWidget* dialog, const char* labelName) {
  auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(labelName));
  return label ? label->text()
               : QStringLiteral("<no label %1>").arg(QString::fromLatin1(labelName));
}

QPushButton* CancelButton(QWidget* run) {
  return run->findChild<QPushButton*>(QStringLiteral("cancel"));
}

}  // namespace deltrix::testing
