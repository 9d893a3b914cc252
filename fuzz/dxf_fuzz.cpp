// Feeds arbitrary bytes to the DXF import, into a scene that already holds
// an object, which a refused file must leave as it was.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "modeler/geometry/dxf_reader.h"
#include "modeler/geometry/primitives.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::fuzzing::SilenceTheUser();
  tessaran::SceneModel scene;
  tessaran::Plan(scene, 2, 2, 0, 0);
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (tessaran::ImportDxfText(scene, text, 100.0) < 0) {
    if (scene.Header().objectCount != 1 || scene.TotalPoints() != 25) std::abort();
  }
  return 0;
}
