// Ray casting and tracing: intersections, the hit list, the material
// stack, shading sums, shadows, packing, and thread independence.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <thread>

#include "renderer/engine/raytrace.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

using namespace engine_samples;

void SetMaterial(MaterialEntry& m, int reflection, int transmission, int refraction, std::uint16_t col = 0x0FFF) {
  m.reflection = static_cast<std::uint8_t>(reflection);
  m.transmission = static_cast<std::uint8_t>(transmission);
  m.refraction = static_cast<std::uint8_t>(refraction);
  m.KSpec = 40;
  m.NSpec = 50;
  m.col = col;
  m.isDefault = false;
  ComputeMaterial(m, true, false);
}

// A 200 × 200 square at scene z = 0 facing the camera, as two facets
// sharing the diagonal from point 1 to point 3.
MaqScene SquareScene(float z = 0, float half = 100) {
  MaqScene s = EmptyScene();
  AddFacets(s, {{-half, -half, z}, {half, -half, z}, {half, half, z}, {-half, half, z}}, {{{1, 2, 3}}, {{1, 3, 4}}},
            0x0FFF);
  return s;
}

// Two placeholder objects whose preview spheres the tests place.
std::unique_ptr<Traced> SphereScene(int count) {
  MaqScene s = EmptyScene();
  for (int i = 0; i < count; ++i) AddGrid(s, 2, 2, [](int a, int b) { return std::array<float, 3>{float(a), float(b), 0}; });
  auto t = std::make_unique<Traced>(s);
  t->Prepare();
  t->frame.previewMaterial = true;
  return t;
}

TEST(RayCastTest, SphereRootsGrazingAndInside) {
  HitList hits;
  // Grazing: the ray touches the sphere's rim (m = 0): one hit.
  ASSERT_TRUE(SphereHits({0, 0, 0}, {0, 0, -1}, {2, 0, -10}, 2, 0, hits));
  ASSERT_EQ(hits.Count(), 1);
  EXPECT_DOUBLE_EQ(hits[0].t, 10);
  // Through the middle: both roots, nearest first after sorting.
  hits.Clear();
  SphereHits({0, 0, 0}, {0, 0, -1}, {0, 0, -10}, 2, 0, hits);
  ASSERT_EQ(hits.Count(), 2);
  EXPECT_DOUBLE_EQ(hits.Nearest().t, 8);
  // From inside: only the far root.
  hits.Clear();
  SphereHits({0, 0, -10}, {0, 0, -1}, {0, 0, -10}, 2, 0, hits);
  ASSERT_EQ(hits.Count(), 1);
  EXPECT_DOUBLE_EQ(hits[0].t, 2);
  EXPECT_NEAR(hits[0].normal[2], -1, 1e-12);
  // A ray starting on the surface going out: nothing.
  hits.Clear();
  SphereHits({0, 0, -8}, {0, 0, 1}, {0, 0, -10}, 2, 0, hits);
  EXPECT_EQ(hits.Count(), 0);
  // Behind the origin: nothing.
  hits.Clear();
  SphereHits({0, 0, 0}, {0, 0, 1}, {0, 0, -10}, 2, 0, hits);
  EXPECT_EQ(hits.Count(), 0);
}

TEST(RayCastTest, DegenerateRayFrameShowsMessage270Once) {
  MessageLog log;
  auto t = SphereScene(2);
  t->prepared.spheres.assign(2, {{0, 0, -500}, 50});
  RayState state(t->ts);
  HitList hits;
  EXPECT_EQ(RayCast(t->ts, state, {0, 0, 0}, {0, 0, 0}, hits, false), 0);
  EXPECT_EQ(RayCast(t->ts, state, {0, 0, 0}, {0, 0, 0}, hits, false), 0);
  EXPECT_EQ(std::count(log.numbers.begin(), log.numbers.end(), 270), 1);
  // A good ray still hits.
  EXPECT_EQ(RayCast(t->ts, state, {0, 0, 0}, {0, 0, -1}, hits, false), 4);  // two spheres, two roots each
}

