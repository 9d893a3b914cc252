#include "renderer/app/mode_renderers.h"
#include "renderer/app/planes.h"
#include "renderer/engine/mode_render.h"

namespace tessaran {

int WireframeRenderer::RenderImage(SceneLoop& loop, int /*imageNumber*/) {
  return RenderWireframe(loop.Frame(), hooks_, &poll_, FrameLoopLoadsBackPlane(project_));
}

}  // namespace tessaran
