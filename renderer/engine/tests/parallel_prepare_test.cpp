// The frame's per-point and per-facet passes on several threads: every
// element handled once, and tables the same to the bit as one thread's.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "renderer/engine/facets.h"
#include "renderer/engine/parallel_ranges.h"
#include "renderer/engine/tests/engine_samples.h"

namespace tessaran {
namespace {

using namespace engine_samples;

TEST(ForRanges, EveryIndexOnceWhateverTheCut) {
  for (const std::size_t n : {0u, 1u, 5u, 999u, 1000u, 4099u}) {
    for (const int threads : {0, 1, 2, 3, 8}) {
      std::vector<std::atomic<int>> seen(n);
      ForRanges(n, threads, 100, [&](std::size_t begin, std::size_t end) {
        for (std::size_t i = begin; i < end; ++i) ++seen[i];
      });
      for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(seen[i].load(), 1) << n << " " << threads << " " << i;
    }
  }
  // No more threads than the grain allows, never none.
  EXPECT_EQ(RangeThreads(0, 4, 100), 1);
  EXPECT_EQ(RangeThreads(250, 4, 100), 2);
  EXPECT_EQ(RangeThreads(10000, 4, 100), 4);
  EXPECT_EQ(RangeThreads(10000, 0, 100), 1);
  EXPECT_EQ(RangeThreads(7, 3, 0), 3);
}

// A scene of more facets and points than one thread takes alone: a grid, a facet
// object with a face that names no point of it, and another grid after.
MaqScene ManyFacets() {
  MaqScene scene = EmptyScene();
  AddGrid(scene, 250, 160, [](int i, int j) { return std::array<float, 3>{2.f * i, 3.f * j, 0.01f * i * j}; }, 0x8FFF);
  std::vector<std::array<float, 3>> points;
  std::vector<std::array<int, 3>> triangles;
  for (int i = 0; i < 3000; ++i) {
    points.push_back({float(i), float(i % 7), 1});
    points.push_back({float(i) + 1, float(i % 5), 2});
    points.push_back({float(i), float(i % 3) + 1, 3});
    triangles.push_back({3 * i + 1, 3 * i + 2, i == 17 ? 9999 : 3 * i + 3});
  }
  AddFacets(scene, points, triangles);
  AddGrid(scene, 60, 200, [](int i, int j) { return std::array<float, 3>{-1.f * i, 0.5f * j, 7}; }, 0x8FFF);
  return scene;
}

TEST(ParallelPasses, FacetTableIsTheSameOnEveryThreadCount) {
  const MaqScene scene = ManyFacets();
  FrameTables frame = FrameOf(scene);
  EngineHooks hooks;
  FacetTable one;
  ASSERT_TRUE(BuildFacets(frame, one, hooks, 1));
  ASSERT_GT(one.size(), 40000u);
  EXPECT_TRUE(IsDegenerate(one[frame.objects[1].firstFacet + 17]));  // the face outside its object
  for (const int threads : {2, 3, 7}) {
    FacetTable more;
    ASSERT_TRUE(BuildFacets(frame, more, hooks, threads));
    ASSERT_EQ(more.size(), one.size());
    for (std::size_t i = 0; i < one.size(); ++i) {
      ASSERT_TRUE(one[i].a == more[i].a && one[i].b == more[i].b && one[i].c == more[i].c &&
                  std::memcmp(&one[i].normal, &more[i].normal, sizeof(Vec3)) == 0)
          << threads << " threads, slot " << i;
    }
  }
}

// Between two keyframes of a moving grid, with an object that only the
// first keyframe has: the points are placed alike on any thread count.
TEST(ParallelPasses, FramePointsAreTheSameOnEveryThreadCount) {
  MaqScene a = ManyFacets(), b = ManyFacets();
  for (auto& p : b.points) p = {p[0] + 3.5f, p[1] * 0.75f, p[2] - 11};
  b.objects[1].meshU = 1;  // no longer the same object: it stays as a has it
  Keyframe ka, kb;
  KeyframeFromScene(a, ka, nullptr);
  KeyframeFromScene(b, kb, nullptr);
  auto frameOn = [&](int threads) {
    RenderSettings settings;
    settings.threads = threads;
    ReferenceFrames references;
    StartReferenceFrames(ka, references);
    FrameTables frame;
    SetUpFrame(ka, kb, 0.3, settings, references, frame);
    return frame;
  };
  const FrameTables one = frameOn(1);
  ASSERT_EQ(one.points.size(), a.points.size());
  // Enough points for three threads.
  ASSERT_EQ(RangeThreads(one.points.size(), 3, 20000), 3);
  const int still = ka.objects[1].firstPoint + 5;
  const Vec3 expected = RenderCoordinates(one.camera, ToVec3(a.points[still]));
  EXPECT_EQ(one.points[still][1], static_cast<float>(expected[1]));
  for (const int threads : {2, 3}) {
    const FrameTables more = frameOn(threads);
    ASSERT_EQ(more.points.size(), one.points.size());
    EXPECT_EQ(std::memcmp(more.points.data(), one.points.data(), one.points.size() * sizeof(one.points[0])), 0)
        << threads << " threads";
  }
}

}  // namespace
}  // namespace tessaran
