// deltrix-creator: builds the music library of a hardware player on a USB stick or memory card.
// CreatorMain() (called by each system's entry point with UTF-8 arguments) parses the command line,
// builds the real platform and dispatches to one command; the exit status is the command's error
// code.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <map>

#include "app/tag_languages.h"
#include "base/utf16.h"
#include "cli/commands.h"
#include "cli/creator_main.h"
#include "cli/help_text.h"
#include "cli/library_commands.h"
#include "cli/library_json.h"
#include "cli/tags_command.h"
#include "native_platform.h"

namespace {

constexpr const char* kVersion = DELTRIX_VERSION;

// The --language help, with the names the settings list.
std::string LanguageHelp() {
  std::string help = "ID Tag Language: ";
  const size_t count = std::size(deltrix::app::kTagLanguageNames);
  for (size_t i = 0; i < count; ++i) {
    help += deltrix::ToUtf8(deltrix::app::kTagLanguageNames[i]);
    help += i + 2 < count ? ", " : i + 1 < count ? " or " : "";
  }
  return help + " (default: from your locale)";
}

void AddDriveOptions(CLI::App* command, deltrix::cli::DriveArg* where) {
  command->add_option("drive", where->drive, "Mount point of the card (or drive root)");
  command
      ->add_option("--folder", where->folder,
                   "A folder to treat as the card, e.g. one copied to a card later")
      ->type_name("DIR");
}

void AddReportOption(CLI::App* command, deltrix::cli::RunArgs* args) {
  command
      ->add_option("--report", args->reportFile,
                   "Write what the run left out and why to FILE: one line each, reason TAB path")
      ->type_name("FILE");
}

void AddAllowRemovalFlag(CLI::App* command, deltrix::cli::RunArgs* args) {
  command->add_flag("--allow-removal", args->allowRemoval,
                    "Let an update remove more than half of the library's tracks (at least 50)");
}

void AddDryRunOption(CLI::App* command, deltrix::cli::RunArgs* args) {
  command->add_flag("--dry-run", args->dryRun,
                    "Write nothing to the card; say what the run would add, remove and leave out");
}

void AddRunOptions(CLI::App* command, deltrix::cli::RunArgs* args) {
  AddDriveOptions(command, &args->where);
  command->add_option("--language", args->language, LanguageHelp())->type_name("NAME");
  command->add_flag("--yes,-y", args->yes, "Answer the confirmation question with yes");
  command
      ->add_option(
          "--on-error", args->onError,
          "Without a terminal, what to do with a file that cannot be read: skip (default) or abort")
      ->check(CLI::IsMember({"skip", "abort"}))
      ->type_name("skip|abort");
  AddReportOption(command, args);
  AddDryRunOption(command, args);
}

}  // namespace

