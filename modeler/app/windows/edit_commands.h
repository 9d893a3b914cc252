// The editing commands of the "Edit" menu on the selection: "Re-meshing
// (x2)", "Substitute", "Cut", "Mirror", "Glue", "Magnet", "Merge" and
// "Divide", run through the operations `qmx --batch` runs.
#pragma once

#include <optional>

#include "scene/scene_model.h"

namespace tessaran {

// Whether `id` is one of those commands.
bool IsEditCommand(int id);

// Runs command `id` as the view with camera `view` shows the scene; a cut
// goes through `cutPlane` when the cut plane is shown, else through the
// selection's centre. True when the model changed; a refusal has shown its
// message where the system has one, and beeped otherwise.
bool RunEditCommand(SceneModel& scene, int id, const ViewCamera& view, const std::optional<Vec3>& cutPlane);

}  // namespace tessaran
