// The render driver: the pixel loop over the preview sphere scene, the
// corner ring's ray counts, the colour arithmetic of the antialiasing, and
// images that do not depend on the thread count.
#include "renderer/engine/render_screen.h"

#include <gtest/gtest.h>

#include <array>

#include "renderer/engine/tests/preview_render.h"

namespace tessaran {
namespace {

using engine_samples::Rendered;

// The preview sphere at W × H; without it, one grey sky everywhere (a
// uniform image).
Rendered Render(int W, int H, const ScreenOptions& options, RenderPoll* poll = nullptr, bool sphere = true) {
  TraceSettings trace;
  if (!sphere) {
    const std::array<float, 3> grey{0.5f, 0.5f, 0.5f};
    trace.horizonUp = trace.zenith = trace.horizonDown = trace.nadir = grey;
  }
  return engine_samples::RenderPreview(W, H, options, trace, poll, sphere);
}

TEST(RenderScreenColours, DistanceAndMeanFollowTheChannels) {
  EXPECT_EQ(ColourDistance(0x000000, 0xFFFFFF), 1020);
  EXPECT_EQ(ColourDistance(0x102030, 0x102030), 0);
  // |1| + |2| + |3| plus the largest.
  EXPECT_EQ(ColourDistance(0x010203, 0x000000), 9);
  // Channel-wise integer means, truncated.
  EXPECT_EQ(MeanColour(0x0000FF, 0x0000FF, 0x000000, 0x000001), 0x00007F);
  EXPECT_EQ(MeanColour(0x102030, 0x102030, 0x102030, 0x102030), 0x102030u);
  EXPECT_EQ(AntialiasLevelOf(1, 3).depthLimit, 0);
  EXPECT_EQ(AntialiasLevelOf(2, 3).threshold, 100);
  EXPECT_EQ(AntialiasLevelOf(3, 9).depthLimit, 5);
  EXPECT_EQ(AntialiasLevelOf(3, 0).depthLimit, 2);
  EXPECT_EQ(WorkerCount(3), 3);
  EXPECT_GE(WorkerCount(0), 1);
}

TEST(RenderScreen, OneRayPerPixelAndTheSphereIsSeen) {
  const Rendered r = Render(40, 30, {});
  ASSERT_EQ(r.result, kScreenFinished);
  EXPECT_EQ(r.counters.rays, 40u * 30u);
  EXPECT_EQ(r.counters.supplementary, 0u);
  ASSERT_EQ(r.pixels.size(), 40u * 30u);
  // The sphere of the preview fills the middle with its orange-ish colour.
  const std::uint32_t centre = r.pixels[15 * 40 + 20];
  EXPECT_GT((centre >> 16) & 0xFF, (centre & 0xFF) + 20) << std::hex << centre;
}

TEST(RenderScreen, LevelOneTracesEveryCornerOnceAndNoMore) {
  ScreenOptions options;
  options.antialias = 1;
  const Rendered r = Render(21, 13, options);
  ASSERT_EQ(r.result, kScreenFinished);
  EXPECT_EQ(r.counters.rays, 22u * 14u);
  EXPECT_EQ(r.counters.supplementary, 0u);
}

TEST(RenderScreen, HigherLevelsRefineEdgesOnlyAndAUniformImageNever) {
  ScreenOptions options;
  options.antialias = 3;
  const Rendered edges = Render(24, 18, options);
  ASSERT_EQ(edges.result, kScreenFinished);
  EXPECT_GT(edges.counters.supplementary, 0u);
  // Level 3 refines a pixel at most twice: 5 + 4 × 5 samples.
  EXPECT_LE(edges.counters.supplementary, 24u * 18u * 25u);
  // Without the sphere every corner sees the same sky.
  const Rendered empty = Render(24, 18, options, nullptr, false);
  ASSERT_EQ(empty.result, kScreenFinished);
  EXPECT_EQ(empty.counters.supplementary, 0u);
}

TEST(RenderScreen, TheImageDoesNotDependOnTheThreadCount) {
  // 25 rows, and images of fewer rows than threads: the calling thread and
  // the helpers share the rows, and with antialiasing a row's pixels wait
  // for the corners of the row above, which another thread may trace.
  for (const int H : {25, 2, 1}) {
    for (int level : {0, 2}) {
      ScreenOptions one;
      one.threads = 1;
      one.antialias = level;
      const Rendered a = Render(33, H, one);
      for (int threads : {2, 3, 8}) {
        ScreenOptions more = one;
        more.threads = threads;
        const Rendered b = Render(33, H, more);
        EXPECT_EQ(a.pixels, b.pixels) << H << " rows, level " << level << ", " << threads << " threads";
        EXPECT_EQ(a.counters.rays, b.counters.rays) << H << " rows, level " << level << ", " << threads << " threads";
        EXPECT_EQ(a.counters.supplementary, b.counters.supplementary)
            << H << " rows, level " << level << ", " << threads << " threads";
      }
    }
  }
}

// A poll that asks to stop at once.
struct StopAtOnce : RenderPoll {
  int calls = 0;
  bool Poll(double fraction) override {
    EXPECT_GE(fraction, 0);
    EXPECT_LE(fraction, 1);
    ++calls;
    return true;
  }
};

TEST(RenderScreen, AStopRequestEndsTheRender) {
  StopAtOnce stop;
  const Rendered r = Render(64, 48, {}, &stop);
  EXPECT_EQ(r.result, kScreenStopped);
  EXPECT_GE(stop.calls, 1);
}

TEST(RenderScreen, AnEmptyImageIsAbandoned) {
  const Rendered r = Render(0, 0, {});
  EXPECT_EQ(r.result, kScreenAbandoned);
}

}  // namespace
}  // namespace tessaran
