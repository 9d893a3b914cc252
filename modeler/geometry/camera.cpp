#include "modeler/geometry/camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/profile.h"

namespace tessaran {

namespace {

// The view's parallel PERS is the shared camera's.
static_assert(kParallelPERS == kParallelPers);

constexpr int kBehindEye = -15000;
// A visible point very near the eye's plane lands far outside any window;
// its position is held within this many pixels so that it stays a whole
// number a window can draw to.
constexpr double kFarPixels = 1e6;
constexpr double kMaxZoom = 99;
constexpr double kMinZoom = 0.1;
constexpr double kDxfFill = 0.707106;
constexpr double kHalfWindow = 320;
constexpr const char* kSection = "Q1_ENV";

std::string Format(const char* format, double a, double b = 0, double c = 0) {
  char text[128];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

}  // namespace

DerivedCamera DeriveCamera(const ViewCamera& view) {
  return CameraFromView(view.TH, view.PH, view.zoom, view.PERS, view.CIBLE);
}

DerivedCamera DeriveCamera(ViewCamera& view) {
  const DerivedCamera camera = DeriveCamera(static_cast<const ViewCamera&>(view));
  view.distance = camera.D;
  view.focal = camera.F;
  return camera;
}

// The camera carries the view's zoom and projection: the view itself is not
// consulted again.
ProjectedPoint Project(const ViewCamera& /*view*/, const DerivedCamera& camera, const WindowMapping& window,
                       const Vec3& origin, const Mat3& orientation, const Vec3& p) {
  const ScreenPoint s = ProjectToScreen(camera, window, ToWorld(origin, orientation, p));
  if (!s.visible || !std::isfinite(s.x) || !std::isfinite(s.y)) return {kBehindEye, kBehindEye, false};
  return {static_cast<int>(std::clamp(s.x, -kFarPixels, kFarPixels)),
          static_cast<int>(std::clamp(s.y, -kFarPixels, kFarPixels)), true};
}

Vec3 Unproject(const ViewCamera& /*view*/, const DerivedCamera& camera, const WindowMapping& window, double x,
               double y, const Vec3& reference) {
  const double depth = ViewCoordinates(camera, reference)[2];
  // A perspective reference at or behind the eye keeps the parallel scale.
  double a = camera.zoom * kParallelScale;
  if (!camera.parallel && depth < camera.D) a = camera.D / (camera.D - depth);
  return WorldFromView(camera,
                       {(x - window.centreX) / window.scaleX / a, (window.centreY - y) / window.scaleY / a, depth});
}

double ZoomIn(double zoom) { return std::min(zoom * 2, kMaxZoom); }
double ZoomOut(double zoom) { return zoom > kMinZoom ? std::max(zoom / 2, kMinZoom) : kMinZoom; }
double ClampZoom(double zoom) { return std::clamp(zoom, kMinZoom, kMaxZoom); }

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
