#include "platform/sysinfo.h"

#include <sys/statvfs.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace tessaran {

MemoryFigures ReadMemoryFigures() {
  std::ifstream meminfo("/proc/meminfo");
  MemoryFigures figures;
  std::string line;
  while (std::getline(meminfo, line)) {
    std::istringstream fields(line);
    std::string key;
    std::uint64_t kilobytes = 0;
    fields >> key >> kilobytes;
    if (key == "MemTotal:") figures.physicalTotalKb = kilobytes;
    else if (key == "MemAvailable:") figures.physicalFreeKb = kilobytes;
    else if (key == "SwapTotal:") figures.swapTotalKb = kilobytes;
    else if (key == "SwapFree:") figures.swapFreeKb = kilobytes;
  }
  return figures;
}

std::uint64_t AvailableMemory() {
  const MemoryFigures figures = ReadMemoryFigures();
  return (figures.physicalFreeKb + figures.swapFreeKb) * 1024;
}

std::uint64_t FreeDiskSpace(const std::filesystem::path& directory) {
  struct statvfs info {};
  if (statvfs(directory.c_str(), &info) != 0) return 0;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::filesystem::path TemporaryDirectory() {
  for (const char* name : {"TEMP", "TMPDIR"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "/tmp";
}

bool DisplayAvailable() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value && *value) return true;
  }
  return false;
}

}  // namespace tessaran
