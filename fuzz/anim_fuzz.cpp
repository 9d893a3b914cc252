// Feeds arbitrary bytes as an IFF ANIM file to the animated-map reader:
// frames forward, past the end and back, then one frame through the ILBM
// reader into a virtual image.
#include <cstdint>
#include <filesystem>
#include <string>

#include "imaging/anim.h"
#include "fuzz/fuzz_support.h"
#include "storage/virtim.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  const tessaran::ByteSpan bytes = tessaran::fuzzing::Input(data, size);
  tessaran::AnimMap map;
  if (!tessaran::AnimLoad(map, bytes)) return 0;
  for (int frame : {1, 2, 3, map.frames + 1, 1, 0}) tessaran::AnimSelectFrame(map, bytes, frame);
  if (size % 4 == 0) {
    const auto file = tessaran::fuzzing::InputFile("ANIM", data, size);
    tessaran::FreeAnimMaps();
    tessaran::LoadAnimFrame(file, 7, tessaran::kOpaqueLoad, nullptr, int(size % 5));
  }
  return 0;
}
