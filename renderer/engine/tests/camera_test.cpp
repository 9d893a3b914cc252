// The camera shared by the modeler's views and the renderer: what a view
// projects onto a pixel is what that pixel's primary ray hits.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "renderer/engine/vecmath.h"
#include "scene/camera.h"

namespace tessaran {
namespace {

// The pixel a view's projection puts a world point on, in a W × H image.
bool PixelOf(const Camera& camera, const ScreenMapping& mapping, const Vec3& world, int& x, int& y) {
  const ScreenPoint p = ProjectToScreen(camera, mapping, world);
  if (!p.visible) return false;
  x = static_cast<int>(std::lround(p.x));
  y = static_cast<int>(std::lround(p.y));
  return true;
}

// Distance from a point to a ray (in camera coordinates).
double RayDistance(const CameraRay& ray, const Vec3& p) {
  const Vec3 d = p - ray.origin;
  const double along = Dot(d, ray.direction);
  return Length(d - along * ray.direction);
}

TEST(Camera, DerivedAsTheViewDerivesIt) {
  const Camera c = CameraFromView(30, -20, 2, 2000, {1, 2, 3});
  EXPECT_DOUBLE_EQ(c.D, 40);
  EXPECT_DOUBLE_EQ(c.F, 500);
  // The target lies straight ahead of the eye at the focal value.
  const Vec3 t = ViewCoordinates(c, {1, 2, 3});
  EXPECT_NEAR(t[0], 0, 1e-9);
  EXPECT_NEAR(t[1], 0, 1e-9);
  EXPECT_NEAR(t[2], -500, 1e-9);
  EXPECT_NEAR(RenderCoordinates(c, {1, 2, 3})[2], -540, 1e-9);
  // The record of that view (D, F, angles in radians) gives the same camera.
  const double degree = 0.01745329252;
  const Camera r = CameraFromRecord(40, 500, 30 * degree, -20 * degree, {1, 2, 3});
  EXPECT_NEAR(r.zoom, 2, 1e-12);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(r.centre[i], c.centre[i], 1e-9);
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(r.axes[i][j], c.axes[i][j], 1e-12);
  }
}

TEST(Camera, TurnedAndTiltedCameraKeepsTheHorizonLevel) {
  // Turned 25° and looking 16° down: the right axis stays horizontal, the
  // eye is above the target and the up axis leans away from the eye.
  const Camera c = CameraFromView(25, -16, 1, 2000, {0, 40, 0});
  EXPECT_NEAR(c.axes[0][1], 0, 1e-12);
  EXPECT_GT(c.eye[1], 40);
  EXPECT_GT(c.axes[1][1], 0.9);
  const double degree = 0.01745329252;
  EXPECT_NEAR(std::asin(c.axes[2][1]), 16 * degree, 1e-9);
  // Top view: looking straight down.
  const Camera top = CameraFromView(0, -90, 1, 2000, {0, 0, 0});
  EXPECT_NEAR(top.axes[2][1], 1, 1e-9);
}

TEST(Camera, ViewMagnifiesByDistanceOverDepth) {
  // A point at c.z = D − 1 is magnified D times (PERS 2000, zoom 1).
  const Camera c = CameraFromView(0, 0, 1, 2000, {0, 0, 0});
  const ScreenMapping m;  // 640 × 480 view, 36 pixels per unit
  const Vec3 world = WorldFromView(c, {1, 0, c.D - 1});
  const ScreenPoint p = ProjectToScreen(c, m, world);
  ASSERT_TRUE(p.visible);
  EXPECT_NEAR(p.x - m.centreX, 36 * c.D, 1e-6);
  EXPECT_FALSE(ProjectToScreen(c, m, WorldFromView(c, {0, 0, c.D + 1})).visible);
}

TEST(Camera, ImageStandsForTheFirstView) {
  // 320 × 200 at 120 %: half the view's scale across, and the 4:3 field.
  const ScreenMapping m = ImageMapping(320, 200, 1200);
  EXPECT_DOUBLE_EQ(m.scaleX, 18);
  EXPECT_DOUBLE_EQ(m.scaleY, 15);
  EXPECT_DOUBLE_EQ(m.centreX, 159.5);
  EXPECT_DOUBLE_EQ(m.centreY, 100.5);
  EXPECT_NEAR((320 / m.scaleX) / (200 / m.scaleY), 4.0 / 3.0, 1e-12);
}

TEST(Camera, ProjectedPointLiesOnItsPixelsPrimaryRay) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> angle(-180, 180), coordinate(-60, 60), zoom(0.3, 4);
  int checked = 0;
  for (const int pers : {2000, 800, 5000, kParallelPers}) {
    for (int trial = 0; trial < 200; ++trial) {
      const Camera camera = CameraFromView(angle(random), angle(random) / 2, zoom(random), pers,
                                           {coordinate(random), coordinate(random), coordinate(random)});
      const int W = trial % 2 ? 320 : 641, H = trial % 2 ? 200 : 479;
      const ScreenMapping m = ImageMapping(W, H, trial % 3 ? 1200 : 1000);
      const Vec3 world{coordinate(random), coordinate(random), coordinate(random)};
      int x, y;
      if (!PixelOf(camera, m, world, x, y) || x < 0 || y < 0 || x >= W || y >= H) continue;
      // Where the pixel's ray reaches the point's depth, it is within half
      // a pixel of the point on each axis.
      const CameraRay ray = PrimaryRay(camera, m, x, y);
      const Vec3 r = RenderCoordinates(camera, world);
      const double depth = camera.parallel ? 1.0 / (camera.zoom * kParallelScale) : -r[2] / camera.D;
      const double along = (r[2] - ray.origin[2]) / ray.direction[2];
      const Vec3 there = ray.origin + along * ray.direction;
      EXPECT_LE(std::fabs(there[0] - r[0]), depth * 0.5 / m.scaleX * 1.000001) << pers << " " << trial;
      EXPECT_LE(std::fabs(there[1] - r[1]), depth * 0.5 / m.scaleY * 1.000001) << pers << " " << trial;
      EXPECT_LE(RayDistance(ray, r), depth * std::hypot(0.5 / m.scaleX, 0.5 / m.scaleY) * 1.000001);
      ++checked;
    }
  }
  EXPECT_GT(checked, 100);
}

}  // namespace
}  // namespace tessaran
