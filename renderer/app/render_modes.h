// The renderer of each render mode of the project, behind the one
// interface the frame loop computes images through.
#pragma once

#include <memory>

#include "renderer/app/frame_loop.h"
#include "renderer/app/renderer_shell.h"

namespace tessaran {

// The renderer of the project's mode; null (after a message) for a mode
// that cannot run.
std::unique_ptr<ImageRenderer> MakeModeRenderer(const RendererShell& shell, EngineHooks& hooks, RenderPoll& poll);

// The mode's name in console lines.
const char* ModeName(int mode);

}  // namespace tessaran
