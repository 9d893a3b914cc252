// Feeds arbitrary bytes as an ".ANM" file to the reader and plays every
// record, twice round, into a frame of exactly the announced size.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/anm.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  const auto file = tessaran::fuzzing::InputFile("ANM", data, size);
  tessaran::AnmReader reader;
  std::vector<std::uint8_t> palette(1024);
  int width = 0, height = 0, bits = 0;
  if (!tessaran::AnmOpenRead(reader, file, palette.data(), width, height, bits)) return 0;
  std::vector<std::uint8_t> frame(reader.stride * std::size_t(height));
  std::size_t plays = std::min<std::size_t>(2 * std::size_t(reader.header.records) + 1, 600);
  for (std::size_t i = 0; i < plays; ++i) tessaran::lpfTab(reader, frame.data());
  return 0;
}
