#include "scene/camera.h"

#include <cmath>

namespace tessaran {

namespace {

constexpr double kDegree = 0.01745329252;
constexpr double kDistancePerPers = 0.02;
constexpr double kFocalFactor = 25.0;

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Camera Build(double D, double F, double zoom, bool parallel, double THradians, double PHradians,
             const Vec3& target) {
  Camera camera;
  camera.D = D;
  camera.F = F;
  camera.zoom = zoom;
  camera.parallel = parallel;
  // Turned about the world's Y by TH, then tilted by PH about its own X
  // axis: the right axis stays level, so the horizon is never rolled.
  Rotate(camera.axes, Axis::Y, THradians);
  camera.axes = Multiply(ElementaryRotation(Axis::X, PHradians), camera.axes);
  for (int i = 0; i < 3; ++i) {
    camera.eye[i] = target[i] + F * camera.axes[2][i];
    camera.centre[i] = camera.eye[i] + D * camera.axes[2][i];
  }
  return camera;
}

}  // namespace

Camera CameraFromView(double THdegrees, double PHdegrees, double zoom, int PERS, const Vec3& CIBLE) {
  const double z = zoom > 0 ? zoom : 1.0;
  const double D = PERS * kDistancePerPers;
  return Build(D, D * kFocalFactor / z, z, PERS == kParallelPers, THdegrees * kDegree, PHdegrees * kDegree,
               CIBLE);
}

Camera CameraFromRecord(double distance, double focal, double THradians, double PHradians, const Vec3& target) {
  // The view state the record stands for: zoom = D × 25 / F, PERS = D × 50.
  const double zoom = focal > 0 ? distance * kFocalFactor / focal : 1.0;
  const bool parallel = std::lround(distance / kDistancePerPers) == kParallelPers;
  return Build(distance, focal, zoom > 0 ? zoom : 1.0, parallel, THradians, PHradians, target);
}

Vec3 ViewCoordinates(const Camera& camera, const Vec3& world) {
  const Vec3 d{world[0] - camera.eye[0], world[1] - camera.eye[1], world[2] - camera.eye[2]};
  return {Dot(d, camera.axes[0]), Dot(d, camera.axes[1]), Dot(d, camera.axes[2])};
}

Vec3 WorldFromView(const Camera& camera, const Vec3& c) {
  Vec3 world = camera.eye;
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) world[j] += c[i] * camera.axes[i][j];
  }
  return world;
}

ScreenMapping ImageMapping(int W, int H, int pixelRatio) {
  return ImageMapping(W, pixelRatio, W / 2 - 0.5, H / 2 + 0.5);
}

ScreenMapping ImageMapping(int W, int pixelRatio, double centreX, double centreY) {
  ScreenMapping mapping;
  mapping.centreX = centreX;
  mapping.centreY = centreY;
  mapping.scaleX = kViewScale * (W > 0 ? W : 1) / kViewWidth;
  mapping.scaleY = mapping.scaleX * 1000.0 / (pixelRatio > 0 ? pixelRatio : 1000);
  return mapping;
}

ScreenPoint ProjectToScreen(const Camera& camera, const ScreenMapping& mapping, const Vec3& world) {
  return ProjectRenderPoint(camera, mapping, RenderCoordinates(camera, world));
}

ScreenPoint ProjectRenderPoint(const Camera& camera, const ScreenMapping& mapping, const Vec3& r) {
  // The view's c.z is r.z + D: perspective needs c.z < D, parallel c.z <= 0.
  ScreenPoint point;
  double a;
  if (camera.parallel) {
    if (r[2] + camera.D > 0) return point;
    a = camera.zoom * kParallelScale;
  } else {
    if (!(r[2] < 0)) return point;
    a = camera.D / -r[2];
  }
  point.x = mapping.centreX + mapping.scaleX * a * r[0];
  point.y = mapping.centreY - mapping.scaleY * a * r[1];
  point.visible = true;
  return point;
}

CameraRay PrimaryRay(const Camera& camera, const ScreenMapping& mapping, double px, double py) {
  const double x = (px - mapping.centreX) / mapping.scaleX;
  const double y = (mapping.centreY - py) / mapping.scaleY;
  CameraRay ray;
  if (camera.parallel) {
    const double a = camera.zoom * kParallelScale;
    ray.origin = {x / a, y / a, -camera.D};
    ray.direction = {0, 0, -1};
    return ray;
  }
  const double length = std::sqrt(x * x + y * y + camera.D * camera.D);
  ray.direction = {x / length, y / length, -camera.D / length};
  return ray;
}

}  // namespace tessaran
