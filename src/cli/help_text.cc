#include "cli/help_text.h"

#include <CLI/CLI.hpp>
#include <cctype>
#include <sstream>

namespace deltrix::cli {

namespace {

constexpr const char* kExitStatus = R"(*Exit status*
  0   success (show and check: the library is sound)
  1   the drive named is not the root of a drive
  2   tags: at least one file could not be read
  3   the library is missing or damaged, or its data could not be made
  4   a file could not be written on the card (full, read-only)
  5   more than one drive was named
  6   the drive cannot carry a library (not FAT, network or optical drive, no medium)
  7   the drive was removed during the run
  8   the run was stopped or aborted, or the confirmation was declined, or an update would
      have removed more than half of the library without --allow-removal (nothing written)
  9   another run is writing to the same card
  64  a command line that cannot be used
)";

constexpr size_t kDescriptionColumn = 24;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// "DRIVE", "FILES..." for a positional; "-y, --yes" or "--folder=DIR" for an option.
std::string Names(const CLI::Option& o) {
  if (o.get_positional()) {
    return Upper(o.get_name(true)) + (o.get_expected_max() > 1 ? "..." : "");
  }
  std::string names;
  for (const std::string& s : o.get_snames()) names += "-" + s + ", ";
  for (const std::string& l : o.get_lnames()) names += "--" + l + ", ";
  names.resize(names.size() - 2);
  // A flag has no value; a value's name ends where the list of allowed values begins.
  const std::string value = o.get_type_name();
  if (!value.empty()) names += "=" + value.substr(0, value.find(':'));
  return names;
}

// The options of `app` (or its positionals), one a line; hidden ones and a command's own --help
// (the same in every command) are left out.
void OptionLines(const CLI::App& app, bool positionals, std::ostream& out) {
  for (const CLI::Option* o : app.get_options()) {
    if (o->get_group().empty() || o->get_positional() != positionals) continue;
    if (app.get_parent() && o == app.get_help_ptr()) continue;
    const std::string names = "  " + Names(*o);
    out << names;
    if (names.size() + 2 > kDescriptionColumn) {
      out << "\n" << std::string(kDescriptionColumn, ' ');
    } else {
      out << std::string(kDescriptionColumn - names.size(), ' ');
    }
    out << o->get_description() << "\n";
  }
}

std::string Usage(const CLI::App& command) {
  std::string usage;
  for (const CLI::Option* o : command.get_options()) {
    if (!o->get_positional() || o->get_group().empty()) continue;
    usage += o->get_required() ? " " + Names(*o) : " [" + Names(*o) + "]";
  }
  return usage;
}

}  // namespace

std::string FullHelp(const CLI::App& app) {
  std::ostringstream out;
  const std::string name = app.get_name();
  out << "Usage: " << name << " [OPTION]..." << Usage(app) << "\n";
  out << "  or:  " << name << " COMMAND [OPTION]... [DRIVE | FILES...]\n";
  out << app.get_description() << "\n\nOptions:\n";
  OptionLines(app, true, out);
  OptionLines(app, false, out);
  out << "\n*Commands*\n";
  for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
    out << command->get_name() << " [OPTION]..." << Usage(*command) << ":\n";
    out << "  " << command->get_description() << "\n\n";
    OptionLines(*command, true, out);
    OptionLines(*command, false, out);
    out << "\n";
  }
  out << kExitStatus;
  return out.str();
}

}  // namespace deltrix::cli
