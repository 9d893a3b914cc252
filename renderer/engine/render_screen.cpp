#include "renderer/engine/render_screen.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "imaging/ilbm.h"
#include "imaging/picture.h"
#include "platform/console.h"
#include "renderer/engine/octree.h"
#include "renderer/engine/parallel_ranges.h"
#include "renderer/engine/resume_ring.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

constexpr int kMsgBackPlane = 117;     // "Affichage plan arriere impossible"
constexpr int kMsgRenderStatus = 119;  // "Calcul de Rendu"
constexpr int kMsgVirtualImage = 116;  // "Initialisation image virtuelle."
constexpr int kMsgEstimateSeconds = 301;
constexpr int kMsgEstimateMinutes = 302;
constexpr int kMsgEstimateHours = 303;
constexpr int kMsgEstimateStatus = 306;  // "Evaluation du Temps de Calcul"
constexpr int kMsgPartialImage = 311;    // cannot load the beginning of the image [%s]
constexpr int kMsgResumeLater = 312;     // resume the computation later?

int Channel(std::uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

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

// One pass of the pixel loop over an image, from a start position on.
struct PassPlan {
  int slot = kResultSlot;
  bool antialias = false;
  AntialiasLevel level;
  ScreenPosition start;
  const CornerRing* ring = nullptr;  // the corners before the start; null: traced again
  ScreenPosition stopAt{-1, -1};  // stop as if asked to, here; x < 0: never
  bool stopAtStart = false;        // stop before the first pixel
  double base = 0;  // progress fractions of the pass
  double span = 1;
};

struct PassOutcome {
  bool finished = false;
  ScreenPosition at;  // where it stopped
  CornerRing ring;    // with antialiasing: the ring that position needs
};

// Rows are jobs handed out in order to the workers, the calling thread
// among them; it also writes the finished rows in order and polls. Without antialiasing job j
// is pixel row j. With it, job j traces corner row j, then (once row j − 1
// is traced) computes pixel row j − 1 from the two.
class Pass {
 public:
  Pass(const Screen& screen, const PassPlan& plan, int workers, RenderPoll* poll)
      : screen_(screen), plan_(plan), workers_(workers), poll_(poll), W_(screen.width), H_(screen.height) {}

  PassOutcome Run(ScreenCounters& total);

 private:
  std::size_t Across() const { return static_cast<std::size_t>(W_) + 1; }
  int FirstColumn(int j) const { return j == plan_.start.y ? plan_.start.x : 0; }
  // The first pixel column job j computes.
  int FirstPixel(int j) const {
    return plan_.antialias && j == plan_.start.y ? std::max(plan_.start.x - 1, 0) : FirstColumn(j);
  }
  // The pixel columns job j computes stop here.
  int PixelLimit(int j) const {
    if (plan_.stopAt.x < 0 || j != plan_.stopAt.y) return W_;
    return plan_.antialias ? plan_.stopAt.x - 1 : plan_.stopAt.x;
  }
  bool Stopping() const { return stop_.load(std::memory_order_relaxed); }
  void SeedCorners(ScreenCounters& counts);
  bool Job(RayState& state, int j, ScreenCounters& counts);
  void Commit(int j, int end);
  CornerRing RingAt(ScreenPosition at) const;

  const Screen& screen_;
  const PassPlan& plan_;
  int workers_;
  RenderPoll* poll_;
  int W_;
  int H_;
  std::vector<std::uint32_t> corners_;
  std::vector<std::uint32_t> pixels_;
  std::unique_ptr<std::atomic<bool>[]> cornersReady_;
  std::vector<int> progress_;  // pixel columns done of each job's pixel row
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
};

void Pass::SeedCorners(ScreenCounters& counts) {
  const int C = RingSize(W_);
  const long long k = static_cast<long long>(plan_.start.y) * static_cast<long long>(Across()) + plan_.start.x;
  const CornerRing* ring = plan_.ring;
  if (ring && (static_cast<int>(ring->entries.size()) != C || ring->writePosition != k % C)) ring = nullptr;
  // Every ray is seeded from its image point: corners traced again equal
  // the ones the stopped render traced.
  RayState state(screen_.scene);
  for (long long i = std::max(0LL, k - C); i < k; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (ring) {
      corners_[at] = ring->entries[at % static_cast<std::size_t>(C)];
    } else {
      corners_[at] = screen_.Trace(state, static_cast<double>(at % Across()), static_cast<double>(at / Across()));
      ++counts.rays;
    }
  }
}

bool Pass::Job(RayState& state, int j, ScreenCounters& counts) {
  const std::size_t index = static_cast<std::size_t>(j - plan_.start.y);
  if (plan_.stopAt.x >= 0 && (j > plan_.stopAt.y || (j == plan_.stopAt.y && PixelLimit(j) < 0))) return false;
  const int limit = PixelLimit(j);
  // The columns done are told through progress_ only when the job ends:
  // a store per pixel would bounce its cache line between the workers.
  if (!plan_.antialias) {
    for (int x = FirstColumn(j); x < limit; ++x) {
      if (Stopping()) {
        progress_[index] = x;
        return false;
      }
      pixels_[static_cast<std::size_t>(j) * W_ + x] = screen_.Trace(state, x, j);
      ++counts.rays;
    }
    progress_[index] = std::max(limit, FirstColumn(j));
    return limit == W_;
  }
  if (j == plan_.stopAt.y && j == 0) return false;
  const std::size_t across = Across();
  for (int x = FirstColumn(j); x <= W_; ++x) {
    if (Stopping()) return false;
    corners_[j * across + x] = screen_.Trace(state, x, j);
    ++counts.rays;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    cornersReady_[index] = true;
  }
  changed_.notify_all();
  if (j == 0) return true;
  if (j - 1 >= plan_.start.y) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return cornersReady_[index - 1].load() || Stopping(); });
    if (!cornersReady_[index - 1]) return false;
  }
  Subdivider split{screen_, plan_.level, state, counts};
  const int y = j - 1;
  for (int x = FirstPixel(j); x < limit; ++x) {
    if (Stopping()) {
      progress_[index] = x;
      return false;
    }
    const std::uint32_t* up = &corners_[y * across + x];
    const std::uint32_t* down = up + across;
    pixels_[static_cast<std::size_t>(y) * W_ + x] = split.Square({up[0], up[1], down[0], down[1]}, x, y, 1, 0);
  }
  progress_[index] = std::max(limit, FirstPixel(j));
  return limit == W_;
}