TEST(RayCastTest, HitListKeepsTheNearestThirty) {
  HitList list;
  std::vector<double> ts;
  for (int i = 0; i < 45; ++i) ts.push_back(100.0 - 2 * i + (i % 3) * 0.5);
  std::shuffle(ts.begin(), ts.end(), std::mt19937(7));
  for (double t : ts) {
    RayHit h;
    h.t = t;
    list.Add(h);
  }
  ASSERT_EQ(list.Count(), HitList::kMaxHits);
  std::sort(ts.begin(), ts.end());
  list.Sort();
  for (int i = 0; i < HitList::kMaxHits; ++i) EXPECT_DOUBLE_EQ(list[i].t, ts[i]) << i;
}

TEST(RayCastTest, SharedEdgeHitsBothFacetsAndRayOnSurfaceMissesIt) {
  Traced t(SquareScene());
  t.Prepare();
  RayState state(t.ts);
  HitList hits;
  // Through the middle of the shared diagonal.
  const Vec3 target = 0.5 * (t.Point(0, 0) + t.Point(0, 2));
  const Vec3 D = Normalise(target);
  ASSERT_EQ(RayCast(t.ts, state, {0, 0, 0}, D, hits, false), 2);
  EXPECT_NEAR(hits[0].t, hits[1].t, 1e-9);
  EXPECT_NEAR(hits.Nearest().t, Length(target), 1e-6);
  // Leaving the surface from a point on it: no hit on itself.
  EXPECT_EQ(RayCast(t.ts, state, target, {0, 0, 1}, hits, false), 0);
  // Axis-aligned rays (zero direction components) through the square.
  EXPECT_EQ(RayCast(t.ts, state, target + Vec3{10, 20, 50}, {0, 0, -1}, hits, false), 1);
  EXPECT_EQ(RayCast(t.ts, state, target + Vec3{0, 0, 50}, {1, 0, 0}, hits, false), 0);
}

TEST(RayCastTest, PatchHitsMatchADenseTessellation) {
  MaqScene s = EmptyScene();
  const int nu = 6, nv = 5;
  AddGrid(s, nu, nv, [](int i, int j) {
    return std::array<float, 3>{float(i * 60 - 150), float(j * 60 - 120), float(40 * std::sin(i * 1.3) * std::cos(j))};
  }, 0x0FFF);
  Traced t(s);
  t.Prepare();
  RayState state(t.ts);
  // Reference: 24 × 24 triangles pairs per patch cell, nearest crossing.
  auto reference = [&](const Vec3& D) {
    double best = 1e300;
    const int n = 24;
    for (int j = 0; j < nv - 2; ++j) {
      for (int i = 0; i < nu - 2; ++i) {
        for (int b = 0; b < n; ++b) {
          for (int a = 0; a < n; ++a) {
            auto P = [&](int da, int db) {
              return PatchPoint(t.frame.points, t.frame.objects[0].firstPoint, nu, i, j, double(a + da) / n,
                                double(b + db) / n);
            };
            const Vec3 q[4] = {P(0, 0), P(1, 0), P(1, 1), P(0, 1)};
            for (int tri = 0; tri < 2; ++tri) {
              const Vec3 &A = q[0], &B = q[1 + tri], &C = q[2 + tri];
              const Vec3 e1 = B - A, e2 = C - A, p = Cross(D, e2);
              const double det = Dot(e1, p);
              if (std::fabs(det) < 1e-12) continue;
              const Vec3 tv = -1.0 * A;
              const double u = Dot(tv, p) / det;
              const Vec3 qv = Cross(tv, e1);
              const double v = Dot(D, qv) / det;
              const double d = Dot(e2, qv) / det;
              if (u >= 0 && v >= 0 && u + v <= 1 && d > 0) best = std::min(best, d);
            }
          }
        }
      }
    }
    return best;
  };
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> pick(0.3, 2.7);
  int compared = 0;
  for (int r = 0; r < 25; ++r) {
    const Vec3 target = PatchPoint(t.frame.points, t.frame.objects[0].firstPoint, nu, 1, 1, pick(rng) - 1, pick(rng) / 1.5 - 0.8);
    const Vec3 D = Normalise(target);
    HitList hits;
    const double ref = reference(D);
    if (RayCast(t.ts, state, {0, 0, 0}, D, hits, false) == 0) {
      ADD_FAILURE() << "no patch hit where the tessellation has one at " << ref;
      continue;
    }
    const RayHit& h = hits.Nearest();
    EXPECT_NEAR(h.t, ref, 0.5) << r;
    EXPECT_GE(h.u, 0);
    EXPECT_LE(h.u, nu - 2);
    ++compared;
  }
  EXPECT_EQ(compared, 25);
}

