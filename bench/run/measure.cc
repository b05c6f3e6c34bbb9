// measure: runs one command and reports its wall time, peak resident memory and blocks written.
// A child forked from the series' Python process would count Python's own pages in its peak
// (the kernel carries the high-water mark across exec), so the series starts every command
// through this small program instead.
//   measure REPORT_FILE COMMAND [ARGS...]
// REPORT_FILE gets one line: "wall=<seconds> maxrss_kb=<KiB> written=<bytes> status=<exit status>".
// Its own exit status is the command's.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: measure REPORT_FILE COMMAND [ARGS...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid < 0) return 2;
  if (pid == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) return 2;
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  FILE* out = std::fopen(argv[1], "w");
  if (!out) return 2;
  std::fprintf(out, "wall=%.6f maxrss_kb=%ld written=%lld status=%d\n", wall, usage.ru_maxrss,
               static_cast<long long>(usage.ru_oublock) * 512, code);
  std::fclose(out);
  return code;
}
