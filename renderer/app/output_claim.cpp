#include "renderer/app/output_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "imaging/picture.h"

namespace tessaran {
namespace {

constexpr const char* kClaimExtension = ".LCK";
constexpr std::size_t kNumberDigits = 4;
// A scene path is far shorter: a longer file is no claim file's.
constexpr std::size_t kMostRecorded = 4096;

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  ssize_t n = 0;
  while (text.size() < kMostRecorded &&
         (n = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0) {
    text.append(buffer, static_cast<std::size_t>(n));
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\0')) text.pop_back();
  return text;
}

bool Record(int fd, const std::string& scene) {
  const std::string line = scene + "\n";
  return ::ftruncate(fd, 0) == 0 && ::pwrite(fd, line.data(), line.size(), 0) == static_cast<ssize_t>(line.size());
}

}  // namespace

OutputClaim::~OutputClaim() {
  if (fd_ >= 0) ::close(fd_);
}

std::filesystem::path OutputClaim::FileFor(const std::string& base) {
  // Image 0's name, cut as every image's, without its number.
  std::filesystem::path numbered = MakeOutputName(base, 0, kClaimExtension);
  std::string stem = numbered.stem().string();
  stem.resize(stem.size() >= kNumberDigits ? stem.size() - kNumberDigits : 0);
  return numbered.replace_filename(stem + kClaimExtension);
}

OutputClaim::Result OutputClaim::Take(const std::filesystem::path& file, const std::string& scene,
                                      std::string* previous) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return Result::Unavailable;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool busy = errno == EWOULDBLOCK;
    ::close(fd);
    return busy ? Result::InUse : Result::Unavailable;
  }
  if (previous) *previous = ReadAll(fd);
  Record(fd, scene);
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  return Result::Taken;
}

}  // namespace tessaran
