// The operations on the scene's lamps after they were made (BuildLamp):
// what the lamp dialogs "LAMPE" and "COULEUR" show and set, moving the
// lamps the views have selected, and --delete-lamp. Each returns true when
// done; false with a reason in `error`, the scene then being as it was.
#pragma once

#include <vector>

#include "modeler/app/build_ops.h"
#include "scene/scene_model.h"

namespace tessaran {

// Whether a lamp's intensity (0–100 %), aperture (0–180 degrees) and colour
// (0–15 each) can be kept; false with the reason.
bool LampSettingsFit(const LampSettings& settings, BuildError& error);
// The four words of a lamp from its settings (not its place).
void SetLampLook(LampParams& params, const LampSettings& settings);

// The axes of a lamp at `position` whose third axis points at `target`; a
// lamp at the target itself faces the scene as a fresh lamp does.
Mat3 LampAimedAt(const Vec3& position, const Vec3& target);

// Lamp k's settings as the dialogs show them, with its position.
LampSettings LampSettingsOf(const SceneModel& scene, int lamp);

// The lamps the views have selected, in order.
std::vector<int> SelectedLamps(const SceneModel& scene);

// Gives the lamps the intensity, aperture, colour and shadowing of
// `settings`; they keep their place and aim.
bool BuildLampLook(SceneModel& scene, const std::vector<int>& lamps, const LampSettings& settings,
                   BuildError& error);

// Moves the lamps by (x, y, z); each stays aimed at the scene's target, as
// it was made.
bool BuildMoveLamps(SceneModel& scene, const std::vector<int>& lamps, double x, double y, double z,
                    BuildError& error);

// --delete-lamp N (lamps numbered from 0): the lamps after it close up.
// BuildDeleteLamps takes out several at once, numbered as before.
bool BuildDeleteLamps(SceneModel& scene, std::vector<int> lamps, BuildError& error);

}  // namespace tessaran
