// Feeds arbitrary bytes as an IFF ANIM file to the animated-map reader:
// frames forward, past the end and back, then one frame through the ILBM
// reader into a virtual image.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "imaging/anim.h"
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Silent silent;
  static const std::filesystem::path file = [] {
    tessaran::InstallReporter(&silent);
    tessaran::InstallProgress(&silent);
    return std::filesystem::temp_directory_path() / ("tessaran-anim-fuzz-" + std::to_string(getpid()));
  }();
  tessaran::ByteSpan bytes(reinterpret_cast<const std::byte*>(data), size);
  tessaran::AnimMap map;
  if (!tessaran::AnimLoad(map, bytes)) return 0;
  for (int frame : {1, 2, 3, map.frames + 1, 1, 0}) tessaran::AnimSelectFrame(map, bytes, frame);
  if (size % 4 == 0) {
    tessaran::WriteFileAtomically(file, bytes);
    tessaran::FreeAnimMaps();
    tessaran::LoadAnimFrame(file, 7, tessaran::kOpaqueLoad, nullptr, int(size % 5));
  }
  return 0;
}
