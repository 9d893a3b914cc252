#include "renderer/app/mode_renderers.h"
#include "renderer/app/planes.h"
#include "renderer/app/raytrace_renderer.h"
#include "renderer/engine/mode_render.h"

namespace tessaran {

int PolygonRenderer::RenderImage(SceneLoop& loop, int imageNumber) {
  TraceSettings trace = TraceSettingsOf(project_);
  trace.frameNumber = imageNumber;
  return RenderPolygons(loop.Frame(), loop.Settings(), trace, hooks_, &poll_, FrameLoopLoadsBackPlane(project_));
}

}  // namespace tessaran
