// The "Tools" operations on the selection: "Scale" (--scale) and
// "Distance".
#pragma once

#include <optional>

#include "modeler/app/build_ops.h"

namespace tessaran {

// The centre of the box holding every point of the selected objects; none
// without a selected point.
std::optional<Vec3> SelectionCentre(const SceneModel& scene);

// --scale PERCENT: the selection grows or shrinks uniformly as one piece
// about the centre of its box: the points and the objects' origins alike,
// so that the objects keep their places relative to one another (unlike
// --size, which sizes each object about its own origin). Refused for a
// percentage that is not positive, without a selection, or when a point or
// an origin would go beyond what the scene file holds.
bool BuildScale(SceneModel& scene, double percent, BuildError& error);

// The distance between the origins of the two selected objects; none unless
// exactly two are selected.
std::optional<double> SelectionDistance(const SceneModel& scene);

}  // namespace tessaran
