#include "modeler/geometry/camera.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/profile.h"

namespace tessaran {

namespace {

constexpr double kDegree = 0.01745329252;
constexpr double kDistancePerPers = 0.02;
constexpr double kFocalFactor = 25.0;
constexpr double kParallelScale = 0.04;
constexpr int kBehindEye = -15000;
constexpr double kMaxZoom = 99;
constexpr double kMinZoom = 0.1;
constexpr double kDxfFill = 0.707106;
constexpr double kHalfWindow = 320;
constexpr const char* kSection = "Q1_ENV";

double Dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 ToCamera(const DerivedCamera& camera, const Vec3& world) {
  const Vec3 d{world[0] - camera.eye[0], world[1] - camera.eye[1], world[2] - camera.eye[2]};
  return {Dot(d, camera.axes[0]), Dot(d, camera.axes[1]), Dot(d, camera.axes[2])};
}

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

DerivedCamera DeriveCamera(const ViewCamera& view) {
  DerivedCamera camera;
  camera.D = view.PERS * kDistancePerPers;
  camera.F = camera.D * kFocalFactor / (view.zoom > 0 ? view.zoom : 1.0);
  Rotate(camera.axes, Axis::Y, view.TH * kDegree);
  Rotate(camera.axes, Axis::X, view.PH * kDegree);
  for (int i = 0; i < 3; ++i) camera.eye[i] = view.CIBLE[i] + camera.F * camera.axes[2][i];
  return camera;
}

DerivedCamera DeriveCamera(ViewCamera& view) {
  const DerivedCamera camera = DeriveCamera(static_cast<const ViewCamera&>(view));
  view.distance = camera.D;
  view.focal = camera.F;
  return camera;
}

ProjectedPoint Project(const ViewCamera& view, const DerivedCamera& camera, const WindowMapping& window,
                       const Vec3& origin, const Mat3& orientation, const Vec3& p) {
  const Vec3 c = ToCamera(camera, ToWorld(origin, orientation, p));
  double a;
  if (view.PERS != kParallelPERS) {
    if (c[2] >= camera.D) return {kBehindEye, kBehindEye, false};
    a = camera.D / (camera.D - c[2]);
  } else {
    if (c[2] > 0) return {kBehindEye, kBehindEye, false};
    a = view.zoom * kParallelScale;
  }
  ProjectedPoint point;
  point.x = static_cast<int>(a * c[0] * window.scaleX + window.centreX);
  point.y = static_cast<int>(window.centreY - window.scaleY * a * c[1]);
  point.visible = true;
  return point;
}

Vec3 Unproject(const ViewCamera& view, const DerivedCamera& camera, const WindowMapping& window, double x,
               double y, const Vec3& reference) {
  const Vec3 r = ToCamera(camera, reference);
  double a = view.zoom * kParallelScale;
  if (view.PERS != kParallelPERS && r[2] < camera.D) a = camera.D / (camera.D - r[2]);
  const Vec3 c{(x - window.centreX) / window.scaleX / a, (window.centreY - y) / window.scaleY / a, r[2]};
  Vec3 world = camera.eye;
  for (int j = 0; j < 3; ++j) {
    for (int i = 0; i < 3; ++i) world[j] += c[i] * camera.axes[i][j];
  }
  return world;
}

double ZoomIn(double zoom) { return std::min(zoom * 2, kMaxZoom); }
double ZoomOut(double zoom) { return zoom > kMinZoom ? std::max(zoom / 2, kMinZoom) : kMinZoom; }

double DxfTargetSize(const ViewCamera& view, const WindowMapping& window) {
  const DerivedCamera camera = DeriveCamera(view);
  const double w = kHalfWindow / window.scaleX;
  const double depth = camera.D - w;
  if (std::fabs(depth) < 1e-9) return 1;
  return kDxfFill * std::fabs(2 * w * (camera.D - camera.F) / depth);
}

void LoadViewSettings(ViewCamera& view, std::string_view profileFile) {
  auto number = [&](const char* key, double fallback) {
    const std::string text = GetProfileString(kSection, key, "", profileFile);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && std::isfinite(value) ? value : fallback;
  };
  view.TH = number("TH", view.TH);
  view.PH = number("PH", view.PH);
  const int zoom = GetProfileInt(kSection, "ZOOM", static_cast<int>(std::lround(view.zoom * 1000)), profileFile);
  if (zoom > 0) view.zoom = zoom / 1000.0;
  const int pers = GetProfileInt(kSection, "PERS", view.PERS, profileFile);
  if (pers > 0) view.PERS = pers;
  const std::string cible = GetProfileString(kSection, "CIBLE", "", profileFile);
  Vec3 target{};
  if (std::sscanf(cible.c_str(), "%lf %lf %lf", &target[0], &target[1], &target[2]) == 3 &&
      std::isfinite(target[0] + target[1] + target[2])) {
    view.CIBLE = target;
  }
  DeriveCamera(view);
}

bool SaveViewSettings(const ViewCamera& view, std::string_view profileFile) {
  return WriteProfileString(kSection, "TH", Format("%f", view.TH), profileFile) &&
         WriteProfileString(kSection, "PH", Format("%f", view.PH), profileFile) &&
         WriteProfileString(kSection, "ZOOM", std::to_string(std::lround(view.zoom * 1000)), profileFile) &&
         WriteProfileString(kSection, "PERS", std::to_string(view.PERS), profileFile) &&
         WriteProfileString(kSection, "CIBLE", Format("%f %f %f", view.CIBLE[0], view.CIBLE[1], view.CIBLE[2]),
                            profileFile);
}

}  // namespace tessaran
