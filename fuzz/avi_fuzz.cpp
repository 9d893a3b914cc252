// Feeds arbitrary bytes as an AVI file to the reader and reads every frame,
// and round once more, into a frame of exactly the announced size.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/avi.h"
#include "platform/bytes.h"
#include "platform/report.h"

namespace {

class Silent : public tessaran::MessageReporter {
 public:
  void Report(tessaran::MessageKind, int, std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Silent silent;
  static const std::filesystem::path file = [] {
    tessaran::InstallReporter(&silent);
    return std::filesystem::temp_directory_path() / ("tessaran-avi-fuzz-" + std::to_string(getpid()));
  }();
  tessaran::WriteFileAtomically(file, {reinterpret_cast<const std::byte*>(data), size});
  tessaran::AviReader reader;
  std::vector<std::uint8_t> palette(1024);
  int width = 0, height = 0, bits = 0;
  if (!tessaran::AviOpen(reader, file, palette.data(), width, height, bits)) return 0;
  std::vector<std::uint8_t> frame(reader.stride * std::size_t(height));
  std::size_t reads = std::min<std::size_t>(reader.index.size() + 1, 300);
  for (std::size_t i = 0; i < reads; ++i) tessaran::AviNextFrame(reader, frame.data(), true);
  return 0;
}
