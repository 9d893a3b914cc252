#include "modeler/app/tool_ops.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "modeler/geometry/mesh_object.h"
#include "scene/frames.h"
#include "scene/maq_file.h"

namespace tessaran {

namespace {

std::vector<int> Selected(const SceneModel& scene) {
  std::vector<int> selected;
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (scene.State(k).selection == 1) selected.push_back(k);
  }
  return selected;
}

Vec3 Scaled(const Vec3& p, const Vec3& centre, double factor) {
  return {centre[0] + (p[0] - centre[0]) * factor, centre[1] + (p[1] - centre[1]) * factor,
          centre[2] + (p[2] - centre[2]) * factor};
}

bool Fits(const Vec3& v, double limit) {
  return FitsLimit(v[0], limit) && FitsLimit(v[1], limit) && FitsLimit(v[2], limit);
}

}  // namespace

std::optional<Vec3> SelectionCentre(const SceneModel& scene) {
  constexpr double kNone = std::numeric_limits<double>::infinity();
  Vec3 low{kNone, kNone, kNone}, high{-kNone, -kNone, -kNone};
  for (int k : Selected(scene)) {
    for (const Point3& p : GetObjectPoints(scene, k)) {
      for (int a = 0; a < 3; ++a) {
        low[a] = std::min(low[a], static_cast<double>(p[a]));
        high[a] = std::max(high[a], static_cast<double>(p[a]));
      }
    }
  }
  if (low[0] > high[0]) return std::nullopt;
  return Vec3{(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2};
}

bool BuildScale(SceneModel& scene, double percent, BuildError& error) {
  if (!(percent > 0) || !std::isfinite(percent)) {
    error = {"the scale is a positive percentage", true};
    return false;
  }
  const std::vector<int> selected = Selected(scene);
  const std::optional<Vec3> centre = SelectionCentre(scene);
  if (selected.empty() || !centre) {
    error = {"no object is selected", true};
    return false;
  }
  const double factor = percent / 100;
  // Everything is computed and checked before any object changes.
  std::vector<std::vector<Point3>> points;
  std::vector<Vec3> origins;
  for (int k : selected) {
    const Vec3 origin = Scaled(scene.Frames().AbsOrigin(k), *centre, factor);
    if (!Fits(origin, kMaqLengthLimit)) {
      error = {"the origin of object " + std::to_string(k) + " would lie beyond what a scene file holds", true};
      return false;
    }
    origins.push_back(origin);
    std::vector<Point3> scaled = GetObjectPoints(scene, k);
    for (Point3& p : scaled) {
      const Vec3 to = Scaled({p[0], p[1], p[2]}, *centre, factor);
      if (!Fits(to, kMaqCoordinateLimit)) {
        error = {"a point of object " + std::to_string(k) + " would lie beyond what a scene file holds", true};
        return false;
      }
      p = {static_cast<float>(to[0]), static_cast<float>(to[1]), static_cast<float>(to[2])};
    }
    points.push_back(std::move(scaled));
  }
  for (std::size_t i = 0; i < selected.size(); ++i) {
    const int k = selected[i];
    PutObjectPoints(scene, k, points[i]);
    scene.Frames().AbsOrigin(k) = origins[i];
    RefreshRelative(scene.Frames(), k);
  }
  return true;
}

std::optional<double> SelectionDistance(const SceneModel& scene) {
  const std::vector<int> selected = Selected(scene);
  if (selected.size() != 2) return std::nullopt;
  const Vec3& a = scene.Frames().AbsOrigin(selected[0]);
  const Vec3& b = scene.Frames().AbsOrigin(selected[1]);
  return std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
}

}  // namespace tessaran
