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
#include "targa_pixels.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

// Pixels of the window [x0, x1) × [y0, y1) darker by more than 10 levels
// a channel than the median of their eight neighbours.
int Specks(const TargaPixels& image, int x0, int y0, int x1, int y1) {
  auto grey = [&](int x, int y) {
    const auto& c = image.At(x, y);
    return c[0] + c[1] + c[2];
  };
  int specks = 0;
  for (int y = std::max(y0, 1); y < std::min(y1, image.height - 1); ++y) {
    for (int x = std::max(x0, 1); x < std::min(x1, image.width - 1); ++x) {
      std::vector<int> around;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          if (dx || dy) around.push_back(grey(x + dx, y + dy));
        }
      }
      std::sort(around.begin(), around.end());
      specks += (around[3] + around[4]) / 2 - grey(x, y) > 30;
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
  TargaPixels Render(const fs::path& scene, const std::string& options) {
    const std::string command = "TESSARAN_CONFIG='" + (dir_ / "config").string() + "' '" + RZ_PROGRAM +
                                "' --batch '" + scene.string() + "' --format24 TGA --out '" + (dir_ / "out").string() +
                                "' " + options + " >/dev/null 2>&1 </dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadTargaPixels(dir_ / "out" / (scene.stem().string() + "0000.TGA"));
  }
  fs::path dir_;
};

TEST_F(SphereRender, TheBundledPreviewSphereIsLitWithoutRingsOrSeam) {
  const TargaPixels image = Render(fs::path(RZ_PROGRAM).parent_path() / "SEE.MAQ", "--size 320x200 --aa 0");
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
  const TargaPixels image = Render(scene, "--size 200x200 --aa 0");
  ASSERT_EQ(image.width, 200);
  // The upper half, above the ground's shadow.
  EXPECT_EQ(Specks(image, 40, 16, 160, 92), 0);
}

}  // namespace
}  // namespace tessaran
