// The "Ray-Tracing" render mode as the frame loop sees it: `RenderScreen`
// for each image, then the output stage (the 24-bit image by the project's
// format index, the 8-bit screen image through `ImageTo8Bit`).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "imaging/palette.h"
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
  // `base`: the name the output files are formed from (MakeOutputName).
  RayTraceRenderer(const RenderProject& project, std::string base, int threads, int maxAntialiasDepth,
                   EngineHooks& hooks, RenderPoll& poll);

  int RenderImage(SceneLoop& loop, int imageNumber) override;
  void OutputImage(int imageNumber, bool firstOfAnimation) override;

  const ScreenCounters& Counters() const { return counters_; }
  const std::vector<std::filesystem::path>& Written() const { return written_; }
  // Images whose file could not be written.
  int Failures() const { return failures_; }

 private:
  void Write24(int imageNumber);
  void Write8(int imageNumber);
  void Record(bool ok, const std::filesystem::path& file);

  const RenderProject& project_;
  std::string base_;
  ScreenOptions options_;
  EngineHooks& hooks_;
  RenderPoll& poll_;
  ScreenCounters counters_;
  ColourReduction palette_;
  bool paletteMade_ = false;
  int width_ = 0;
  int height_ = 0;
  int failures_ = 0;
  std::vector<std::filesystem::path> written_;
};

}  // namespace tessaran
