#include "modeler/app/object_material.h"

#include <vector>

#include "scene/maq_file.h"

namespace tessaran {
namespace {

const char* RenderingName(SurfaceRendering rendering) {
  switch (rendering) {
    case SurfaceRendering::Angular:
      return "angular";
    case SurfaceRendering::Phong:
      return "phong";
    case SurfaceRendering::Spline:
      break;
  }
  return "spline";
}

// Whether the map and assignment lists can take the material's maps for
// the selection, counting a map given twice once.
bool MapsFit(const SceneModel& scene, const ObjectMaterial& material) {
  std::vector<MaterialMap> added;
  bool anyMap = false;
  for (const MaterialMap& map : material.maps) {
    if (map.image.empty()) continue;
    anyMap = true;
    const std::int32_t repetition = MapRepetition(map.repeatX, map.repeatY);
    if (scene.Maps().Find(map.type, repetition, map.image) != 0) continue;
    bool twice = false;
    for (const MaterialMap& other : added) twice = twice || other == map;
    if (!twice) added.push_back(map);
  }
  if (scene.Maps().Count() + static_cast<int>(added.size()) > MapList::kMaxMaps) return false;
  if (!anyMap) return true;
  int missing = 0;
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (scene.State(k).selection == 1 && scene.Assignments().Find(k) < 0) ++missing;
  }
  return scene.Assignments().Count() + missing <= AssignmentList::kMaxAssignments;
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

ObjectMaterial MaterialOf(const SceneModel& scene, int k) {
  const ObjectRecord& record = scene.Object(k);
  ObjectMaterial material;
  material.red = (record.Col() >> 8) & 0xF;
  material.green = (record.Col() >> 4) & 0xF;
  material.blue = record.Col() & 0xF;
  material.intensity = record.KSpec();
  material.diffusion = record.NSpec();
  material.reflection = record.Reflection();
  material.transparency = record.Transmission();
  material.refraction = record.Refraction();
  const int mode = record.RenderingMode() & 3;
  material.rendering = mode == 1 ? SurfaceRendering::Phong : mode == 2 ? SurfaceRendering::Angular
                                                                       : SurfaceRendering::Spline;
  if (const int at = scene.Assignments().Find(k); at >= 0) {
    const Assignment& assignment = scene.Assignments()[at];
    for (std::size_t slot = 0; slot < 3; ++slot) {
      const int index = assignment.maps[slot];
      if (index < 1 || index > scene.Maps().Count()) continue;
      const MapEntry& entry = scene.Maps()[index];
      material.maps[slot] = {entry.type, entry.RepetitionX(), entry.RepetitionY(), entry.name};
    }
  }
  return material;
}

bool ApplyMaterial(SceneModel& scene, const ObjectMaterial& m, BuildError& error) {
  // Every check that can refuse comes before the first change.
  for (int value : {m.intensity, m.diffusion, m.reflection, m.transparency, m.refraction}) {
    if (!InRange(value, 0, 100)) {
      error = {"material values are percentages, 0 to 100", true};
      return false;
    }
  }
  for (const MaterialMap& map : m.maps) {
    if (map.image.size() > kMaqMapNameLength || !InRange(map.repeatX, 1, 999) || !InRange(map.repeatY, 1, 999) ||
        (map.type != kParametricMap && map.type != kSphericalMap)) {
      error = {"a map's name, repetitions or type cannot be kept", true};
      return false;
    }
  }
  if (!MapsFit(scene, m)) {
    error = {"the map or assignment list is full", false};
    return false;
  }
  // The rendering refuses before it changes anything; after it nothing can.
  if (!BuildRendering(scene, RenderingName(m.rendering), error)) return false;
  for (std::size_t slot = 0; slot < 3; ++slot) {
    const MaterialMap& map = m.maps[slot];
    if (!BuildMapSlot(scene, static_cast<ObjectMap>(slot), map.type, map.image, map.repeatX, map.repeatY, error)) {
      return false;
    }
  }
  return BuildColour(scene, m.red, m.green, m.blue, error) &&
         BuildMaterial(scene, m.reflection, m.transparency, m.refraction, m.intensity, m.diffusion, error);
}

link::MaterialBlock PreviewBlock(const ObjectMaterial& m) {
  link::MaterialBlock block = link::MakeMaterialBlock(link::ColourWord(m.red, m.green, m.blue), m.reflection,
                                                      m.transparency, m.refraction, m.intensity, m.diffusion, {});
  for (std::size_t slot = 0; slot < 3; ++slot) {
    const MaterialMap& map = m.maps[slot];
    if (map.image.empty()) continue;
    block.maps[slot] = {1, MapRepetition(map.repeatX, map.repeatY), map.image};
    block.hasMaps = true;
  }
  return block;
}

}  // namespace tessaran
