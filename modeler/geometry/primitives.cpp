#include "modeler/geometry/primitives.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "modeler/geometry/mesh_object.h"
#include "platform/report.h"

namespace tessaran {

namespace {

constexpr int kNoEquivalentMeshMessage = 39;
// The truncated constants of the disc, cylinder and sphere, kept so that
// meshes match the system's to the last digit.
constexpr double kTwoPiDisc = 6.2831;
constexpr double kTwoPiSphere = 6.2831855;
// Caps of round primitives shrink to this radius rather than to a point, so
// that their spline surface keeps a direction at the centre.
constexpr double kCapRadius = 0.05;

float F(double value) { return static_cast<float>(value); }

// Appends a u × v object or checks that object k has that mesh; the object
// number or -1.
int Target(SceneModel& scene, int u, int v, int k, int rebuild) {
  if (!rebuild) return AppendMeshObject(scene, u, v);
  if (k < 0 || k >= scene.Header().objectCount) return -1;
  if (scene.Object(k).MeshU() != u || scene.Object(k).MeshV() != v) return -1;
  return k;
}

// Makes a primitive's cols × rows mesh, as a new object or (rebuild) into
// object k, with `at(i, j)` the point of row i, column j. The object
// number or -1.
template <class PointAt>
int MakeMesh(SceneModel& scene, int cols, int rows, int k, int rebuild, PointAt at) {
  k = Target(scene, cols, rows, k, rebuild);
  if (k < 0) return -1;
  std::vector<Point3> points;
  points.reserve(static_cast<std::size_t>(cols) * rows);
  // A rebuilt object stays where it lies: the primitive is made in the
  // axes of its frame (a new object's frame is the world's).
  const Vec3& origin = scene.Frames().AbsOrigin(k);
  const Mat3& axes = scene.Frames().AbsOrientation(k);
  for (int i = 0; i < rows; ++i) {
    for (int j = 0; j < cols; ++j) {
      const Point3 p = at(i, j);
      const Vec3 w = rebuild ? ToWorld(origin, axes, {p[0], p[1], p[2]}) : Vec3{p[0], p[1], p[2]};
      points.push_back({F(w[0]), F(w[1]), F(w[2])});
    }
  }
  PutObjectPoints(scene, k, points);
  return k;
}

}  // namespace

MeshMinimum PrimitiveMinimum(Primitive kind) {
  switch (kind) {
    case Primitive::Plan:
      return {1, 1};
    case Primitive::Box:
      return {4, 3};
    case Primitive::Disc:
      return {4, 1};
    case Primitive::Cylinder:
    case Primitive::Sphere:
    case Primitive::Ring:
      break;
  }
  return {4, 4};
}

namespace {

int Clamp(int value, int minimum) { return std::clamp(value, minimum, kMaxIntervals); }

// u and v raised to the primitive's minimum.
void RaiseToMinimum(Primitive kind, int& u, int& v) {
  const MeshMinimum least = PrimitiveMinimum(kind);
  u = Clamp(u, least.u);
  v = Clamp(v, least.v);
}

// Rows of a closed solid made of a top cap, a side and a bottom cap, each
// cap taking `cap` intervals of the v rows: for row i its height and the
// scale of its section (1 = the bottom of the side).
struct SolidRow {
  double height;
  double scale;
};

SolidRow SolidRowAt(int i, int v, int cap, double top, double half) {
  const int side = v - 2 * cap;  // intervals of the side
  const double topScale = top / 100.0;
  if (i <= cap + 1) {
    const double s = i == 0 ? 0.0 : (i - 1) * topScale / cap;
    return {half, s};
  }
  if (i <= cap + 1 + side) {
    const double f = static_cast<double>(i - cap - 1) / side;
    return {half - 2 * half * f, topScale + (1.0 - topScale) * f};
  }
  return {-half, static_cast<double>(v - i + 1) / cap};
}

}  // namespace

int Plan(SceneModel& scene, int u, int v, int k, int rebuild, int top) {
  RaiseToMinimum(Primitive::Plan, u, v);
  const double s = top;
  return MakeMesh(scene, u + 3, v + 3, k, rebuild, [&](int i, int j) {
    const int r = std::clamp(i - 1, 0, v);
    const double halfWidth = s / 2 + r * (100 - s) / (2.0 * v);
    const double spacing = s / u + r * (100 - s) / (static_cast<double>(u) * v);
    const double y = 50 - r * 100.0 / v;
    const int c = std::clamp(j - 1, 0, u);
    return Point3{F(c * spacing - halfWidth), F(y), 0.0f};
  });
}

int Disc(SceneModel& scene, int u, int v, int k, int rebuild) {
  RaiseToMinimum(Primitive::Disc, u, v);
  const double step = kTwoPiDisc / u;
  return MakeMesh(scene, u + 2, v + 3, k, rebuild, [&](int i, int j) {
    double radius;
    if (i == 0) {
      radius = -50.0 / v;  // the point across the centre
    } else if (i == 1) {
      radius = kCapRadius;
    } else if (i <= v + 1) {
      radius = (i - 1) * 50.0 / v;
    } else {
      radius = 50;  // repeats the rim
    }
    const double angle = j * step;
    return Point3{F(radius * std::cos(angle)), F(radius * std::sin(angle)), 0.0f};
  });
}

int Sphere(SceneModel& scene, int u, int v, int k, int rebuild) {
  RaiseToMinimum(Primitive::Sphere, u, v);
  const double step = kTwoPiSphere / u;
  const double pole = 50 * std::cos(std::numbers::pi / (2.0 * v));
  return MakeMesh(scene, u + 2, v + 3, k, rebuild, [&](int i, int j) {
    const double polar = (i - 1) * std::numbers::pi / v;
    double height = 50 * std::cos(polar);
    if (i <= 1) height = pole;
    if (i > v) height = -pole;
    double radius = 50 * std::sin(polar);
    if (std::fabs(radius) < 0.005) radius = 0.005;
    if (i == 0 || i == v + 2) radius = 0;
    const double angle = -j * step;
    return Point3{F(radius * std::sin(angle)), F(-radius * std::cos(angle)), F(height)};
  });
}

int CylinderCone(SceneModel& scene, int u, int v, int k, int rebuild, int top) {
  RaiseToMinimum(Primitive::Cylinder, u, v);
  // A quarter of the rows for each cap, half for the side; the solid is
  // centred on the origin like every primitive (the side runs from +50 to
  // -50 instead of 0 to -100).
  const int cap = v / 4;
  const double step = kTwoPiDisc / u;
  return MakeMesh(scene, u + 2, v + 3, k, rebuild, [&](int i, int j) {
    const SolidRow row = SolidRowAt(i, v, cap, std::clamp(top, 0, 100), 50);
    const double radius = std::max(kCapRadius, 50 * row.scale);
    const double angle = -j * step;
    return Point3{F(-radius * std::cos(angle)), F(radius * std::sin(angle)), F(row.height)};
  });
}

int BoxPyramid(SceneModel& scene, int u, int v, int k, int rebuild, int top) {
  RaiseToMinimum(Primitive::Box, u, v);
  const int perSide = u / 4;
  const int perimeter = 4 * perSide;
  // The section walks the square's perimeter from the middle of its first
  // side (u / 8 steps in), in the turning sense of the cylinder.
  static constexpr double kCorners[5][2] = {{-1, 1}, {-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  const int cap = v / 3;
  return MakeMesh(scene, perimeter + 2, v + 3, k, rebuild, [&](int i, int j) {
    const SolidRow row = SolidRowAt(i, v, cap, std::clamp(top, 0, 100), 50);
    const double half = std::max(kCapRadius, 50 * row.scale);
    const int t = (j + u / 8) % perimeter;
    const int side = t / perSide;
    const double f = static_cast<double>(t % perSide) / perSide;
    const double x = kCorners[side][0] + f * (kCorners[side + 1][0] - kCorners[side][0]);
    const double y = kCorners[side][1] + f * (kCorners[side + 1][1] - kCorners[side][1]);
    return Point3{F(half * x), F(half * y), F(row.height)};
  });
}

int Ring(SceneModel& scene, int u, int v, int k, int rebuild, int size) {
  RaiseToMinimum(Primitive::Ring, u, v);
  // A torus of outer radius 50 whose tube radius is `size` per cent of 25.
  const double tube = 25.0 * std::clamp(size, 1, 100) / 100.0;
  const double centre = 50 - tube;
  const double around = 2 * std::numbers::pi / u;
  const double across = 2 * std::numbers::pi / v;
  return MakeMesh(scene, u + 2, v + 2, k, rebuild, [&](int i, int j) {
    const double radius = centre + tube * std::cos(i * across);
    const double height = tube * std::sin(i * across);
    const double angle = -j * around;
    return Point3{F(-radius * std::cos(angle)), F(radius * std::sin(angle)), F(height)};
  });
}

int MakePrimitive(SceneModel& scene, Primitive kind, int u, int v, int top) {
  switch (kind) {
    case Primitive::Plan:
      return Plan(scene, u, v, 0, 0, top);
    case Primitive::Box:
      return BoxPyramid(scene, u, v, 0, 0, top);
    case Primitive::Disc:
      return Disc(scene, u, v, 0, 0);
    case Primitive::Cylinder:
      return CylinderCone(scene, u, v, 0, 0, top);
    case Primitive::Sphere:
      return Sphere(scene, u, v, 0, 0);
    case Primitive::Ring:
      break;
  }
  return Ring(scene, u, v, 0, 0, top);
}

namespace {

// Rebuilds object k of a × b points as `kind` when the mesh suits it.
bool SubstituteOne(SceneModel& scene, Primitive kind, int k) {
  const int a = scene.Object(k).MeshU();
  const int b = scene.Object(k).MeshV();
  switch (kind) {
    case Primitive::Plan:
      return a > 3 && b > 3 && Plan(scene, a - 3, b - 3, k, 1, 100) >= 0;
    case Primitive::Box:
      return a > 9 && b > 5 && (a - 2) % 4 == 0 && b % 3 == 0 &&
             BoxPyramid(scene, a - 2, b - 3, k, 1, 100) >= 0;
    case Primitive::Disc:
      return a >= 8 && b > 3 && b % 2 == 1 && Disc(scene, a - 2, b - 3, k, 1) >= 0;
    case Primitive::Cylinder:
      return a >= 8 && b > 6 && (b - 3) % 4 == 0 && CylinderCone(scene, a - 2, b - 3, k, 1, 100) >= 0;
    case Primitive::Sphere:
      return a >= 8 && b > 6 && b % 2 == 1 && Sphere(scene, a - 2, b - 3, k, 1) >= 0;
    case Primitive::Ring:
      break;
  }
  return a >= 8 && b > 6 && Ring(scene, a - 2, b - 2, k, 1, 30) >= 0;
}

}  // namespace

int Substitute(SceneModel& scene, Primitive kind) {
  int rebuilt = 0;
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (scene.State(k).selection != 1) continue;
    if (scene.State(k).faceGroup == 0 && SubstituteOne(scene, kind, k)) {
      ++rebuilt;
    } else {
      ShowMessage(MessageKind::Warning, kNoEquivalentMeshMessage);
    }
  }
  return rebuilt;
}

}  // namespace tessaran
