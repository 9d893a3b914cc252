#include "link/runtime_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tessaran::link {

std::string RuntimeFolderPath() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    return std::string(runtime) + "/tessaran";
  }
  return "/tmp/tessaran-" + std::to_string(getuid());
}

bool CheckRuntimeFolder(const std::string& folder, uid_t owner, std::string* problem) {
  auto fail = [&](const std::string& why) {
    if (problem) *problem = "the program link cannot use " + folder + ": " + why;
    return false;
  };
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return fail(std::strerror(errno));
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return fail(std::strerror(errno));
  if (!S_ISDIR(info.st_mode)) return fail("it is not a folder");
  if (info.st_uid != owner) {
    return fail("it belongs to user " + std::to_string(info.st_uid) + ", not to user " + std::to_string(owner));
  }
  if ((info.st_mode & 0777) != 0700) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return fail(std::string("its mode is ") + mode + ", not 0700 (others could reach the programs)");
  }
  return true;
}

std::string RuntimeFolder(std::string* problem) {
  std::string folder = RuntimeFolderPath();
  return CheckRuntimeFolder(folder, getuid(), problem) ? folder : std::string();
}

}  // namespace tessaran::link
