// The renderer of each render mode of the project, behind the one
// interface the frame loop computes images through.
#pragma once

#include <memory>

#include "renderer/app/frame_loop.h"
#include "renderer/app/renderer_shell.h"
#include "scene/maq_scene.h"

namespace tessaran {

// The renderer of the project's mode, with the map records of the scene
// file's first keyframe scene; null (after a message) for a mode that
// cannot run.
std::unique_ptr<ImageRenderer> MakeModeRenderer(const RendererShell& shell, const MaqScene& firstScene,
                                                EngineHooks& hooks, RenderPoll& poll);

// The mode's name in console lines.
const char* ModeName(int mode);

}  // namespace tessaran
