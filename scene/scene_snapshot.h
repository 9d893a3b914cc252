// A copy of everything a scene holds, values exactly as they are, for the
// modeler's undo: taken before a command changes the scene and put back in
// its place.
#pragma once

#include <array>
#include <vector>

#include "scene/scene_model.h"

namespace tessaran {

struct SceneSnapshot {
  SceneHeader header;
  ViewCamera view;
  int objectCapacity = 0;
  ObjectTables objects;
  int faceGroupCount = 0;
  FrameTable frames;
  Lamps lamps;
  std::vector<std::array<float, 3>> points;  // the points in use
  std::vector<Face> faces;
  MapList maps;
  AssignmentList assignments;
};

}  // namespace tessaran
