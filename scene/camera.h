// The camera shared by the modeler's views and the renderer's primary rays.
//
// How the renderer's camera follows from the view's. A view (TH, PH, zoom,
// PERS, CIBLE) derives the viewing distance D = PERS × 0.02, the focal value
// F = D × 25 / zoom, the axes (the identity turned about Y by TH, then about
// X by PH; rows right, up, back) and the eye E = CIBLE + F · back. It
// projects a point whose coordinates along the axes, relative to E, are c
// with a = D / (D − c.z): x = centre x + scale x · a · c.x, and y likewise
// upwards. Writing r = c − (0, 0, D) gives x = centre x + scale x · D · r.x /
// (−r.z): a pinhole whose centre of projection is P = E + D · back =
// CIBLE + (F + D) · back, with focal distance D. So the renderer puts its eye
// at P, looks along −back with y up, takes f = D, and maps the image as a
// 640 × 480 view (36 pixels per unit) scaled by W / 640, its y scale divided
// by the pixel ratio (pixel height over width, so a 320 × 200 image at 120 %
// shows the 4:3 field of the view). A primary ray through image point
// (px, py) then passes through exactly the points the view projects there.
// The scene file's camera record holds D and F themselves, so the renderer
// derives the same camera from it; D = 200 (PERS 10000) is the parallel
// projection, whose rays run along −back from the plane of E.
#pragma once

#include "scene/frames.h"

namespace tessaran {

struct Camera {
  double D = 40;     // viewing distance, PERS × 0.02; the renderer's focal distance
  double F = 250;    // focal value, D × 25 / zoom
  double zoom = 1;
  bool parallel = false;        // PERS 10000
  Mat3 axes = IdentityMatrix(); // right, up, back (one per row)
  Vec3 eye{};                   // the view's eye E = CIBLE + F · back
  Vec3 centre{};                // centre of projection P = E + D · back: the renderer's eye
};

// PERS of a parallel projection, and the scale a view uses for it.
constexpr int kParallelPers = 10000;
constexpr double kParallelScale = 0.04;

// From a view: angles in degrees, PERS as the view holds it.
Camera CameraFromView(double THdegrees, double PHdegrees, double zoom, int PERS, const Vec3& CIBLE);
// From the scene file's camera record: distance D and focal value F in
// model units, angles in radians.
Camera CameraFromRecord(double distance, double focal, double THradians, double PHradians,
                        const Vec3& target);

// Coordinates along the camera's axes relative to the view's eye E (the
// view's c) and back to world coordinates.
Vec3 ViewCoordinates(const Camera& camera, const Vec3& world);
Vec3 WorldFromView(const Camera& camera, const Vec3& c);

// The renderer's camera coordinates: eye P at the origin, looking along −z,
// y up. Inline: the frame's set-up takes it for every point.
inline Vec3 RenderCoordinates(const Camera& camera, const Vec3& world) {
  const Vec3 d{world[0] - camera.centre[0], world[1] - camera.centre[1], world[2] - camera.centre[2]};
  const auto along = [&d](const Vec3& axis) { return d[0] * axis[0] + d[1] * axis[1] + d[2] * axis[2]; };
  return {along(camera.axes[0]), along(camera.axes[1]), along(camera.axes[2])};
}

// Camera units to pixels: where the axis meets the picture and the pixels
// per unit of the projection plane.
struct ScreenMapping {
  double centreX = 320;
  double centreY = 240;
  double scaleX = 36;
  double scaleY = 36;
};

// The reference view the renderer's images stand for: 640 pixels wide at 36
// pixels per unit.
constexpr double kViewWidth = 640;
constexpr double kViewScale = 36;

// The mapping of a W × H image with the pixel ratio in tenths of a percent
// (1000 = square pixels), centred where the renderer samples pixel centres
// (W÷2 − 0.5, H÷2 + 0.5); or of an image W wide centred elsewhere (the
// antialiased corners).
ScreenMapping ImageMapping(int W, int H, int pixelRatio);
ScreenMapping ImageMapping(int W, int pixelRatio, double centreX, double centreY);

struct ScreenPoint {
  double x = 0;
  double y = 0;
  bool visible = false;  // perspective: in front of P; parallel: not in front of E's plane
};

// The view's projection, unrounded. A point behind the eye is not visible.
ScreenPoint ProjectToScreen(const Camera& camera, const ScreenMapping& mapping, const Vec3& world);
// The same for a point in renderer camera coordinates.
ScreenPoint ProjectRenderPoint(const Camera& camera, const ScreenMapping& mapping, const Vec3& r);

struct CameraRay {
  Vec3 origin{};     // renderer camera coordinates
  Vec3 direction{};  // unit
};

// The primary ray through image point (px, py), in renderer camera
// coordinates: from the eye, direction normalise((px − cx)/sx, (cy − py)/sy,
// −f); parallel rays start in the plane of E and run along −z.
CameraRay PrimaryRay(const Camera& camera, const ScreenMapping& mapping, double px, double py);

}  // namespace tessaran
