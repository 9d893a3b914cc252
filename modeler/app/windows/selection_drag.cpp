#include "modeler/app/windows/selection_drag.h"

#include <cmath>

#include "modeler/app/tool_ops.h"
#include "modeler/geometry/camera.h"

namespace tessaran {
namespace {

constexpr double kPixelsPerDoubling = 100;
constexpr double kDegreesPerPixel = 0.5;

}  // namespace

std::optional<Vec3> SelectionDragValues(const SceneModel& scene, ViewInteraction kind, const ViewCamera& view,
                                        const WindowMapping& window, QPoint from, QPoint to) {
  const QPoint d = to - from;
  if (d.isNull()) return std::nullopt;
  switch (kind) {
    case ViewInteraction::MoveSelection: {
      const std::optional<Vec3> centre = SelectionCentre(scene);
      if (!centre) return std::nullopt;
      const DerivedCamera camera = DeriveCamera(view);
      const Vec3 a = Unproject(view, camera, window, from.x(), from.y(), *centre);
      const Vec3 b = Unproject(view, camera, window, to.x(), to.y(), *centre);
      return Vec3{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    }
    case ViewInteraction::SizeSelection: {
      const double percent = 100 * std::pow(2.0, d.x() / kPixelsPerDoubling);
      return Vec3{percent, percent, percent};
    }
    case ViewInteraction::RotateSelection:
      return Vec3{d.y() * kDegreesPerPixel, d.x() * kDegreesPerPixel, 0};
    default:
      return std::nullopt;
  }
}

bool DragSelection(SceneModel& scene, ViewInteraction kind, const ViewCamera& view, const WindowMapping& window,
                   QPoint from, QPoint to, BuildError& error) {
  const std::optional<Vec3> v = SelectionDragValues(scene, kind, view, window, from, to);
  if (!v) return false;
  if (kind == ViewInteraction::MoveSelection) return BuildMove(scene, (*v)[0], (*v)[1], (*v)[2], error);
  if (kind == ViewInteraction::SizeSelection) return BuildSize(scene, (*v)[0], (*v)[1], (*v)[2], error);
  return BuildRotate(scene, (*v)[0], (*v)[1], (*v)[2], error);
}

}  // namespace tessaran
