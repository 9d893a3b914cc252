// The nearest-hit cast of traced rays and the shadow cast's shortcut
// through opaque objects must answer exactly as the full cast does: the
// same record to the bit, the same pick among hits at equal distances, the
// same blocked or lit answer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "renderer/engine/raytrace.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

using namespace engine_samples;


void AddSquare(MaqScene& s, float z, float half) {
  AddFacets(s, {{-half, -half, z}, {half, -half, z}, {half, half, z}, {-half, half, z}}, {{{1, 2, 3}}, {{1, 3, 4}}});
}

// A closed-looking soup of small random triangles around the origin, enough
// of them for a deep facet tree.
void AddSoup(MaqScene& s, int triangles, float centreZ, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> where(-60, 60), size(-8, 8);
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<int, 3>> faces;
  for (int i = 0; i < triangles; ++i) {
    const std::array<float, 3> c{where(rng), where(rng), centreZ + where(rng)};
    for (int v = 0; v < 3; ++v) points.push_back({c[0] + size(rng), c[1] + size(rng), c[2] + size(rng)});
    faces.push_back({3 * i + 1, 3 * i + 2, 3 * i + 3});
  }
  AddFacets(s, points, faces);
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameRecord(const RayHit& a, const RayHit& b, const std::string& where) {
  EXPECT_EQ(a.object, b.object) << where;
  EXPECT_TRUE(SameBits(a.t, b.t)) << where << ": " << a.t << " " << b.t;
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(SameBits(a.point[i], b.point[i])) << where;
    EXPECT_TRUE(SameBits(a.normal[i], b.normal[i])) << where;
  }
  EXPECT_TRUE(SameBits(a.u, b.u) && SameBits(a.v, b.v)) << where;
}

// The nearest cast against the full cast's Nearest() for one ray.
void ExpectNearestAgrees(Traced& t, RayState& state, const Vec3& O, const Vec3& D, const std::string& where) {
  HitList all, one;
  const int full = RayCast(t.ts, state, O, D, all, false);
  const int nearest = RayCastNearest(t.ts, state, O, D, one);
  ASSERT_EQ(nearest, full > 0 ? 1 : 0) << where;
  if (full > 0) ExpectSameRecord(one[0], all.Nearest(), where);
}

TEST(RayCastNearestTest, AgreesWithTheFullCastOnDeepTreesEdgesAndAxisRays) {
  MaqScene s = EmptyScene();
  AddSoup(s, 3000, 0, 1);
  AddSoup(s, 1500, -40, 2);  // overlaps the first: nearest hits alternate between them
  AddSquare(s, -120, 150);
  Traced t(s);
  t.Prepare();
  RayState state(t.ts);
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> spread(-0.25, 0.25);
  for (int n = 0; n < 4000; ++n) {
    const Vec3 D = Normalise(Vec3{spread(rng), spread(rng), -1});
    ExpectNearestAgrees(t, state, {0, 0, 0}, D, "primary " + std::to_string(n));
    if (HasFailure()) return;
  }
  // Secondary rays from points inside the soup, in every direction, and
  // rays with zero direction components.
  std::uniform_real_distribution<double> any(-1, 1);
  const Vec3 inside = t.Point(0, 0);
  for (int n = 0; n < 2000; ++n) {
    const Vec3 D = Normalise(Vec3{any(rng), any(rng), any(rng)});
    ExpectNearestAgrees(t, state, inside, D, "secondary " + std::to_string(n));
    if (HasFailure()) return;
  }
  for (const Vec3& D : {Vec3{1, 0, 0}, Vec3{0, -1, 0}, Vec3{0, 0, -1}, Vec3{0, 0, 1}}) {
    ExpectNearestAgrees(t, state, inside, D, "axis");
  }
}