// Writes the pixels job j finished, up to column `end`. A black ray
// leaves the back plane (or the cleared image) showing.
void Pass::Commit(int j, int end) {
  const int y = plan_.antialias ? j - 1 : j;
  if (y < 0) return;
  for (int x = FirstPixel(j); x < end; ++x) {
    const std::uint32_t c = pixels_[static_cast<std::size_t>(y) * W_ + x];
    if (c != 0) VimPutPixel(plan_.slot, c, static_cast<std::uint32_t>(y), static_cast<std::uint32_t>(x), 0);
  }
}

// The last ring-size corners before `at`, each at its place in the ring.
CornerRing Pass::RingAt(ScreenPosition at) const {
  const int C = RingSize(W_);
  const long long k = static_cast<long long>(at.y) * static_cast<long long>(Across()) + at.x;
  CornerRing ring;
  ring.entries.assign(static_cast<std::size_t>(C), 0);
  ring.writePosition = static_cast<int>(k % C);
  for (long long i = std::max(0LL, k - C); i < k; ++i) {
    ring.entries[static_cast<std::size_t>(i % C)] = corners_[static_cast<std::size_t>(i)];
  }
  return ring;
}

PassOutcome Pass::Run(ScreenCounters& total) {
  const int firstJob = plan_.start.y;
  const int lastJob = plan_.antialias ? H_ : H_ - 1;
  const int jobs = lastJob - firstJob + 1;
  pixels_.assign(static_cast<std::size_t>(W_) * H_, 0);
  if (plan_.antialias) corners_.assign(Across() * (static_cast<std::size_t>(H_) + 1), 0);
  cornersReady_ = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(std::max(jobs, 1)));
  progress_.resize(static_cast<std::size_t>(std::max(jobs, 0)));
  for (int i = 0; i < jobs; ++i) {
    cornersReady_[i] = false;
    progress_[i] = FirstPixel(firstJob + i);
  }
  ScreenCounters seedCounts;
  if (plan_.antialias) SeedCorners(seedCounts);

  auto ended = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(std::max(jobs, 1)));
  auto complete = std::make_unique<std::atomic<bool>[]>(static_cast<std::size_t>(std::max(jobs, 1)));
  for (int i = 0; i < jobs; ++i) ended[i] = complete[i] = false;
  std::vector<ScreenCounters> counts(static_cast<std::size_t>(workers_));
  int written = 0;
  // The poll runs before the first pixel too, so a stop asked before the
  // loop starts computes nothing.
  bool stopped = plan_.stopAtStart || (poll_ && poll_->Poll(plan_.base));
  if (!stopped && jobs > 0) {
    std::atomic<int> next{0};
    auto runJob = [&](int i, RayState& state, ScreenCounters& mine) {
      complete[i] = Job(state, firstJob + i, mine);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ended[i] = true;
      }
      changed_.notify_all();
    };
    auto work = [&](int w) {
      RayState state(screen_.scene);
      // Counted here and handed over at the end: neighbouring counters
      // share a cache line.
      ScreenCounters mine;
      for (int i = next++; i < jobs && !Stopping(); i = next++) runJob(i, state, mine);
      counts[static_cast<std::size_t>(w)] = mine;
    };
    // Fewer threads when they cannot be had: the rows they would have
    // taken go to the others.
    HelperGroup helpers = StartHelpers(workers_, work);
    // The calling thread is a worker too, so that no more threads run than
    // asked for: between its rows it writes the rows finished, in order,
    // and polls. Once no row is left it waits for the helpers' last rows.
    RayState state(screen_.scene);
    ScreenCounters mine;
    bool rowsLeft = true;
    while (written < jobs && !stopped) {
      if (rowsLeft) {
        const int i = next++;
        if (i < jobs) {
          runJob(i, state, mine);
        } else {
          rowsLeft = false;
        }
      }
      if (!rowsLeft && !SpinUntil([&] { return ended[written].load(); })) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, std::chrono::milliseconds(20), [&] { return ended[written].load(); });
      }
      for (; written < jobs && ended[written]; ++written) {
        if (!complete[written]) {
          stopped = true;
          break;
        }
        Commit(firstJob + written, W_);
      }
      if (!stopped && written < jobs && poll_ && poll_->Poll(plan_.base + plan_.span * written / jobs)) {
        stopped = true;
      }
    }
    counts[0] = mine;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    helpers.Join();
  }
  for (const auto& c : counts) {
    total.rays += c.rays;
    total.supplementary += c.supplementary;
  }
  total.rays += seedCounts.rays;

  // Rows that finished while the workers were stopping are kept too.
  while (written < jobs && complete[written]) Commit(firstJob + written++, W_);
  PassOutcome outcome;
  if (written >= jobs) {
    outcome.finished = true;
    return outcome;
  }
  const int j = firstJob + written;
  const int done = progress_[static_cast<std::size_t>(written)];
  if (!plan_.antialias) {
    outcome.at = {done, j};
    Commit(j, done);
  } else if (!cornersReady_[written]) {
    outcome.at = {FirstColumn(j), j};
  } else {
    outcome.at = {done + 1, j};
    Commit(j, done);
  }
  if (plan_.antialias) outcome.ring = RingAt(outcome.at);
  return outcome;
}

