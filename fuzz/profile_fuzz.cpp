// Feeds arbitrary bytes as "TESSARAN.INI" to the profile reads and writes.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/bytes.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path dir = [] {
    auto d = std::filesystem::temp_directory_path() / ("tessaran-fuzz-" + std::to_string(getpid()));
    std::filesystem::create_directories(d);
    setenv("TESSARAN_CONFIG", d.c_str(), 1);
    return d;
  }();
  tessaran::WriteFileAtomically(dir / "TESSARAN.INI",
                                {reinterpret_cast<const std::byte*>(data), size});
  tessaran::GetProfileString("TESSARAN", "LANGUE", "ENG", "TESSARAN.INI");
  tessaran::GetProfileInt("RZ_ENV", "SCRUTE_PRI", 1, "TESSARAN.INI");
  tessaran::WriteProfileString("Q1_ENV", "ZOOM", "2", "TESSARAN.INI");
  tessaran::GetProfileInt("Q1_ENV", "ZOOM", 0, "TESSARAN.INI");
  return 0;
}
