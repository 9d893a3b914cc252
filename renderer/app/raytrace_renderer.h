// The "Ray-Tracing" render mode as the frame loop sees it: `RenderScreen`
// for each image, into the result slot the output stage writes from.
#pragma once

#include "renderer/app/frame_loop.h"
#include "renderer/app/render_project.h"
#include "renderer/engine/raytrace.h"
#include "renderer/engine/render_screen.h"

namespace tessaran {

// What the tracer reads of the project: recursion, ambient, the sky colours
// (black when the sky is off), the true-colour flag.
TraceSettings TraceSettingsOf(const RenderProject& project);
// The ground colour ("SOL") as the engine's 12-bit colour.
std::uint16_t GroundColourOf(const RenderProject& project);

class RayTraceRenderer final : public ImageRenderer {
 public:
  RayTraceRenderer(const RenderProject& project, int threads, int maxAntialiasDepth, EngineHooks& hooks,
                   RenderPoll& poll);

  int RenderImage(SceneLoop& loop, int imageNumber) override;

  ScreenCounters Counters() const override { return counters_; }

 private:
  const RenderProject& project_;
  ScreenOptions options_;
  EngineHooks& hooks_;
  RenderPoll& poll_;
  ScreenCounters counters_;
};

}  // namespace tessaran
