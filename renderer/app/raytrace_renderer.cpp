#include "renderer/app/raytrace_renderer.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "imaging/picture.h"

namespace tessaran {
namespace {

// The order of the sky colours in the project: the dialog's buttons.
enum SkyColour { kZenithUp, kHorizonUp, kHorizonDown, kZenithDown, kGround };

std::array<float, 3> Channels(std::uint32_t packed) {
  return {static_cast<float>(packed & 0xFF) / 255, static_cast<float>((packed >> 8) & 0xFF) / 255,
          static_cast<float>((packed >> 16) & 0xFF) / 255};
}

}  // namespace

TraceSettings TraceSettingsOf(const RenderProject& project) {
  TraceSettings t;
  const int recursion = std::max<int>(project.recursion, 0);
  t.reflectionLimit = recursion;
  t.transmissionLimit = recursion;
  t.ambient = std::clamp(project.ambient / 100.0, 0.0, 1.0);
  const bool sky = (project.raySwitches & kSwitchSky) != 0;
  const auto colour = [&](int i) { return sky ? Channels(project.skyColours[i]) : std::array<float, 3>{}; };
  t.zenith = colour(kZenithUp);
  t.horizonUp = colour(kHorizonUp);
  t.horizonDown = colour(kHorizonDown);
  t.nadir = colour(kZenithDown);
  t.trueColour = (project.flags & kFlagTrueColour) != 0;
  return t;
}

std::uint16_t GroundColourOf(const RenderProject& project) {
  const std::uint32_t c = project.skyColours[kGround];
  const auto level = [](std::uint32_t v) { return static_cast<std::uint16_t>((v & 0xFF) * 15 / 255); };
  return static_cast<std::uint16_t>(level(c) << 8 | level(c >> 8) << 4 | level(c >> 16));
}

RayTraceRenderer::RayTraceRenderer(const RenderProject& project, int threads, int maxAntialiasDepth,
                                   EngineHooks& hooks, RenderPoll& poll)
    : project_(project), hooks_(hooks), poll_(poll) {
  options_.threads = threads;
  options_.antialias = (project.flags & kFlagAntialias) ? std::clamp<int>(project.antialias, 1, 3) : 0;
  options_.maxAntialiasDepth = maxAntialiasDepth;
  maps_.SetSceneFile(NativePath(project.SceneName()));
}

void RayTraceRenderer::SetRun(const std::string& resumeBase, bool estimate, ScreenPosition resume) {
  options_.resumeBase = resumeBase;
  options_.estimate = estimate;
  options_.resume = resume;
}

int RayTraceRenderer::RenderImage(SceneLoop& loop, int imageNumber) {
  FrameTables& frame = loop.Frame();
  TraceSettings trace = TraceSettingsOf(project_);
  trace.frameNumber = imageNumber;
  PreparedScene prepared;
  const TextureMaps* maps = maps_.BeginFrame(project_, frame, imageNumber);
  // The back plane shows through wherever a ray returns black.
  options_.backPlane = project_.Output(kOutBackPlane) ? NativePath(project_.backPlane) : std::string();
  lastImage_ = imageNumber;
  const bool resumed = options_.resume != ScreenPosition{} && !options_.resumeBase.empty();
  const int result =
      RenderScreen(frame, loop.Settings(), trace, maps, hooks_, &poll_, options_, prepared, &counters_, &stop_);
  // The partial image and the corner ring it resumed from are done with
  // once the image is whole (an ".I24" image of the output is written after).
  if (resumed && result == kScreenFinished) {
    std::error_code error;
    for (const char* extension : {".I24", ".ALS"}) {
      std::filesystem::remove(MakeOutputName(options_.resumeBase, imageNumber, extension), error);
    }
  }
  // Only the first image resumes and is estimated.
  options_.resume = {};
  options_.estimate = false;
  maps_.EndFrame();
  return result;
}

}  // namespace tessaran
