// Objects swept from the 2D profile: "Straight" extrusion along the depth
// axis and "Path" extrusion along a uniform quadratic B-spline, the profile
// carried by the path's Frenet frame.
#pragma once

#include <vector>

#include "modeler/geometry/profile_file.h"
#include "scene/scene_model.h"

namespace tessaran {

// A profile is closed when its last point lies within 1 unit of its first
// in both coordinates.
bool ProfileIsClosed(const Profile2D& profile);

// The profile's points as one row of a sweep: an open profile with its
// first and last point repeated, a closed one wrapped round (its distinct
// points, then the first two again), so that the spline passes through the
// ends or closes smoothly.
std::vector<std::array<int, 2>> SweptProfilePoints(const Profile2D& profile);

// Position on the uniform quadratic B-spline of `control` at parameter t
// (segment floor(t), its fraction), and its first and second derivatives.
struct PathSample {
  Vec3 position{};
  Vec3 Pdu{};   // first derivative: the tangent
  Vec3 Pd2u{};  // second derivative: gives the normal
};
PathSample SamplePath(const std::vector<Vec3>& control, double t);

// Sweeps the profile along the B-spline of the path's control points (at
// least 4), with (control points - 3) × steps + 1 rows spread evenly over it. Each row is the profile placed in the
// path's Frenet frame; a closed profile gets a row of its centre at each
// end, closing the object. The object is centred on the origin. Returns the
// object number, or -1 (message 31 when the scene could not grow; nothing
// is made from fewer than 3 profile points or path control points).
int PathExtrusion(SceneModel& scene, const Profile2D& profile, const std::vector<Vec3>& path, int steps);

// "Straight": the sweep along a straight path from depth 0 to `depth`.
int StraightExtrusion(SceneModel& scene, const Profile2D& profile, double depth, int steps);

// "Pivot": the revolution of the profile about the vertical line x = axis
// by `angle` degrees in `steps` (the dialog's value; the meshing uses one
// more, at least 3).
int Revolution(SceneModel& scene, const Profile2D& profile, int axis, double angle, int steps);

}  // namespace tessaran
