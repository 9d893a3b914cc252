// Output settings: presets, format lists and their enabling rules, the
// image-count arithmetic, and the frame loop's image numbering over a real
// scene file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <numeric>

#include "renderer/app/frame_loop.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/renderer_shell.h"
#include "sample_scene.h"

namespace tessaran {
namespace {

TEST(OutputSettings, TypingIntoTheResolutionDialogChangesOnlyTheCustomEntry) {
  ResolutionPresets presets;
  EXPECT_EQ(presets.Line(0), "320 * 200 ratio 120% (MCGA)");
  EXPECT_EQ(presets.Line(5), "1024 * 683 ratio 100% (Dia. 24x36)");
  RenderProject copy;
  presets.Choose(1, copy);
  EXPECT_EQ(copy.width, 640);
  EXPECT_EQ(copy.pixelRatio, 1000);
  presets.TypeWidth(777);
  EXPECT_EQ(presets.Selected(), kCustomPreset);
  EXPECT_EQ(presets.Line(kCustomPreset), "777 * 100 ratio 100% (CUSTOM)");
  EXPECT_EQ(presets.Line(1), "640 * 480 ratio 100% (VGA)");
}

TEST(OutputSettings, FormatListsAndTheirBatchNames) {
  EXPECT_EQ(Format24Index("bmp24"), 5);
  EXPECT_EQ(Format24Index("TGA10"), 1);
  EXPECT_EQ(Format24Index("LBM"), -1);
  EXPECT_EQ(Format8Index("PCX"), 1);
  EXPECT_EQ(AnimFormatIndex("AVI"), 1);
  EXPECT_EQ(Format24(2).text, "IFF (.i24)");
  EXPECT_EQ(Format8(0).text, "IFF (.LBM)");
  EXPECT_EQ(AnimFormat(0).text, "ANIM (.ANM)");

  RenderProject p;
  EXPECT_EQ(AnimationName(p), "");
  p.SetSceneName("C:\\SCENES\\DEMO.MAQ");
  EXPECT_EQ(AnimationName(p), "C:/SCENES/DEMO.ANM");
  p.animFormat = 1;
  EXPECT_EQ(AnimationName(p), "C:/SCENES/DEMO.AVI");
}

TEST(OutputSettings, FormatsFollowTheDisplayDepth) {
  RenderProject copy;
  copy.output = kOutImages | kOutScreenImages | kOut24BitImages;
  FormatChoices c = OpenFormatDialog(copy, kBatchDisplayDepth);
  EXPECT_FALSE(c.screenImages);
  EXPECT_TRUE(c.trueColour);
  EXPECT_FALSE(copy.Output(kOutScreenImages));
  CloseFormatDialog(copy);
  EXPECT_TRUE(copy.Output(kOutImages));

  // An 8-bit display in wireframe mode gives no 24-bit images.
  copy.output = kOutImages | kOut24BitImages;
  copy.mode = kWireframe;
  c = OpenFormatDialog(copy, 8);
  EXPECT_TRUE(c.screenImages);
  EXPECT_FALSE(c.trueColour);
  CloseFormatDialog(copy);
  EXPECT_FALSE(copy.Output(kOutImages));

  // Choosing polygon mode on such a display asks for message 95.
  copy.mode = kPixel;
  copy.output = kOutImages | kOut24BitImages;
  EXPECT_TRUE(ChooseRenderMode(copy, kPolygon, 8));
  EXPECT_EQ(copy.output, 0);
  copy.output = kOutImages | kOut24BitImages;
  EXPECT_FALSE(ChooseRenderMode(copy, kPolygon, 24));
  EXPECT_EQ(copy.output, kOutImages | kOut24BitImages);
}

TEST(OutputSettings, TotalImagesCountsTheIntervals) {
  RenderProject p;
  SetSceneCount(p, 1, 10);
  EXPECT_EQ(TotalImages(p), 1);
  SetSceneCount(p, 2, 10);
  EXPECT_EQ(p.imageCounts, (std::vector<std::int32_t>{10, 10}));
  EXPECT_EQ(TotalImages(p), 11);
  // The loop back to the first scene ends on it again.
  p.SetOutput(kOutLoop, true);
  EXPECT_EQ(TotalImages(p), 21);
  p.imageCounts[0] = 3;
  SetSceneCount(p, 3, 5);  // growth keeps the old counts
  EXPECT_EQ(p.imageCounts, (std::vector<std::int32_t>{3, 10, 5}));
  SetSceneCount(p, 0, 5);
  EXPECT_EQ(TotalImages(p), 1);
}

// The dialog's total and the frames the scene loop runs come from one rule:
// the final keyframe scene is rendered whatever the last count (n = 1
// too), a loop ends on the first scene again, and a count that is
// missing or not positive stands for one image.
TEST(OutputSettings, TotalImagesIsWhatTheFrameLoopRenders) {
  RenderSettings s;
  s.imageCounts = {4, 1};
  EXPECT_EQ(IntervalFrames(s, 2), (std::vector<int>{5}));
  EXPECT_EQ(IntervalFrames(s, 3), (std::vector<int>{4, 2}));
  s.loop = true;
  EXPECT_EQ(IntervalFrames(s, 3), (std::vector<int>{4, 1, 2}));
  EXPECT_EQ(IntervalFrames(s, 1), (std::vector<int>{1}));
  EXPECT_TRUE(IntervalFrames(s, 0).empty());

  for (const std::vector<std::int32_t>& counts :
       {std::vector<std::int32_t>{4, 4, 4}, {1, 1, 1}, {0, -3, 2}, {7}, {}}) {
    for (const bool loop : {false, true}) {
      for (int scenes = 1; scenes <= 4; ++scenes) {
        RenderProject p;
        p.sceneCount = scenes;
        p.imageCounts = counts;
        p.SetOutput(kOutLoop, loop);
        RendererShell shell;
        shell.project = p;
        const std::vector<int> frames = IntervalFrames(EngineSettings(shell), scenes);
        EXPECT_EQ(TotalImages(p), std::accumulate(frames.begin(), frames.end(), 0L))
            << scenes << " scenes, loop " << loop << ", " << counts.size() << " counts";
      }
    }
  }
}

// Records the numbers the frame loop computes and writes.
struct Recorder : ImageRenderer, ImageOutput {
  std::vector<int> outputs;
  std::vector<bool> opens;
  int stopAt = -1;
  int RenderImage(SceneLoop&, int number) override { return number == stopAt ? 9 : 1; }
  void OutputImage(int number, bool first) override {
    outputs.push_back(number);
    opens.push_back(first);
  }
};

struct NeverStop : RenderPoll {
  bool Poll(double) override { return false; }
};

class FrameNumbering : public testing::Test {
 protected:
  void SetUp() override {
    // A folder of this process: the scene-list edits write "qmx.tmp" beside
    // the file, which other test processes must not share.
    dir_ = std::filesystem::temp_directory_path() / ("tessaran-frames-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    file_ = dir_ / "FRAMES.MAQ";
    WriteSampleScenes(file_, 3);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // Runs the scene loop over the file with n = 4 in every interval unless
  // the project holds counts of its own.
  std::vector<int> Run(RenderProject project, int lastImage, Recorder& recorder) {
    SetSceneCount(project, 3, 4);
    project.lastImage = lastImage;
    total_ = TotalImages(project);
    RendererShell shell;
    shell.project = project;
    const RenderSettings settings = EngineSettings(shell);
    EngineHooks hooks;
    SceneLoop loop(settings, hooks);
    NeverStop poll;
    FrameLoop frames(project, recorder, recorder, poll);
    result_ = loop.Run(file_, frames);
    next_ = frames.NextImageNumber();
    return frames.Computed();
  }
  std::filesystem::path dir_;
  std::filesystem::path file_;
  int result_ = -1;
  int next_ = -1;
  long total_ = -1;
};

TEST_F(FrameNumbering, ThreeKeyframesOfFourGiveNineImagesNumberedFromZero) {
  Recorder r;
  EXPECT_EQ(Run(RenderProject{}, -1, r), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_EQ(result_, 1);
  EXPECT_EQ(r.outputs, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(r.opens[0]);
  EXPECT_FALSE(r.opens[1]);
  RenderSettings s;
  s.imageCounts = {4, 4, 4};
  EXPECT_EQ(IntervalFrames(s, 3), (std::vector<int>{4, 5}));
}

TEST_F(FrameNumbering, RenderedImagesMatchTheDialogTotal) {
  // A loop over three scenes with n = 4: 4 + 4 + 5, the last image on the
  // first scene again.
  RenderProject loop;
  loop.SetOutput(kOutLoop, true);
  Recorder r;
  EXPECT_EQ(Run(loop, -1, r).size(), 13u);
  EXPECT_EQ(total_, 13);
  EXPECT_EQ(next_, 13);

  // One image in the last interval still reaches the final scene.
  RenderProject one;
  SetSceneCount(one, 3, 4);
  one.imageCounts = {2, 1, 4};
  Recorder r1;
  EXPECT_EQ(Run(one, -1, r1), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(total_, 4);
}

TEST_F(FrameNumbering, SkippedImagesAreCountedNotComputed) {
  RenderProject p;
  p.firstImage = 5;  // "Calcul à partir de :" 5: nothing below 4
  Recorder r;
  EXPECT_EQ(Run(p, -1, r), (std::vector<int>{4, 5, 6, 7, 8}));
  EXPECT_EQ(r.outputs.front(), 4);
  EXPECT_TRUE(r.opens.front());  // the animation opens at the first computed image

  Recorder farm;
  EXPECT_EQ(Run(p, 6, farm), (std::vector<int>{4, 5, 6}));
  EXPECT_EQ(next_, 9);  // every image was counted
}

TEST_F(FrameNumbering, AStoppedImageEndsTheRender) {
  Recorder r;
  r.stopAt = 2;
  EXPECT_EQ(Run(RenderProject{}, -1, r), (std::vector<int>{0, 1}));
  EXPECT_EQ(result_, 9);
}

}  // namespace
}  // namespace tessaran
