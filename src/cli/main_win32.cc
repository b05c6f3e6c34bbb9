// The Windows entry point: arguments arrive in UTF-16 (wmain, linked with -municode), so names
// outside the ANSI code page survive; they are handed on in UTF-8.
#include <string>
#include <vector>

#include "base/utf16.h"
#include "cli/creator_main.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  args.reserve(static_cast<size_t>(argc));
  for (int i = 0; i < argc; ++i) {
    std::u16string arg;
    for (const wchar_t* c = argv[i]; *c; ++c) arg.push_back(static_cast<char16_t>(*c));
    args.push_back(deltrix::ToUtf8(arg));
  }
  std::vector<char*> pointers;
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  return deltrix::cli::CreatorMain(argc, pointers.data());
}
