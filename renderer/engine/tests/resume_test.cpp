// Stopping and resuming a render: the resume position, the partial image
// and the corner ring give the same image as a render never stopped; the
// ring file's reader; the time estimate and the back plane.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cmath>
#include <filesystem>
#include <map>
#include <vector>

#include "imaging/ilbm.h"
#include "imaging/picture.h"
#include "renderer/engine/octree.h"
#include "renderer/engine/render_screen.h"
#include "renderer/engine/resume_ring.h"
#include "renderer/engine/scene_loop.h"
#include "renderer/engine/tests/preview_render.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

using engine_samples::Rendered;

// The preview sphere at W × H: black sky around a shaded sphere. Without
// objects and sky every ray returns black.
Rendered Render(int W, int H, const ScreenOptions& options, RenderPoll* poll = nullptr, bool empty = false) {
  TraceSettings trace;
  trace.frameNumber = 3;
  if (empty) trace.zenith = trace.horizonUp = trace.horizonDown = trace.nadir = {};
  return engine_samples::RenderPreview(W, H, options, trace, poll, !empty);
}

// Records the questions asked and answers them.
struct Questions : QuestionAsker {
  std::map<int, Answer> answers;
  std::vector<int> asked;
  Answer Ask(int number, std::string_view, QuestionButtons) override {
    asked.push_back(number);
    auto found = answers.find(number);
    return found == answers.end() ? Answer::Yes : found->second;
  }
};

class Resume : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-resume-" + std::to_string(getpid()));
    fs::create_directories(dir_);
    InstallAsker(&questions_);
  }
  void TearDown() override {
    InstallAsker(nullptr);
    fs::remove_all(dir_);
  }
  ScreenOptions Options(int level, int threads) const {
    ScreenOptions o;
    o.antialias = level;
    o.threads = threads;
    o.resumeBase = (dir_ / "IMG").string();
    return o;
  }
  fs::path File(const char* extension) const { return MakeOutputName((dir_ / "IMG").string(), 3, extension); }

  fs::path dir_;
  Questions questions_;
};

constexpr int kW = 30;
constexpr int kH = 22;

TEST_F(Resume, StoppedThenResumedEqualsAnUninterruptedRender) {
  for (int level : {0, 1, 3}) {
    const Rendered whole = Render(kW, kH, Options(level, 2));
    ASSERT_EQ(whole.result, kScreenFinished);
    if (level == 3) {
      EXPECT_GT(whole.counters.supplementary, 0u);
    }
    // Mid-row, at a row's start and on the sphere's edge; with the corners
    // of antialiasing also at the last corner of a row.
    std::vector<ScreenPosition> stops{{7, 5}, {0, 11}, {19, 16}};
    if (level > 0) stops.push_back({kW, 9});
    for (int threads : {1, 2}) {
      for (ScreenPosition at : stops) {
        SCOPED_TRACE("level " + std::to_string(level) + " threads " + std::to_string(threads) + " at (" +
                     std::to_string(at.x) + "," + std::to_string(at.y) + ")");
        ScreenOptions first = Options(level, threads);
        first.stopAt = at;
        const Rendered stopped = Render(kW, kH, first);
        ASSERT_EQ(stopped.result, kScreenStopped);
        EXPECT_TRUE(stopped.stop.saved);
        EXPECT_EQ(stopped.stop.at, at);
        EXPECT_NE(stopped.pixels, whole.pixels);
        EXPECT_TRUE(fs::exists(File(".I24")));
        EXPECT_EQ(fs::exists(File(".ALS")), level > 0);

        ScreenOptions second = Options(level, 3 - threads);
        second.resume = stopped.stop.at;
        const Rendered resumed = Render(kW, kH, second);
        ASSERT_EQ(resumed.result, kScreenFinished);
        EXPECT_EQ(resumed.pixels, whole.pixels);
        // Only the rest is traced again.
        EXPECT_LT(resumed.counters.rays, whole.counters.rays);
        fs::remove(File(".ALS"));
      }
    }
  }
}

TEST_F(Resume, AStopRequestLeavesAPositionEveryPixelBeforeWhichIsDone) {
  // The poll asks to stop once some rows are done, wherever the workers are.
  struct OnceStarted : RenderPoll {
    bool Poll(double fraction) override { return fraction > 0.1; }
  } poll;
  const Rendered whole = Render(160, 120, Options(2, 2));
  const Rendered stopped = Render(160, 120, Options(2, 2), &poll);
  ASSERT_EQ(stopped.result, kScreenStopped);
  ASSERT_TRUE(stopped.stop.saved);
  // Every pixel before the position is the finished one.
  const ScreenPosition at = stopped.stop.at;
  const std::size_t before = static_cast<std::size_t>(at.y - 1) * 160 + static_cast<std::size_t>(at.x - 1);
  for (std::size_t i = 0; i < before && i < whole.pixels.size(); ++i) ASSERT_EQ(stopped.pixels[i], whole.pixels[i]);
  ScreenOptions again = Options(2, 1);
  again.resume = at;
  EXPECT_EQ(Render(160, 120, again).pixels, whole.pixels);
}

