// The octree and quadtrees: candidates against brute force, the depth
// rules, nodes whose elements meet none of their children, flat leaves.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "renderer/engine/octree.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

using namespace engine_samples;

// Whether a ray (unit direction) hits a triangle at t > 0, edges included.
bool RayHitsTriangle(const Vec3& o, const Vec3& d, const Vec3& a, const Vec3& b, const Vec3& c) {
  const Vec3 e1 = b - a, e2 = c - a, p = Cross(d, e2);
  const double det = Dot(e1, p);
  if (std::fabs(det) < 1e-12) return false;
  const Vec3 s = o - a;
  const double u = Dot(s, p) / det;
  const Vec3 q = Cross(s, e1);
  const double v = Dot(d, q) / det;
  const double eps = 1e-9;
  return u >= -eps && v >= -eps && u + v <= 1 + eps && Dot(e2, q) / det > 0;
}

std::array<float, 3> Random3(std::mt19937& random, float lo, float hi) {
  std::uniform_real_distribution<float> d(lo, hi);
  return {d(random), d(random), d(random)};
}

// A random scene: facet objects of scattered triangles, and grid objects.
MaqScene RandomScene(std::mt19937& random, int facetObjects, int triangles, int grids) {
  MaqScene scene = EmptyScene();
  std::uniform_real_distribution<float> size(0.5f, 12);
  for (int k = 0; k < facetObjects; ++k) {
    std::vector<std::array<float, 3>> points;
    std::vector<std::array<int, 3>> faces;
    for (int t = 0; t < triangles; ++t) {
      const auto base = Random3(random, -50, 50);
      const float s = size(random);
      for (int v = 0; v < 3; ++v) {
        const auto offset = Random3(random, -s, s);
        points.push_back({base[0] + offset[0], base[1] + offset[1], base[2] + offset[2]});
      }
      faces.push_back({3 * t + 1, 3 * t + 2, 3 * t + 3});
    }
    AddFacets(scene, points, faces);
  }
  for (int g = 0; g < grids; ++g) {
    const auto base = Random3(random, -50, 50);
    const std::uint16_t col = g % 2 ? 0x8FFF : 0x0FFF;
    AddGrid(scene, 4, 5, [&](int i, int j) {
      return std::array<float, 3>{base[0] + 3.f * i, base[1] + 2.f * j, base[2] + float(i * j % 3)};
    }, col);
  }
  return scene;
}

TEST(Octree, CandidatesHoldEveryElementARayCanHit) {
  std::mt19937 random(11);
  int hits = 0;
  for (int trial = 0; trial < 6; ++trial) {
    const MaqScene scene = RandomScene(random, 3, 60 + 40 * trial, 4);
    FrameTables frame = FrameOf(scene);
    RenderSettings settings;
    settings.maxOctreeDepth = 2 + trial;
    settings.octreeMaxNodeElem = trial % 2 ? 1 : 8;
    PreparedScene prepared;
    EngineHooks hooks;
    ASSERT_EQ(PrepareScene(frame, settings, hooks, prepared), 1);
    ASSERT_TRUE(prepared.UsesOctree()) << trial;
    CandidateMarks marks = prepared.NewMarks();
    const Vec3 centre = RenderCoordinates(frame.camera, {0, 0, 0});
    for (int ray = 0; ray < 1500; ++ray) {
      // From the eye through the scene, or from anywhere in any direction.
      Vec3 origin{}, direction;
      if (ray % 2) {
        direction = Normalise(centre + ToVec3(Random3(random, -60, 60)));
      } else {
        origin = centre + ToVec3(Random3(random, -80, 80));
        direction = Normalise(ToVec3(Random3(random, -1, 1)));
      }
      MarkCandidates(prepared, origin, direction, marks);
      for (int k = 0; k < frame.objectCount; ++k) {
        const ObjectEntry& e = frame.objects[k];
        if (!e.IsFacetObject()) {
          double tnear, tfar;
          if (RayBox(origin, direction, prepared.TabOBJ[k].box, tnear, tfar)) {
            EXPECT_TRUE(marks.IsCandidate(k)) << "grid " << k << " ray " << ray;
          }
          continue;
        }
        for (int i = 0; i < e.facetCount; ++i) {
          const Facet& f = prepared.facets[e.firstFacet + i];
          if (!RayHitsTriangle(origin, direction, ToVec3(frame.points[f.a]), ToVec3(frame.points[f.b]),
                               ToVec3(frame.points[f.c]))) {
            continue;
          }
          ++hits;
          EXPECT_TRUE(marks.IsCandidate(prepared.FacetElement(e.firstFacet + i)))
              << "facet " << e.firstFacet + i << " ray " << ray << " trial " << trial;
        }
      }
    }
  }
  EXPECT_GT(hits, 1000);
}

