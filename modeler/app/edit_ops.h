// The editing operations of the "Edit" menu on the selected objects, shared by
// the modeler's windows and `qmx --batch`: re-meshing, substitution by a
// primitive, the cuts at the cut plane, mirror, glue, magnet, merge and
// divide. The operations that lie "as the view shows it" (cut, mirror,
// magnet) take the axes of a view's camera: its first axis points right,
// its second up, its third towards the eye.
//
// Like the operations of build_ops.h each returns true when the scene
// changed; false with the reason in `error` (and the numbered message shown
// where the system has one), the scene then being as it was.
#pragma once

#include <string_view>

#include "modeler/app/build_ops.h"
#include "scene/scene_model.h"

namespace tessaran {

// The axes (rows: right, up, towards the eye) of the camera of `view`.
Mat3 ViewAxes(const ViewCamera& view);

// --remesh: "Re-meshing (x2)"; refused with message 55 when faceted objects
// are selected.
bool BuildRemesh(SceneModel& scene, BuildError& error);

// --substitute plan|box|disc|cylinder|sphere|ring: the selected objects
// rebuilt as that primitive where their mesh suits it (warning 39 for each
// that does not), in their own frame.
bool BuildSubstitute(SceneModel& scene, std::string_view kind, BuildError& error);

// Which part of the selection a cut takes away: what lies above the cut
// plane, below it, or to its right, as the view shows it.
enum class CutSide { Top, Bottom, Side };

// --cut top|bottom|side [X Y Z]: the points of the selected objects beyond
// the cut plane through `planePoint` (perpendicular to the view's up axis
// for top and bottom, to its right axis for side) are brought onto it.
bool BuildCut(SceneModel& scene, CutSide side, const Vec3& planePoint, const Mat3& viewAxes, BuildError& error);
// The batch form: the words "top|bottom|side [X Y Z]", the plane through the
// selection's centre without X Y Z, the scene's camera as the view.
bool RunCutOperation(SceneModel& scene, const BuildOperation& op, BuildError& error);

// --mirror: each selected object mirrored in the view's vertical plane
// through its own origin, its faces still turned outward.
bool BuildMirror(SceneModel& scene, const Mat3& viewAxes, BuildError& error);

// --glue: the frames of the selected objects hang from the first selected
// object's frame (at least two objects).
bool BuildGlue(SceneModel& scene, BuildError& error);

// Extends the selection to every object glued with a selected one (objects
// whose frames hang, at any depth, from the same object's frame), so that a
// glued group is picked, moved, turned and sized as one.
void SelectGlued(SceneModel& scene);

// --magnet: the selection moves down the view's up axis until it rests on
// the nearest object beneath it.
bool BuildMagnet(SceneModel& scene, const Mat3& viewAxes, BuildError& error);

// --merge: exactly two selected faceted objects (else message 10 for the
// count) become one faceted object.
bool BuildMerge(SceneModel& scene, BuildError& error);

// --divide: each selected faceted object made of separate parts becomes one
// object per part, and selected objects glued to another are freed.
bool BuildDivide(SceneModel& scene, BuildError& error);

}  // namespace tessaran
