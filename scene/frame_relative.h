// Keeping a frame hung from a parent where it is after its absolute values
// were changed directly (moving, turning or scaling objects).
#pragma once

#include "scene/frames.h"

namespace tessaran {

// Frame k's values relative to its parent follow its absolute ones, so that
// an update from the parent keeps it where it is now. Nothing for a root.
void RefreshRelative(FrameTable& frames, int k);

}  // namespace tessaran
