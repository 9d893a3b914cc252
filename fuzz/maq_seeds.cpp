// Writes seed scene files for the scene-file fuzzers into the folder named
// on the command line, each made by the modeler's own writer.
#include <filesystem>
#include <iostream>

#include "scene/maq_file.h"
#include "scene/scene_list.h"
#include "scene/tests/maq_samples.h"

int main(int argc, char** argv) {
  using namespace tessaran;
  using namespace tessaran::testing_maq;
  if (argc != 2) {
    std::cerr << "usage: maq_seeds DIR\n";
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  std::filesystem::create_directories(dir);
  SceneModel scene;
  BuildRichScene(scene);
  int ok = WriteMaq(scene, dir / "rich.maq");
  // Three keyframe scenes, the later ones without faces.
  std::filesystem::copy_file(dir / "rich.maq", dir / "three.maq", std::filesystem::copy_options::overwrite_existing);
  AddGrid(scene, 2, 3, 5);
  ok &= InsertScene(dir / "three.maq", 2, scene) == 2;
  ok &= InsertScene(dir / "three.maq", 3, scene) == 3;
  // Without CMRA: the camera from SCEN.
  auto chunks = Flatten(MaqFileBytes(scene));
  std::erase_if(chunks, [](const FlatChunk& c) { return c.tag == "CMRA" || c.tag == "LAMP"; });
  ok &= WriteFileAtomically(dir / "scen_only.maq", Rebuild(chunks));
  SceneModel plain;
  AddGrid(plain, 3, 3, 1);
  ok &= WriteMaq(plain, dir / "plain.maq");
  SceneModel empty;
  ok &= WriteMaq(empty, dir / "empty.maq");
  return ok ? 0 : 1;
}