// A position the loops can start from: inside the image (pixels), or
// inside the corner grid (antialiasing).
bool StartUsable(ScreenPosition p, int W, int H, bool antialias) {
  if (p.x < 0 || p.y < 0) return false;
  return antialias ? p.y <= H && p.x <= W : p.y < H && p.x < W;
}

// The picture of the frame's slot as the resume needs it: W × H, loaded
// as it is (never stretched).
bool LoadPartialImage(const std::filesystem::path& file, int W, int H, int frame) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) return false;
  PictureHeader header;
  if (LoadPicture(file, kResultSlot, kHeaderOnly, &header, frame) != 1) return false;
  if (header.width != static_cast<std::uint32_t>(W) || header.height != static_cast<std::uint32_t>(H)) return false;
  return LoadPicture(file, kResultSlot, kOpaqueLoad, nullptr, frame) == 1;
}

std::uint64_t NowMilliseconds() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

Answer AskEstimate(long long T) {
  // A clock set back gives a negative estimate; none exceeds what the
  // message's fields can show.
  T = std::clamp(T, 0LL, 99LL * 3600 * 1000);
  if (T < 60) return AskQuestion(QuestionButtons::YesNo, kMsgEstimateSeconds, static_cast<int>(T));
  if (T < 3600) {
    return AskQuestion(QuestionButtons::YesNo, kMsgEstimateMinutes, static_cast<int>(T / 60), static_cast<int>(T % 60));
  }
  return AskQuestion(QuestionButtons::YesNo, kMsgEstimateHours, static_cast<int>(T / 3600),
                     static_cast<int>(T % 3600 / 60), static_cast<int>(T % 60));
}

