// Feeds arbitrary bytes as a scene file to the renderer's reader, scene by
// scene and out of turn.
#include <algorithm>
#include <cstdint>

#include "scene/maq_scene.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tessaran;
  MaqSceneFile file;
  if (file.OpenBytes(Bytes(reinterpret_cast<const std::byte*>(data),
                           reinterpret_cast<const std::byte*>(data) + size)) != MaqStatus::Ok) {
    return 0;
  }
  MaqScene scene;
  const int count = std::min(file.SceneCount(), 8);
  for (int n = 1; n <= count; ++n) {
    if (ReadMaq(file, n, scene) != MaqStatus::Ok) break;
  }
  ReadMaq(file, count, scene);
  ReadMaq(file, 1, scene, false);
  return 0;
}
