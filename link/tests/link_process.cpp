#include "link/tests/link_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/execute_text.h"

namespace tessaran::link::testing {

namespace fs = std::filesystem;

void LinkProcessTest::SetUp() {
  // Short: socket paths must fit their 108 bytes.
  static int count = 0;
  base_ = fs::temp_directory_path() / ("tsl-" + std::to_string(getpid()) + "-" + std::to_string(++count));
  fs::remove_all(base_);
  fs::create_directories(base_ / "run");
  fs::create_directories(base_ / "bin");
  fs::create_directories(base_ / "config");
  setenv("XDG_RUNTIME_DIR", (base_ / "run").c_str(), 1);
  setenv("TESSARAN_CONFIG", (base_ / "config").c_str(), 1);
  std::ofstream(base_ / "config" / "TESSARAN.INI") << "[TESSARAN]\nCHEMIN=" << (base_ / "bin").string() << "\n";
}

void LinkProcessTest::TearDown() {
  for (pid_t pid : started_) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  fs::remove_all(base_);
}

bool LinkProcessTest::WaitForFile(const fs::path& file) const {
  for (int i = 0; i < 500; ++i) {
    std::error_code error;
    if (fs::exists(file, error)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

pid_t LinkProcessTest::StartServer(const std::vector<std::string>& args) {
  auto registered = [this] {
    const std::vector<std::string> lines = LogLines();
    return std::count(lines.begin(), lines.end(), "registered");
  };
  const long before = registered();
  std::vector<std::string> words{LINK_TEST_SERVER, "--log", LogPath()};
  words.insert(words.end(), args.begin(), args.end());
  const pid_t pid = fork();
  if (pid == 0) {
    const int err = open((base_ / "server.err").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    dup2(err, STDERR_FILENO);
    setenv("KORVANDBG", "1", 1);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  started_.push_back(pid);
  // Registered once it has logged so (its socket may be a dead one's).
  for (int i = 0; i < 500 && registered() == before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GT(registered(), before);
  return pid;
}

void LinkProcessTest::InstallServerAs(const std::string& name, const std::vector<std::string>& args) {
  const fs::path script = base_ / "bin" / name;
  std::ofstream out(script);
  out << "#!/bin/sh\nKORVANDBG=1 exec '" << LINK_TEST_SERVER << "' --log '" << LogPath() << "'";
  for (const std::string& a : args) out << " " << a;
  out << " \"$@\" 2>>'" << (base_ / "server.err").string() << "'\n";
  out.close();
  fs::permissions(script, fs::perms::owner_all);
}

ProgramRun LinkProcessTest::RunProgram(const std::vector<std::string>& words) {
  const fs::path errFile = base_ / "program.err";
  const pid_t pid = fork();
  if (pid == 0) {
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(err, STDERR_FILENO);
    setenv("KORVANDBG", "1", 1);
    std::vector<std::string> copy = words;
    std::vector<char*> argv;
    for (std::string& w : copy) argv.push_back(w.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::ifstream in(errFile);
  std::stringstream text;
  text << in.rdbuf();
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

std::string LinkProcessTest::ServerTraces() const {
  std::ifstream in(base_ / "server.err");
  return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> LinkProcessTest::LogLines() const {
  std::vector<std::string> lines;
  std::ifstream in(LogPath());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

void LinkProcessTest::Quit(const std::string& service, pid_t pid) {
  Recorder recorder;
  auto instance = Instance::Initialize(0, recorder, nullptr);
  ASSERT_TRUE(instance);
  const ConversationId id = instance->Connect(service, service);
  ASSERT_NE(id, 0u);
  Frame quit;
  quit.kind = FrameKind::Execute;
  quit.data = ExecuteData("QUIT", "QUIT");
  EXPECT_TRUE(instance->Transact(id, quit, 1000, {}).Ok());
  if (pid > 0) {
    int status = 0;
    waitpid(pid, &status, 0);
    started_.erase(std::remove(started_.begin(), started_.end(), pid), started_.end());
  } else {
    // A server another program started ends by itself; its socket goes.
    for (int i = 0; i < 500 && fs::exists(RuntimeFolder() / service); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
}

}  // namespace tessaran::link::testing
