// Starting a program of the suite: found in the program directory by its
// system name, its end collected (and told) so that no defunct process
// stays, holding none of this program's pipes, and told it was started to
// serve.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "link/program_start.h"

namespace tessaran::link {
namespace {

namespace fs = std::filesystem;

// Children of this process that have ended and were not collected.
int DefunctChildren() {
  int count = 0;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string pid, name, state;
    long parent = 0;
    // "PID (NAME) STATE PPID …"; the test's programs have no blanks in their names.
    if (stat >> pid >> name >> state >> parent && parent == getpid() && state == "Z") ++count;
  }
  return count;
}

TEST(ProgramStart, AStartedProgramThatEndsLeavesNoDefunctProcess) {
  const fs::path dir = fs::temp_directory_path() / ("tessaran-start-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path program = dir / "quick";
  std::ofstream(program) << "#!/bin/sh\nexit 0\n";
  chmod(program.c_str(), 0755);
  EXPECT_FALSE(StartProgram(dir.string(), "\\MISSING.EXE", {}));
  const StartedProgram quick = StartProgram(dir.string(), "\\QUICK.EXE", {"a b"});
  ASSERT_TRUE(quick);
  for (int tries = 0; tries < 100 && !quick.Ended(); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(quick.Ended());
  EXPECT_EQ(DefunctChildren(), 0);
  fs::remove_all(dir);
}

// Starts the program `systemName` names in `dir` with this process's
// output and error on a pipe, as `x=$(qmx --batch …)` does; true when the
// pipe ends within two seconds, that is when nothing but this process
// held it.
bool PipeEndsAfterStart(const fs::path& dir, const char* systemName) {
  int ends[2];
  if (pipe(ends) != 0) return false;
  std::fflush(stdout);
  std::fflush(stderr);
  const int out = dup(STDOUT_FILENO), err = dup(STDERR_FILENO);
  dup2(ends[1], STDOUT_FILENO);
  dup2(ends[1], STDERR_FILENO);
  close(ends[1]);
  const bool started = static_cast<bool>(StartProgram(dir.string(), systemName, {}));
  dup2(out, STDOUT_FILENO);
  dup2(err, STDERR_FILENO);
  close(out);
  close(err);
  pollfd reader{ends[0], POLLIN, 0};
  char byte;
  const bool ended = started && poll(&reader, 1, 2000) == 1 && read(ends[0], &byte, 1) == 0;
  close(ends[0]);
  return ended;
}

TEST(ProgramStart, AStartedServerHoldsNoPipeOfThisProgram) {
  const fs::path dir = fs::temp_directory_path() / ("tessaran-pipes-" + std::to_string(getpid()));
  fs::create_directories(dir);
  // A server that runs for a while, and says where its input comes from
  // and whether it knows it was started to serve.
  const fs::path program = dir / "server";
  std::ofstream(program) << "#!/bin/sh\nreadlink /proc/$$/fd/0 > \"$0.input\"\n"
                            "echo \"$TESSARAN_STARTED_TO_SERVE\" > \"$0.serve\"\necho $$ > \"$0.pid\"\n"
                            "echo started\nexec sleep 30\n";
  chmod(program.c_str(), 0755);
  EXPECT_TRUE(PipeEndsAfterStart(dir, "\\SERVER.EXE"));
  // The pipe ended while the server still ran.
  long pid = 0;
  for (int tries = 0; tries < 100 && !(std::ifstream(dir / "server.pid") >> pid); ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_GT(pid, 0);
  EXPECT_EQ(kill(static_cast<pid_t>(pid), 0), 0);
  std::string input;
  std::ifstream(dir / "server.input") >> input;
  EXPECT_EQ(input, "/dev/null");
  std::string serve;
  std::ifstream(dir / "server.serve") >> serve;
  EXPECT_EQ(serve, "1");
  EXPECT_FALSE(StartedToServe());
  kill(static_cast<pid_t>(pid), SIGTERM);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tessaran::link
