// Starting a program of the suite: found in the program directory by its
// system name, and its end collected so that no defunct process stays.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
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
  ASSERT_TRUE(StartProgram(dir.string(), "\\QUICK.EXE", {"a b"}));
  // Long enough for the program to have ended and been collected.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(DefunctChildren(), 0);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tessaran::link
