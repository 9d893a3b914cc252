// Operations that copy or refine existing objects: "Re-meshing (x2)" and
// "Duplicate".
#pragma once

#include "scene/scene_model.h"

namespace tessaran {

// Replaces every selected mesh object by a refined copy whose first-direction
// count is 2 × count - 2 (a point between each pair of neighbours); sizes of
// the second direction, attributes and map assignments stay. When faceted
// (DXF) objects are selected nothing is done and message 55 says how many.
// Returns the number of objects refined, -1 on refusal (message 31 or 55).
int Remesh(SceneModel& scene);

// Copies the selected objects, in order, after the last one: record words
// (the first-point index apart), points, map assignments and, for faceted
// objects, their faces; each copy, its points and its frame (a root frame),
// is the original moved by +10 in x and y; the copies become the selection. Returns the
// number of copies, or -1 after message 31 when nothing could be copied.
int Duplicate(SceneModel& scene);

}  // namespace tessaran
