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
//
// A stop leaves a resume position: every pixel before it (in row order) is
// finished and written, none after it is. Saved for resume, the partial
// image (".I24") and, with antialiasing, the corner ring (".ALS") let a
// later render go on at that position and give the same image as one that
// was never stopped.
#pragma once

#include <cstdint>
#include <string>

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

// The slot of the time-estimate pre-pass.
constexpr int kEstimateSlot = 3;

// A position of the pixel loop: the next pixel to compute or, with
// antialiasing, the next pixel corner (corner (x, y) completes pixel
// (x − 1, y − 1)). (0, 0) is the start.
struct ScreenPosition {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPosition&) const = default;
};

struct ScreenOptions {
  int threads = 0;    // worker threads; 0: every core
  int antialias = 0;  // 0: off; quality level 1, 2 or 3
  int maxAntialiasDepth = 3;  // "MAX_ANTIALIAS_DEPTH", kept within 2 … 5
  bool prepareOnly = false;   // build the tables and keep them in `prepared`
  // Where an interrupted render goes on, and the name its resume files are
  // formed from (MakeOutputName with the frame number; empty: no resume
  // files are read or written).
  ScreenPosition resume;
  std::string resumeBase;
  bool estimate = false;   // the time-estimate pre-pass and its question
  std::string backPlane;   // picture shown where a ray returns black; empty: none
  // Stops at this position as a stop request would; x < 0: never.
  ScreenPosition stopAt{-1, -1};
};

// How a render that did not finish stopped.
struct ScreenStop {
  bool stopped = false;
  bool saved = false;     // the resume files are written
  ScreenPosition at;      // the resume position
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


// The time estimate of the pre-pass at W÷10 × H÷10 for an image W × H:
// only images of 21 × 21 pixels and more get one. The factor k is the
// pixel-count ratio without supplementary rays; with e of them it weighs
// the corner ratio r by the refined corners. The estimate is
// trunc(s × k + trunc(ms × k ÷ 1000)) seconds from the whole seconds s and
// the difference ms of the millisecond fields the pre-pass took.
bool EstimatePossible(int width, int height);
double EstimatePixelRatio(int width, int height);
double EstimateFactor(int width, int height, std::uint64_t supplementary);
long long EstimateSeconds(double factor, long long seconds, long long milliseconds);

// Computes the image of `frame` (width × height of the frame tables).
// `prepared` receives the tables; they are released at the end unless
// prepare-only. `poll` may be null. 1 finished, 0 abandoned (an error or a
// refused estimate; the result slot is then freed so that nothing is
// written of it), 9 stopped by the user, saved for resume or not: the
// render ends either way. How it stopped goes to *stop.
int RenderScreen(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                 const TextureMaps* maps, EngineHooks& hooks, RenderPoll* poll, const ScreenOptions& options,
                 PreparedScene& prepared, ScreenCounters* counters = nullptr, ScreenStop* stop = nullptr);

}  // namespace tessaran
