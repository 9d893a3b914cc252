// Feeds arbitrary bytes as a picture file to the Targa, PCX, BMP and PPM
// readers, into a created slot, into the main image (straight or staged and
// stretched, with a transparent key) and into a pixel sink.
#include <cstdint>
#include <filesystem>
#include <string>

#include "imaging/bmp.h"
#include "imaging/pcx.h"
#include "imaging/ppm.h"
#include "imaging/tga.h"
#include "fuzz/fuzz_support.h"
#include "storage/virtim.h"

namespace {

using Reader = int (*)(const std::filesystem::path&, int, int, tessaran::PictureHeader*,
                       const tessaran::PixelSink*);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  const auto file = tessaran::fuzzing::InputFile("PICTURE", data, size);

  std::uint32_t sum = 0;
  const tessaran::PixelSink sink = [&sum](std::uint32_t x, std::uint32_t y, std::uint32_t rgb) {
    sum += x ^ y ^ rgb;
  };
  for (Reader read : {Reader(tessaran::ReadTga), Reader(tessaran::ReadPcx),
                      Reader(tessaran::ReadBmp), Reader(tessaran::ReadPpm)}) {
    tessaran::PictureHeader header;
    read(file, 5, -2, &header, nullptr);
    switch (size % 3) {
      case 0:
        read(file, 5, 2412, &header, nullptr);
        break;
      case 1:
        // A main image of one of the sample sizes: some pictures go straight
        // in, the others are staged and stretched.
        tessaran::VimCreate(0, 40, 30, size % 2 ? 24 : 8);
        read(file, 0, 0, &header, nullptr);
        break;
      default:
        read(file, -1, 2412, &header, &sink);
        break;
    }
  }
  return 0;
}