TEST(RayCastNearestTest, AgreesOnFoldedGridsAndPatches) {
  // Grids folded over themselves, so that a ray meets several cells and the
  // nearest is not the first one visited: smooth and angular polygon grids
  // (cells skipped beyond the nearest hit) and a curved one (all tried).
  auto folded = [](float depth) {
    return [depth](int i, int j) {
      const float x = -90 + 12.0f * i, y = -90 + 12.0f * j;
      return std::array<float, 3>{x, y, depth + 40 * std::sin(x / 15) * std::cos(y / 20)};
    };
  };
  MaqScene s = EmptyScene();
  AddGrid(s, 16, 16, folded(0), 0x4FFF);
  AddGrid(s, 16, 16, folded(-30), 0x8FFF);
  AddGrid(s, 16, 16, folded(-60), 0x0FFF);
  Traced t(s);
  t.Prepare();
  RayState state(t.ts);
  std::mt19937 rng(9);
  std::uniform_real_distribution<double> spread(-0.3, 0.3), any(-1, 1);
  for (int n = 0; n < 3000; ++n) {
    ExpectNearestAgrees(t, state, {0, 0, 0}, Normalise(Vec3{spread(rng), spread(rng), -1}), "eye " + std::to_string(n));
    // Grazing rays from a point of the first grid.
    ExpectNearestAgrees(t, state, t.Point(0, 100), Normalise(Vec3{any(rng), any(rng), 0.1 * any(rng)}),
                        "grazing " + std::to_string(n));
    if (HasFailure()) return;
  }
}

TEST(RayCastNearestTest, OctreeQuestionForOneFacetAgreesWithTheMarkingPass) {
  // The walk of one element down the octree skips the children its facet's
  // box misses; it must still answer as the pass that marks every element.
  MaqScene s = EmptyScene();
  AddSoup(s, 3000, 0, 6);
  AddSquare(s, -80, 120);
  Traced t(s);
  t.Prepare();
  ASSERT_TRUE(t.prepared.UsesOctree());
  const PreparedScene& p = t.prepared;
  CandidateMarks marks = p.NewMarks();
  NodeHits nodes;
  nodes.Resize(p.HON.Size());
  std::mt19937 rng(8);
  std::uniform_real_distribution<double> spread(-0.3, 0.3);
  int listed = 0;
  for (int n = 0; n < 200; ++n) {
    const Vec3 D = Normalise(Vec3{spread(rng), spread(rng), -1});
    MarkCandidates(p, {0, 0, 0}, D, marks);
    nodes.NewRay();
    for (int k = 0; k < t.frame.objectCount; ++k) {
      const ObjectEntry& e = t.frame.objects[k];
      for (int i = e.firstFacet; i < e.firstFacet + e.facetCount; ++i) {
        const int element = p.FacetElement(i);
        const bool one = ListedOnRay(p, t.frame, k, element, {0, 0, 0}, D, nodes);
        ASSERT_EQ(one, marks.IsCandidate(element)) << "ray " << n << " facet " << i;
        listed += one;
      }
    }
  }
  EXPECT_GT(listed, 0);
}

TEST(RayCastNearestTest, OctreeAnswerAtAPointOfTheRayAgreesWithTheWalk) {
  // The answer taken from the leaves that list a facet, at the point where
  // the ray crosses the facet's plane, must be the walk's, wherever in its
  // leaves (or near their faces) the point falls.
  MaqScene s = EmptyScene();
  AddSoup(s, 3000, 0, 11);
  AddSquare(s, -80, 120);
  Traced t(s);
  t.Prepare();
  ASSERT_TRUE(t.prepared.UsesOctree());
  const PreparedScene& p = t.prepared;
  NodeHits walked, asked;
  walked.Resize(p.HON.Size());
  asked.Resize(p.HON.Size());
  std::mt19937 rng(12);
  std::uniform_real_distribution<double> spread(-0.3, 0.3);
  int crossings = 0, listed = 0;
  for (int n = 0; n < 200; ++n) {
    const Vec3 O{spread(rng) * 10, spread(rng) * 10, 0};
    const Vec3 D = Normalise(Vec3{spread(rng), spread(rng), -1});
    walked.NewRay();
    asked.NewRay();
    for (int k = 0; k < t.frame.objectCount; ++k) {
      const ObjectEntry& e = t.frame.objects[k];
      for (int i = e.firstFacet; i < e.firstFacet + e.facetCount; ++i) {
        const Facet& f = p.facets[i];
        if (f.a < 0 || IsDegenerate(f)) continue;
        const double along = Dot(f.normal, D);
        if (along == 0) continue;
        const double distance = Dot(f.normal, ToVec3(t.frame.points[f.a]) - O) / along;
        if (!(distance > 0.001)) continue;
        const Vec3 point = O + distance * D;
        const int element = p.FacetElement(i);
        const bool walk = ListedOnRay(p, t.frame, k, element, O, D, walked);
        ASSERT_EQ(ListedAtHit(p, t.frame, k, element, O, D, point, asked), walk) << "ray " << n << " facet " << i;
        ++crossings;
        listed += walk;
      }
    }
  }
  EXPECT_GT(listed, 100);
  EXPECT_GT(crossings - listed, 100);
}

