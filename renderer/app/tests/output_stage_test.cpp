// The output stage over a real scene file: the files of each image and
// their numbers, the animation file decoded by the project's own readers,
// the planes, and a disk that fills while the animation is written.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "imaging/anm.h"
#include "imaging/avi.h"
#include "imaging/bmp.h"
#include "imaging/picture.h"
#include "renderer/app/frame_loop.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/output_stage.h"
#include "renderer/app/planes.h"
#include "renderer/app/renderer_shell.h"
#include "renderer/engine/render_screen.h"
#include "sample_scene.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

constexpr int kW = 40;
constexpr int kH = 30;
constexpr int kReadSlot = 1;
constexpr int kPictureSlot = 5;
constexpr std::uint32_t kRed = 0xFF0000;

// Image `number`: diagonal bands of six colours that move one step per
// image, so every frame differs and the reduction keeps every colour.
void DrawImage(int number) {
  static constexpr std::uint32_t kColours[] = {0x102030, 0xC04020, 0x20A040, 0x3050E0, 0xF0F0F0, 0x808000};
  ASSERT_EQ(VimCreate(kResultSlot, kW, kH, 24), 1);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) VimPutPixel(kResultSlot, kColours[((x + y) / 4 + number) % 6], y, x, 0);
  }
}

// Noise, which no delta compresses.
void DrawNoise(int number) {
  std::mt19937 random(static_cast<unsigned>(number) + 1);
  ASSERT_EQ(VimCreate(kResultSlot, kW, kH, 24), 1);
  for (int y = 0; y < kH; ++y) {
    for (int x = 0; x < kW; ++x) VimPutPixel(kResultSlot, random() & 0xFFFFFF, y, x, 0);
  }
}

struct PatternRenderer : ImageRenderer {
  int stopAt = -1;
  int abandonAt = -1;  // abandoned before the image was made
  int RenderImage(SceneLoop&, int number) override {
    if (number == stopAt) return 9;
    if (number == abandonAt) {
      VimFree(kResultSlot);
      return 0;
    }
    DrawImage(number);
    return 1;
  }
};

struct NeverStop : RenderPoll {
  bool Poll(double) override { return false; }
};

struct Messages : MessageReporter {
  std::vector<int> numbers;
  std::vector<std::string> texts;
  Messages() { InstallReporter(this); }
  ~Messages() override { InstallReporter(nullptr); }
  void Report(MessageKind, int number, std::string_view text) override {
    numbers.push_back(number);
    texts.emplace_back(text);
  }
};

// An animation file's frames as the pixels of 8-bit virtual images, and its
// palette (256 × blue, green, red, 0).
struct Decoded {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> palette = std::vector<std::uint8_t>(1024);
  std::vector<std::vector<std::uint8_t>> frames;
};

Decoded DecodeAnm(const fs::path& file) {
  Decoded d;
  AnmReader reader;
  int bits = 0;
  if (AnmOpenRead(reader, file, d.palette.data(), d.width, d.height, bits) != 1 || bits != 8) return {};
  const std::size_t stride = (static_cast<std::size_t>(d.width) + 3) / 4 * 4;
  // The file counts its last delta (back to the first frame) as a frame.
  const std::uint32_t frames = reader.header.frames - (reader.header.hasLastDelta ? 1 : 0);
  for (std::uint32_t f = 0; f < frames; ++f) {
    std::vector<std::uint8_t> frame(stride * static_cast<std::size_t>(d.height));
    if (lpfTab(reader, frame.data()) != static_cast<int>(f)) return {};
    d.frames.push_back(std::move(frame));
  }
  return d;
}

Decoded DecodeAvi(const fs::path& file) {
  Decoded d;
  AviReader reader;
  int bits = 0;
  if (AviOpen(reader, file, d.palette.data(), d.width, d.height, bits) != 1 || bits != 8) return {};
  const std::size_t stride = (static_cast<std::size_t>(d.width) + 3) / 4 * 4;
  for (std::uint32_t f = 0; f < reader.totalFrames; ++f) {
    std::vector<std::uint8_t> frame(stride * static_cast<std::size_t>(d.height));
    if (AviNextFrame(reader, frame.data()) == 0) return {};
    d.frames.push_back(std::move(frame));
  }
  return d;
}

