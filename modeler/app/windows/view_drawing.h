// What a modeler view shows: every point of the scene projected into the
// view's projected-point table, and the wire drawing read from that table —
// the objects' meshes or faces, the lamps and the scene's camera.
#pragma once

#include <QImage>
#include <QSize>

#include "modeler/geometry/camera.h"
#include "scene/scene_model.h"

namespace tessaran {

// The window mapping of a view of that size: the centre in the middle and
// 36 pixels per unit for a window 640 pixels wide, in proportion otherwise.
WindowMapping MappingForSize(QSize size);

// Values per point of a projected-point table: window x, window y, and 1
// when the point is visible.
inline constexpr int kProjectedValues = 4;

// Stores the window position of every point of every object at 4k and
// 4k + 1 of `table` (k the 0-based point number), its visibility at 4k + 2.
// Points are kept where they stand in the world: the renderer draws them
// there, and moving, turning or sizing an object moves its points with its
// frame. The frame only carries the object's origin and axes (for its maps,
// its motion between keyframes and the objects glued to it), so the points
// are not taken through it again.
void ProjectScene(SceneModel& scene, const ViewCamera& view, const WindowMapping& window, VTH* table);

// The window position stored for point k (0-based) by ProjectScene.
ProjectedPoint ProjectedAt(VTH* table, int k);

// How the objects are drawn ("Drawing" menu, numbered as the display modes
// of the views): every object as its bounding box; as its wire mesh; the
// rows and columns of the selected meshes, or of every mesh, as the smooth
// spline curves the renderer's surfaces follow; the objects other than the
// selected ones as their boxes. Faceted objects have no spline: they keep
// their faces.
enum class DrawMode { Boxes = 1, Wire = 2, SplinesSelected = 3, SplinesAll = 4, BoxesButSelection = 5 };
// Where the view with that camera and mapping shows lamp k's mark, its
// frame brought up to date first.
ProjectedPoint ProjectedLamp(SceneModel& scene, const ViewCamera& view, const WindowMapping& window, int lamp);

struct DrawOptions {
  DrawMode mode = DrawMode::Wire;
  bool camera = false;             // "Camera On/Off": the scene's camera is drawn
  const ViewCamera* sceneCamera = nullptr;
  const ViewCamera* view = nullptr;  // the view drawn, for the lamps and the camera
  WindowMapping window;
};

// The colours of the drawing.
inline const QColor kWireColour{20, 40, 120};
inline const QColor kSelectedColour{210, 30, 30};
inline const QColor kLampColour{200, 140, 0};
inline const QColor kCameraColour{0, 130, 60};
inline const QColor kCutPlaneColour{120, 0, 160};

// Draws the objects from the positions of `table` into a 32-bit picture, in
// the options' mode: plain objects as the rows and columns of their mesh
// (straight or spline), faceted ones as the visible edges of their faces,
// boxes from the objects' bounding boxes (which need `options.view`);
// selected objects in their own colour. A line is drawn only when both its
// ends are visible. Then the lamps and, when asked, the scene's camera.
// Draws the objects from the positions of `table` into a 32-bit picture:
// plain objects as the rows and columns of their mesh, faceted ones as the
// visible edges of their faces; selected objects in their own colour. A
// line is drawn only when both its ends are visible. Then the lamps and,
// when asked, the scene's camera; selected lamps in the selection's colour.
void DrawScene(QImage& picture, SceneModel& scene, VTH* table, const DrawOptions& options);

}  // namespace tessaran
