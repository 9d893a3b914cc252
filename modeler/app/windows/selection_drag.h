// The selection moved, sized or turned by dragging the mouse in a view,
// through the same operations as the dialogs "DEPLACEMENT" and "ROTATION".
#pragma once

#include <QPoint>
#include <optional>

#include "modeler/app/build_ops.h"
#include "modeler/app/windows/model_view.h"

namespace tessaran {

// The values of the operation a drag from `from` to `to` asks for:
// - MoveSelection: the offset that keeps the selection's centre under the
//   mouse, in the plane through it facing the view;
// - SizeSelection: one size in per cent for all three axes, doubling every
//   100 pixels to the right and halving every 100 to the left;
// - RotateSelection: half a degree per pixel, horizontal travel about the
//   Y axis and vertical travel about the X axis.
// None without travel, or without a selected point to move.
std::optional<Vec3> SelectionDragValues(const SceneModel& scene, ViewInteraction kind, const ViewCamera& view,
                                        const WindowMapping& window, QPoint from, QPoint to);

// Carries out that operation on the selection; false when there is none to
// carry out or it was refused (the scene is then as it was).
bool DragSelection(SceneModel& scene, ViewInteraction kind, const ViewCamera& view, const WindowMapping& window,
                   QPoint from, QPoint to, BuildError& error);

}  // namespace tessaran
