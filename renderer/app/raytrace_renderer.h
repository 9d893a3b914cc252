// The "Ray-Tracing" render mode as the frame loop sees it: `RenderScreen`
// for each image, into the result slot the output stage writes from.
#pragma once

#include "renderer/app/frame_loop.h"
#include "renderer/app/render_maps.h"
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
  // The render's texture maps (the scene's are read from the project's
  // scene file); the data directory and the preview's maps are set here.
  RenderMaps& Maps() { return maps_; }
  // This run's resume files (named from `resumeBase`), the answer to the
  // time-estimate question and the position the first image resumes at.
  void SetRun(const std::string& resumeBase, bool estimate, ScreenPosition resume);
  // How the last image stopped, and its number.
  const ScreenStop& LastStop() const { return stop_; }
  int LastImage() const { return lastImage_; }

 private:
  const RenderProject& project_;
  ScreenOptions options_;
  EngineHooks& hooks_;
  RenderPoll& poll_;
  ScreenCounters counters_;
  RenderMaps maps_;
  ScreenStop stop_;
  int lastImage_ = -1;
};

}  // namespace tessaran
