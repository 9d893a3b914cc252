// The player's animation operations end to end: pictures to an animation
// and back, cutting, rewriting and describing animations.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "imaging/testing/picture_support.h"
#include "player/anim_batch.h"

namespace tessaran::player {
namespace {

using namespace testing_support;

std::vector<std::filesystem::path> SamplePictures() {
  std::vector<std::filesystem::path> pictures;
  for (int f = 1; f <= 3; ++f) {
    char name[64];
    std::snprintf(name, sizeof name, "avi/raw_bgr24_20x14.avi.f%03d.ref.ppm", f);
    pictures.push_back(TestData(name));
  }
  return pictures;
}

std::size_t FilesIn(const std::filesystem::path& folder) {
  return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

TEST(AnimBatch, PicturesBecomeAnAnimationAndComeBack) {
  std::filesystem::path folder = ScratchFolder("anim-batch");
  std::ostringstream out, err;
  for (const char* name : {"clip.anm", "clip.avi"}) {
    ASSERT_EQ(AnimCreate(folder / name, SamplePictures(), err), kSuccess) << err.str();
    out.str("");
    ASSERT_EQ(AnimInfo(folder / name, out, err), kSuccess) << err.str();
    bool anm = std::string(name) == "clip.anm";
    EXPECT_EQ(out.str(), std::string("{\"kind\":\"") + (anm ? "ANM" : "AVI") +
                             "\",\"width\":20,\"height\":14,\"depth\":" + (anm ? "8" : "24") + ",\"frames\":3}\n");
    std::filesystem::path frames = folder / (std::string(name) + "-frames");
    std::filesystem::create_directories(frames);
    ASSERT_EQ(AnimFrames(folder / name, (frames / "f%d.ppm").string(), err), kSuccess) << err.str();
    for (int f = 1; f <= 3; ++f) {
      RgbPicture back = ReadPpmFile(frames / ("f" + std::to_string(f) + ".ppm"));
      RgbPicture original = ReadPpmFile(SamplePictures()[f - 1]);
      ASSERT_EQ(back.rgb.size(), original.rgb.size());
      int worst = 0;
      for (std::size_t i = 0; i < back.rgb.size(); ++i) worst = std::max(worst, ChannelDistance(back.rgb[i], original.rgb[i]));
      // The ".ANM" holds the frames reduced to the first frame's 6-bit
      // palette: the first exactly so, the later ones as near as it has.
      EXPECT_LE(worst, !anm ? 0 : f == 1 ? 3 : 48) << name << " frame " << f;
    }
  }
  // Cut: one numbered picture per frame, named after the animation.
  std::filesystem::path cut = folder / "cut";
  std::filesystem::create_directories(cut);
  std::filesystem::copy_file(folder / "clip.avi", cut / "clip.avi");
  ASSERT_EQ(AnimCut(cut / "clip.avi", "TGA10", err), kSuccess) << err.str();
  EXPECT_EQ(FilesIn(cut), 4u);
  EXPECT_EQ(AnimCut(folder / "clip.anm", "TGA", err), kBadUsage) << "palette frames are cut to LBM, PCX or BMP";

  // Flip: the animation is rewritten in place and plays the same.
  std::filesystem::path flipFolder = folder / "flip";
  std::filesystem::create_directories(flipFolder);
  std::filesystem::copy_file(folder / "clip.anm", flipFolder / "clip.anm");
  ASSERT_EQ(AnimFlip(flipFolder / "clip.anm", err), kSuccess) << err.str();
  EXPECT_EQ(FilesIn(flipFolder), 1u);
  ASSERT_EQ(AnimFrames(flipFolder / "clip.anm", (flipFolder / "g%02d.bmp").string(), err), kSuccess);
  EXPECT_EQ(FilesIn(flipFolder), 4u);
}

TEST(AnimBatch, DescribesIffAnimationsAndRefusesBadRequests) {
  std::ostringstream out, err;
  ASSERT_EQ(AnimInfo(TestData("anim/color-balls.anim"), out, err), kSuccess) << err.str();
  EXPECT_EQ(out.str(), "{\"kind\":\"ANIM\",\"width\":320,\"height\":256,\"depth\":8,\"frames\":13}\n");
  EXPECT_EQ(AnimFrames(TestData("anim/color-balls.anim"), "frames.ppm", err), kBadUsage);
  EXPECT_EQ(AnimFrames(TestData("anim/color-balls.anim"), "f%d%d.ppm", err), kBadUsage);
  EXPECT_EQ(AnimCreate("out.gif", SamplePictures(), err), kBadUsage);
  EXPECT_EQ(AnimFlip(TestData("avi/raw_pal8_21x13.avi"), err), kBadUsage);
  EXPECT_EQ(AnimInfo(TestData("bmp/b8_21x13.bmp"), out, err), kFailure);
  EXPECT_TRUE(IsAnimationFile(TestData("anim/color-balls.anim")));
  EXPECT_FALSE(IsAnimationFile(TestData("bmp/b8_21x13.bmp")));
}

}  // namespace
}  // namespace tessaran::player
