#include "modeler/geometry/extrusion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "modeler/geometry/mesh_object.h"
#include "platform/console.h"

namespace tessaran {

namespace {

constexpr int kMaxSteps = 1000;
constexpr double kNullVector = 1e-12;

Vec3 Add(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Vec3 Scale(const Vec3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
Vec3 Cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double Norm(const Vec3& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }

// Normalises v in place; false (v unchanged) when it is null.
bool Normalise(Vec3& v) {
  const double n = Norm(v);
  if (n < kNullVector) return false;
  v = Scale(v, 1.0 / n);
  return true;
}

// The carrying frame of a row: tangent, normal and binormal. A profile point
// (px, py) lies at position + px × normal + py × binormal.
struct RowFrame {
  Vec3 tangent{0, 0, 1};
  Vec3 normal{1, 0, 0};
  Vec3 binormal{0, 1, 0};
};

// The Frenet frame of a sample. Where a derivative or their cross product is
// null (a straight stretch) the vectors of the previous row are kept.
void UpdateFrenet(const PathSample& sample, RowFrame& frame) {
  Vec3 tangent = sample.Pdu;
  if (!Normalise(tangent)) {
    Trace("Attention Pdu = Vect Null\n");
    return;
  }
  if (Norm(sample.Pd2u) < kNullVector) {
    Trace("Attention Pd2u = Vect Null\n");
  } else {
    Vec3 binormal = Cross(sample.Pdu, sample.Pd2u);
    if (Normalise(binormal)) {
      frame.tangent = tangent;
      frame.binormal = binormal;
      frame.normal = Cross(binormal, tangent);
      return;
    }
    Trace("Attention Pdu Vectoriel Pd2u = Vect Null\n");
  }
  // Keep the previous normal as far as it stays perpendicular to the new
  // tangent, so that a straight stretch does not twist the profile.
  Vec3 binormal = Cross(tangent, frame.normal);
  if (!Normalise(binormal)) {
    Trace("Attention vecteur bs.k null\n");
    binormal = Cross(tangent, frame.binormal);
    if (!Normalise(binormal)) return;
    frame.normal = Cross(binormal, tangent);
    frame.binormal = Cross(tangent, frame.normal);
  } else {
    frame.binormal = binormal;
    frame.normal = Cross(binormal, tangent);
  }
  frame.tangent = tangent;
}

// The row of a profile in the sweep's plane: the 2D phase's y runs
// downwards, so it is turned over.
std::vector<std::array<double, 2>> ProfileRow(const Profile2D& profile) {
  std::vector<std::array<double, 2>> row;
  for (const auto& [x, y] : SweptProfilePoints(profile)) row.push_back({double(x), -double(y)});
  return row;
}

}  // namespace

std::vector<std::array<int, 2>> SweptProfilePoints(const Profile2D& profile) {
  const auto& p = profile.points;
  if (p.size() < 2) return p;
  std::vector<std::array<int, 2>> row;
  if (ProfileIsClosed(profile)) {
    row.assign(p.begin(), p.end() - 1);
    row.push_back(p[0]);
    row.push_back(p[1]);
  } else {
    row.push_back(p.front());
    row.insert(row.end(), p.begin(), p.end());
    row.push_back(p.back());
  }
  return row;
}

bool ProfileIsClosed(const Profile2D& profile) {
  if (profile.points.size() < 2) return false;
  const auto& first = profile.points.front();
  const auto& last = profile.points.back();
  return std::abs(last[0] - first[0]) <= 1 && std::abs(last[1] - first[1]) <= 1;
}

PathSample SamplePath(const std::vector<Vec3>& control, double t) {
  PathSample sample;
  const int segments = static_cast<int>(control.size()) - 2;
  if (segments < 1) return sample;
  // A whole parameter belongs to the segment that ends there, taken at its
  // end exactly (f = 1) rather than a ten-thousandth before it.
  int k = static_cast<int>(std::floor(t));
  if (std::fabs(t - std::round(t)) < 0.0001) k = static_cast<int>(std::round(t)) - 1;
  k = std::clamp(k, 0, segments - 1);
  const double f = t - k;
  const Vec3& p0 = control[k];
  const Vec3& p1 = control[k + 1];
  const Vec3& p2 = control[k + 2];
  sample.position = Add(Add(Scale(p2, f * f / 2), Scale(p1, f * (1 - f) + 0.5)), Scale(p0, (1 - f) * (1 - f) / 2));
  sample.Pdu = Add(Add(Scale(p2, f), Scale(p1, 1 - 2 * f)), Scale(p0, -(1 - f)));
  sample.Pd2u = Add(Add(p2, Scale(p1, -2)), p0);
  return sample;
}

int PathExtrusion(SceneModel& scene, const Profile2D& profile, const std::vector<Vec3>& path, int steps) {
  const auto& points = profile.points;
  if (points.size() < 3 || path.size() < 4 || points.size() > Profile2D::kMaxPoints) return -1;
  steps = std::clamp(steps, 1, kMaxSteps);
  const bool closed = ProfileIsClosed(profile);
  const std::vector<std::array<double, 2>> row = ProfileRow(profile);

  // A path of n control points gives (n - 3) × steps + 1 samples, spread
  // evenly over the whole spline; the first and last rows are repeated, and
  // a closed profile gets a centre row at each end.
  const int n = static_cast<int>(path.size());
  const int samples = (n - 3) * steps + 1;
  const int rows = samples + 2 + (closed ? 2 : 0);
  const int k = AppendMeshObject(scene, static_cast<int>(row.size()), rows);
  if (k < 0) return -1;

  std::array<double, 2> centre{0, 0};
  const std::size_t distinct = closed ? row.size() - 2 : row.size();
  for (std::size_t i = 0; i < distinct; ++i) {
    centre[0] += row[i][0] / static_cast<double>(distinct);
    centre[1] += row[i][1] / static_cast<double>(distinct);
  }

  std::vector<std::pair<PathSample, RowFrame>> placed;
  RowFrame frame;
  const double span = n - 2;
  for (int s = 0; s < samples; ++s) {
    const double t = s == samples - 1 ? span : span * s / (samples - 1);
    const PathSample sample = SamplePath(path, t);
    UpdateFrenet(sample, frame);
    placed.emplace_back(sample, frame);
  }

  std::vector<Point3> mesh;
  mesh.reserve(row.size() * static_cast<std::size_t>(rows));
  auto putRow = [&](const std::pair<PathSample, RowFrame>& at, bool atCentre) {
    const auto& [sample, f] = at;
    for (const auto& point : row) {
      const auto& p = atCentre ? centre : point;
      const Vec3 v = Add(Add(sample.position, Scale(f.normal, p[0])), Scale(f.binormal, p[1]));
      mesh.push_back({static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])});
    }
  };
  if (closed) putRow(placed.front(), true);
  putRow(placed.front(), false);
  for (const auto& at : placed) putRow(at, false);
  putRow(placed.back(), false);
  if (closed) putRow(placed.back(), true);

