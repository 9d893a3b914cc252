// Facets, Phong normals and the refinement of curved nets.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

#include "renderer/engine/facets.h"
#include "renderer/engine/octree.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

using namespace engine_samples;

constexpr std::uint16_t kSmooth = 0x4FFF;
constexpr std::uint16_t kFlat = 0x8FFF;
constexpr std::uint16_t kCurved = 0x0FFF;

TEST(Facets, GridCellsGiveTwoFacetsInTheirSlots) {
  MaqScene scene = EmptyScene();
  AddGrid(scene, 3, 2, [](int i, int j) { return std::array<float, 3>{2.f * i, 3.f * j, 0}; }, kFlat);
  FrameTables frame = FrameOf(scene);
  FacetTable facets;
  EngineHooks hooks;
  ASSERT_TRUE(BuildFacets(frame, facets, hooks));
  ASSERT_EQ(facets.size(), 12u);  // 2·nu·nv slots for (nu − 1)(nv − 1) = 2 cells
  for (const int cell : {0, 1}) {
    const Facet &first = facets[2 * cell], &second = facets[2 * cell + 1];
    EXPECT_EQ(first.a, cell);
    EXPECT_EQ(first.b, cell + 1);
    EXPECT_EQ(first.c, cell + 4);
    EXPECT_EQ(second.b, cell + 3);
    EXPECT_NEAR(first.normal[2], 1, 1e-12);
    EXPECT_NEAR(second.normal[2], -1, 1e-12);  // the second facet turns the other way
  }
  // The slots of the last column and row are never hit.
  for (const int slot : {4, 5, 6, 11}) EXPECT_TRUE(IsDegenerate(facets[slot])) << slot;
}

TEST(Facets, CollinearFaceIsDegenerate) {
  MaqScene scene = EmptyScene();
  AddFacets(scene, {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {0, 1, 0}}, {{1, 2, 3}, {1, 2, 4}});
  FrameTables frame = FrameOf(scene);
  FacetTable facets;
  EngineHooks hooks;
  ASSERT_TRUE(BuildFacets(frame, facets, hooks));
  ASSERT_EQ(facets.size(), 2u);
  EXPECT_EQ(facets[0].normal[0], kDegenerateNormal);
  EXPECT_FALSE(IsDegenerate(facets[1]));
  EXPECT_NEAR(Length(facets[1].normal), 1, 1e-12);
}

// A grid over part of a sphere of radius r about `centre`, whose Phong
// normals must point along the radius.
void ExpectRadialNormals(int nu, int nv, double r, double longitudeSpan, bool closed, float seamShift = 0) {
  MaqScene scene = EmptyScene();
  const Vec3 centre{5, -3, 2};
  auto point = [&](int i, int j) {
    const double lon = longitudeSpan * i / (nu - 1);
    const double lat = -1.2 + 2.4 * j / (nv - 1);
    const float shift = i == nu - 1 ? seamShift : 0;
    return std::array<float, 3>{float(centre[0] + r * std::cos(lat) * std::cos(lon)) + shift,
                                float(centre[1] + r * std::sin(lat)),
                                float(centre[2] + r * std::cos(lat) * std::sin(lon))};
  };
  AddGrid(scene, nu, nv, point, kSmooth);
  FrameTables frame = FrameOf(scene);
  FacetTable facets;
  std::vector<Vec3> normals;
  EngineHooks hooks;
  ASSERT_TRUE(BuildFacets(frame, facets, hooks));
  ASSERT_TRUE(BuildPhongNormals(frame, facets, normals, hooks));
  ASSERT_EQ(frame.objects[0].firstPhong, 0);
  const Vec3 c = RenderCoordinates(frame.camera, centre);
  double sign = 0;
  for (int j = 0; j < nv; ++j) {
    for (int i = 0; i < nu; ++i) {
      const Vec3 radial = Normalise(ToVec3(frame.points[j * nu + i]) - c);
      const double along = Dot(normals[j * nu + i], radial);
      if (sign == 0) sign = along > 0 ? 1 : -1;
      // Inner points (and, on a closed surface, the seam) follow the sphere.
      const bool inner = j > 0 && j < nv - 1 && (closed || (i > 0 && i < nu - 1));
      if (inner) {
        EXPECT_GT(sign * along, 0.995) << i << "," << j;
      }
      EXPECT_NEAR(Length(normals[j * nu + i]), 1, 1e-9);
    }
  }
}

TEST(PhongNormals, GridFollowsAnAnalyticSurface) { ExpectRadialNormals(24, 12, 40, 1.5, false); }