TEST(RayCastTest, DegenerateAndWildPatchesNeverCrash) {
  MaqScene s = EmptyScene();
  // All control points in one place: a singular Jacobian everywhere.
  AddGrid(s, 4, 4, [](int, int) { return std::array<float, 3>{0, 0, 0}; }, 0x0FFF);
  // Points far apart in a crumpled net: Newton wanders off.
  AddGrid(s, 5, 5, [](int i, int j) {
    return std::array<float, 3>{float((i * 7919 % 13) * 40 - 200), float((j * 104729 % 11) * 40 - 200), float(((i + j) % 2) * 300)};
  }, 0x0FFF);
  Traced t(s);
  t.Prepare();
  RayState state(t.ts);
  HitList hits;
  for (int y = -20; y <= 20; y += 4) {
    for (int x = -20; x <= 20; x += 4) {
      const int n = RayCast(t.ts, state, {0, 0, 0}, Normalise(Vec3{x / 100.0, y / 100.0, -1}), hits, false);
      for (int i = 0; i < n; ++i) {
        EXPECT_TRUE(std::isfinite(hits[i].t));
        EXPECT_GT(hits[i].t, 0.001);
      }
    }
  }
}

TEST(RayTraceTest, DirectionsMirrorAndRefract) {
  const Vec3 N{0, 0, 1};
  const Vec3 D = Normalise(Vec3{1, 0, -1});
  const Vec3 M = MirrorDirection(D, N);
  EXPECT_NEAR(M[0], D[0], 1e-12);
  EXPECT_NEAR(M[2], -D[2], 1e-12);
  EXPECT_NEAR(MirrorDirection({0, 0, -1}, N)[2], 1, 1e-12);  // parallel: −D
  Vec3 out;
  ASSERT_TRUE(RefractDirection(D, N, 1.0 / 1.5, out));
  EXPECT_NEAR(out[0], std::sin(M_PI / 4) / 1.5, 1e-12);  // Snell
  EXPECT_LT(out[2], 0);
  // From glass to air beyond the critical angle: total internal reflection.
  EXPECT_FALSE(RefractDirection(D, N, 1.5, out));
  EXPECT_NEAR(out[2], -D[2], 1e-12);
  EXPECT_DOUBLE_EQ(RefractionIndex(0), 1.0);
  EXPECT_DOUBLE_EQ(RefractionIndex(100), 3.0);
}

// Concentric glass spheres: the inner exit must use the outer sphere's
// index, the outer exit that of air.
TEST(RayTraceTest, GlassInGlassUsesTheStack) {
  auto t = SphereScene(2);
  t->prepared.spheres = {{{0, 0, -500}, 100}, {{0, 0, -500}, 50}};
  SetMaterial(t->frame.TabMAT[0], 0, 90, 25);  // index 1.5
  SetMaterial(t->frame.TabMAT[1], 0, 90, 50);  // index 2
  t->ts.trace.transmissionLimit = 8;
  RayState state(t->ts);
  RayNode root;
  root.direction = Normalise(Vec3{0.06, 0.02, -1});
  state.reflectionDepth = state.transmissionDepth = 0;
  RayTrace(t->ts, state, root, false);
  const double etas[4] = {1 / 1.5, 1.5 / 2, 2 / 1.5, 1.5};
  const RayNode* node = &root;
  Vec3 expected = root.direction;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(node->transmitted) << i;
    ASSERT_TRUE(RefractDirection(expected, node->normal, etas[i], expected));
    node = node->transmitted.get();
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(node->direction[c], expected[c], 1e-9) << i;
  }
  EXPECT_EQ(root.stack->count, 0);  // left both
  EXPECT_EQ(node->object, -1);      // out into the background
}

