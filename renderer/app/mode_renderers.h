// The wireframe, polygon and pixel render modes as the frame loop sees
// them: each computes the frame the scene loop set up into the result slot
// the output stage writes from.
#pragma once

#include "renderer/app/frame_loop.h"
#include "renderer/app/render_maps.h"
#include "renderer/app/render_project.h"

namespace tessaran {

class WireframeRenderer final : public ImageRenderer {
 public:
  WireframeRenderer(const RenderProject& project, EngineHooks& hooks, RenderPoll& poll)
      : project_(project), hooks_(hooks), poll_(poll) {}
  int RenderImage(SceneLoop& loop, int imageNumber) override;

 private:
  const RenderProject& project_;
  EngineHooks& hooks_;
  RenderPoll& poll_;
};

class PolygonRenderer final : public ImageRenderer {
 public:
  PolygonRenderer(const RenderProject& project, EngineHooks& hooks, RenderPoll& poll)
      : project_(project), hooks_(hooks), poll_(poll) {}
  int RenderImage(SceneLoop& loop, int imageNumber) override;

 private:
  const RenderProject& project_;
  EngineHooks& hooks_;
  RenderPoll& poll_;
};

// With antialiasing the image is computed larger and reduced to the
// project's W × H before the output stage sees it. The scene's colour
// maps, and the sky and ground maps, show as in the ray tracer.
class PixelRenderer final : public ImageRenderer {
 public:
  PixelRenderer(const RenderProject& project, EngineHooks& hooks, RenderPoll& poll);
  int RenderImage(SceneLoop& loop, int imageNumber) override;
  RenderMaps& Maps() { return maps_; }

 private:
  const RenderProject& project_;
  EngineHooks& hooks_;
  RenderPoll& poll_;
  RenderMaps maps_;
};

}  // namespace tessaran
