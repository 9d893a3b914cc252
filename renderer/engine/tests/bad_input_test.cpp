// Scenes the engine must survive: empty objects, degenerate and coincident
// geometry, huge coordinates, pools too small, a stop request.
#include <gtest/gtest.h>

#include <cmath>

#include "renderer/engine/octree.h"
#include "renderer/engine/scene_loop.h"
#include "renderer/engine/tests/engine_samples.h"
#include "renderer/engine/vecmath.h"

namespace tessaran {
namespace {

using namespace engine_samples;

int Prepare(FrameTables& frame, PreparedScene& prepared, const RenderSettings& settings = {}) {
  EngineHooks hooks;
  return PrepareScene(frame, settings, hooks, prepared);
}

TEST(BadInput, ObjectsWithoutPointsAndScenesWithoutObjects) {
  MaqScene scene = EmptyScene();
  for (int k = 0; k < 20; ++k) AddObject(scene, {}, 0, 0, k % 2 ? 0x0FFF : 0x4FFF);
  AddFacets(scene, {}, {});
  AddFacets(scene, {}, {{1, 2, 3}, {4, 5, 6}});  // faces but no points
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  EXPECT_EQ(Prepare(frame, prepared), 1);
  EXPECT_FALSE(prepared.hasSceneBox);
  EXPECT_FALSE(prepared.UsesOctree());
  CandidateMarks marks = prepared.NewMarks();
  MarkCandidates(prepared, {}, {0, 0, -1}, marks);

  FrameTables none = FrameOf(EmptyScene());
  EXPECT_EQ(Prepare(none, prepared), 1);
  EXPECT_EQ(prepared.elementCount, 1);
}

TEST(BadInput, ZeroAreaFacetsAreNeverCandidates) {
  MaqScene scene = EmptyScene();
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<int, 3>> faces;
  for (int t = 0; t < 200; ++t) {
    points.push_back({float(t), 0, 0});
    points.push_back({float(t) + 1, 1, 1});
    points.push_back({float(t) + 2, 2, 2});
    faces.push_back({3 * t + 1, 3 * t + 2, 3 * t + 3});
  }
  AddFacets(scene, points, faces);
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  ASSERT_EQ(Prepare(frame, prepared), 1);
  for (const Facet& f : prepared.facets) EXPECT_TRUE(IsDegenerate(f));
  EXPECT_FALSE(prepared.UsesOctree());  // nothing that can be hit: an empty tree
}

TEST(BadInput, AllPointsCoincident) {
  MaqScene scene = EmptyScene();
  auto same = [](int, int) { return std::array<float, 3>{1, 1, 1}; };
  AddGrid(scene, 30, 30, same, 0x4FFF);  // smooth polygon grid
  AddGrid(scene, 30, 30, same, 0x0FFF);  // curved
  AddFacets(scene, std::vector<std::array<float, 3>>(300, {1, 1, 1}),
            std::vector<std::array<int, 3>>(100, {1, 2, 3}), 0x4CCC);
  for (int k = 0; k < 20; ++k) AddGrid(scene, 3, 3, same, 0x8FFF);
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  ASSERT_EQ(Prepare(frame, prepared), 1);
  // The normals sum to nothing and stay unnormalised.
  EXPECT_EQ(Length(prepared.NPhong[0]), 0);
  // Flat boxes were widened, and the ray through the point finds them.
  const Vec3 point = ToVec3(frame.points[0]);
  CandidateMarks marks = prepared.NewMarks();
  MarkCandidates(prepared, {}, Normalise(point), marks);
  EXPECT_TRUE(marks.IsCandidate(1));
  int leaves = 0;
  DescendQuadTree(prepared, 1, {}, Normalise(point), [&](const Boite&, double, double) { return ++leaves, true; });
  EXPECT_EQ(leaves, 56 * 56);
}

TEST(BadInput, HugeCoordinates) {
  MaqScene scene = EmptyScene();
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<int, 3>> faces;
  for (int t = 0; t < 40; ++t) {
    const float x = 1e30f * (t - 20);
    points.insert(points.end(), {{x, -1e30f, -1e30f}, {x + 1e30f, -1e30f, 1e30f}, {x, 1e30f, 0}});
    faces.push_back({3 * t + 1, 3 * t + 2, 3 * t + 3});
  }
  AddFacets(scene, points, faces);
  AddGrid(scene, 4, 4, [](int i, int j) { return std::array<float, 3>{1e30f * i, 1e30f * j, -1e30f}; });
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  ASSERT_EQ(Prepare(frame, prepared), 1);
  ASSERT_TRUE(prepared.UsesOctree());
  for (int t = 0; t < 40; ++t) {
    const Facet& f = prepared.facets[t];
    const Vec3 centre = (1.0 / 3) * (ToVec3(frame.points[f.a]) + ToVec3(frame.points[f.b]) + ToVec3(frame.points[f.c]));
    CandidateMarks marks = prepared.NewMarks();
    MarkCandidates(prepared, {}, Normalise(centre), marks);
    EXPECT_TRUE(marks.IsCandidate(prepared.FacetElement(t))) << t;
  }
}

TEST(BadInput, MoreListElementsThanThePoolsAllowTracesWithoutTheOctree) {
  // Large triangles through the whole scene land in every leaf: far more
  // list elements than the capped pool holds.
  MaqScene scene = EmptyScene();
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<int, 3>> faces;
  for (int t = 0; t < 300; ++t) {
    const float z = -50 + t / 3.f;
    points.insert(points.end(), {{-500, -500, z}, {500, -500, z + 1}, {0, 500, z}});
    faces.push_back({3 * t + 1, 3 * t + 2, 3 * t + 3});
  }
  AddFacets(scene, points, faces);
  FrameTables frame = FrameOf(scene);
  RenderSettings settings;
  settings.limitPools = true;
  settings.octreeMaxNodeElem = 1;
  MessageLog log;
  PreparedScene prepared;
  ASSERT_EQ(Prepare(frame, prepared, settings), 1);
  EXPECT_TRUE(log.Has(274));
  EXPECT_FALSE(prepared.UsesOctree());
}

TEST(BadInput, PoolsThatCannotBeHadAbandonTheRender) {
  MaqScene scene = EmptyScene();
  AddGrid(scene, 50, 50, [](int i, int j) { return std::array<float, 3>{float(i), float(j), 0}; });
  FrameTables frame = FrameOf(scene);
  RenderSettings settings;
  settings.poolMemory = 4096;
  MessageLog log;
  PreparedScene prepared;
  EXPECT_EQ(Prepare(frame, prepared, settings), 0);
  EXPECT_TRUE(log.Has(272));
}

TEST(BadInput, StopDuringPreparation) {
  struct Stopper : EngineHooks {
    bool Stop(double) override { return true; }
  } hooks;
  MaqScene scene = EmptyScene();
  AddGrid(scene, 10, 10, [](int i, int j) { return std::array<float, 3>{float(i), float(j), 0}; }, 0x0FFF);
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  EXPECT_EQ(PrepareScene(frame, RenderSettings{}, hooks, prepared), 0);
}

TEST(BadInput, FacesNamingPointsOutsideTheirObject) {
  MaqScene scene = EmptyScene();
  AddFacets(scene, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{1, 2, 3}, {1, 2, 9}, {0, 1, 2}});
  scene.objects[0].words[1] = 5;  // more faces than the file holds
  FrameTables frame = FrameOf(scene);
  PreparedScene prepared;
  ASSERT_EQ(Prepare(frame, prepared), 1);
  ASSERT_EQ(prepared.facets.size(), 5u);
  EXPECT_FALSE(IsDegenerate(prepared.facets[0]));
  for (int i = 1; i < 5; ++i) EXPECT_TRUE(IsDegenerate(prepared.facets[i])) << i;
}

TEST(BadInput, KeyframesOfDifferentObjectsAreEachShownAsTheyAre) {
  MaqScene a = EmptyScene(), b = EmptyScene();
  AddGrid(a, 2, 2, [](int i, int j) { return std::array<float, 3>{float(i), float(j), 0}; });
  AddGrid(b, 3, 2, [](int i, int j) { return std::array<float, 3>{float(i), float(j), 5}; });
  AddGrid(b, 2, 2, [](int i, int j) { return std::array<float, 3>{float(i), float(j), 5}; });
  // Per frame: its object count and points.
  struct Sink : IntervalSink {
    std::vector<std::pair<int, std::size_t>> frames;
    int RunInterval(SceneLoop& loop, int n, bool last) override {
      const int count = FramesOfInterval(n, last);
      for (int k = 1; k <= count; ++k) {
        loop.SetUpFrame(k, count, n);
        frames.emplace_back(loop.Frame().objectCount, loop.Frame().points.size());
      }
      return 0;
    }
  } sink;
  RenderSettings settings;
  settings.imageCounts = {3};
  EngineHooks hooks;
  SceneLoop loop(settings, hooks);
  EXPECT_EQ(loop.Run(2, [&](int n, MaqScene& s) { s = n == 1 ? a : b; return MaqStatus::Ok; }, sink), 1);
  // The first keyframe's grid (not the second's first, a mesh of another
  // size) until the second keyframe itself.
  using Frame = std::pair<int, std::size_t>;
  EXPECT_EQ(sink.frames, (std::vector<Frame>{{1, 4}, {1, 4}, {1, 4}, {2, 10}}));
}

}  // namespace
}  // namespace tessaran
