#include "modeler/app/profile_ops.h"

#include <cmath>
#include <string>

#include "modeler/geometry/extrusion.h"
#include "modeler/geometry/mesh_object.h"
#include "scene/maq_file.h"

namespace tessaran {

namespace {

constexpr std::size_t kLeastPathPoints = 4;
constexpr int kMaxSteps = 1000;

bool Refuse(BuildError& error, std::string reason) {
  error = {std::move(reason), true};
  return false;
}

}  // namespace

std::vector<Vec3> SweepPath(const Profile2D& path, double depth) {
  std::vector<Vec3> control;
  const double spacing = path.points.size() > 2 ? depth / static_cast<double>(path.points.size() - 2) : 0;
  for (std::size_t i = 0; i < path.points.size(); ++i) {
    const auto& [x, y] = path.points[i];
    control.push_back({double(x), -double(y), spacing * static_cast<double>(i)});
  }
  return control;
}

bool BuildPathExtrude(SceneModel& scene, const Profile2D& profile, const Profile2D& path, double depth, int steps,
                      BuildError& error) {
  if (profile.points.size() < 3) return Refuse(error, "--path-extrude needs a --profile of at least 3 points");
  if (path.points.size() < kLeastPathPoints) return Refuse(error, "the path needs at least 4 points");
  if (!std::isfinite(depth) || !FitsLimit(depth, kMaqCoordinateLimit) || steps < 1 || steps > kMaxSteps) {
    return Refuse(error, "bad depth or steps");
  }
  const int k = PathExtrusion(scene, profile, SweepPath(path, depth), steps);
  if (k < 0) {
    error = {"the extrusion could not be made", false};
    return false;
  }
  ClearSelection(scene);
  scene.State(k).selection = 1;
  return true;
}

bool BuildPathExtrudeFile(SceneModel& scene, const Profile2D& profile, const std::filesystem::path& pathFile,
                          double depth, int steps, BuildError& error) {
  Profile2D path;
  return BuildLoadProfile(pathFile, path, error) && BuildPathExtrude(scene, profile, path, depth, steps, error);
}

}  // namespace tessaran
