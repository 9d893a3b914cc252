// The primitives of the "Primitives" menu as rectangular point meshes, and
// "Substitute", which rebuilds selected objects in place as a primitive.
//
// Mesh convention: an open direction with k intervals carries k + 3 points
// (one extra at each end repeating or extending the border), a closed one
// (round an axis) k + 2, the last two repeating the first two; the
// renderer's spline surface relies on them to pass through its borders and
// close smoothly. A new primitive spans 100 units (radius 50) around the
// origin.
#pragma once

#include "scene/scene_model.h"

namespace tessaran {

enum class Primitive { Plan, Box, Disc, Cylinder, Sphere, Ring };

// The fewest intervals of each mesh direction a primitive is made with.
struct MeshMinimum {
  int u, v;
};
MeshMinimum PrimitiveMinimum(Primitive kind);

// Each generator appends a new object (rebuild 0) or, with rebuild 1,
// rewrites the points of object k in place, in the axes of its frame,
// keeping its sizes and attributes. u and v are the intervals of the two mesh directions, raised
// to the primitive's minimum; top is the top size in percent (Box/Pyramid,
// Cylinder/Cone) or the tube size of the Ring. Returns the object number, or
// -1 (message 31 when the scene could not grow).
int Plan(SceneModel& scene, int u, int v, int k, int rebuild, int top = 100);
int BoxPyramid(SceneModel& scene, int u, int v, int k, int rebuild, int top = 100);
int Disc(SceneModel& scene, int u, int v, int k, int rebuild);
int CylinderCone(SceneModel& scene, int u, int v, int k, int rebuild, int top = 100);
int Sphere(SceneModel& scene, int u, int v, int k, int rebuild);
int Ring(SceneModel& scene, int u, int v, int k, int rebuild, int size = 30);

// Appends a new primitive; `top` as above.
int MakePrimitive(SceneModel& scene, Primitive kind, int u, int v, int top);

// The largest interval count a dialog accepts in either direction.
constexpr int kMaxIntervals = 2000;

// Rebuilds every selected object as `kind` when its mesh of a × b points
// suits it; warning 39 for each object that does not. Returns the number of
// objects rebuilt.
int Substitute(SceneModel& scene, Primitive kind);

}  // namespace tessaran
