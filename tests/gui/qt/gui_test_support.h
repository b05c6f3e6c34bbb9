// What the desktop front-end's tests share: a gate that holds a run's thread at a chosen moment,
// scripted library builders, a fixture that builds run dialogs over the in-memory drive, and a
// script that answers the modal dialogs as they appear on the main thread.
#pragma once

#include <QDialog>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gui/qt/run_dialog.h"
#include "run/builders.h"
#include "run/run_controller.h"
#include "support/memory_drive.h"

namespace deltrix::testing {

// Holds the threads that Wait() until the test opens it, or until `release` (polled) says so.
class Gate {
 public:
  void Wait(const std::function<bool()>& release = {});
  void Open();
  bool waiting() const { return waiting_ > 0; }
  bool open() const;

 private:
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
  std::atomic<int> waiting_{0};
};

// What the scripted builders do and what they were asked.
struct BuilderScript {
  std::mutex mu;
  std::vector<std::u16string> added;
  std::vector<std::string>
      calls;  // "open", "final", "finish", "close" (create); "update ..." (update)
  int openResult = 0;
  std::atomic<bool> rereadChanged{false};  // the last update was asked to read changed files
  // Per file: the create builder's AddFile answer (null: 0, taken in).
  std::function<int(std::u16string_view path, library::BuildOwner& owner)> add;
  // The final SortAndWriteBatch (null: 0).
  std::function<int()> final;
  // The update's library and the tracks it would remove.
  uint32_t libraryTracks = 0, toRemove = 0;

  void Note(std::string what) {
    std::lock_guard lock(mu);
    calls.push_back(std::move(what));
  }
  std::vector<std::string> Calls() {
    std::lock_guard lock(mu);
    return calls;
  }
};

run::BuilderFactories ScriptedFactories(BuilderScript& script);

// E: a FAT32 stick ("MUSIC") holding a library, F: an NTFS stick, G: a FAT32 stick without one.
struct GuiDrives {
  GuiDrives();
  void AddLibrary(char16_t letter, std::string_view contents);
  void AddAudio(std::u16string_view path) { mp.files.AddFile(path, ""); }
  std::string Library(char16_t letter, std::u16string_view name) const;

  MemoryPlatform mp;
  BuilderScript script;
  gui::CRunDlg::ControllerFactory factory;
};

// Answers the modal dialogs in the order they appear. Polls the front modal window every few
// milliseconds from the main thread's event loop (also inside nested loops), so an answer may
// itself open dialogs or wait. Dialogs not in the script are recorded and closed; the run dialog
// is skipped unless a step names it.
class DialogScript {
 public:
  using Act = std::function<void(QDialog* dialog)>;
  DialogScript();
  ~DialogScript();

  DialogScript& Then(const char* dialogClass, Act act);
  bool finished() const { return steps_.empty(); }

  QStringList seen;        // "CErrorDlg: <texts>" for every dialog answered
  QStringList unexpected;  // dialogs that appeared out of the script

 private:
  class HideWatch;
  void Poll();
  void Handled(QDialog* dialog);
  std::deque<std::pair<QString, Act>> steps_;
  QPointer<QWidget>
      last_;  // the dialog answered last, until it hides (a dialog may be shown again)
  std::unique_ptr<QObject> context_;
  std::unique_ptr<QObject> hideWatch_;
};

// Every QLabel text of a dialog, in creation order, joined with " | ".
QString DialogTexts(QWidget* dialog);
// Clicks the push button with this text (fails the test when there is none).
void Click(QWidget* dialog, const QString& buttonText);
QString Text(QWidget* dialog, const char* labelName);
// The run dialog's Cancel (stop) button.
QPushButton* CancelButton(QWidget* run);

}  // namespace deltrix::testing
