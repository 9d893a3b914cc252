#include "modeler/geometry/camera.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "platform/profile.h"

namespace tessaran {
namespace {

TEST(Camera, DerivedFromTheViewSettings) {
  ViewCamera view;
  view.PERS = 2000;
  view.zoom = 2;
  view.TH = 90;
  view.CIBLE = {1, 2, 3};
  const DerivedCamera camera = DeriveCamera(view);
  EXPECT_DOUBLE_EQ(camera.D, 40);
  EXPECT_DOUBLE_EQ(camera.F, 500);
  EXPECT_DOUBLE_EQ(view.focal, 500);
  // Turned a quarter about Y: the third axis lies along x.
  EXPECT_NEAR(std::fabs(camera.axes[2][0]), 1, 1e-9);
  EXPECT_NEAR(camera.eye[0], 1 + 500 * camera.axes[2][0], 1e-9);
  EXPECT_NEAR(camera.eye[1], 2, 1e-9);
}

TEST(Camera, PerspectiveMagnifiesNearPointsAndHidesThoseBehindTheEye) {
  ViewCamera view;
  const DerivedCamera camera = DeriveCamera(view);
  const WindowMapping window;
  const Mat3 identity = IdentityMatrix();
  // Camera point (1, 1, D - 1): magnified D times.
  const Vec3 near{1, 1, camera.eye[2] + camera.D - 1};
  const ProjectedPoint p = Project(view, camera, window, {}, identity, near);
  EXPECT_TRUE(p.visible);
  EXPECT_EQ(p.x, static_cast<int>(40 * 36 + 320));
  EXPECT_EQ(p.y, static_cast<int>(120 - 36 * 40));
  const ProjectedPoint behind = Project(view, camera, window, {}, identity, {0, 0, camera.eye[2] + 50});
  EXPECT_FALSE(behind.visible);
  EXPECT_EQ(behind.x, -15000);
  EXPECT_EQ(behind.y, -15000);
  // A point a hair before the eye's plane lands far off, at a position a
  // window can still draw to.
  const ProjectedPoint far = Project(view, camera, window, {}, identity, {1, -1, camera.eye[2] + camera.D - 1e-9});
  EXPECT_TRUE(far.visible);
  EXPECT_EQ(far.x, 1000000);
  EXPECT_EQ(far.y, 1000000);
}

TEST(Camera, ParallelProjectionDrawsOnlyPointsBeforeTheCameraPlane) {
  ViewCamera view;
  view.PERS = kParallelPERS;
  const DerivedCamera camera = DeriveCamera(view);
  const Mat3 identity = IdentityMatrix();
  EXPECT_FALSE(Project(view, camera, {}, {}, identity, {0, 0, camera.eye[2] + 1}).visible);
  const ProjectedPoint p = Project(view, camera, {}, {}, identity, {10, 0, 0});
  EXPECT_TRUE(p.visible);
  EXPECT_EQ(p.x, static_cast<int>(0.04 * 10 * 36 + 320));
}

TEST(Camera, UnprojectReturnsThePointAtTheReferenceDepth) {
  for (int pers : {2000, kParallelPERS}) {
    ViewCamera view;
    view.PERS = pers;
    view.TH = 30;
    view.PH = -20;
    view.CIBLE = {5, -5, 10};
    const DerivedCamera camera = DeriveCamera(view);
    const WindowMapping window;
    const Vec3 point{12, 7, -3};
    // An object frame turned and moved: the projection takes it into account.
    Mat3 axes = IdentityMatrix();
    Rotate(axes, Axis::Z, 0.5);
    const Vec3 origin{1, 2, 3};
    const ProjectedPoint p = Project(view, camera, window, origin, axes, point);
    ASSERT_TRUE(p.visible);
    const Vec3 world = ToWorld(origin, axes, point);
    const Vec3 back = Unproject(view, camera, window, p.x, p.y, world);
    // Window positions are whole pixels: the point found projects to the
    // same pixel and lies at the reference's depth.
    const ProjectedPoint again = Project(view, camera, window, {}, IdentityMatrix(), back);
    EXPECT_NEAR(again.x, p.x, 1) << pers;
    EXPECT_NEAR(again.y, p.y, 1) << pers;
    auto depth = [&](const Vec3& w) {
      double d = 0;
      for (int a = 0; a < 3; ++a) d += (w[a] - camera.eye[a]) * camera.axes[2][a];
      return d;
    };
    EXPECT_NEAR(depth(back), depth(world), 1e-9) << pers;
  }
}

TEST(Camera, ZoomLimits) {
  EXPECT_DOUBLE_EQ(ZoomIn(60), 99);
  EXPECT_DOUBLE_EQ(ZoomIn(2), 4);
  EXPECT_DOUBLE_EQ(ZoomOut(0.15), 0.1);
  EXPECT_DOUBLE_EQ(ZoomOut(0.1), 0.1);
  EXPECT_DOUBLE_EQ(ZoomOut(1), 0.5);
}

TEST(Camera, SettingsKeysRoundTrip) {
  const auto dir = std::filesystem::temp_directory_path() / ("tessaran_camera_test-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  setenv("TESSARAN_CONFIG", dir.c_str(), 1);
  ViewCamera defaults;
  LoadViewSettings(defaults, "CAMERA.INI");  // no file: defaults stay
  EXPECT_DOUBLE_EQ(defaults.zoom, 1);
  EXPECT_EQ(defaults.PERS, 2000);
  ViewCamera view;
  view.TH = 12.5;
  view.PH = -30;
  view.zoom = 2.5;
  view.PERS = 3000;
  view.CIBLE = {1, -2, 3.5};
  ASSERT_TRUE(SaveViewSettings(view, "CAMERA.INI"));
  EXPECT_EQ(GetProfileInt("Q1_ENV", "ZOOM", 0, "CAMERA.INI"), 2500);
  EXPECT_EQ(GetProfileString("Q1_ENV", "CIBLE", "", "CAMERA.INI"), "1.000000 -2.000000 3.500000");
  ViewCamera read;
  LoadViewSettings(read, "CAMERA.INI");
  EXPECT_DOUBLE_EQ(read.TH, 12.5);
  EXPECT_DOUBLE_EQ(read.PH, -30);
  EXPECT_DOUBLE_EQ(read.zoom, 2.5);
  EXPECT_EQ(read.PERS, 3000);
  EXPECT_EQ(read.CIBLE, (Vec3{1, -2, 3.5}));
  EXPECT_DOUBLE_EQ(read.distance, 60);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tessaran
