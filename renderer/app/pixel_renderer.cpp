#include <algorithm>

#include "renderer/app/mode_renderers.h"
#include "renderer/app/planes.h"
#include "renderer/app/raytrace_renderer.h"
#include "renderer/engine/mode_render.h"

namespace tessaran {

PixelRenderer::PixelRenderer(const RenderProject& project, EngineHooks& hooks, RenderPoll& poll)
    : ModeRenderer(project, hooks, poll) {
  maps_.SetSceneFile(NativePath(project.SceneName()));
}

int PixelRenderer::RenderImage(SceneLoop& loop, int imageNumber) {
  FrameTables& frame = loop.Frame();
  TraceSettings trace = TraceSettingsOf(project_);
  trace.frameNumber = imageNumber;
  const int antialias = (project_.flags & kFlagAntialias) ? std::clamp<int>(project_.antialias, 1, 3) : 0;
  const TextureMaps* maps = maps_.BeginFrame(project_, frame, imageNumber);
  const int result =
      RenderPixelMode(frame, loop.Settings(), trace, maps, hooks_, &poll_, antialias, FrameLoopLoadsBackPlane(project_));
  maps_.EndFrame();
  return result;
}

}  // namespace tessaran
