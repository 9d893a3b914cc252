// Feeds arbitrary bytes as an AVI file to the reader and reads every frame,
// and round once more, into a frame of exactly the announced size.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/avi.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  const auto file = tessaran::fuzzing::InputFile("AVI", data, size);
  tessaran::AviReader reader;
  std::vector<std::uint8_t> palette(1024);
  int width = 0, height = 0, bits = 0;
  if (!tessaran::AviOpen(reader, file, palette.data(), width, height, bits)) return 0;
  std::vector<std::uint8_t> frame(reader.stride * std::size_t(height));
  std::size_t reads = std::min<std::size_t>(reader.index.size() + 1, 300);
  for (std::size_t i = 0; i < reads; ++i) tessaran::AviNextFrame(reader, frame.data(), true);
  return 0;
}