ScreenMapping PassMapping(int W, int H, int pixelRatio, bool antialias) {
  return antialias ? ImageMapping(W, pixelRatio, W / 2 - 1.0, H / 2 + 1.0) : ImageMapping(W, H, pixelRatio);
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

bool EstimatePossible(int width, int height) { return width >= 21 && height >= 21; }

double EstimatePixelRatio(int width, int height) {
  return static_cast<double>(width) * height / (static_cast<double>(width / 10) * (height / 10));
}

double EstimateFactor(int width, int height, std::uint64_t supplementary) {
  if (supplementary == 0) return EstimatePixelRatio(width, height);
  const double n = static_cast<double>(width / 10 + 1) * (height / 10 + 1);
  const double r = (static_cast<double>(width) + 1) * (height + 1) / n;
  const double e = static_cast<double>(supplementary);
  return (std::sqrt(r) * e + n * r) / (n + e);
}

long long EstimateSeconds(double factor, long long seconds, long long milliseconds) {
  return static_cast<long long>(std::trunc(seconds * factor + std::trunc(milliseconds * factor / 1000)));
}

int RenderScreen(FrameTables& frame, const RenderSettings& settings, const TraceSettings& trace,
                 const TextureMaps* maps, EngineHooks& hooks, RenderPoll* poll, const ScreenOptions& options,
                 PreparedScene& prepared, ScreenCounters* counters, ScreenStop* stop) {
  Trace(frame.previewMaterial ? "RenderScreen Q1VoirMat\n" : "RenderScreen \n");
  if (stop) *stop = {};
  if (!PrepareScene(frame, settings, hooks, prepared)) {
    // No earlier image may pass for this one.
    if (!options.prepareOnly) VimFree(kResultSlot);
    return kScreenAbandoned;
  }
  if (options.prepareOnly) return kScreenFinished;

  struct Release {
    PreparedScene& prepared;
    ~Release() { ReleaseScene(prepared); }
  } release{prepared};

  const int W = frame.width;
  const int H = frame.height;
  const int number = trace.frameNumber;
  const bool antialias = options.antialias >= 1;
  hooks.Status(kMsgVirtualImage);
  if (W < 1 || H < 1 || !VimCreate(kResultSlot, W, H, 24)) {
    VimFree(kResultSlot);
    return kScreenAbandoned;
  }
  if (!options.backPlane.empty() && LoadPicture(options.backPlane, kResultSlot, kOpaqueLoad, nullptr, number) != 1) {
    ShowMessage(MessageKind::Warning, kMsgBackPlane);
  }

  // Resume: the partial image, and with antialiasing the corner ring.
  ScreenPosition start;
  CornerRing ring;
  bool ringRead = false;
  const bool resumeFiles = !options.resumeBase.empty();
  if (options.resume != ScreenPosition{}) {
    const auto image = MakeOutputName(options.resumeBase, number, ".I24");
    if (!resumeFiles || !StartUsable(options.resume, W, H, antialias)) {
      Trace("reprise impossible en (%d,%d)\n", options.resume.x, options.resume.y);
    } else if (!LoadPartialImage(image, W, H, number)) {
      ShowMessage(MessageKind::Warning, kMsgPartialImage, image.string().c_str());
      // The start over needs the back plane again under a cleared image.
      VimCreate(kResultSlot, W, H, 24);
      if (!options.backPlane.empty()) LoadPicture(options.backPlane, kResultSlot, kOpaqueLoad, nullptr, number);
    } else {
      start = options.resume;
    }
    if (antialias && start != ScreenPosition{}) {
      int oldSize = 0;
      const RingStatus status =
          ReadRingFile(MakeOutputName(options.resumeBase, number, ".ALS"), RingSize(W), ring, &oldSize);
      ringRead = status == RingStatus::Ok;
      if (status == RingStatus::OtherSize) Trace("CyclSize=%d OldCyclSize=%d\n", RingSize(W), oldSize);
      if (ringRead) Trace("fread CyclSize=%d OK\n", RingSize(W));
    }
  }

  TraceScene scene{&frame, &prepared, &settings, maps, trace};
  const int workers = WorkerCount(options.threads);
  const AntialiasLevel level = AntialiasLevelOf(options.antialias, options.maxAntialiasDepth);
  bool stopFirst = false;

  // The time estimate: the same loops at a tenth of the size.
  if (options.estimate && EstimatePossible(W, H) && VimCreate(kEstimateSlot, W / 10, H / 10, 24)) {
    hooks.Status(kMsgEstimateStatus);
    const int w = W / 10;
    const int h = H / 10;
    ScreenPosition from{start.x / 10, start.y / 10};
    if (!StartUsable(from, w, h, antialias)) from = {};
    Trace("PRECALCUL POUR EVALUATION DU TEMPS\n");
    Trace("NumVimTrace=%d W=%d h=%d commence en (%d,%d)\n", kEstimateSlot, w, h, from.x, from.y);
    const Screen small{scene, frame.camera, PassMapping(w, h, settings.pixelRatio, antialias), w, h};
    PassPlan plan;
    plan.slot = kEstimateSlot;
    plan.antialias = antialias;
    plan.level = level;
    plan.start = from;
    ScreenCounters estimateCounts;
    const std::uint64_t began = NowMilliseconds();
    const PassOutcome outcome = Pass(small, plan, workers, poll).Run(estimateCounts);
    const std::uint64_t ended = NowMilliseconds();
    VimFree(kEstimateSlot);
    if (!outcome.finished) {
      stopFirst = true;
    } else {
      const long long s = static_cast<long long>(ended / 1000) - static_cast<long long>(began / 1000);
      const long long ms = static_cast<long long>(ended % 1000) - static_cast<long long>(began % 1000);
      const double k = EstimateFactor(W, H, estimateCounts.supplementary);
      const long long T = EstimateSeconds(k, s, ms);
      Trace("RealTimeFactor=%f\n", EstimatePixelRatio(W, H));
      Trace("Chrono:%lld soit normal:%lld avec (Corrected %f)=%lld MilliCount=%lld\n", s, 100 * s, k, T, ms);
      if (AskEstimate(T) != Answer::Yes) {
        VimFree(kResultSlot);
        return kScreenAbandoned;
      }
    }
  }

  hooks.Status(kMsgRenderStatus);
  Trace("starting rendering at (%d,%d)\n", start.x, start.y);
  const Screen screen{scene, frame.camera,
                      antialias ? PassMapping(W, H, settings.pixelRatio, true) : frame.mapping, W, H};
  PassPlan plan;
  plan.antialias = antialias;
  plan.level = level;
  plan.start = start;
  plan.ring = ringRead ? &ring : nullptr;
  plan.stopAt = options.stopAt;
  plan.stopAtStart = stopFirst || (options.stopAt.x >= 0 && options.stopAt == start);
  ScreenCounters counts;
  PassOutcome outcome = Pass(screen, plan, workers, poll).Run(counts);
  if (antialias) {
    Trace("Nb rayon lancé standard:%llu Antialias supl:%llu proportion(%f)\n",
          static_cast<unsigned long long>(counts.rays), static_cast<unsigned long long>(counts.supplementary),
          static_cast<double>(counts.supplementary) * (H + 1) / (W + 1));
  }
  if (counters) {
    counters->rays += counts.rays;
    counters->supplementary += counts.supplementary;
  }
  if (outcome.finished) return kScreenFinished;

  // Interrupted: with a position to resume from, the user may keep it.
  if (stop) {
    stop->stopped = true;
    stop->at = outcome.at;
  }
  if (outcome.at == ScreenPosition{} || frame.previewMaterial || !resumeFiles ||
      AskQuestion(QuestionButtons::YesNo, kMsgResumeLater) != Answer::Yes) {
    return kScreenStopped;
  }
  // The image first: a ring kept from an earlier stop still matches the
  // position its project holds, and a partial image with more pixels done
  // than that position is harmless.
  bool saved = WriteI24(options.resumeBase, number, W, H, kResultSlot) == 0;
  if (saved && antialias) {
    const auto file = MakeOutputName(options.resumeBase, number, ".ALS");
    saved = WriteRingFile(file, outcome.ring);
    if (!saved) Reporter().Report(MessageKind::Error, -1, "cannot write " + file.string());
  }
  if (!saved) {
    Reporter().Report(MessageKind::Error, -1,
                      "the resume files of image " + std::to_string(number) +
                          " could not be saved: the computation cannot be resumed, it starts again");
  }
  if (stop) stop->saved = saved;
  return kScreenStopped;
}

}  // namespace tessaran
