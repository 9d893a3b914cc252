#include "modeler/app/windows/edit_commands.h"

#include <QApplication>

#include "modeler/app/edit_ops.h"
#include "modeler/app/tool_ops.h"
#include "modeler/app/windows/modeler_window.h"

namespace tessaran {

bool IsEditCommand(int id) {
  switch (id) {
    case kCmdRemesh:
    case kCmdSubstitutePlan:
    case kCmdSubstituteBox:
    case kCmdSubstituteDisc:
    case kCmdSubstituteCylinder:
    case kCmdSubstituteSphere:
    case kCmdSubstituteRing:
    case kCmdCutTop:
    case kCmdCutBottom:
    case kCmdCutSide:
    case kCmdMirror:
    case kCmdGlue:
    case kCmdMagnet:
    case kCmdMerge:
    case kCmdDivide:
      return true;
    default:
      return false;
  }
}

bool RunEditCommand(SceneModel& scene, int id, const ViewCamera& view, const std::optional<Vec3>& cutPlane) {
  // The batch mode's names, in the order of the "Substitute" commands.
  static constexpr const char* kPrimitives[] = {"plan", "box", "disc", "cylinder", "sphere", "ring"};
  const Mat3 axes = ViewAxes(view);
  BuildError error;
  bool changed = false;
  switch (id) {
    case kCmdRemesh:
      changed = BuildRemesh(scene, error);
      break;
    case kCmdCutTop:
    case kCmdCutBottom:
    case kCmdCutSide: {
      const CutSide side = id == kCmdCutTop ? CutSide::Top : id == kCmdCutBottom ? CutSide::Bottom : CutSide::Side;
      changed = BuildCut(scene, side, cutPlane.value_or(SelectionCentre(scene).value_or(Vec3{})), axes, error);
      break;
    }
    case kCmdMirror:
      changed = BuildMirror(scene, axes, error);
      break;
    case kCmdGlue:
      changed = BuildGlue(scene, error);
      break;
    case kCmdMagnet:
      changed = BuildMagnet(scene, axes, error);
      break;
    case kCmdMerge:
      changed = BuildMerge(scene, error);
      break;
    case kCmdDivide:
      changed = BuildDivide(scene, error);
      break;
    default:
      if (id >= kCmdSubstitutePlan && id <= kCmdSubstituteRing) {
        changed = BuildSubstitute(scene, kPrimitives[id - kCmdSubstitutePlan], error);
      }
      break;
  }
  if (!changed) QApplication::beep();
  return changed;
}

}  // namespace tessaran