TEST(RayTraceTest, RefractionZeroIsStraightAndLimitZeroIsBlack) {
  auto t = SphereScene(1);
  t->prepared.spheres = {{{0, 0, -500}, 100}};
  SetMaterial(t->frame.TabMAT[0], 0, 80, 0);
  t->ts.trace.horizonDown = t->ts.trace.horizonUp = {1, 1, 1};
  RayState state(t->ts);
  RayNode root;
  root.direction = Normalise(Vec3{0.1, 0.05, -1});
  RayTrace(t->ts, state, root, false);
  ASSERT_TRUE(root.transmitted);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(root.transmitted->direction[c], root.direction[c], 1e-12);
  const float through = root.transmitted->colour[0];
  EXPECT_GT(through, 0);

  t->ts.trace.transmissionLimit = 0;
  RayNode limited;
  limited.direction = root.direction;
  RayTrace(t->ts, state, limited, false);
  ASSERT_TRUE(limited.transmitted);
  EXPECT_EQ(limited.transmitted->colour, (std::array<float, 3>{0, 0, 0}));
  EXPECT_FALSE(limited.transmitted->transmitted);
  EXPECT_EQ(state.reflectionDepth + state.transmissionDepth, 0);
}

// A white square lit from in front; ambient 0 so the lights alone show.
struct LitSquare : Traced {
  LitSquare() : Traced(SquareScene()) {
    trace.ambient = 0.1;
    Prepare();
    centre = 0.5 * (Point(0, 0) + Point(0, 2));
  }
  std::uint32_t Pixel() {
    RayState state(ts);
    return TracePrimary(ts, state, {0, 0, 0}, Normalise(centre + Vec3{13, 7, 0}), 1, 1);
  }
  void AddLamp(std::uint16_t colour, int intensity = 100) {
    EngineLamp lamp;
    lamp.position = centre + Vec3{0, 0, 300};
    lamp.axis = {0, 0, -1};
    lamp.colour = colour;
    lamp.intensity = intensity;
    frame.lamps.push_back(lamp);
  }
  Vec3 centre;
};

int Red(std::uint32_t c) { return (c >> 16) & 255; }
int Green(std::uint32_t c) { return (c >> 8) & 255; }
int Blue(std::uint32_t c) { return c & 255; }

TEST(RayTraceTest, GreyLightsShareSumsAndAColouredLampSplitsThem) {
  LitSquare t;
  t.AddLamp(0x0FFF);
  t.frame.sun = {true, {0, 0, 1}, {0, 0, -1}, 0.3, false};
  const std::uint32_t grey = t.Pixel();
  EXPECT_NEAR(Red(grey), Green(grey), 1);
  EXPECT_NEAR(Green(grey), Blue(grey), 1);
  EXPECT_GT(Red(grey), 100);

  t.AddLamp(0x0F00, 100);  // a red lamp beside the white one
  const std::uint32_t tinted = t.Pixel();
  EXPECT_GT(Red(tinted), Green(tinted) + 10);
  EXPECT_NEAR(Green(tinted), Blue(tinted), 1);

  // Outside true colour lamp colours count as white, and every channel is
  // one of the 16 levels.
  t.ts.trace.trueColour = false;
  const std::uint32_t levels = t.Pixel();
  EXPECT_NEAR(Red(levels), Green(levels), 17);
  for (int v : {Red(levels), Green(levels), Blue(levels)}) EXPECT_EQ(v % 17, 0) << v;
}

