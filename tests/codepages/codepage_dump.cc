// Writes the code-page table (codepage_table.h) as this system's platform decodes it, to the file
// named on the command line or to standard output. Run under Wine it records Windows' answers,
// which the POSIX codec is held to.
#include <cstdio>
#include <string>

#include "codepages/codepage_table.h"
#include "native_platform.h"

int main(int argc, char** argv) {
  deltrix::platform::NativePlatform native;
  const std::string table = deltrix::codepages::CodePageTable(native.text);
  std::FILE* out = argc > 1 ? std::fopen(argv[1], "wb") : stdout;
  if (!out) return 1;
  const bool ok = std::fwrite(table.data(), 1, table.size(), out) == table.size();
  return (argc > 1 ? std::fclose(out) == 0 : std::fflush(out) == 0) && ok ? 0 : 1;
}