TEST(Octree, MarksOfOneRayDoNotLeakIntoTheNext) {
  std::mt19937 random(5);
  const MaqScene scene = RandomScene(random, 2, 100, 0);
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  EngineHooks hooks;
  ASSERT_EQ(PrepareScene(frame, RenderSettings{}, hooks, prepared), 1);
  CandidateMarks marks = prepared.NewMarks();
  MarkCandidates(prepared, {}, {0, 0, -1}, marks);
  int first = 0;
  for (int e = 0; e < prepared.elementCount; ++e) first += marks.IsCandidate(e);
  EXPECT_GT(first, 0);
  MarkCandidates(prepared, {}, {0, 0, 1}, marks);  // away from the scene
  for (int e = 0; e < prepared.elementCount; ++e) EXPECT_FALSE(marks.IsCandidate(e)) << e;
}

// n small flat grids in a row.
MaqScene Grids(int n) {
  MaqScene scene = EmptyScene();
  for (int k = 0; k < n; ++k) {
    AddGrid(scene, 2, 2, [k](int i, int j) { return std::array<float, 3>{10.f * k + i, float(j), 0}; }, 0x8FFF);
  }
  return scene;
}

TEST(Octree, DepthFollowsElementsAndTheSetting) {
  EngineHooks hooks;
  for (const auto& [objects, built] : {std::pair{14, false}, {15, true}}) {
    FrameTables frame = FrameOf(Grids(objects));
    PreparedScene prepared;
    ASSERT_EQ(PrepareScene(frame, RenderSettings{}, hooks, prepared), 1);
    EXPECT_EQ(prepared.elementCount, objects + 1);
    EXPECT_EQ(prepared.UsesOctree(), built) << objects;  // 15 elements ÷ 8 = 1: none
    EXPECT_EQ(prepared.HON.Created(), built);
  }
  EXPECT_EQ(EffectiveDepth(1000, 0), 1);
  EXPECT_EQ(EffectiveDepth(1000, 20), 8);
  EXPECT_EQ(EffectiveDepth(40, 20), 5);
  FrameTables frame = FrameOf(Grids(40));
  RenderSettings settings;
  settings.maxOctreeDepth = 0;
  PreparedScene prepared;
  ASSERT_EQ(PrepareScene(frame, settings, hooks, prepared), 1);
  EXPECT_FALSE(prepared.UsesOctree());
  settings.maxOctreeDepth = 20;
  settings.octreeMaxNodeElem = 1;
  ASSERT_EQ(PrepareScene(frame, settings, hooks, prepared), 1);
  EXPECT_TRUE(prepared.UsesOctree());
  EXPECT_EQ(prepared.D, 5);
  EXPECT_LE(prepared.EffectMaxOctreeDepth, 5);
}

TEST(Octree, NodeWhoseElementsMeetNoChildKeepsThem) {
  // Two triangles in planes that cut the box [0, 1]³ only near its far
  // corner while their own boxes lie where x < 0.5: the node takes them,
  // no octant does. The node keeps them rather than losing them.
  MaqScene scene = EmptyScene();
  AddFacets(scene, {{0.4f, 1.1f, 1.1f}, {0.4f, 2.2f, 0}, {0.3f, 0, 2.3f}, {0.4f, 1.1f, 1.05f},
                    {0.4f, 2.15f, 0}, {0.3f, 0, 2.25f}},
            {{1, 2, 3}, {4, 5, 6}});
  FrameTables frame = FrameOf(scene);
  // The scene in camera coordinates as it is in the scene.
  frame.points.assign(scene.points.begin(), scene.points.end());
  PreparedScene prepared;
  EngineHooks hooks;
  ASSERT_EQ(PrepareScene(frame, RenderSettings{}, hooks, prepared), 1);
  prepared.D = 2;
  prepared.maxNodeElem = 1;
  ASSERT_TRUE(prepared.HON.Create(8, 0, 1 << 20));
  ASSERT_TRUE(prepared.HRL.Create(8, 0, 1 << 20));
  prepared.OctreeFlags.Resize(prepared.elementCount);
  const PoolIndex root = prepared.HON.Alloc(), box = prepared.HBox.Alloc();
  prepared.HBox[box] = Boite{0, 0, 0, 1, 1, 1};
  prepared.HON[root].box = box;
  ASSERT_TRUE(MakeOctree(prepared, frame, root, hooks));
  prepared.OctScene = root;
  prepared.octree = true;
  for (const PoolIndex child : prepared.HON[root].child) EXPECT_EQ(child, kNoRecord);
  CandidateMarks marks = prepared.NewMarks();
  MarkCandidates(prepared, {0.9, 0.9, 5}, {0, 0, -1}, marks);
  EXPECT_TRUE(marks.IsCandidate(prepared.FacetElement(0)));
  EXPECT_TRUE(marks.IsCandidate(prepared.FacetElement(1)));
}

TEST(Octree, FacetInABoxFaceBelongsToTheBoxesOnBothSides) {
  MaqScene scene = EmptyScene();
  AddFacets(scene, {{-5, -5, 0}, {5, -5, 0}, {0, 5, 0}}, {{1, 2, 3}});
  FrameTables frame = FrameOf(scene);
  frame.points.assign(scene.points.begin(), scene.points.end());
  FacetTable facets;
  EngineHooks hooks;
  ASSERT_TRUE(BuildFacets(frame, facets, hooks));
  // The triangle covers the face z = 0 of both boxes; no vertex is inside.
  EXPECT_TRUE(FacetMeetsBox(facets[0], frame.points, Boite{-1, -1, -1, 1, 1, 0}));
  EXPECT_TRUE(FacetMeetsBox(facets[0], frame.points, Boite{-1, -1, 0, 1, 1, 1}));
  EXPECT_FALSE(FacetMeetsBox(facets[0], frame.points, Boite{-1, -1, 0.1, 1, 1, 1}));
  EXPECT_FALSE(FacetMeetsBox(facets[0], frame.points, Boite{6, 6, -1, 7, 7, 1}));
}

