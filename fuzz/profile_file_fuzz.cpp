// Feeds arbitrary bytes to the 2D profile reader; whatever it accepts must
// write and read back to the same points.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "modeler/geometry/profile_file.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  tessaran::Profile2D profile;
  tessaran::ReadProfileText({reinterpret_cast<const char*>(data), size}, profile);
  if (profile.points.size() > tessaran::Profile2D::kMaxPoints) std::abort();
  if (!profile.points.empty()) {
    tessaran::Profile2D back;
    tessaran::ReadProfileText(tessaran::ProfileText(profile), back);
    if (back.points != profile.points) std::abort();
  }
  return 0;
}