TEST(RayCastNearestTest, EqualDistancesGoToTheEarlierObjectAndLowerFacet) {
  MaqScene s = EmptyScene();
  AddSquare(s, 0, 100);
  AddSquare(s, 0, 100);  // the same square again: every hit ties with object 0's
  Traced t(s);
  t.Prepare();
  RayState state(t.ts);
  // Through the shared diagonal: both facets of both objects at one distance.
  const Vec3 target = 0.5 * (t.Point(0, 0) + t.Point(0, 2));
  ExpectNearestAgrees(t, state, {0, 0, 0}, Normalise(target), "diagonal");
  HitList one;
  ASSERT_EQ(RayCastNearest(t.ts, state, {0, 0, 0}, Normalise(target), one), 1);
  EXPECT_EQ(one[0].object, 0);
  // A ray leaving the surface does not hit it; a miss gives no record.
  EXPECT_EQ(RayCastNearest(t.ts, state, target, {0, 0, 1}, one), 0);
  EXPECT_EQ(one.Count(), 0);
  EXPECT_EQ(RayCastNearest(t.ts, state, {0, 0, 0}, {0, 0, 1}, one), 0);
}

TEST(RayCastNearestTest, EqualDistancesGoToTheEarlierObjectWhateverBoxIsNearer) {
  // Object 1 holds object 0's square and a small triangle beside the ray,
  // halfway to the square: its box is met first, yet the tie goes to
  // object 0.
  MaqScene s = EmptyScene();
  AddSquare(s, 0, 100);
  AddFacets(s, {{-100, -100, 0}, {100, -100, 0}, {100, 100, 0}, {-100, 100, 0}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
            {{{1, 2, 3}}, {{1, 3, 4}}, {{5, 6, 7}}});
  Traced t(s);
  const Vec3 target = (1.0 / 3) * (t.Point(0, 0) + t.Point(0, 1) + t.Point(0, 2));
  const int first = t.frame.objects[1].firstPoint;
  const Vec3 corners[3] = {{0, 0, 0}, {-5, 0, 0}, {0, -5, 0}};
  for (int i = 0; i < 3; ++i) {
    const Vec3 q = 0.5 * target + Vec3{5, 5, 0} + corners[i];
    t.frame.points[first + 4 + i] = {static_cast<float>(q[0]), static_cast<float>(q[1]), static_cast<float>(q[2])};
  }
  t.Prepare();
  const Vec3 D = Normalise(target);
  double near0, near1, tfar;
  ASSERT_TRUE(RayBox({0, 0, 0}, D, t.prepared.TabOBJ[0].box, near0, tfar));
  ASSERT_TRUE(RayBox({0, 0, 0}, D, t.prepared.TabOBJ[1].box, near1, tfar));
  ASSERT_LT(near1, near0);
  RayState state(t.ts);
  ExpectNearestAgrees(t, state, {0, 0, 0}, D, "tie");
  HitList one;
  ASSERT_EQ(RayCastNearest(t.ts, state, {0, 0, 0}, D, one), 1);
  EXPECT_EQ(one[0].object, 0);
}

// Objects are found through their boxes two at a time: a cast at nine
// overlapping squares (an odd count) lists what casts at each alone list.
TEST(RayCastNearestTest, EveryObjectIsFoundAsWhenItIsAlone) {
  auto square = [](MaqScene& s, int i) { AddSquare(s, static_cast<float>(-20 * i), 10.0f + 7 * i); };
  MaqScene all = EmptyScene();
  for (int i = 0; i < 9; ++i) square(all, i);
  Traced together(all);
  together.Prepare();
  RayState state(together.ts);
  // Rays at each square, some past its edges.
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> across(-0.2, 1.2);
  std::vector<Vec3> rays;
  for (int n = 0; n < 450; ++n) {
    const int k = n % 9;
    const Vec3 corner = together.Point(k, 0);
    const Vec3 target = corner + across(rng) * (together.Point(k, 1) - corner) +
                        across(rng) * (together.Point(k, 3) - corner);
    rays.push_back(Normalise(target));
  }
  std::vector<std::vector<double>> expected(rays.size()), found(rays.size());
  for (int i = 0; i < 9; ++i) {
    MaqScene one = EmptyScene();
    square(one, i);
    Traced alone(one);
    alone.Prepare();
    RayState own(alone.ts);
    for (std::size_t r = 0; r < rays.size(); ++r) {
      HitList hits;
      for (int h = 0; h < RayCast(alone.ts, own, {0, 0, 0}, rays[r], hits, false); ++h) expected[r].push_back(hits[h].t);
    }
  }
  std::size_t listed = 0;
  for (std::size_t r = 0; r < rays.size(); ++r) {
    HitList hits;
    for (int h = 0; h < RayCast(together.ts, state, {0, 0, 0}, rays[r], hits, false); ++h) found[r].push_back(hits[h].t);
    std::sort(expected[r].begin(), expected[r].end());
    std::sort(found[r].begin(), found[r].end());
    EXPECT_EQ(found[r], expected[r]) << r;
    listed += found[r].size();
  }
  EXPECT_GT(listed, rays.size());  // rays meet several squares
}

// The wide tree of an object names each of its facets once, in a lane
// whose box holds the facet; the objects' wide trees fill the table.
TEST(RayCastNearestTest, WideTreeNamesEveryFacetOnceInABoxThatHoldsIt) {
  MaqScene s = EmptyScene();
  const int sizes[] = {1, 2, 3, 5, 6, 17, 1000};
  for (int i = 0; i < 7; ++i) AddSoup(s, sizes[i], 0, 10 + i);
  Traced t(s);
  t.Prepare();
  const PreparedScene& p = t.prepared;
  std::size_t wideNodes = 0;
  for (int k = 0; k < 7; ++k) {
    const ObjectBoxes& ob = p.TabOBJ[k];
    ASSERT_GE(ob.wideTreeRoot, 0) << k;
    std::vector<int> named, wide{ob.wideTreeRoot};
    while (!wide.empty()) {
      const WideFacetNode& node = p.wideTree[static_cast<std::size_t>(wide.back())];
      wide.pop_back();
      ++wideNodes;
      for (int c = 0; c < 4; ++c) {
        if (node.lo[0][c] > node.hi[0][c]) continue;  // unused
        if (node.child[c] >= 0) {
          wide.push_back(node.child[c]);
          continue;
        }
        const int facet = p.facetOrder[static_cast<std::size_t>(-node.child[c] - 1)];
        named.push_back(facet);
        const Facet& f = p.facets[static_cast<std::size_t>(facet)];
        for (const int v : {f.a, f.b, f.c}) {
          for (int a = 0; a < 3; ++a) {
            EXPECT_LE(node.lo[a][c], t.frame.points[v][a]);
            EXPECT_GE(node.hi[a][c], t.frame.points[v][a]);
          }
        }
      }
    }
    std::vector<int> facets;
    const ObjectEntry& e = t.frame.objects[k];
    for (int i = e.firstFacet; i < e.firstFacet + e.facetCount; ++i) {
      if (!IsDegenerate(p.facets[i]) && p.facets[i].a >= 0) facets.push_back(i);
    }
    std::sort(named.begin(), named.end());
    EXPECT_EQ(named, facets) << sizes[k] << " facets";
  }
  EXPECT_EQ(wideNodes, p.wideTree.size());
}

TEST(RayCastNearestTest, FacetTreesDoNotDependOnTheThreadCount) {
  MaqScene s = EmptyScene();
  for (int i = 0; i < 5; ++i) AddSoup(s, 150 + 70 * i, 0, 30 + i);
  // Nine copies of one triangle: their centres are equal on every axis, so
  // only the facet numbers order them, lower ones first.
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<int, 3>> faces;
  for (int i = 0; i < 9; ++i) {
    points.insert(points.end(), {{0, 0, 5}, {4, 0, 5}, {0, 4, 5}});
    faces.push_back({3 * i + 1, 3 * i + 2, 3 * i + 3});
  }
  AddFacets(s, points, faces);
  Traced one(s);
  one.settings.threads = 1;
  one.Prepare();
  const PreparedScene& p = one.prepared;
  const ObjectEntry& pile = one.frame.objects[5];
  std::vector<int> pileOrder;
  for (const int facet : p.facetOrder) {
    if (facet >= pile.firstFacet && facet < pile.firstFacet + pile.facetCount) pileOrder.push_back(facet);
  }
  ASSERT_EQ(pileOrder.size(), 9u);
  EXPECT_TRUE(std::is_sorted(pileOrder.begin(), pileOrder.end()));
  for (const int threads : {2, 4}) {
    Traced more(s);
    more.settings.threads = threads;
    more.Prepare();
    const PreparedScene& q = more.prepared;
    EXPECT_EQ(p.facetOrder, q.facetOrder) << threads << " threads";
    ASSERT_EQ(p.wideTree.size(), q.wideTree.size()) << threads << " threads";
    EXPECT_EQ(std::memcmp(p.wideTree.data(), q.wideTree.data(), p.wideTree.size() * sizeof(WideFacetNode)), 0)
        << threads << " threads";
    for (int k = 0; k < 6; ++k) EXPECT_EQ(p.TabOBJ[k].wideTreeRoot, q.TabOBJ[k].wideTreeRoot) << k;
  }
}

TEST(RayCastNearestTest, ShadowThroughOpaqueObjectsKeepsItsAnswer) {
  MaqScene s = EmptyScene();
  AddSoup(s, 2000, 0, 4);
  AddSquare(s, -100, 150);
  Traced t(s);
  t.Prepare();
  RayState state(t.ts);
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> spread(-0.2, 0.2);
  for (int n = 0; n < 2000; ++n) {
    const Vec3 D = Normalise(Vec3{spread(rng), spread(rng), -1});
    HitList all, shadow;
    const int full = RayCast(t.ts, state, {0, 0, 0}, D, all, false);
    if (full == 0) continue;
    const double nearest = all.Nearest().t;
    // Just short of the nearest hit the light is seen; just past it, not.
    EXPECT_EQ(RayCast(t.ts, state, {0, 0, 0}, D, shadow, true, nearest * (1 - 1e-9)), 0) << n;
    EXPECT_GT(RayCast(t.ts, state, {0, 0, 0}, D, shadow, true, nearest * (1 + 1e-9)), 0) << n;
    if (HasFailure()) return;
  }
}

TEST(RayCastNearestTest, ShadowWithAFullHitListStillDropsAFartherOpaqueHit) {
  // Thirty transparent squares, then an opaque one: the hit list keeps the
  // thirty nearest, so the opaque hit is not in it, as in the full cast.
  MaqScene s = EmptyScene();
  for (int i = 0; i < HitList::kMaxHits; ++i) AddSquare(s, static_cast<float>(-10 * i), 100);
  AddSquare(s, -400, 100);
  Traced t(s);
  t.Prepare();
  for (int i = 0; i < HitList::kMaxHits; ++i) t.frame.TabMAT[i].transmission = 50;
  RayState state(t.ts);
  const int last = HitList::kMaxHits;
  const Vec3 target = (1.0 / 3) * (t.Point(last, 0) + t.Point(last, 1) + t.Point(last, 2));
  HitList hits;
  ASSERT_EQ(RayCast(t.ts, state, {0, 0, 0}, Normalise(target), hits, true, 1e9), HitList::kMaxHits);
  for (int i = 0; i < hits.Count(); ++i) EXPECT_NE(hits[i].object, HitList::kMaxHits);
}

}  // namespace
}  // namespace tessaran
