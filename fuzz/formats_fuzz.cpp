// Feeds arbitrary bytes as a picture file to the Targa, PCX, BMP and PPM
// readers, into a created slot, into the main image (straight or staged and
// stretched, with a transparent key) and into a pixel sink.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "imaging/bmp.h"
#include "imaging/pcx.h"
#include "imaging/ppm.h"
#include "imaging/tga.h"
#include "platform/bytes.h"
#include "platform/report.h"
#include "storage/virtim.h"

namespace {

class Silent : public tessaran::MessageReporter, public tessaran::ProgressDisplay {
 public:
  void Report(tessaran::MessageKind, int, std::string_view) override {}
  void Open(std::string_view, std::string_view) override {}
  void Set(double) override {}
  void Close() override {}
};

using Reader = int (*)(const std::filesystem::path&, int, int, tessaran::PictureHeader*,
                       const tessaran::PixelSink*);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Silent silent;
  static const std::filesystem::path file = [] {
    tessaran::InstallReporter(&silent);
    tessaran::InstallProgress(&silent);
    return std::filesystem::temp_directory_path() /
           ("tessaran-formats-fuzz-" + std::to_string(getpid()));
  }();
  tessaran::WriteFileAtomically(file, {reinterpret_cast<const std::byte*>(data), size});

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