// The visible bytes of two bottom-up 8-bit pictures of kW × kH agree.
bool SamePixels(const std::vector<std::uint8_t>& a, const VirtIm& b) {
  const std::size_t stride = (kW + 3) / 4 * 4;
  if (b.width != kW || b.height != kH || b.bytesPerPixel != 1 || a.size() < stride * kH) return false;
  for (std::size_t y = 0; y < kH; ++y) {
    if (!std::equal(a.begin() + y * stride, a.begin() + y * stride + kW, b.pixels.begin() + y * b.stride)) {
      return false;
    }
  }
  return true;
}

class OutputStageTest : public testing::Test {
 protected:
  void SetUp() override {
    SetOutputDirectory({});
    dir_ = fs::temp_directory_path() / ("tessaran-output-" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    file_ = dir_ / "FRAMES.MAQ";
    WriteSampleScenes(file_, 3);
    base_ = (dir_ / "FRAMES").string();
    project_.width = kW;
    project_.height = kH;
    project_.format24 = 0;  // TGA: not the screen images' extension
    project_.format8 = 2;   // BMP
    project_.output = kOutImages | kOut24BitImages | kOutScreenImages | kOutAnimation;
  }
  void TearDown() override {
    for (int slot : {kResultSlot, kReadSlot, kPictureSlot}) VimFree(slot);
    fs::remove_all(dir_);
  }

  // Renders the file's three keyframes with n = 4 in both intervals.
  int Render(ImageRenderer& renderer, int lastImage = -1) {
    SetSceneCount(project_, 3, 4);
    project_.lastImage = lastImage;
    RendererShell shell;
    shell.project = project_;
    const RenderSettings settings = EngineSettings(shell);
    EngineHooks hooks;
    SceneLoop loop(settings, hooks);
    NeverStop poll;
    OutputStage output(project_, base_);
    FrameLoop frames(project_, renderer, output, poll);
    const int result = loop.Run(file_, frames);
    output.Finish();
    computed_ = frames.Computed();
    written_ = output.Written();
    failures_ = output.Failures();
    animation_ = output.AnimationFile();
    return result;
  }

  // Writes a picture file of w × h: black on the left half, red on the right.
  fs::path HalfRedPicture(const std::string& name, int w, int h) {
    EXPECT_EQ(VimCreate(kPictureSlot, w, h, 24), 1);
    for (int y = 0; y < h; ++y) {
      for (int x = w / 2; x < w; ++x) VimPutPixel(kPictureSlot, kRed, y, x, 0);
    }
    const fs::path path = dir_ / (name + ".BMP");
    EXPECT_EQ(WriteBmp((dir_ / name).string(), -2, kPictureSlot, h), 0);
    VimFree(kPictureSlot);
    return path;
  }

  fs::path dir_;
  fs::path file_;
  std::string base_;
  RenderProject project_;
  std::vector<int> computed_;
  std::vector<fs::path> written_;
  int failures_ = -1;
  fs::path animation_;
};

TEST_F(OutputStageTest, ThreeKeyframesOfFourWriteNineNumberedImagesAndTheAnimation) {
  PatternRenderer renderer;
  EXPECT_EQ(Render(renderer), 1);
  EXPECT_EQ(failures_, 0);
  EXPECT_EQ(computed_, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  for (int n = 0; n <= 8; ++n) {
    EXPECT_TRUE(fs::exists(MakeOutputName(base_, n, ".TGA"))) << n;
    EXPECT_TRUE(fs::exists(MakeOutputName(base_, n, ".BMP"))) << n;
  }
  EXPECT_FALSE(fs::exists(MakeOutputName(base_, 9, ".TGA")));
  EXPECT_EQ(animation_, dir_ / "FRAMES.ANM");
  EXPECT_EQ(written_.size(), 19u);
  EXPECT_EQ(written_.back(), animation_);
  EXPECT_EQ(DecodeAnm(animation_).frames.size(), 9u);
}

// Both animation formats: every frame decodes to the 8-bit screen image of
// the same number, and one palette serves every image.
TEST_F(OutputStageTest, AnimationFramesEqualTheScreenImagesUnderOnePalette) {
  for (int format : {0, 1}) {
    SCOPED_TRACE(format);
    project_.animFormat = static_cast<std::int16_t>(format);
    project_.firstImage = 3;  // the animation starts at the first computed image, number 2
    PatternRenderer renderer;
    ASSERT_EQ(Render(renderer, 6), 1);
    ASSERT_EQ(failures_, 0);
    const Decoded d = format == 0 ? DecodeAnm(dir_ / "FRAMES.ANM") : DecodeAvi(dir_ / "FRAMES.AVI");
    ASSERT_EQ(d.width, kW);
    ASSERT_EQ(d.height, kH);
    ASSERT_EQ(d.frames.size(), 5u);
    for (int n = 2; n <= 6; ++n) {
      ASSERT_EQ(LoadPicture(MakeOutputName(base_, n, ".BMP"), kReadSlot, kOpaqueLoad, nullptr, 0), 1);
      EXPECT_TRUE(SamePixels(d.frames[static_cast<std::size_t>(n - 2)], VimSlot(kReadSlot))) << n;
      EXPECT_EQ(VimSlot(kReadSlot).palette, d.palette) << n;
    }
    // The frames differ: the palette is shared, not the picture.
    EXPECT_NE(d.frames[0], d.frames[1]);
    EXPECT_FALSE(fs::exists(MakeOutputName(base_, 1, ".BMP")));
  }
}

TEST_F(OutputStageTest, StoppedOrAbandonedImagesKeepTheAnimationWhole) {
  PatternRenderer renderer;
  renderer.stopAt = 3;
  EXPECT_EQ(Render(renderer), 9);
  EXPECT_EQ(failures_, 0);
  EXPECT_EQ(DecodeAnm(animation_).frames.size(), 3u);
  EXPECT_FALSE(fs::exists(dir_ / "FRAMES.ANM.tmp~"));

  // A first image abandoned before it had a picture: the animation opens
  // with the next one.
  PatternRenderer abandoning;
  abandoning.abandonAt = 0;
  EXPECT_EQ(Render(abandoning, 3), 1);
  EXPECT_EQ(DecodeAnm(animation_).frames.size(), 3u);
}

TEST_F(OutputStageTest, AnimationNeedsMoreThanOneKeyframeAndItsBit) {
  PatternRenderer renderer;
  project_.SetOutput(kOutAnimation, false);
  EXPECT_EQ(Render(renderer), 1);
  EXPECT_FALSE(fs::exists(dir_ / "FRAMES.ANM"));
  EXPECT_EQ(written_.size(), 18u);

  // One keyframe scene: a still image, no animation.
  RenderProject one = project_;
  one.SetOutput(kOutAnimation, true);
  SetSceneCount(one, 1, 4);
  OutputStage output(one, base_);
  DrawImage(0);
  output.OutputImage(0, true);
  output.Finish();
  EXPECT_FALSE(output.WantsAnimation());
  EXPECT_FALSE(fs::exists(dir_ / "FRAMES.ANM"));
  EXPECT_EQ(output.Failures(), 0);
}

// "BMP24" and "BMP" would write one name twice: the 24-bit image is kept
// whole and the clash is told once, not once per image.
TEST_F(OutputStageTest, ScreenImagesOfThe24BitImagesExtensionDoNotOverwriteThem) {
  project_.format24 = 5;
  Messages messages;
  PatternRenderer renderer;
  ASSERT_EQ(Render(renderer, 2), 1);
  EXPECT_EQ(failures_, 0);
  EXPECT_EQ(messages.texts.size(), 1u);
  EXPECT_EQ(written_.size(), 4u);  // three images and the animation
  for (int n = 0; n <= 2; ++n) {
    ASSERT_EQ(LoadPicture(MakeOutputName(base_, n, ".BMP"), kReadSlot, kOpaqueLoad, nullptr, 0), 1);
    EXPECT_EQ(VimSlot(kReadSlot).bytesPerPixel, 3) << n;
  }
  // The animation still gets its 8-bit frames.
  EXPECT_EQ(DecodeAnm(animation_).frames.size(), 3u);
}

// The foreground plane: its black pixels let the image show through, at
// the image's size and stretched from another size; a missing picture is
// reported with message 120, once for the whole render, and every image
// is written as computed.
TEST_F(OutputStageTest, ForegroundPlaneIsTransparentWhereBlack) {
  project_.output = kOutImages | kOut24BitImages | kOutFrontPlane;
  for (const auto& [w, h] : {std::pair{kW, kH}, std::pair{4, 3}}) {
    SCOPED_TRACE(w);
    project_.frontPlane = HalfRedPicture("FRONT" + std::to_string(w), w, h).string();
    PatternRenderer renderer;
    ASSERT_EQ(Render(renderer, 1), 1);
    ASSERT_EQ(LoadPicture(MakeOutputName(base_, 1, ".TGA"), kReadSlot, kOpaqueLoad, nullptr, 0), 1);
    DrawImage(1);
    for (int y = 0; y < kH; y += 7) {
      EXPECT_EQ(VimGetPixel(kReadSlot, y, 3), VimGetPixel(kResultSlot, y, 3)) << y;
      EXPECT_EQ(VimGetPixel(kReadSlot, y, kW - 2), static_cast<std::int32_t>(kRed)) << y;
    }
  }
  Messages messages;
  project_.frontPlane = (dir_ / "MISSING.BMP").string();
  PatternRenderer renderer;
  ASSERT_EQ(Render(renderer), 1);
  EXPECT_EQ(failures_, 0);
  EXPECT_EQ(computed_.size(), 9u);
  EXPECT_EQ(std::count(messages.numbers.begin(), messages.numbers.end(), kMsgFrontPlaneFailed), 1);
  ASSERT_EQ(LoadPicture(MakeOutputName(base_, 0, ".TGA"), kReadSlot, kOpaqueLoad, nullptr, 0), 1);
  DrawImage(0);
  EXPECT_EQ(VimGetPixel(kReadSlot, 5, kW - 2), VimGetPixel(kResultSlot, 5, kW - 2));
}

TEST_F(OutputStageTest, BackgroundPlaneFillsTheResultSlotForModesThatDoNotLoadIt) {
  project_.SetOutput(kOutBackPlane, true);
  project_.mode = kRayTracing;
  EXPECT_FALSE(FrameLoopLoadsBackPlane(project_));  // the ray tracer loads its own
  project_.mode = kPixel;
  EXPECT_TRUE(FrameLoopLoadsBackPlane(project_));

  project_.backPlane = HalfRedPicture("BACK", 4, 3).string();
  bool unreported = false;
  ASSERT_TRUE(LoadBackPlane(project_, 0, unreported));
  EXPECT_EQ(VimSlot(kResultSlot).width, static_cast<std::uint32_t>(kW));
  EXPECT_EQ(VimGetPixel(kResultSlot, kH - 1, kW - 1), static_cast<std::int32_t>(kRed));
  EXPECT_EQ(VimGetPixel(kResultSlot, 0, 0), 0);

  Messages messages;
  project_.backPlane = (dir_ / "MISSING.BMP").string();
  bool reported = false;
  EXPECT_FALSE(LoadBackPlane(project_, 0, reported));
  EXPECT_EQ(messages.numbers.back(), kMsgBackPlaneFailed);
  EXPECT_TRUE(reported);
  // The image starts black at its size, not with a part of a picture.
  EXPECT_EQ(VimSlot(kResultSlot).height, static_cast<std::uint32_t>(kH));
  EXPECT_EQ(VimGetPixel(kResultSlot, kH - 1, kW - 1), 0);
}

// A disk that fills while the animation is written: a clear error and a
// failed render, the images written before stay whole, and no animation
// file (nor its temporary) is left.
TEST_F(OutputStageTest, FullDiskWhileWritingTheAnimation) {
  for (int format : {0, 1}) {
    SCOPED_TRACE(format);
    project_.animFormat = static_cast<std::int16_t>(format);
    project_.output = kOutImages | kOut24BitImages | kOutAnimation;
    project_.format24 = 5;  // BMP: 3654 bytes an image, under the limit; the animation passes it
    SetSceneCount(project_, 3, 4);
    const pid_t child = fork();
    if (child == 0) {
      Messages messages;
      signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{5000, 5000};
      setrlimit(RLIMIT_FSIZE, &limit);
      OutputStage output(project_, base_);
      for (int n = 0; n < 4; ++n) {
        DrawNoise(n);
        output.OutputImage(n, n == 0);
      }
      output.Finish();
      const std::string name = output.AnimationFile().filename().string();
      const bool reported = std::any_of(messages.texts.begin(), messages.texts.end(),
                                        [&](const std::string& t) { return t.find(name) != std::string::npos; });
      _exit(output.Failures() == 1 && reported ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (int n = 0; n < 4; ++n) {
      ASSERT_EQ(LoadPicture(MakeOutputName(base_, n, ".BMP"), kReadSlot, kOpaqueLoad, nullptr, 0), 1) << n;
      DrawNoise(n);
      EXPECT_EQ(VimSlot(kReadSlot).pixels, VimSlot(kResultSlot).pixels) << n;
    }
    for (const auto& entry : fs::directory_iterator(dir_)) {
      const std::string name = entry.path().filename().string();
      EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
      EXPECT_EQ(name.find("FRAMES.A"), std::string::npos) << name;
    }
  }
}

}  // namespace
}  // namespace tessaran