  PutObjectPoints(scene, k, mesh);
  CentreObjectPoints(scene, k);
  return k;
}

int StraightExtrusion(SceneModel& scene, const Profile2D& profile, double depth, int steps) {
  // Four evenly spaced control points: their spline runs from depth 0 to
  // `depth` at even speed.
  std::vector<Vec3> path;
  for (int i = 0; i < 4; ++i) path.push_back({0, 0, depth * (2 * i - 1) / 4.0});
  return PathExtrusion(scene, profile, path, steps);
}

int Revolution(SceneModel& scene, const Profile2D& profile, int axis, double angle, int steps) {
  const auto& points = profile.points;
  if (points.size() < 3 || points.size() > Profile2D::kMaxPoints) return -1;
  angle = std::clamp(angle, -360.0, 360.0);
  const int k = std::clamp(steps + 1, 3, kMaxSteps);
  const bool fullTurn = std::fabs(angle) >= 360.0;
  const int cols = fullTurn ? k + 1 : k + 2;
  const int rows = static_cast<int>(points.size()) + 2;
  const int object = AppendMeshObject(scene, cols, rows, 4);
  if (object < 0) return -1;
  // 0.017454 per degree exactly as the system turns profiles.
  const double step = angle * 0.017454 / (k - 1);
  std::vector<Point3> mesh;
  for (int r = 0; r < rows; ++r) {
    const auto& [px, py] = points[std::clamp(r - 1, 0, static_cast<int>(points.size()) - 1)];
    for (int j = 0; j < cols; ++j) {
      int b = j;
      if (!fullTurn) b = j == 0 ? 0 : (j == cols - 1 ? j - 2 : j - 1);
      const double alpha = b * step;
      mesh.push_back({static_cast<float>((px - axis) * std::sin(alpha)), static_cast<float>(100 - py),
                      static_cast<float>((px - axis) * std::cos(alpha))});
    }
  }
  PutObjectPoints(scene, object, mesh);
  CentreObjectPoints(scene, object);
  return object;
}

}  // namespace tessaran
