// DXF import: text DXF files become faceted objects, one per layer that
// the entities name (a layer of more than 32767 points or faces is split
// over several objects, since face numbers are 16-bit). Entities read:
// LINE, LINE3D and 3DLINE (two-point faces), 3DFACE (with its invisible
// edges) and POLYLINE polyface meshes; others are skipped, as is geometry
// defined only inside BLOCKS. Two passes: the first counts and measures,
// the second makes points and faces, centred on the origin and scaled to
// fill the active view; the file's z axis becomes the modeler's vertical
// axis: a file point (x, y, z) is the modeler point (x, z, -y).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "scene/scene_model.h"

namespace tessaran {

struct DxfImport {
  int firstObject = -1;
  int objects = 0;
  int faces = 0;
  int points = 0;
  std::vector<std::string> layers;  // the layer of each object, in order
  double scale = 1;
  Vec3 centre{};  // added to file points before scaling
};

// Imports a DXF file into the scene, scaled so that its largest extent is
// `targetSize` (DxfTargetSize of the active view). The new objects are
// selected. Returns the first new object; -1 after message 37 ("Incomplete
// DXF 3D file": unreadable, binary or malformed file, nothing to import) or
// message 31 (the scene could not grow), the scene then being unchanged.
int ImportDxf(SceneModel& scene, const std::filesystem::path& file, double targetSize,
              DxfImport* result = nullptr);
int ImportDxfText(SceneModel& scene, std::string_view text, double targetSize, DxfImport* result = nullptr);

}  // namespace tessaran
