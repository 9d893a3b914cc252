// The frame loop: computes the images of each interval the scene loop hands
// over, keeps the running image number that names every output file, skips
// the images outside the range to compute (counted, not computed, so that a
// farm can split an animation), and runs the output stage after each image.
#pragma once

#include <vector>

#include "platform/report.h"
#include "renderer/app/render_project.h"
#include "renderer/engine/engine.h"
#include "renderer/engine/render_screen.h"
#include "renderer/engine/scene_loop.h"

namespace tessaran {

// What computes one image into the result slot; the render modes implement it.
class ImageRenderer {
 public:
  virtual ~ImageRenderer() = default;
  // Computes the frame set up in `loop`: 1 finished, 0 abandoned, 9 stopped
  // (saved for resume when asked).
  virtual int RenderImage(SceneLoop& loop, int imageNumber) = 0;
  // Rays traced so far, for the summary; modes that trace none report 0.
  virtual ScreenCounters Counters() const { return {}; }
};

// The output stage: image files and the animation frame of a computed image.
class ImageOutput {
 public:
  virtual ~ImageOutput() = default;
  // `firstOfAnimation` opens the animation file.
  virtual void OutputImage(int imageNumber, bool firstOfAnimation) = 0;
  // The render has ended, finished or stopped: the animation file is closed
  // so that the frames recorded make a whole file.
  virtual void Finish() {}
};

// The image numbers to compute: from the project's first image to compute
// minus one, up to its last image (-1: to the end).
struct ImageRange {
  int first = 0;
  int last = -1;
  bool Contains(int number) const { return number >= first && (last < 0 || number <= last); }
};
ImageRange RangeOf(const RenderProject& project);

// The number of the first image of a render: 1 outside true-colour mode
// when images or an animation are numbered from 1, else 0.
int FirstImageNumber(const RenderProject& project);

// Frames of every interval of a scene file of sceneCount keyframe scenes, in
// the scene loop's order (the loop interval last); their sum is the number
// of images the render makes (FramesOfFile, as the dialog's total).
std::vector<int> IntervalFrames(const RenderSettings& settings, int sceneCount);

class FrameLoop final : public IntervalSink {
 public:
  FrameLoop(const RenderProject& project, ImageRenderer& renderer, ImageOutput& output, RenderPoll& poll);

  int RunInterval(SceneLoop& loop, int n, bool last) override;

  int NextImageNumber() const { return number_; }
  int ComputedImages() const { return computed_; }
  // Image numbers computed, in order.
  const std::vector<int>& Computed() const { return numbers_; }

 private:
  bool WantsOutput() const;

  const RenderProject& project_;
  ImageRange range_;
  ImageRenderer& renderer_;
  ImageOutput& output_;
  RenderPoll& poll_;
  int number_;
  int computed_ = 0;
  bool animationOpen_ = false;
  bool backPlaneReported_ = false;  // a failed plane picture was told
  bool frontPlaneReported_ = false;
  std::vector<int> numbers_;
};

}  // namespace tessaran