int deltrix::cli::CreatorMain(int argc, char** argv) {
  using namespace deltrix;
  CLI::App app{
      "Builds the music library of a hardware music player on a FAT USB stick or memory card.\n"
      "Give a mount point alone to start a run (an update when the card holds a library, else a "
      "create)."};
  app.set_version_flag("--version", kVersion);
  app.require_subcommand(0, 1);

  std::vector<std::string> startItems;
  cli::RunArgs startArgs;
  app.add_option("mount-point", startItems,
                 "A card to build the library on (the command-line start)");
  app.add_flag("--yes,-y", startArgs.yes, "Answer the confirmation question with yes");
  AddReportOption(&app, &startArgs);
  AddAllowRemovalFlag(&app, &startArgs);
  AddDryRunOption(&app, &startArgs);
  constexpr const char* kRereadHelp =
      "Read again every known file whose size or modification time changed since the last run";
  app.add_flag("--reread-changed", startArgs.rereadChanged,
               std::string(kRereadHelp) + " (when the run is an update)");

  auto* drives = app.add_subcommand(
      "drives", "List the drives with their labels and whether they can be used");
  bool mountPointsOnly = false;
  drives->add_flag("--mount-points", mountPointsOnly)->group("");  // for the shell's completion
  cli::DriveArg scanWhere;
  auto* scan = app.add_subcommand(
      "scan", "List the audio files a run would read, in the order it reads them");
  AddDriveOptions(scan, &scanWhere);
  cli::RunArgs createArgs;
  auto* create =
      app.add_subcommand("create", "Create the library, reading the tags of every audio file");
  AddRunOptions(create, &createArgs);
  cli::RunArgs updateArgs;
  auto* update = app.add_subcommand(
      "update", "Add new files, drop vanished ones; touch nothing when nothing changed");
  AddRunOptions(update, &updateArgs);
  AddAllowRemovalFlag(update, &updateArgs);
  update->add_flag("--reread-changed", updateArgs.rereadChanged, kRereadHelp);
  cli::DriveArg showWhere;
  auto* show = app.add_subcommand("show", "Print the library as the player lets you browse it");
  AddDriveOptions(show, &showWhere);
  bool libraryJson = false;
  show->add_flag("--json", libraryJson, "One JSON document: the records and the browse lists");
  cli::DriveArg checkWhere;
  auto* check = app.add_subcommand("check", "Verify the library files; one line per problem");
  AddDriveOptions(check, &checkWhere);
  check->add_flag("--json", libraryJson, "One JSON document: the verdict and the problems");
  std::vector<std::string> tagFiles;
  std::string tagLanguage;
  bool tagJson = false;
  auto* tags = app.add_subcommand(
      "tags",
      "Print the track record each file gives. A file's stored path is its path below the mount "
      "point "
      "of the card it is on; a file on no card is taken as lying at the root of its own folder.");
  tags->add_option("files", tagFiles, "Audio files")->required();
  tags->add_option("--language", tagLanguage, LanguageHelp())->type_name("NAME");
  tags->add_flag("--json", tagJson, "One JSON object per line and file");

  // --help-all lists every command with its options and the exit statuses; the manual page is
  // made from it.
  app.add_flag_callback(
      "--help-all",
      [&app] {
        std::cout << cli::FullHelp(app);
        throw CLI::Success();
      },
      "Print every command with its options, and the exit statuses");

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    // One line that says what is wrong, and the status of a command line we cannot use.
    std::cerr << "deltrix-creator: " << e.what() << "\n";
    return cli::kUsageError;
  }
  struct Checked {
    CLI::App* command;
    const cli::DriveArg* where;
    const std::string* language;  // null for commands without --language
  };
  for (const auto& [command, where, language] :
       {Checked{create, &createArgs.where, &createArgs.language},
        Checked{update, &updateArgs.where, &updateArgs.language},
        Checked{scan, &scanWhere, nullptr}, Checked{show, &showWhere, nullptr},
        Checked{check, &checkWhere, nullptr}}) {
    if (!*command) continue;
    if (const std::string wrong = cli::UsageProblem(*where); !wrong.empty()) {
      std::cerr << "deltrix-creator " << command->get_name() << ": " << wrong << "\n";
      return cli::kUsageError;
    }
    if (language && command->count("--language") > 0 && language->empty()) {
      std::cerr << "deltrix-creator " << command->get_name()
                << ": --language needs the name of an ID Tag Language\n";
      return cli::kUsageError;
    }
  }
  if (*tags && tags->count("--language") > 0 && tagLanguage.empty()) {
    std::cerr << "deltrix-creator tags: --language needs the name of an ID Tag Language\n";
    return cli::kUsageError;
  }

  platform::NativePlatform native;
  platform::NativeTerminal terminal;
  cli::Console console{
      native.platform, terminal, std::cout, std::cerr,
      [&](const std::string& folder) { return native.drives.AddStagingFolder(folder); }};

  if (*drives)
    return mountPointsOnly ? cli::DriveMountPointsCommand(console) : cli::DrivesCommand(console);
  if (*scan) return cli::ScanCommand(console, scanWhere);
  if (*create) return cli::CreateCommand(console, createArgs);
  if (*update) return cli::UpdateCommand(console, updateArgs);
  if (*show || *check) {
    const cli::DriveArg& where = *show ? showWhere : checkWhere;
    const std::u16string root = where.folder.empty() ? native.drives.ToDrivePath(where.drive)
                                                     : cli::StagingRoot(console, where.folder);
    if (!where.folder.empty() && root.empty()) return cli::kUsageError;
    if (root.size() != 3) {
      std::cerr << "Name the card by its mount point, or a folder with --folder.\n";
      return cli::kUsageError;
    }
    const std::string shown = native.drives.ToUserPath(root);
    if (libraryJson) {
      return *show ? cli::RunShowJson(native.files, root, std::cout, shown)
                   : cli::RunCheckJson(native.files, root, std::cout, shown);
    }
    return *show ? cli::RunShowCommand(native.files, root, std::cout, shown)
                 : cli::RunCheckCommand(native.files, root, std::cout, shown);
  }
  if (*tags) {
    // A file on no card is taken as lying at the root of its own folder.
    std::map<std::string, std::u16string> folderRoots;
    std::vector<cli::TagsInput> inputs;
    for (const std::string& file : tagFiles) {
      std::u16string drivePath = native.drives.ToDrivePath(file);
      if (drivePath.empty()) {
        // Built from UTF-8 explicitly: Windows would read a plain string in the ANSI code page.
        const std::filesystem::path p(std::u8string(file.begin(), file.end()));
        const std::u8string parent = p.parent_path().u8string();
        const std::string folder =
            p.has_parent_path() ? std::string(parent.begin(), parent.end()) : std::string(".");
        const std::u8string name = p.filename().u8string();
        auto [it, added] = folderRoots.try_emplace(folder);
        if (added) it->second = native.drives.AddStagingFolder(folder);
        if (!it->second.empty())
          drivePath = it->second + FromUtf8(std::string(name.begin(), name.end()));
      }
      inputs.push_back({file, drivePath});
    }
    int language = tagLanguage.empty() ? app::DefaultTagLanguage(native.text.UserLanguage())
                                       : app::FindTagLanguage(tagLanguage);
    if (language < 0) {
      std::cerr << "Unknown ID Tag Language \"" << tagLanguage << "\".\n";
      return cli::kUsageError;
    }
    return cli::RunTagsCommand(native.files, native.text, inputs, language + 1, tagJson, std::cout);
  }
  if (!startItems.empty()) return cli::StartCommand(console, startItems, startArgs);
  std::cout << app.help();
  return 0;
}
