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
#include "cli/library_commands.h"
#include "cli/tags_command.h"
#include "native_platform.h"

namespace {

constexpr const char* kVersion = "0.1.0";

void AddDriveOptions(CLI::App* command, deltrix::cli::DriveArg* where) {
  command->add_option("drive", where->drive, "Mount point of the card (or drive root)");
  command->add_option("--folder", where->folder,
                      "A folder to treat as the card, e.g. one copied to a card later");
}

void AddRunOptions(CLI::App* command, deltrix::cli::RunArgs* args) {
  AddDriveOptions(command, &args->where);
  command->add_option(
      "--language", args->language,
      "ID Tag Language: Japanese, Chinese, English, French, German, Italian, Spanish, "
      "Dutch or Russian (default: from your locale)");
  command->add_flag("--yes,-y", args->yes, "Answer the confirmation question with yes");
  command
      ->add_option(
          "--on-error", args->onError,
          "Without a terminal, what to do with a file that cannot be read: skip (default) or abort")
      ->check(CLI::IsMember({"skip", "abort"}));
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

  auto* drives = app.add_subcommand(
      "drives", "List the drives with their labels and whether they can be used");
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
  cli::DriveArg showWhere;
  auto* show = app.add_subcommand("show", "Print the library as the player lets you browse it");
  AddDriveOptions(show, &showWhere);
  cli::DriveArg checkWhere;
  auto* check = app.add_subcommand("check", "Verify the library files; one line per problem");
  AddDriveOptions(check, &checkWhere);
  std::vector<std::string> tagFiles;
  std::string tagLanguage;
  bool tagJson = false;
  auto* tags = app.add_subcommand(
      "tags",
      "Print the track record each file gives. A file's stored path is its path below the mount "
      "point "
      "of the card it is on; a file on no card is taken as lying at the root of its own folder.");
  tags->add_option("files", tagFiles, "Audio files")->required();
  tags->add_option("--language", tagLanguage, "ID Tag Language (default: from your locale)");
  tags->add_flag("--json", tagJson, "One JSON object per line and file");

  CLI11_PARSE(app, argc, argv);

  platform::NativePlatform native;
  platform::NativeTerminal terminal;
  cli::Console console{
      native.platform, terminal, std::cout, std::cerr,
      [&](const std::string& folder) { return native.drives.AddStagingFolder(folder); }};

  auto resolve = [&](const cli::DriveArg& where) -> std::u16string {
    if (!where.folder.empty()) return native.drives.AddStagingFolder(where.folder);
    return native.drives.ToDrivePath(where.drive);
  };

  if (*drives) return cli::DrivesCommand(console);
  if (*scan) return cli::ScanCommand(console, scanWhere);
  if (*create) return cli::CreateCommand(console, createArgs);
  if (*update) return cli::UpdateCommand(console, updateArgs);
  if (*show || *check) {
    const std::u16string root = resolve(*show ? showWhere : checkWhere);
    if (root.size() != 3) {
      std::cerr << "Name the card by its mount point, or a folder with --folder.\n";
      return cli::kUsageError;
    }
    const std::string shown = native.drives.ToUserPath(root);
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
