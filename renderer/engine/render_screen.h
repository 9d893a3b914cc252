// The render driver (`RenderScreen`): one image of the frame set up by the
// scene loop. Prepares the engine tables and the octree, casts the primary
// rays on worker threads (one `RayState` each), without antialiasing or
// through the pixel corners (level 1: the corner mean; levels 2 and 3:
// adaptive subdivision), and writes every non-black pixel into virtual
// image slot 0, then releases the tables.
//
// Threads: rows are handed out one at a time; every ray's rounding is
// seeded from its image point, so the image and the supplementary ray
// count are the same whatever the thread count. The render poll runs on
// the calling thread only.
#pragma once

#include <cstdint>

#include "platform/report.h"
#include "renderer/engine/engine.h"
#include "renderer/engine/raytrace.h"

namespace tessaran {

class TextureMaps;

constexpr int kScreenAbandoned = 0;
constexpr int kScreenFinished = 1;
constexpr int kScreenStopped = 9;

// The slot the image is computed into.
constexpr int kResultSlot = 0;

struct ScreenOptions {
  int threads = 0;    // worker threads; 0: every core
  int antialias = 0;  // 0: off; quality level 1, 2 or 3
  int maxAntialiasDepth = 3;  // "MAX_ANTIALIAS_DEPTH", kept within 2 … 5
  bool prepareOnly = false;   // build the tables and keep them in `prepared`
};

struct ScreenCounters {
  std::uint64_t rays = 0;           // standard rays
  std::uint64_t supplementary = 0;  // antialias refinement rays
};

// Depth limit and colour threshold of an antialias level (1 … 3).
struct AntialiasLevel {
  int depthLimit = 0;
  int threshold = 1024;
};
AntialiasLevel AntialiasLevelOf(int level, int maxAntialiasDepth);

// Sum of the absolute channel differences plus the largest of them.
int ColourDistance(std::uint32_t a, std::uint32_t b);
// Channel-wise integer mean of four packed colours.
std::uint32_t MeanColour(std::uint32_t c0, std::uint32_t c1, std::uint32_t c2, std::uint32_t c3);

// The worker count for a requested count (0: every core, at least 1).
int WorkerCount(int requested);

// Computes the image of `frame` (width × height of the frame tables).
// `prepared` receives the tables; they are released at the end unless
// prepare-only. `poll` may be null. 1 finished, 0 abandoned, 9 stopped.
int RenderScreen(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                 const TextureMaps* maps, EngineHooks& hooks, RenderPoll* poll, const ScreenOptions& options,
                 PreparedScene& prepared, ScreenCounters* counters = nullptr);

}  // namespace tessaran
