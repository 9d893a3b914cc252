// Spheres as a user renders them, the bundled preview sphere (a curved
// surface) and a Phong-smoothed polygon sphere from the modeler: their lit
// faces are smooth, without specks of shadow or of the far side seen
// through the surface.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include "modeler/app/batch.h"
#include "platform/bytes.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

// The grey levels (sum of the channels) of a 24-bit Targa the renderer
// wrote, row by row.
struct Grey {
  int width = 0;
  int height = 0;
  std::vector<int> level;
  int At(int x, int y) const { return level[static_cast<std::size_t>(y) * width + x]; }
};

Grey ReadGrey(const fs::path& file) {
  Grey g;
  Bytes bytes;
  if (!ReadWholeFile(file, bytes) || bytes.size() < 18) return g;
  auto byte = [&](std::size_t i) { return std::to_integer<int>(bytes[i]); };
  g.width = byte(12) | byte(13) << 8;
  g.height = byte(14) | byte(15) << 8;
  if (bytes.size() < 18 + 3u * g.width * g.height) return Grey{};
  for (int i = 0; i < g.width * g.height; ++i) g.level.push_back(byte(18 + 3 * i) + byte(19 + 3 * i) + byte(20 + 3 * i));
  return g;
}

// Pixels of the window [x0, x1) × [y0, y1) darker by more than 10 levels
// a channel than the median of their eight neighbours.
int Specks(const Grey& g, int x0, int y0, int x1, int y1) {
  int specks = 0;
  for (int y = std::max(y0, 1); y < std::min(y1, g.height - 1); ++y) {
    for (int x = std::max(x0, 1); x < std::min(x1, g.width - 1); ++x) {
      std::vector<int> around;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx || dy) around.push_back(g.At(x + dx, y + dy));
        }
      }
      std::sort(around.begin(), around.end());
      specks += (around[3] + around[4]) / 2 - g.At(x, y) > 30;
    }
  }
  return specks;
}

class SphereRender : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tessaran-spheres-" + std::to_string(getpid()));
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }
  // rz --batch SCENE with `options`, into dir/out; the image it wrote.
  Grey Render(const fs::path& scene, const std::string& options) {
    const std::string command = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' '" + RZ_PROGRAM +
                                "' --batch '" + scene.string() + "' --format24 TGA --out '" + (dir_ / "out").string() +
                                "' " + options + " >/dev/null 2>&1 </dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadGrey(dir_ / "out" / (scene.stem().string() + "0000.TGA"));
  }
  fs::path dir_;
};

TEST_F(SphereRender, TheBundledPreviewSphereIsLitWithoutRingsOrSeam) {
  const Grey image = Render(fs::path(RZ_PROGRAM).parent_path() / "SEE.MAQ", "--size 320x200 --aa 0");
  ASSERT_EQ(image.width, 320);
  EXPECT_EQ(Specks(image, 90, 40, 230, 160), 0);
}

TEST_F(SphereRender, APhongSphereFacingTheCameraHasNoSeams) {
  const std::string scene = (dir_ / "S.MAQ").string();
  std::ostringstream out, err;
  ASSERT_EQ(RunModelerBatch({"--batch", "--primitive", "sphere", "48", "32", "--size", "500", "500", "500", "--colour",
                             "15", "15", "15", "--rendering", "phong", "--lamp", "200", "300", "-500", "80",
                             "--camera", "0", "0", "1", "2000", "--save", scene},
                            out, err),
            kBatchDone)
      << err.str();
  const Grey image = Render(scene, "--size 200x200 --aa 0");
  ASSERT_EQ(image.width, 200);
  // The upper half, above the ground's shadow.
  EXPECT_EQ(Specks(image, 40, 16, 160, 92), 0);
}

}  // namespace
}  // namespace tessaran
