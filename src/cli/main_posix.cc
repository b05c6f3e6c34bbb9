// The POSIX entry point: arguments arrive in the locale's encoding, which the program takes as
// UTF-8.
#include "cli/creator_main.h"

int main(int argc, char** argv) { return deltrix::cli::CreatorMain(argc, argv); }