TEST_F(Resume, ARingOfAnotherWidthOrDamagedIsNotUsedAndTheImageIsStillRight) {
  const Rendered whole = Render(kW, kH, Options(3, 2));
  ScreenOptions first = Options(3, 2);
  first.stopAt = {12, 8};
  ASSERT_EQ(Render(kW, kH, first).result, kScreenStopped);
  Bytes good;
  ASSERT_TRUE(ReadWholeFile(File(".ALS"), good));

  CornerRing other;
  other.entries.assign(RingSize(kW + 2), 0xFFFFFF);
  Bytes truncated(good.begin(), good.begin() + 20);
  for (const Bytes& bytes : {SerializeRing(other), truncated, Bytes{}}) {
    ASSERT_TRUE(WriteFileAtomically(File(".ALS"), bytes));
    ScreenOptions again = Options(3, 2);
    again.resume = {12, 8};
    // The corners the ring would have held are traced again.
    EXPECT_EQ(Render(kW, kH, again).pixels, whole.pixels);
  }
}

TEST_F(Resume, AMissingPartialImageOrAResumeOutsideTheImageStartsAfresh) {
  const Rendered whole = Render(kW, kH, Options(1, 2));
  for (ScreenPosition at : {ScreenPosition{5, 5}, ScreenPosition{kW + 5, 2}, ScreenPosition{-1, 3}}) {
    ScreenOptions again = Options(1, 2);
    again.resume = at;
    const Rendered r = Render(kW, kH, again);
    ASSERT_EQ(r.result, kScreenFinished);
    EXPECT_EQ(r.pixels, whole.pixels);
    // Every corner traced: a fresh start.
    EXPECT_EQ(r.counters.rays, static_cast<std::uint64_t>(kW + 1) * (kH + 1));
  }
  // A partial image of another size is not stretched into place.
  ScreenOptions first = Options(0, 1);
  first.stopAt = {3, 4};
  ASSERT_EQ(Render(kW, kH, first).result, kScreenStopped);
  ScreenOptions wider = Options(0, 1);
  wider.resume = {3, 4};
  const Rendered r = Render(kW + 4, kH, wider);
  EXPECT_EQ(r.counters.rays, static_cast<std::uint64_t>(kW + 4) * kH);
}

TEST_F(Resume, NoIsAnsweredOrNothingIsDoneYet) {
  // No to "resume later": nothing is written, the render still stops.
  questions_.answers[312] = Answer::No;
  ScreenOptions first = Options(1, 2);
  first.stopAt = {4, 4};
  Rendered r = Render(kW, kH, first);
  EXPECT_EQ(r.result, kScreenStopped);
  EXPECT_FALSE(r.stop.saved);
  EXPECT_FALSE(fs::exists(File(".I24")));
  // A stop before the first pixel leaves nothing to resume: no question.
  questions_.answers.clear();
  questions_.asked.clear();
  first.stopAt = {0, 0};
  r = Render(kW, kH, first);
  EXPECT_EQ(r.result, kScreenStopped);
  EXPECT_TRUE(questions_.asked.empty());
}

TEST_F(Resume, AFullDiskKeepsTheResumeFilesSavedBefore) {
  ScreenOptions first = Options(1, 2);
  first.stopAt = {7, 5};
  ASSERT_TRUE(Render(kW, kH, first).stop.saved);
  Bytes image, ring;
  ASSERT_TRUE(ReadWholeFile(File(".I24"), image));
  ASSERT_TRUE(ReadWholeFile(File(".ALS"), ring));
  // A full disk, made by a file-size limit in a child process: the later
  // stop is not saved and the earlier files stay whole.
  const pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    setrlimit(RLIMIT_FSIZE, &limit);
    ScreenOptions later = Options(1, 1);
    later.stopAt = {12, 9};
    const Rendered r = Render(kW, kH, later);
    _exit(r.result == kScreenStopped && !r.stop.saved ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  Bytes imageAfter, ringAfter;
  ASSERT_TRUE(ReadWholeFile(File(".I24"), imageAfter));
  ASSERT_TRUE(ReadWholeFile(File(".ALS"), ringAfter));
  EXPECT_EQ(imageAfter, image);
  EXPECT_EQ(ringAfter, ring);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 2);
}

