// The console's complete help (--help-all): every command with its options, then the exit
// statuses. The manual page is generated from it (help2man), so the options, commands and exit
// statuses are written in one place each: the options where main() declares them, the statuses
// here.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace deltrix::cli {

// The text --help-all prints for `app` (the parsed command line of the console), in the layout
// help2man reads: usage lines, the description, "Options:", a "*Commands*" section with one
// sub-section per command, and an "*Exit status*" section.
std::string FullHelp(const CLI::App& app);

}  // namespace deltrix::cli
