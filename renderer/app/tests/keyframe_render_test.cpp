// An animation of keyframe scenes of other objects, built with the modeler
// and rendered as a user does: the camera turns through every keyframe,
// the object they share moves with it, and the others appear or vanish at
// the keyframes that have them or not.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "modeler/app/batch.h"
#include "targa_pixels.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

// Pixels of one pure colour (channel 0 red, 1 green, 2 blue) and their mean x.
struct Patch {
  int pixels = 0;
  double x = 0;
};

Patch ColourPatch(const TargaPixels& image, int channel) {
  Patch p;
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const auto& c = image.At(x, y);
      bool pure = c[channel] > 60;
      for (int other = 0; other < 3; ++other) pure = pure && (other == channel || c[channel] > 3 * c[other]);
      if (!pure) continue;
      ++p.pixels;
      p.x += x;
    }
  }
  if (p.pixels > 0) p.x /= p.pixels;
  return p;
}

class KeyframeRender : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-keyframes-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }
  // qmx --batch with a red box (object 0 of every keyframe), then `more`,
  // a lamp and the camera turned by `th`, as the next keyframe of K.MAQ.
  void AddKeyframe(const std::string& th, const std::vector<std::string>& more) {
    std::vector<std::string> args = {"--batch", "--primitive", "box", "4", "3", "--move", "0", "0", "-250",
                                     "--colour", "15", "0", "0"};
    args.insert(args.end(), more.begin(), more.end());
    for (const char* a : {"--lamp", "0", "400", "-600", "90", "--camera"}) args.push_back(a);
    args.insert(args.end(), {th, "-10", "1", "1400"});
    args.push_back("--add-keyframe");
    args.push_back((dir_ / "K.MAQ").string());
    std::ostringstream out, err;
    ASSERT_EQ(RunModelerBatch(args, out, err), kBatchDone) << err.str();
  }
  fs::path dir_;
};

TEST_F(KeyframeRender, TheCameraTurnsThroughKeyframesOfTwoThreeAndOneObjects) {
  const std::vector<std::string> green = {"--primitive", "sphere", "8", "8", "--move", "-300", "0", "-300",
                                          "--colour", "0", "15", "0"};
  std::vector<std::string> greenAndBlue = green;
  for (const char* a : {"--primitive", "sphere", "8", "8", "--move", "200", "0", "-100", "--colour", "0", "0", "15"}) {
    greenAndBlue.push_back(a);
  }
  AddKeyframe("0", green);
  AddKeyframe("20", greenAndBlue);
  AddKeyframe("40", {});
  const std::string command = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' '" + RZ_PROGRAM + "' --batch '" +
                              (dir_ / "K.MAQ").string() + "' --size 80x60 --aa 0 --format24 TGA --out '" +
                              (dir_ / "out").string() + "' >/dev/null 2>&1 </dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  // Two images per interval and the last keyframe: images 0 to 4, the
  // keyframes at 0, 2 and 4.
  std::vector<Patch> red, greens, blues;
  for (int n = 0; n < 5; ++n) {
    const TargaPixels image = ReadTargaPixels(dir_ / "out" / ("K000" + std::to_string(n) + ".TGA"));
    ASSERT_EQ(image.width, 80) << n;
    red.push_back(ColourPatch(image, 0));
    greens.push_back(ColourPatch(image, 1));
    blues.push_back(ColourPatch(image, 2));
  }
  // The box is in every image and moves across it at every step.
  for (int n = 0; n < 5; ++n) ASSERT_GT(red[n].pixels, 10) << n;
  for (int n = 1; n < 5; ++n) EXPECT_GT(red[n].x, red[n - 1].x + 2) << n;
  // The green ball of the first two keyframes stays until the third.
  for (int n = 0; n < 4; ++n) EXPECT_GT(greens[n].pixels, 0) << n;
  EXPECT_EQ(greens[4].pixels, 0);
  // The blue ball of the second keyframe only, from it up to the third.
  EXPECT_EQ(blues[0].pixels + blues[1].pixels + blues[4].pixels, 0);
  EXPECT_GT(blues[2].pixels, 0);
  EXPECT_GT(blues[3].pixels, 0);
}

}  // namespace
}  // namespace tessaran
