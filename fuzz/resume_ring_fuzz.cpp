// Feeds arbitrary bytes as the antialias ring file (".ALS") of an image
// whose width is taken from the first input byte, so that sizes that match
// the file's and sizes that do not are both reached.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "renderer/engine/resume_ring.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int width = data[0];
  tessaran::CornerRing ring;
  int fileSize = 0;
  const tessaran::ByteSpan bytes = tessaran::fuzzing::Input(data + 1, size - 1);
  if (tessaran::ParseRing(bytes, tessaran::RingSize(width), ring, &fileSize) == tessaran::RingStatus::Ok) {
    // What was read is a whole ring with its write position inside it.
    if (static_cast<int>(ring.entries.size()) != tessaran::RingSize(width) || ring.writePosition < 0 ||
        ring.writePosition >= tessaran::RingSize(width)) {
      __builtin_trap();
    }
    tessaran::Bytes again = tessaran::SerializeRing(ring);
    if (again.size() > bytes.size()) __builtin_trap();
  }
  return 0;
}
