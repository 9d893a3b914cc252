// A closed surface stays closed under the ray caster: rays aimed at the
// shared edges of a grid's facets and at the borders of a curved surface's
// patch quarters meet the surface there, and a ray leaving the surface does
// not meet the point it starts from.
#include <gtest/gtest.h>

#include <cmath>

#include "renderer/engine/facets.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

using namespace engine_samples;

constexpr double kPi = 3.14159265358979323846;

// A sphere of radius r round the origin, facing the camera with its pole,
// as the modeler's sphere is meshed: u meridians (two repeated), v
// parallels, the pole rows repeated; coordinates in thousandths like the
// scene file's.
int AddSphere(MaqScene& scene, int u, int v, double r, std::uint16_t col) {
  return AddGrid(
      scene, u + 2, v + 3,
      [&](int i, int j) {
        const int row = std::clamp(j - 1, 0, v);
        const double polar = row * kPi / v, angle = -i * 2 * kPi / u;
        const double radius = j == 0 || j == v + 2 ? 0 : r * std::sin(polar);
        const double h = r * std::cos(std::clamp(polar, kPi / (2 * v), kPi - kPi / (2 * v)));
        auto file = [](double x) { return static_cast<float>(std::round(x * 1000) / 1000); };
        return std::array<float, 3>{file(radius * std::sin(angle)), file(-radius * std::cos(angle)), file(h)};
      },
      col);
}

// Rays from the eye aimed at points of a sphere round the scene's origin:
// how many were aimed (at points facing the eye, not grazing) and how many
// saw something else than the surface at the point (a farther part of it
// through a gap, or nothing).
struct Aimed {
  explicit Aimed(Traced& traced) : t(traced), state(t.ts), centre(RenderCoordinates(t.frame.camera, Vec3{})) {}
  void At(const Vec3& P) {
    if (!(Dot(Normalise(P - centre), Normalise(P)) < -0.2)) return;
    ++tried;
    HitList hits;
    missed += RayCastNearest(t.ts, state, Vec3{}, Normalise(P), hits) == 0 || !(std::fabs(hits[0].t - Length(P)) < 0.5);
  }
  Traced& t;
  RayState state;
  Vec3 centre;
  int tried = 0;
  int missed = 0;
};

TEST(SurfaceHitsTest, RaysThroughTheSharedEdgesOfGridFacetsMeetThem) {
  MaqScene scene = EmptyScene();
  AddSphere(scene, 48, 32, 250, 0x4FFF);  // Phong-smoothed polygon grid
  Traced t(scene);
  t.Prepare();
  Aimed aimed(t);
  const ObjectEntry& e = t.frame.objects[0];
  for (int b = 1; b + 2 < e.nv; ++b) {
    for (int a = 0; a + 1 < e.nu; ++a) {
      // Along a row, a column and the cell's diagonal.
      for (const int other : {b * e.nu + a + 1, (b + 1) * e.nu + a, (b + 1) * e.nu + a + 1}) {
        for (const double f : {0.25, 0.5, 0.75}) aimed.At(Lerp(t.Point(0, b * e.nu + a), t.Point(0, other), f));
      }
    }
  }
  EXPECT_GT(aimed.tried, 2000);
  EXPECT_EQ(aimed.missed, 0) << "of " << aimed.tried;
}

TEST(SurfaceHitsTest, RaysThroughTheBordersOfPatchQuartersMeetThem) {
  MaqScene scene = EmptyScene();
  AddSphere(scene, 16, 12, 200, 0x0FFF);  // curved
  Traced t(scene);
  t.Prepare();
  Aimed aimed(t);
  const ObjectEntry& e = t.frame.objects[0];
  for (int j = 1; j + 4 < e.nv; ++j) {
    for (int i = 0; i + 3 <= e.nu; ++i) {
      // The borders between quarters (0.5) and cells (0), crossed along
      // the other parameter.
      for (const double border : {0.0, 0.5}) {
        for (double along = 0.05; along < 1; along += 0.1) {
          aimed.At(PatchPoint(t.frame.points, e.firstPoint, e.nu, i, j, border, along));
          aimed.At(PatchPoint(t.frame.points, e.firstPoint, e.nu, i, j, along, border));
        }
      }
    }
  }
  EXPECT_GT(aimed.tried, 800);
  EXPECT_EQ(aimed.missed, 0) << "of " << aimed.tried;
}

TEST(SurfaceHitsTest, ARayLeavingACurvedSurfaceDoesNotMeetItsOwnPoint) {
  MaqScene scene = EmptyScene();
  AddSphere(scene, 16, 12, 200, 0x0FFF);
  Traced t(scene);
  t.Prepare();
  RayState state(t.ts);
  int tried = 0, selfHits = 0;
  for (double x = -0.15; x <= 0.15; x += 0.01) {
    for (double y = -0.15; y <= 0.15; y += 0.01) {
      HitList hits;
      if (RayCastNearest(t.ts, state, Vec3{}, Normalise(Vec3{x, y, -1}), hits) == 0) continue;
      const RayHit hit = hits[0];
      // Out of the convex surface, from grazing to steep: nothing to meet.
      const Vec3 out = hit.normal[2] > 0 ? hit.normal : -1.0 * hit.normal;
      Vec3 tangent = Normalise(Cross(out, Vec3{0, 0, 1}));
      if (!(Length(tangent) > 0)) tangent = Vec3{1, 0, 0};
      for (const double lift : {0.02, 0.1, 0.5, 2.0}) {
        const Vec3 L = Normalise(tangent + lift * out);
        HitList shadow;
        ++tried;
        selfHits += RayCast(t.ts, state, hit.point, L, shadow, true) > 0;
      }
    }
  }
  EXPECT_GT(tried, 1500);
  EXPECT_EQ(selfHits, 0) << "of " << tried;
}

}  // namespace
}  // namespace tessaran
