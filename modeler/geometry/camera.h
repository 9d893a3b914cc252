// The camera of a modeler view: the camera shared with the renderer
// (scene/camera.h) derived from TH, PH, zoom, PERS and CIBLE, and the
// projection of model points into the view's window and back.
#pragma once

#include <string_view>

#include "scene/camera.h"
#include "scene/view.h"

namespace tessaran {

// The view's derived camera: D, F, axes and eye, with the zoom and the
// parallel flag it was derived with.
using DerivedCamera = Camera;

// Recomputes the derived camera, and stores D and F in the view too.
DerivedCamera DeriveCamera(ViewCamera& view);
DerivedCamera DeriveCamera(const ViewCamera& view);

// A view window's mapping of camera units to pixels: the modeler's window
// is 640 wide with its centre 120 × the window's aspect value down.
struct WindowMapping : ScreenMapping {
  constexpr WindowMapping() : ScreenMapping{320, 120, 36, 36} {}
};

struct ProjectedPoint {
  int x = 0;
  int y = 0;
  bool visible = false;
};

// Window position of a point given in the axes of a frame (origin,
// orientation), truncated to whole pixels. A point behind the eye lands at
// (-15000, -15000), invisible. `camera` is DeriveCamera(view).
ProjectedPoint Project(const ViewCamera& view, const DerivedCamera& camera, const WindowMapping& window,
                       const Vec3& origin, const Mat3& orientation, const Vec3& p);

// The model point under window position (x, y) at the depth of `reference`
// (a world point): the inverse of Project for points of that depth.
Vec3 Unproject(const ViewCamera& view, const DerivedCamera& camera, const WindowMapping& window, double x,
               double y, const Vec3& reference);

// Zoom commands: in doubles up to 99, out halves down to 0.1.
double ZoomIn(double zoom);
double ZoomOut(double zoom);
// A zoom held between those limits, 0.1 and 99.
double ClampZoom(double zoom);

// The side of the model a DXF import is scaled to fill in this view.
double DxfTargetSize(const ViewCamera& view, const WindowMapping& window = {});

// The view settings of section "Q1_ENV": "TH", "PH", "ZOOM" (× 1000), "PERS"
// and "CIBLE" ("%lf %lf %lf"); what is missing keeps its default.
void LoadViewSettings(ViewCamera& view, std::string_view profileFile = "TESSARAN.INI");
// Writes them back (CIBLE as "%f %f %f"); false when the file cannot be
// written.
bool SaveViewSettings(const ViewCamera& view, std::string_view profileFile = "TESSARAN.INI");

}  // namespace tessaran
