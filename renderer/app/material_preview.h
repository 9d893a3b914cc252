// The material preview of the renderer shell: the preview sphere of
// "SEE.RPJ" rendered with the material the modeler edits, as one image.
#pragma once

#include <array>

#include "renderer/app/renderer_shell.h"
#include "renderer/engine/mapping.h"
#include "renderer/engine/scene_loop.h"

namespace tessaran {

constexpr const char* kPreviewGround = "SEEGRND.LBM";
// Tile size of the preview's ground map, both ways.
constexpr double kPreviewGroundScale = 400;

// Loads data directory + "SEE.RPJ" as the project (when it cannot be
// read: the defaults with a 320 × 200 image at 100 %), so that the window
// can take the preview's size before it renders.
void LoadPreviewProject(RendererShell& shell);

// The first preview since start: loads data directory + "SEE.RPJ" as the
// project (when it cannot be read: the defaults with a 320 × 200 image at
// 100 %), sets the ground mapping to the data directory's "SEEGRND.LBM"
// with both scales 400, and renders the preview sphere of `material` with
// its colour, bump and opacity maps into the result slot (virtual image 0).
// kRenderDone, kRenderFailed or kRenderStopped.
int RenderMaterialPreview(RendererShell& shell, const PreviewMaterial& material,
                          const std::array<PreviewMap, 3>& maps, RenderPoll& poll);

}  // namespace tessaran
