// The wireframe, polygon and pixel render modes as the frame loop sees
// them: each computes the frame the scene loop set up into the result slot
// the output stage writes from.
#pragma once

#include "renderer/app/frame_loop.h"
#include "renderer/app/render_maps.h"
#include "renderer/app/render_project.h"

namespace tessaran {

// What every mode renderer reads: the project, the engine's hooks and the
// render poll.
class ModeRenderer : public ImageRenderer {
 public:
  ModeRenderer(const RenderProject& project, EngineHooks& hooks, RenderPoll& poll)
      : project_(project), hooks_(hooks), poll_(poll) {}

 protected:
  const RenderProject& project_;
  EngineHooks& hooks_;
  RenderPoll& poll_;
};

class WireframeRenderer final : public ModeRenderer {
 public:
  using ModeRenderer::ModeRenderer;
  int RenderImage(SceneLoop& loop, int imageNumber) override;
};

class PolygonRenderer final : public ModeRenderer {
 public:
  using ModeRenderer::ModeRenderer;
  int RenderImage(SceneLoop& loop, int imageNumber) override;
};

// With antialiasing the image is computed larger and reduced to the
// project's W × H before the output stage sees it. The scene's colour
// maps, and the sky and ground maps, show as in the ray tracer.
class PixelRenderer final : public ModeRenderer {
 public:
  PixelRenderer(const RenderProject& project, EngineHooks& hooks, RenderPoll& poll);
  int RenderImage(SceneLoop& loop, int imageNumber) override;
  RenderMaps& Maps() { return maps_; }

 private:
  RenderMaps maps_;
};

}  // namespace tessaran
