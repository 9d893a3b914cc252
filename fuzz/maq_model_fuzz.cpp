// Feeds arbitrary bytes as a scene file to the modeler's reader, opening and
// inserting. What it accepts must come out of the writer as a file that
// reads back, and after one more cycle (which settles values the file
// format cannot hold, such as names past 99 characters) writes the same
// bytes again.
#include <cstdint>
#include <cstdlib>

#include "platform/report.h"
#include "scene/maq_file.h"
#include "scene/scene_model.h"

namespace {

class Silent : public tessaran::MessageReporter {
 public:
  void Report(tessaran::MessageKind, int, std::string_view) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaran;
  static Silent silent;
  static SceneModel& scene = [] () -> SceneModel& {
    InstallReporter(&silent);
    static SceneModel model;
    return model;
  }();
  const ByteSpan bytes{reinterpret_cast<const std::byte*>(data), size};
  scene.NewScene();
  if (ReadModelBytes(scene, bytes, ReadMode::Open) == 0) {
    const Bytes written = MaqFileBytes(scene);
    SceneModel back;
    if (ReadModelBytes(back, written, ReadMode::Open) != 0) std::abort();
    const Bytes settled = MaqFileBytes(back);
    SceneModel again;
    if (ReadModelBytes(again, settled, ReadMode::Open) != 0 || MaqFileBytes(again) != settled) std::abort();
    // Inserting a file into itself doubles it.
    ReadModelBytes(scene, written, ReadMode::Insert);
    MaqFileBytes(scene);
  }
  ReadModelBytes(scene, bytes, ReadMode::Insert);
  ReadModelBytes(scene, bytes, ReadMode::Open, 2);
  return 0;
}
