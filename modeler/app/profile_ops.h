// The 2D phase's "Path" as an operation of `qmx --batch`: the profile swept
// along a path of control points drawn in the same plane, the depth spread
// evenly along it (--path-extrude PATH.TXT DEPTH STEPS, the path read from a
// profile file).
#pragma once

#include <filesystem>
#include <vector>

#include "modeler/app/build_ops.h"

namespace tessaran {

// The path's control points in the sweep's space: x as drawn, y turned over
// as the profile's is, and control point i at depth i × depth / (n − 2), so
// that the spline through them runs `depth` deep.
std::vector<Vec3> SweepPath(const Profile2D& path, double depth);

// The sweep of `profile` along `path` (at least 4 control points) in
// `steps` rows per segment; the new object is the selection.
bool BuildPathExtrude(SceneModel& scene, const Profile2D& profile, const Profile2D& path, double depth, int steps,
                      BuildError& error);
// The same with the path read from a profile file.
bool BuildPathExtrudeFile(SceneModel& scene, const Profile2D& profile, const std::filesystem::path& pathFile,
                          double depth, int steps, BuildError& error);

}  // namespace tessaran
