#include "renderer/engine/render_screen.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "renderer/engine/octree.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

constexpr int kMsgRenderStatus = 119;  // "Calcul de Rendu"
constexpr int kMsgVirtualImage = 116;  // "Initialisation image virtuelle."

int Channel(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

// Runs `row` for rows 0 … rows − 1 on the workers, each with its own ray
// state, while the calling thread hands the finished rows in order to
// `finished` and polls. False when the poll asked to stop.
class RowRunner {
 public:
  using RowFn = std::function<void(RayState&, int, ScreenCounters&)>;
  using DoneFn = std::function<void(int)>;

  RowRunner(const TraceScene& scene, int workers, RenderPoll* poll) : scene_(scene), workers_(workers), poll_(poll) {}

  bool Run(int rows, double base, double span, const RowFn& row, const DoneFn& finished, ScreenCounters& total) {
    // The poll runs before the first pixel too, so a stop asked before the
    // loop starts computes nothing.
    if (poll_ && poll_->Poll(base)) return false;
    auto done = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(rows));
    for (int y = 0; y < rows; ++y) done[y] = false;
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable rowDone;
    std::vector<ScreenCounters> counts(static_cast<std::size_t>(workers_));

    auto work = [&](int w) {
      RayState state(scene_);
      for (int y = next++; y < rows && !stop; y = next++) {
        row(state, y, counts[w]);
        done[y] = true;
        std::lock_guard<std::mutex> lock(mutex);
        rowDone.notify_one();
      }
    };
    std::vector<std::thread> threads;
    for (int w = 0; w < workers_; ++w) threads.emplace_back(work, w);

    int written = 0;
    while (written < rows) {
      {
        std::unique_lock<std::mutex> lock(mutex);
        rowDone.wait_for(lock, std::chrono::milliseconds(20), [&] { return done[written].load(); });
      }
      while (written < rows && done[written]) finished(written++);
      if (poll_ && poll_->Poll(base + span * written / rows)) {
        stop = true;
        break;
      }
    }
    for (auto& t : threads) t.join();
    for (const auto& c : counts) {
      total.rays += c.rays;
      total.supplementary += c.supplementary;
    }
    return written == rows;
  }

 private:
  const TraceScene& scene_;
  int workers_;
  RenderPoll* poll_;
};

// What the pixel loops share.
struct Screen {
  const TraceScene& scene;
  const Camera& camera;
  ScreenMapping mapping;
  int width;
  int height;

  std::uint32_t Trace(RayState& state, double px, double py) const {
    const CameraRay ray = PrimaryRay(camera, mapping, px, py);
    return TracePrimary(scene, state, ray.origin, ray.direction, px, py);
  }
};

void PutRow(const std::vector<std::uint32_t>& pixels, int width, int y) {
  for (int x = 0; x < width; ++x) {
    const std::uint32_t c = pixels[static_cast<std::size_t>(y) * width + x];
    // A black ray leaves the back plane (or the cleared image) showing.
    if (c != 0) VimPutPixel(kResultSlot, c, static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(x), 0);
  }
}

// Adaptive subdivision of one square of side `size` whose upper left corner
// is (x0, y0); c[0 … 3] upper left, upper right, lower left, lower right.
struct Subdivider {
  const Screen& screen;
  AntialiasLevel level;
  RayState& state;
  ScreenCounters& counts;

  std::uint32_t Square(std::array<std::uint32_t, 4> c, double x0, double y0, double size, int depth) {
    ++depth;
    const std::uint32_t m = MeanColour(c[0], c[1], c[2], c[3]);
    if (depth >= level.depthLimit) return m;
    // Midpoints top, left, right, bottom and the centre, each traced at most
    // once for this square and shared by its quarters.
    const double h = size / 2;
    const double at[5][2] = {{x0 + h, y0}, {x0, y0 + h}, {x0 + size, y0 + h}, {x0 + h, y0 + size}, {x0 + h, y0 + h}};
    std::array<std::uint32_t, 5> mid{};
    std::array<bool, 5> traced{};
    auto sample = [&](int i) {
      if (!traced[i]) {
        mid[i] = screen.Trace(state, at[i][0], at[i][1]);
        traced[i] = true;
        ++counts.supplementary;
      }
      return mid[i];
    };
    enum { kTop, kLeft, kRight, kBottom, kCentre };
    for (int i = 0; i < 4; ++i) {
      if (ColourDistance(c[i], m) <= level.threshold) continue;
      switch (i) {
        case 0: c[0] = Square({c[0], sample(kTop), sample(kLeft), sample(kCentre)}, x0, y0, h, depth); break;
        case 1: c[1] = Square({sample(kTop), c[1], sample(kCentre), sample(kRight)}, x0 + h, y0, h, depth); break;
        case 2: c[2] = Square({sample(kLeft), sample(kCentre), c[2], sample(kBottom)}, x0, y0 + h, h, depth); break;
        case 3:
          c[3] = Square({sample(kCentre), sample(kRight), sample(kBottom), c[3]}, x0 + h, y0 + h, h, depth);
          break;
      }
    }
    return MeanColour(c[0], c[1], c[2], c[3]);
  }
};