TEST(RayBox, SlabsAxisParallelRaysAndFlatBoxes) {
  double tnear, tfar;
  const Boite box{0, 0, 0, 2, 2, 2};
  EXPECT_TRUE(RayBox({-1, 1, 1}, {1, 0, 0}, box, tnear, tfar));
  EXPECT_DOUBLE_EQ(tnear, 1);
  EXPECT_DOUBLE_EQ(tfar, 3);
  EXPECT_FALSE(RayBox({-1, 3, 1}, {1, 0, 0}, box, tnear, tfar));  // zero component, outside the slab
  EXPECT_FALSE(RayBox({3, 1, 1}, {1, 0, 0}, box, tnear, tfar));   // box behind
  EXPECT_TRUE(RayBox({1, 1, 1}, {0, 0, 1}, box, tnear, tfar));    // from inside
  EXPECT_TRUE(RayBox({0.5, 0.5, 5}, {0, 0, -1}, Boite{0, 0, 0, 1, 1, 0}, tnear, tfar));
  EXPECT_DOUBLE_EQ(tfar, 5);
}

TEST(QuadTree, FlatCellIsFoundByTheRayThatCrossesIt) {
  // A 5 × 4 polygon grid lying in a plane of constant camera z.
  MaqScene scene = EmptyScene();
  AddGrid(scene, 5, 4, [](int i, int j) { return std::array<float, 3>{4.f * i, 3.f * j, 0}; }, 0x8FFF);
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  EngineHooks hooks;
  ASSERT_EQ(PrepareScene(frame, RenderSettings{}, hooks, prepared), 1);
  const ObjectBoxes& ob = prepared.TabOBJ[0];
  EXPECT_GT(ob.box.zmax - ob.box.zmin, 0);  // widened by a pixel on both sides
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 4; ++col) {
      const Vec3 target = ToVec3(frame.points[row * 5 + col]) + Vec3{1.0 + col % 2, 1.5, 0};
      std::vector<std::pair<float, float>> cells;
      DescendQuadTree(prepared, 0, {}, Normalise(target), [&](const Boite& leaf, double, double) {
        cells.push_back({leaf.cellU, leaf.cellV});
        return true;
      });
      ASSERT_EQ(cells.size(), 1u) << col << "," << row;
      EXPECT_EQ(cells[0], (std::pair<float, float>{col + 0.5f, row + 0.5f}));
    }
  }
  // A one-row grid has no cells and nothing to hit.
  MaqScene one = EmptyScene();
  AddGrid(one, 6, 1, [](int i, int) { return std::array<float, 3>{float(i), 0, 0}; }, 0x8FFF);
  FrameTables strip = FrameOf(one);
  ASSERT_EQ(PrepareScene(strip, RenderSettings{}, hooks, prepared), 1);
  EXPECT_FALSE(prepared.TabOBJ[0].hasBox);
  EXPECT_EQ(prepared.TabOBJ[0].quadRoot, kNoRecord);
}

TEST(QuadTree, CurvedObjectLeadsTheRayToTheQuarterItHits) {
  std::mt19937 random(9);
  MaqScene scene = EmptyScene();
  const int nu = 7, nv = 6;
  AddGrid(scene, nu, nv, [&](int i, int j) { return std::array<float, 3>{6.f * i, 6.f * j, float(random() % 5)}; },
          0x0FFF);
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  EngineHooks hooks;
  ASSERT_EQ(PrepareScene(frame, RenderSettings{}, hooks, prepared), 1);
  int checked = 0;
  for (int j = 0; j < nv - 2; ++j) {
    for (int i = 0; i < nu - 2; ++i) {
      const double s = 0.3, t = 0.8;
      const Vec3 p = PatchPoint(frame.points, 0, nu, i, j, s, t);
      bool found = false;
      DescendQuadTree(prepared, 0, {}, Normalise(p), [&](const Boite& leaf, double, double) {
        found = found || (leaf.cellU == 2 * i + 0.5f && leaf.cellV == 2 * j + 1.5f);
        return true;
      });
      EXPECT_TRUE(found) << i << "," << j;
      ++checked;
    }
  }
  EXPECT_EQ(checked, (nu - 2) * (nv - 2));
  // Counters: what the pools gave and took back.
  EXPECT_EQ(prepared.HQN.allocs - prepared.HQN.frees, static_cast<long>(prepared.HQN.Live()));
  ReleaseScene(prepared);
  EXPECT_FALSE(prepared.HBox.Created());
  EXPECT_TRUE(prepared.facets.empty());
}

}  // namespace
}  // namespace tessaran
