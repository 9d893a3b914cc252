#include "link/program_start.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <thread>
#include <utility>

#include "platform/console.h"
#include "platform/dynlib.h"
#include "platform/profile.h"

extern char** environ;

namespace tessaran::link {

std::string ProgramFileName(const std::string& systemName) {
  std::string name = systemName;
  if (const std::size_t slash = name.find_last_of("\\/"); slash != std::string::npos) name.erase(0, slash + 1);
  if (const std::size_t dot = name.find('.'); dot != std::string::npos) name.erase(dot);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name;
}

std::string ProgramDirectory() {
  std::string directory = GetProfileString("TESSARAN", "CHEMIN", "\\", "TESSARAN.INI");
  if (!directory.empty() && directory != "\\") {
    for (char& c : directory) c = c == '\\' ? '/' : c;
    return directory;
  }
  return tessaran::ProgramDirectory().string();
}

namespace {

constexpr char kStartedToServe[] = "TESSARAN_STARTED_TO_SERVE";

// This program's environment, with kStartedToServe set.
std::vector<std::string> ServerEnvironment() {
  const std::string mark = std::string(kStartedToServe) + "=";
  std::vector<std::string> entries;
  for (char** entry = environ; *entry; ++entry) {
    if (std::string_view(*entry).substr(0, mark.size()) != mark) entries.emplace_back(*entry);
  }
  entries.push_back(mark + "1");
  return entries;
}

// Whether the descriptor is a pipe or a socket: a reader of one waits for
// every writer to close it before it sees the end.
bool IsPipe(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

}  // namespace

bool StartedToServe() {
  const char* value = std::getenv(kStartedToServe);
  return value && std::string_view(value) == "1";
}

StartedProgram StartProgram(const std::string& directory, const std::string& systemName,
                            const std::vector<std::string>& arguments) {
  StartedProgram started;
  const std::string program = (std::filesystem::path(directory) / ProgramFileName(systemName)).string();
  if (access(program.c_str(), X_OK) != 0) return started;
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  auto ended = std::make_shared<std::atomic<bool>>(false);
  std::vector<std::string> environment = ServerEnvironment();
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  // The started program outlives this one, as a started server does; a
  // child of its own session, it is not stopped with this one's terminal.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  // It never reads this program's input. Nor does it keep this program's
  // output when that is a pipe: whoever reads the pipe (a script's
  // `$(qmx --batch …)`, a `| tail`) would wait for the server to quit, and
  // the server would be killed by its first line written after the reader
  // has gone. A terminal or a file is kept, for its traces.
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
    if (IsPipe(fd)) posix_spawn_file_actions_addopen(&files, fd, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = 0;
  const int error = posix_spawn(&pid, program.c_str(), &files, &attributes, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  Trace("Lancement de %s %s\n", program.c_str(), error == 0 ? "OK" : "IMPOSSIBLE");
  if (error != 0) return started;
  // Its end is collected whenever it comes, so that a server that quits
  // leaves no defunct process behind while this program runs on.
  std::thread([pid, ended] {
    waitpid(pid, nullptr, 0);
    ended->store(true, std::memory_order_release);
  }).detach();
  started.ended_ = std::move(ended);
  return started;
}

}  // namespace tessaran::link