// One ray per pixel, centre (W÷2 − 0.5, H÷2 + 0.5).
bool PlainPass(const Screen& screen, RowRunner& runner, ScreenCounters& counts) {
  const int W = screen.width;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(W) * screen.height);
  return runner.Run(
      screen.height, 0, 1,
      [&](RayState& state, int y, ScreenCounters& c) {
        for (int x = 0; x < W; ++x) pixels[static_cast<std::size_t>(y) * W + x] = screen.Trace(state, x, y);
        c.rays += static_cast<std::uint64_t>(W);
      },
      [&](int y) { PutRow(pixels, W, y); }, counts);
}

// One ray per pixel corner, centre (W÷2 − 1, H÷2 + 1); then each pixel
// from its four corners, refined where the level asks for it.
bool CornerPass(const Screen& screen, AntialiasLevel level, RowRunner& runner, ScreenCounters& counts) {
  const int W = screen.width;
  const int H = screen.height;
  const std::size_t across = static_cast<std::size_t>(W) + 1;
  std::vector<std::uint32_t> corners(across * (H + 1));
  if (!runner.Run(
          H + 1, 0, 0.5,
          [&](RayState& state, int y, ScreenCounters& c) {
            for (int x = 0; x <= W; ++x) corners[y * across + x] = screen.Trace(state, x, y);
            c.rays += across;
          },
          [](int) {}, counts)) {
    return false;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(W) * H);
  return runner.Run(
      H, 0.5, 0.5,
      [&](RayState& state, int y, ScreenCounters& c) {
        Subdivider split{screen, level, state, c};
        for (int x = 0; x < W; ++x) {
          const std::uint32_t* up = &corners[y * across + x];
          const std::uint32_t* down = up + across;
          pixels[static_cast<std::size_t>(y) * W + x] = split.Square({up[0], up[1], down[0], down[1]}, x, y, 1, 0);
        }
      },
      [&](int y) { PutRow(pixels, W, y); }, counts);
}

}  // namespace

AntialiasLevel AntialiasLevelOf(int level, int maxAntialiasDepth) {
  switch (level) {
    case 2: return {2, 100};
    case 3: return {std::clamp(maxAntialiasDepth, 2, 5), 24};
  }
  return {0, 1024};
}

int ColourDistance(std::uint32_t a, std::uint32_t b) {
  int sum = 0;
  int most = 0;
  for (int shift : {0, 8, 16}) {
    const int d = std::abs(Channel(a, shift) - Channel(b, shift));
    sum += d;
    most = std::max(most, d);
  }
  return sum + most;
}

std::uint32_t MeanColour(std::uint32_t c0, std::uint32_t c1, std::uint32_t c2, std::uint32_t c3) {
  std::uint32_t mean = 0;
  for (int shift : {0, 8, 16}) {
    const int m = (Channel(c0, shift) + Channel(c1, shift) + Channel(c2, shift) + Channel(c3, shift)) / 4;
    mean |= static_cast<std::uint32_t>(m) << shift;
  }
  return mean;
}

int WorkerCount(int requested) {
  if (requested > 0) return requested;
  return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

int RenderScreen(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                 const TextureMaps* maps, EngineHooks& hooks, RenderPoll* poll, const ScreenOptions& options,
                 PreparedScene& prepared, ScreenCounters* counters) {
  std::fputs("RenderScreen \n", stderr);
  if (!PrepareScene(frame, settings, hooks, prepared)) return kScreenAbandoned;
  if (options.prepareOnly) return kScreenFinished;

  struct Release {
    PreparedScene& prepared;
    ~Release() { ReleaseScene(prepared); }
  } release{prepared};

  const int W = frame.width;
  const int H = frame.height;
  hooks.Status(kMsgVirtualImage);
  if (W < 1 || H < 1 || !VimCreate(kResultSlot, W, H, 24)) return kScreenAbandoned;

  hooks.Status(kMsgRenderStatus);
  TraceScene scene{&frame, &prepared, &settings, maps, trace};
  RowRunner runner(scene, WorkerCount(options.threads), poll);
  ScreenCounters counts;
  bool finished = false;
  if (options.antialias >= 1) {
    const ScreenMapping corners = ImageMapping(W, settings.pixelRatio, W / 2 - 1.0, H / 2 + 1.0);
    const Screen screen{scene, frame.camera, corners, W, H};
    finished = CornerPass(screen, AntialiasLevelOf(options.antialias, options.maxAntialiasDepth), runner, counts);
    std::fprintf(stderr, "Nb rayon lancé standard:%llu Antialias supl:%llu proportion(%f)\n",
                 static_cast<unsigned long long>(counts.rays), static_cast<unsigned long long>(counts.supplementary),
                 static_cast<double>(counts.supplementary) * (H + 1) / (W + 1));
  } else {
    const Screen screen{scene, frame.camera, frame.mapping, W, H};
    finished = PlainPass(screen, runner, counts);
  }
  if (counters) {
    counters->rays += counts.rays;
    counters->supplementary += counts.supplementary;
  }
  return finished ? kScreenFinished : kScreenStopped;
}

}  // namespace tessaran
