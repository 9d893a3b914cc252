// Feeds arbitrary bytes as a scene file to the modeler's reader, opening and
// inserting. What it accepts must come out of the writer as a file that
// reads back, and after one more cycle (which settles values the file
// format cannot hold, such as names past 99 characters) writes the same
// bytes again.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "scene/maq_file.h"
#include "scene/scene_model.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaran;
  fuzzing::SilenceTheUser();
  static SceneModel scene;
  const ByteSpan bytes = fuzzing::Input(data, size);
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