TEST(RayTraceTest, OpaqueOccluderLeavesAmbientOnly) {
  MaqScene s = SquareScene();
  // A small opaque square between the lamp and the big square.
  AddFacets(s, {{-20, -20, 150}, {40, -20, 150}, {40, 40, 150}, {-20, 40, 150}}, {{{1, 2, 3}}, {{1, 3, 4}}});
  Traced t(s);
  t.trace.ambient = 0.2;
  t.Prepare();
  const Vec3 centre = 0.5 * (t.Point(0, 0) + t.Point(0, 2));
  // A point the eye sees beside the occluder.
  const Vec3 seen = centre + Vec3{-60, -60, 0};
  const Vec3 D = Normalise(seen);
  RayState state(t.ts);
  const std::uint32_t ambient = TracePrimary(t.ts, state, {0, 0, 0}, D, 0, 0);
  EngineLamp lamp;
  lamp.intensity = 200;
  // A lamp straight above it: its light passes beside the occluder.
  lamp.position = seen + Vec3{0, 0, 600};
  t.frame.lamps = {lamp};
  const std::uint32_t lit = TracePrimary(t.ts, state, {0, 0, 0}, D, 0, 0);
  EXPECT_GT(Red(lit), Red(ambient) + 20);
  // A lamp whose light must cross the occluder at (10, 10, 150).
  lamp.position = seen + 4.0 * Vec3{70, 70, 150};
  t.frame.lamps = {lamp};
  const std::uint32_t behind = TracePrimary(t.ts, state, {0, 0, 0}, D, 0, 0);
  EXPECT_NEAR(Red(behind), Red(ambient), 1);
  EXPECT_NEAR(Blue(behind), Blue(ambient), 1);
  // A transparent green occluder tints the light instead of blocking it.
  SetMaterial(t.frame.TabMAT[1], 0, 70, 0, 0x00F0);
  const std::uint32_t tinted = TracePrimary(t.ts, state, {0, 0, 0}, D, 0, 0);
  EXPECT_GT(Green(tinted), Red(tinted) + 5);
}

TEST(RayTraceTest, PackingStaysWithinOneUnitAndRepeatsPerSeed) {
  TraceScene none;
  RayState state(none);
  for (int i = 0; i <= 1000; ++i) {
    const float v = i / 1000.0f;
    SeedRounding(state, 3, i, 2);
    const std::uint32_t p = PackColour(state, {v, v, v}, true);
    EXPECT_LE(std::abs(Red(p) - static_cast<int>(std::lround(v * 255))), 1);
  }
  SeedRounding(state, 5, 10.5, 3);
  const std::uint32_t a = PackColour(state, {0.3f, 0.6f, 0.9f}, true);
  SeedRounding(state, 5, 10.5, 3);
  EXPECT_EQ(PackColour(state, {0.3f, 0.6f, 0.9f}, true), a);
  // Nonsense colours pack to something valid.
  EXPECT_EQ(PackColour(state, {NAN, -4, 1e30f}, true), 0x0000FFu);
}

TEST(RayTraceTest, OneAndFourThreadsGiveTheSamePixels) {
  MaqScene s = SquareScene();
  AddGrid(s, 5, 5, [](int i, int j) {
    return std::array<float, 3>{float(i * 50 - 100), float(j * 50 - 100), float(60 + 30 * ((i + j) % 2))};
  }, 0x0F80);
  Traced t(s);
  t.settings.groundOn = true;
  t.Prepare();
  SetMaterial(t.frame.TabMAT[0], 40, 0, 0);
  SetMaterial(t.frame.TabMAT[1], 0, 60, 30, 0x08CF);
  EngineLamp lamp;
  lamp.position = {200, 300, 0};
  lamp.intensity = 600;
  t.frame.lamps.push_back(lamp);
  const int W = 48, H = 36;
  auto render = [&](int threads) {
    std::vector<std::uint32_t> image(W * H);
    std::vector<std::thread> pool;
    for (int n = 0; n < threads; ++n) {
      pool.emplace_back([&, n] {
        RayState state(t.ts);
        for (int y = n; y < H; y += threads) {
          for (int x = 0; x < W; ++x) {
            const CameraRay r = PrimaryRay(t.frame.camera, ImageMapping(W, H, 1000), x, y);
            image[y * W + x] = TracePrimary(t.ts, state, r.origin, r.direction, x, y);
          }
        }
      });
    }
    for (auto& th : pool) th.join();
    return image;
  };
  const auto one = render(1);
  EXPECT_EQ(one, render(4));
  EXPECT_GT(std::count_if(one.begin(), one.end(), [&one](std::uint32_t p) { return p != one[0]; }), W * H / 4);
}

}  // namespace
}  // namespace tessaran
