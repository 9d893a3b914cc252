#include "link/program_start.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <thread>

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

// Whether the descriptor is a pipe or a socket: a reader of one waits for
// every writer to close it before it sees the end.
bool IsPipe(int fd) {
  struct stat status;
  return fstat(fd, &status) == 0 && (S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode));
}

}  // namespace

bool StartProgram(const std::string& directory, const std::string& systemName,
                  const std::vector<std::string>& arguments) {
  const std::string program = (std::filesystem::path(directory) / ProgramFileName(systemName)).string();
  if (access(program.c_str(), X_OK) != 0) return false;
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
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
  const int error = posix_spawn(&pid, program.c_str(), &files, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  posix_spawnattr_destroy(&attributes);
  Trace("Lancement de %s %s\n", program.c_str(), error == 0 ? "OK" : "IMPOSSIBLE");
  if (error != 0) return false;
  // Its end is collected whenever it comes, so that a server that quits
  // leaves no defunct process behind while this program runs on.
  std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
  return true;
}

}  // namespace tessaran::link
