#include "renderer/app/frame_loop.h"

#include <algorithm>

namespace tessaran {
namespace {

// The images of one interval as the scene loop counts them: a missing or
// non-positive count stands for one image.
int IntervalImages(const RenderSettings& settings, int interval) {
  const auto i = static_cast<std::size_t>(interval);
  return i < settings.imageCounts.size() && settings.imageCounts[i] > 0 ? settings.imageCounts[i] : 1;
}

}  // namespace

ImageRange RangeOf(const RenderProject& project, int lastImage) {
  return ImageRange{std::max(project.firstImage - 1, 0), lastImage};
}

int FirstImageNumber(const RenderProject& project) {
  const bool trueColour = (project.flags & kFlagTrueColour) != 0;
  const bool files = project.Output(kOutImages) || project.Output(kOutAnimation);
  return !trueColour && project.Output(kOutNumberFromOne) && files ? 1 : 0;
}

std::vector<int> IntervalFrames(const RenderSettings& settings, int sceneCount) {
  std::vector<int> frames;
  if (sceneCount <= 1) {
    if (sceneCount == 1) frames.push_back(FramesOfInterval(1, true));
    return frames;
  }
  for (int scene = 1; scene < sceneCount; ++scene) {
    const bool last = scene == sceneCount - 1 && !settings.loop;
    frames.push_back(FramesOfInterval(IntervalImages(settings, scene - 1), last));
  }
  if (settings.loop) frames.push_back(FramesOfInterval(IntervalImages(settings, sceneCount - 1), false));
  return frames;
}

FrameLoop::FrameLoop(const RenderProject& project, int lastImage, ImageRenderer& renderer, ImageOutput& output,
                     RenderPoll& poll)
    : project_(project),
      range_(RangeOf(project, lastImage)),
      renderer_(renderer),
      output_(output),
      poll_(poll),
      number_(FirstImageNumber(project)) {}

bool FrameLoop::WantsOutput() const {
  return project_.Output(kOutImages) || project_.Output(kOutAnimation);
}

int FrameLoop::RunInterval(SceneLoop& loop, int n, bool last) {
  const int count = FramesOfInterval(n, last);
  for (int k = 1; k <= count; ++k) {
    // Every frame is set up, computed or not: the reference frames move one
    // step per frame.
    loop.SetUpFrame(k, count, n);
    const int image = number_++;
    if (!range_.Contains(image)) continue;

    const int result = renderer_.RenderImage(loop, image);
    if (result == 9) return 9;
    ++computed_;
    numbers_.push_back(image);
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
