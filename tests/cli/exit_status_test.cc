// The console program itself, run as a user runs it: what a command line it cannot use gives.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <string>

namespace deltrix::cli {
namespace {

struct Outcome {
  int status = -1;
  std::string output;  // standard output and standard error
};

Outcome RunProgram(const std::string& arguments) {
  const std::string command = std::string(DELTRIX_CLI_EXE) + " " + arguments + " 2>&1 </dev/null";
  Outcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return outcome;
  char buffer[512];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) outcome.output.append(buffer, n);
  const int status = pclose(pipe);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

TEST(ExitStatus, EveryUnusableCommandLineGivesSixtyFourAndOneLineSayingWhy) {
  const std::string folder = ::testing::TempDir();
  const struct {
    std::string arguments;
    std::string says;  // found in the one line printed
  } cases[] = {
      {"--bogus", "--bogus"},
      {"create --bogus", "--bogus"},
      {"create --folder", "--folder"},
      {"create --folder " + folder + " --on-error maybe", "maybe"},
      {"create s1 --folder " + folder, "not both"},
      {"update s1 --folder " + folder, "not both"},
      {"scan s1 --folder " + folder, "not both"},
      {"create --folder " + folder + " --language ''", "--language"},
      {"tags --language '' x.mp3", "--language"},
      {"create --folder " + folder + " --language Klingon", "Klingon"},
      {"show --folder /nonexistent/t500", "No such folder: /nonexistent/t500"},
      {"check --folder /nonexistent/t500", "No such folder: /nonexistent/t500"},
      {"create --folder /nonexistent/t500", "No such folder: /nonexistent/t500"},
      {"scan --folder /nonexistent/t500", "No such folder: /nonexistent/t500"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    const Outcome outcome = RunProgram(c.arguments);
    EXPECT_EQ(64, outcome.status) << outcome.output;
    EXPECT_NE(std::string::npos, outcome.output.find(c.says)) << outcome.output;
    EXPECT_EQ(1, std::count(outcome.output.begin(), outcome.output.end(), '\n')) << outcome.output;
  }
}

TEST(ExitStatus, HelpAndVersionSucceed) {
  EXPECT_EQ(0, RunProgram("--help").status);
  EXPECT_EQ(0, RunProgram("--version").status);
}

}  // namespace
}  // namespace deltrix::cli