TEST(PhongNormals, SeamPointsShareTheirNeighboursAcrossTheSeam) {
  // A closed band: the last column lies on the first (or within 0.001 of
  // it); by position the seam points take the facets of both sides.
  ExpectRadialNormals(17, 12, 40, 2 * std::numbers::pi, true);
  ExpectRadialNormals(17, 12, 40, 2 * std::numbers::pi, true, 0.0008f);
}

TEST(PhongNormals, FacetObjectAveragesFacesMeetingAtOnePosition) {
  // Two faces of a roof, each with its own copy of the ridge points.
  MaqScene scene = EmptyScene();
  AddFacets(scene, {{0, 0, 0}, {0, 0, 10}, {5, 5, 0}, {5, 5, 0}, {0, 0, 10}, {10, 0, 0}},
            {{1, 2, 3}, {4, 5, 6}}, 0x4CCC);
  FrameTables frame = FrameOf(scene);
  FacetTable facets;
  std::vector<Vec3> normals;
  EngineHooks hooks;
  ASSERT_TRUE(BuildFacets(frame, facets, hooks));
  ASSERT_TRUE(BuildPhongNormals(frame, facets, normals, hooks));
  const Vec3 sum = Normalise(facets[0].normal + facets[1].normal);
  for (const int p : {1, 2, 3, 4}) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(normals[p][i], sum[i], 1e-9) << p;
  }
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(normals[0][i], facets[0].normal[i], 1e-9);
}

TEST(Refinement, RowsAndColumnsDoubleWithTheirEndsKept) {
  std::vector<std::array<float, 3>> net;
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 4; ++i) net.push_back({float(4 * i), float(8 * j), float(i * j)});
  }
  const std::vector<Vec3> r = RefineNet(net, 0, 4, 3);
  ASSERT_EQ(r.size(), 6u * 4u);
  auto at = [&](int i, int j) { return r[j * 6 + i]; };
  EXPECT_EQ(at(0, 0), (Vec3{0, 0, 0}));
  EXPECT_EQ(at(5, 3), (Vec3{12, 16, 6}));
  // Row 0: 0, then 3 = 0.25·0 + 0.75·4, 5 = 0.75·4 + 0.25·8, 7, 9, 12.
  const double xs[6] = {0, 3, 5, 7, 9, 12};
  for (int i = 0; i < 6; ++i) EXPECT_DOUBLE_EQ(at(i, 0)[0], xs[i]);
  const double ys[4] = {0, 6, 10, 16};
  for (int j = 0; j < 4; ++j) EXPECT_DOUBLE_EQ(at(2, j)[1], ys[j]);
  EXPECT_TRUE(RefineNet(net, 0, 1, 3).empty());
}

TEST(Refinement, LeafBoxesHoldTheSurfaceOfTheirQuarter) {
  std::mt19937 random(3);
  std::uniform_real_distribution<float> jitter(-6, 6);
  MaqScene scene = EmptyScene();
  const int nu = 6, nv = 5;
  AddGrid(scene, nu, nv, [&](int i, int j) { return std::array<float, 3>{10.f * i + jitter(random),
                                                                          10.f * j + jitter(random), jitter(random)}; },
          kCurved);
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  EngineHooks hooks;
  ASSERT_EQ(PrepareScene(frame, RenderSettings{}, hooks, prepared), 1);
  const ObjectBoxes& ob = prepared.TabOBJ[0];
  ASSERT_EQ(ob.leafStride, 2 * nu - 2);
  for (int j = 0; j < nv - 2; ++j) {
    for (int i = 0; i < nu - 2; ++i) {
      for (const double s : {0.0, 0.1, 0.3, 0.49, 0.5, 0.77, 1.0}) {
        for (const double t : {0.0, 0.25, 0.5, 0.6, 0.99}) {
          const Vec3 p = PatchPoint(frame.points, 0, nu, i, j, s, t);
          const int ci = 2 * i + (s >= 0.5 ? 1 : 0), cj = 2 * j + (t >= 0.5 ? 1 : 0);
          const Boite& b = prepared.HBox[ob.leaves + cj * ob.leafStride + ci];
          EXPECT_FLOAT_EQ(b.cellU, ci + 0.5f);
          EXPECT_FLOAT_EQ(b.cellV, cj + 0.5f);
          EXPECT_TRUE(p[0] >= b.xmin - 1e-9 && p[0] <= b.xmax + 1e-9 && p[1] >= b.ymin - 1e-9 &&
                      p[1] <= b.ymax + 1e-9 && p[2] >= b.zmin - 1e-9 && p[2] <= b.zmax + 1e-9)
              << i << "," << j << " at " << s << "," << t;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessaran
