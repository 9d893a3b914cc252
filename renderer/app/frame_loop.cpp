#include "renderer/app/frame_loop.h"

#include <algorithm>

#include "renderer/app/planes.h"

namespace tessaran {
namespace {

// Renderer messages of the frame loop's status line.
constexpr int kMsgInterpolation = 136;  // "Interpolation"
constexpr int kMsgRendering = 119;      // "Calcul de Rendu"

}  // namespace

ImageRange RangeOf(const RenderProject& project) {
  return ImageRange{std::max(project.firstImage - 1, 0), project.lastImage};
}

int FirstImageNumber(const RenderProject& project) {
  const bool trueColour = (project.flags & kFlagTrueColour) != 0;
  const bool files = project.Output(kOutImages) || project.Output(kOutAnimation);
  return !trueColour && project.Output(kOutNumberFromOne) && files ? 1 : 0;
}

std::vector<int> IntervalFrames(const RenderSettings& settings, int sceneCount) {
  return FramesOfFile(settings.imageCounts, sceneCount, settings.loop);
}

FrameLoop::FrameLoop(const RenderProject& project, ImageRenderer& renderer, ImageOutput& output, RenderPoll& poll)
    : project_(project),
      range_(RangeOf(project)),
      renderer_(renderer),
      output_(output),
      poll_(poll),
      number_(FirstImageNumber(project)) {}

bool FrameLoop::WantsOutput() const {
  return project_.Output(kOutImages) || project_.Output(kOutAnimation);
}

int FrameLoop::RunInterval(SceneLoop& loop, int n, bool last) {
  EngineHooks& hooks = loop.Hooks();
  hooks.Status(kMsgInterpolation);
  const int count = FramesOfInterval(n, last);
  for (int k = 1; k <= count; ++k) {
    // Every frame is set up, computed or not: the reference frames move one
    // step per frame.
    loop.SetUpFrame(k, count, n);
    const int image = number_++;
    if (!range_.Contains(image)) continue;

    // Only images that are computed need their planes.
    if (FrameLoopLoadsBackPlane(project_)) LoadBackPlane(project_, image, backPlaneReported_);
    hooks.Status(kMsgRendering);
    const int result = renderer_.RenderImage(loop, image);
    if (result == 9) return 9;
    ++computed_;
    numbers_.push_back(image);
    if (project_.Output(kOutFrontPlane)) LoadFrontPlane(project_, image, frontPlaneReported_);
    // The files of an image carry its own number; a finished image is
    // written before a stop between images is looked at.
    if (WantsOutput() && (project_.flags & kFlagTrueColour)) {
      output_.OutputImage(image, !animationOpen_);
      animationOpen_ = true;
    }
    if (result == 1 && WantsOutput() && poll_.Poll(1.0)) return 9;
  }
  return 0;
}

}  // namespace tessaran
