// Memory and disk figures the storage layer sizes its tables by, and
// whether the programs have a display to open windows on.
#pragma once

#include <cstdint>
#include <filesystem>

namespace tessaran {

// The memory figures of /proc/meminfo, in KB.
struct MemoryFigures {
  std::uint64_t physicalTotalKb = 0;  // MemTotal
  std::uint64_t physicalFreeKb = 0;   // MemAvailable
  std::uint64_t swapTotalKb = 0;
  std::uint64_t swapFreeKb = 0;
};
MemoryFigures ReadMemoryFigures();

// Available memory in bytes: MemAvailable plus SwapFree.
std::uint64_t AvailableMemory();

// Free space in bytes for an unprivileged writer on the file system holding
// directory; 0 when it cannot be asked.
std::uint64_t FreeDiskSpace(const std::filesystem::path& directory);

// Whether a display is available: DISPLAY or WAYLAND_DISPLAY is set and
// not empty. Without one the programs run in batch mode.
bool DisplayAvailable();

// The temporary directory: $TEMP, else $TMPDIR, else /tmp.
std::filesystem::path TemporaryDirectory();

}  // namespace tessaran
