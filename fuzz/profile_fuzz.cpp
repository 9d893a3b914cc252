// Feeds arbitrary bytes as "TESSARAN.INI" to the profile reads and writes.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "platform/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The profile is looked for in $TESSARAN_CONFIG: the scratch folder.
  setenv("TESSARAN_CONFIG", tessaran::fuzzing::ScratchFolder().c_str(), 1);
  tessaran::fuzzing::InputFile("TESSARAN.INI", data, size);
  tessaran::GetProfileString("TESSARAN", "LANGUE", "ENG", "TESSARAN.INI");
  tessaran::GetProfileInt("RZ_ENV", "SCRUTE_PRI", 1, "TESSARAN.INI");
  tessaran::WriteProfileString("Q1_ENV", "ZOOM", "2", "TESSARAN.INI");
  tessaran::GetProfileInt("Q1_ENV", "ZOOM", 0, "TESSARAN.INI");
  return 0;
}