TEST(RingFile, ReadsWhatWasWrittenAndRefusesTheRestSafely) {
  CornerRing ring;
  ring.entries = {1, 2, 3, 0xFFFFFF, 5};
  ring.writePosition = 4;
  const Bytes bytes = SerializeRing(ring);
  ASSERT_EQ(bytes.size(), 4u * 7u);
  EXPECT_EQ(bytes[0], std::byte{5});  // little-endian size first
  CornerRing read;
  ASSERT_EQ(ParseRing(bytes, 5, read), RingStatus::Ok);
  EXPECT_EQ(read.entries, ring.entries);
  EXPECT_EQ(read.writePosition, 4);

  int size = 0;
  EXPECT_EQ(ParseRing(bytes, 6, read, &size), RingStatus::OtherSize);
  EXPECT_EQ(size, 5);
  EXPECT_EQ(ParseRing(Bytes(bytes.begin(), bytes.end() - 1), 5, read), RingStatus::Damaged);
  EXPECT_EQ(ParseRing(Bytes(bytes.begin(), bytes.begin() + 3), 5, read), RingStatus::Damaged);
  Bytes badPosition = bytes;
  badPosition[4] = std::byte{5};
  EXPECT_EQ(ParseRing(badPosition, 5, read), RingStatus::Damaged);
  // A huge size that matches what the caller expects is still checked
  // against the bytes the file holds.
  Bytes huge = bytes;
  huge[0] = huge[1] = huge[2] = std::byte{0xFF};
  huge[3] = std::byte{0x0F};
  EXPECT_EQ(ParseRing(huge, 0x0FFFFFFF, read), RingStatus::Damaged);
  EXPECT_EQ(read.entries, ring.entries);  // untouched by the refusals
}

TEST(TimeEstimate, SmallImagesGetNoneAndTheFormulaHolds) {
  EXPECT_FALSE(EstimatePossible(20, 20));
  EXPECT_FALSE(EstimatePossible(400, 20));
  EXPECT_TRUE(EstimatePossible(21, 21));
  // Without supplementary rays: the pixel-count ratio.
  EXPECT_DOUBLE_EQ(EstimateFactor(100, 50, 0), 100.0);
  EXPECT_DOUBLE_EQ(EstimateFactor(25, 25, 0), 625.0 / 4);
  // n = 11 × 6 corners, r = 101 × 51 / n; e = n gives the mean of √r and r.
  const double r = 101.0 * 51 / 66;
  EXPECT_NEAR(EstimateFactor(100, 50, 66), (std::sqrt(r) + r) / 2, 1e-9);
  // The millisecond difference may be negative; each product is truncated.
  EXPECT_EQ(EstimateSeconds(100, 2, -500), 150);
  EXPECT_EQ(EstimateSeconds(2.5, 1, 999), 4);
  EXPECT_EQ(EstimateSeconds(1.5, 0, 0), 0);
}

TEST_F(Resume, TheEstimateIsAskedOnlyAbove20PixelsAndNoAbandons) {
  ScreenOptions o = Options(1, 2);
  o.estimate = true;
  Rendered r = Render(20, 20, o);
  EXPECT_EQ(r.result, kScreenFinished);
  EXPECT_TRUE(questions_.asked.empty());
  questions_.answers[301] = Answer::No;
  r = Render(40, 30, o);
  ASSERT_EQ(questions_.asked.size(), 1u);
  EXPECT_EQ(questions_.asked[0], 301);
  EXPECT_EQ(r.result, kScreenAbandoned);
  // An abandoned image leaves no result for the output stage.
  EXPECT_TRUE(r.pixels.empty());
  // Yes: the real pass follows, with its own rays only counted.
  questions_.answers.clear();
  r = Render(40, 30, o);
  EXPECT_EQ(r.result, kScreenFinished);
  EXPECT_EQ(r.counters.rays, 41u * 31u);
}

TEST_F(Resume, TheBackPlaneShowsWhereRaysReturnBlack) {
  // A uniform blue picture as the back plane.
  ASSERT_TRUE(VimCreate(kResultSlot, kW, kH, 24));
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) VimPutPixel(kResultSlot, 0x0000C0, y, x, 0);
  }
  const fs::path plane = dir_ / "PLANE.I24";
  ASSERT_EQ(WriteI24(plane, -1, kW, kH, kResultSlot), 0);
  VimFree(kResultSlot);
  ScreenOptions o = Options(0, 2);
  o.backPlane = plane.string();
  const Rendered r = Render(kW, kH, o, nullptr, true);
  ASSERT_EQ(r.result, kScreenFinished);
  EXPECT_EQ(r.pixels, std::vector<std::uint32_t>(kW * kH, 0x0000C0u));
  // Where rays meet something, the plane is covered.
  const Rendered scene = Render(kW, kH, o);
  EXPECT_EQ(scene.pixels, Render(kW, kH, Options(0, 2)).pixels);
  // A missing back plane is reported and the render goes on.
  o.backPlane = (dir_ / "NONE.I24").string();
  EXPECT_EQ(Render(kW, kH, o).result, kScreenFinished);
}

}  // namespace
}  // namespace tessaran
