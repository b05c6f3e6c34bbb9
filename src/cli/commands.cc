#include "cli/commands.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <utility>

#include "app/drive_list.h"
#include "app/start_flow.h"
#include "app/tag_languages.h"
#include "base/error_code.h"
#include "base/utf16.h"
#include "cli/console_host.h"
#include "run/drive_checks.h"
#include "run/dry_run_files.h"
#include "run/error_report.h"
#include "run/library_builders.h"
#include "run/run_controller.h"
#include "run/run_report.h"
#include "run/scan.h"

namespace deltrix::cli {

namespace {

std::string ClassName(int driveClass) {
  switch (driveClass) {
    case run::DriveHasLibrary:
      return "library present";
    case run::DriveUsable:
      return "usable";
    default:
      return "unsupported";
  }
}

SkipPolicy PolicyOf(const std::string& onError) {
  return onError == "abort" ? SkipPolicy::Abort : SkipPolicy::Skip;
}

// The drive root a command works on; an empty root after reporting why there is none, with the
// exit status in `status`.
std::u16string ResolveDrive(Console& c, ConsoleHost& host, const DriveArg& where, int* status) {
  if (!where.folder.empty()) {
    *status = kUsageError;
    return StagingRoot(c, where.folder);
  }
  std::u16string root = c.platform.drives.ToDrivePath(where.drive);
  if (root.empty() || !run::IsRootPath(root)) {
    run::ReportError(host, NotRootDirectory, u"");
    *status = NotRootDirectory;
    return {};
  }
  return root;
}

int LanguageIndex(Console& c, const std::string& name) {
  if (name.empty()) return app::DefaultTagLanguage(c.platform.text.UserLanguage());
  return app::FindTagLanguage(name);
}

bool Confirm(Console& c, const RunArgs& args, std::u16string_view message,
             const std::string& shownDrive, std::u16string_view languageName) {
  c.err << ToUtf8(message) << "\n  Slected Drive : " << shownDrive
        << "\n  ID Tag Language : " << ToUtf8(languageName) << "\n";
  if (args.yes) return true;
  if (!c.terminal.Interactive()) {
    c.err << "Not confirmed: no terminal to ask. Pass --yes to run without the question.\n";
    return false;
  }
  c.err << "[y/N] " << std::flush;
  std::string answer;
  return c.terminal.ReadLine(&answer) && !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

// The folders and audio files a scan left out because their names have no drive form.
void ReportNamesLeftOut(Console& c, const run::RunReport& report) {
  const int64_t count = report.count(run::LeftOutReason::NoDriveForm);
  if (count == 0) return;
  c.out << count
        << " folder(s) or file(s) are left out: their names are not valid UTF-8 or hold a "
           "backslash, which the card cannot store:\n";
  for (const run::RunReport::Entry& entry : report.list(run::LeftOutReason::NoDriveForm)) {
    c.out << "  " << run::UserPathOf(c.platform.drives, entry) << "\n";
  }
}

// What a run left out of the library, listed: the one place where a run's (and a dry run's) lists
// of unreadable files and names without a drive form are printed, then the counts of the rest.
void ReportLeftOut(Console& c, const run::RunReport& report) {
  if (const int64_t count = report.count(run::LeftOutReason::Unreadable); count != 0) {
    c.out << count << " file(s) could not be read and are not in the library:\n";
    for (const run::RunReport::Entry& entry : report.list(run::LeftOutReason::Unreadable))
      c.out << "  " << run::UserPathOf(c.platform.drives, entry) << "\n";
  }
  ReportNamesLeftOut(c, report);
  for (const run::LeftOutReason reason :
       {run::LeftOutReason::PathTooLong, run::LeftOutReason::TooDeep, run::LeftOutReason::PastLimit,
        run::LeftOutReason::HiddenOrSystem, run::LeftOutReason::Unlistable}) {
    if (const int64_t count = report.count(reason); count != 0)
      c.out << ToUtf8(run::CountLine(reason, count)) << ".\n";
  }
}

// What a dry run found a real run would do to the library.
void ReportLibraryChanges(Console& c, const run::LibraryChanges& changes, bool written) {
  if (!written) {
    c.out << "A real run would write nothing: the library stays as it is (" << changes.tracksBefore
          << " tracks).\n";
    return;
  }
  if (!changes.libraryAfter) {
    c.out << "A real run would leave no library on the card";
  } else {
    c.out << "A real run would write a library of " << changes.tracksAfter << " tracks";
  }
  if (changes.libraryBefore) {
    c.out << " (the card's library holds " << changes.tracksBefore << ")";
  } else {
    c.out << " (the card holds no library)";
  }
  c.out << ": " << changes.added << " added, " << changes.removed.size() << " removed.\n";
  if (changes.removed.empty()) return;
  c.out << changes.removed.size() << " track(s) would be removed from the library:\n";
  for (const std::u16string& path : changes.removed)
    c.out << "  " << c.platform.drives.ToUserPath(path) << "\n";
}

int Run(Console& c, ConsoleHost& host, const RunArgs& args, std::u16string_view root,
        int tagLanguage, int runMode) {
  // The report file is made before the run, so that a name that cannot be written stops nothing
  // half-way.
  std::ofstream reportFile;
  if (!args.reportFile.empty()) {
    reportFile.open(
        std::filesystem::path(std::u8string(args.reportFile.begin(), args.reportFile.end())),
        std::ios::binary | std::ios::trunc);
    if (!reportFile) {
      c.err << "Cannot write the report to " << args.reportFile << ".\n";
      return kUsageError;
    }
  }
  host.AllowRemoval(args.allowRemoval);
  // A dry run is the real run over a file system that passes reads through to the card and keeps
  // every write in memory: the run decides everything as it would, and the card is never written.
  const bool dryRun = args.dryRun;
  run::DryRunFileSystem dryRunFiles(c.platform.files);
  platform::Platform dryRunPlatform{dryRunFiles, c.platform.drives, c.platform.text,
                                    c.platform.clock, c.platform.locks};
  platform::Platform& platform = dryRun ? dryRunPlatform : c.platform;
  if (dryRun) {
    c.out << "Dry run of " << (runMode == run::RunModeCreate ? "a create" : "an update")
          << ": nothing is written to " << c.platform.drives.ToUserPath(root) << ".\n";
  }
  run::RunOptions options;
  options.libraryCheck = run::LibraryCheckFor(platform.files);
  run::RunController controller(platform, host, run::LibraryBuilders(), options);
  controller.state().rereadChanged = args.rereadChanged && runMode == run::RunModeUpdate;
  c.terminal.CatchInterrupts();
  int code;
  if (controller.StartRun(root, tagLanguage, runMode)) {
    code = host.Drive(controller, c.platform.clock);
  } else {
    controller.StopAndJoin();
    code = controller.resultCode();
  }
  if (code == run::kDriveBusy) {
    c.err << "Another run is already writing to " << c.platform.drives.ToUserPath(root) << ".\n";
  }
  if (dryRun && code == Success) {
    ReportLibraryChanges(c, run::CompareLibraries(c.platform.files, dryRunFiles, root),
                         dryRunFiles.changed());
  }
  const run::RunReport& report = controller.state().report;
  ReportLeftOut(c, report);
  if (reportFile.is_open()) {
    reportFile << run::ReportFileText(report, c.platform.drives);
    reportFile.close();
    if (!reportFile) {
      c.err << "Cannot write the report to " << args.reportFile << ".\n";
      if (code == Success) code = WriteFileFailed;
    }
  }
  return code;
}

}  // namespace

std::string UsageProblem(const DriveArg& where) {
  if (!where.drive.empty() && !where.folder.empty()) {
    return "give the card's mount point or --folder, not both (" + where.drive + " and --folder " +
           where.folder + ")";
  }
  return {};
}

std::u16string StagingRoot(Console& c, const std::string& folder) {
  std::error_code ec;
  if (!std::filesystem::is_directory(folder, ec)) {
    c.err << "No such folder: " << folder << "\n";
    return {};
  }
  std::u16string root = c.addStagingFolder ? c.addStagingFolder(folder) : std::u16string();
  if (root.empty()) c.err << "Cannot use " << folder << " as a staging folder.\n";
  return root;
}

int DrivesCommand(Console& c) {
  for (const app::DriveChoice& choice : app::ListDriveChoices(c.platform, true)) {
    const std::u16string_view reason = app::RefusalText(choice.refusal);
    c.out << ToUtf8(choice.name) << "  ("
          << (reason.empty() ? ClassName(run::CheckDrive(c.platform, choice.root)) : ToUtf8(reason))
          << ")\n";
  }
  return Success;
}

int DriveMountPointsCommand(Console& c) {
  for (const app::DriveChoice& choice : app::ListDriveChoices(c.platform, true)) {
    if (choice.type == platform::DriveTypeRemovable && choice.refusal == app::DriveRefusal::None)
      c.out << choice.userPath << "\n";
  }
  return Success;
}

int ScanCommand(Console& c, const DriveArg& where) {
  ConsoleHost host(c.terminal, c.platform.drives, c.out, c.err, SkipPolicy::Skip);
  int status = Success;
  const std::u16string root = ResolveDrive(c, host, where, &status);
  if (root.empty()) return status;
  run::FileList files;
  run::RunReport report;
  run::DriveScan scan(c.platform.files, files, report, [] { return true; });
  (void)scan.Walk(root, run::IsIpodVolume(c.platform.files, root));
  for (int32_t i = 0; i < files.count(); ++i)
    c.out << c.platform.drives.ToUserPath(files.Get(i)) << "\n";
  c.out << files.count() << " audio files found.\n";
  ReportLeftOut(c, report);
  return Success;
}

namespace {

// What create and update agree on before a run: the drive (resolved, supported), its class and the
// language. Returns 0, or the exit status after saying what is wrong.
struct RunTarget {
  std::u16string root;
  std::string shown;  // the drive as the user reads it
  int driveClass = 0;
  int language = -1;  // index in the list
};
int PrepareRun(Console& c, ConsoleHost& host, const RunArgs& args, RunTarget* target) {
  int status = Success;
  target->root = ResolveDrive(c, host, args.where, &status);
  if (target->root.empty()) return status;
  target->shown = c.platform.drives.ToUserPath(target->root);
  target->driveClass = run::CheckDrive(c.platform, target->root);
  if (target->driveClass == run::DriveUnsupported) {
    run::ReportError(host, UnsupportedDevice, FromUtf8(target->shown));
    return UnsupportedDevice;
  }
  target->language = LanguageIndex(c, args.language);
  if (target->language < 0) {
    c.err << "Unknown ID Tag Language \"" << args.language << "\". Choose one of:";
    for (auto name : app::kTagLanguageNames) c.err << " " << ToUtf8(name);
    c.err << "\n";
    return kUsageError;
  }
  return Success;
}

}  // namespace

int CreateCommand(Console& c, const RunArgs& args) {
  ConsoleHost host(c.terminal, c.platform.drives, c.out, c.err, PolicyOf(args.onError));
  RunTarget t;
  if (const int code = PrepareRun(c, host, args, &t); code != Success) return code;
  if (t.driveClass == run::DriveHasLibrary && !args.dryRun &&
      !Confirm(c, args, run::kOverwriteMessage, t.shown, app::kTagLanguageNames[t.language])) {
    return RunAborted;
  }
  return Run(c, host, args, t.root, t.language + 1, run::RunModeCreate);
}

int UpdateCommand(Console& c, const RunArgs& args) {
  ConsoleHost host(c.terminal, c.platform.drives, c.out, c.err, PolicyOf(args.onError));
  RunTarget t;
  if (const int code = PrepareRun(c, host, args, &t); code != Success) return code;
  if (t.driveClass != run::DriveHasLibrary) {
    c.err << "There is no library on " << t.shown
          << " to update: create one with\n  deltrix-creator create "
          << (args.where.folder.empty() ? t.shown : "--folder " + args.where.folder) << "\n";
    return CreateDataFailed;
  }
  return Run(c, host, args, t.root, t.language + 1, run::RunModeUpdate);
}

int StartCommand(Console& c, const std::vector<std::string>& items, const RunArgs& args) {
  ConsoleHost host(c.terminal, c.platform.drives, c.out, c.err, PolicyOf(args.onError));
  std::vector<std::u16string> roots;
  for (const std::string& item : items) roots.push_back(c.platform.drives.ToDrivePath(item));
  if (const int code = app::CheckStartItems(host, roots, app::StartSource::CommandLine);
      code != Success) {
    return code;
  }
  app::StartRequest request;
  const int language = app::DefaultTagLanguage(c.platform.text.UserLanguage());
  if (!app::StartWithPath(c.platform, host, roots[0], FromUtf8(items[0]), language, &request)) {
    return UnsupportedDevice;
  }
  if (!args.dryRun && !Confirm(c, args, request.message, items[0], request.languageName)) {
    return RunAborted;
  }
  return Run(c, host, args, request.driveRoot, request.tagLanguage, request.runMode);
}

}  // namespace deltrix::cli
