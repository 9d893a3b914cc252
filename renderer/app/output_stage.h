// The output stage of the frame loop: after each computed image, the files
// the project asks for, made from the image in the result slot — the 24-bit
// image by the project's format index, the 8-bit screen image through
// `ImageTo8Bit`, and the frame of the animation file (".ANM" or ".AVI" by
// the project's animation format). Every 8-bit picture of a render maps to
// the palette of the render's first computed image, so the screen images
// and the frames of an animation share one palette.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "imaging/palette.h"
#include "storage/virtim.h"
#include "renderer/app/frame_loop.h"
#include "renderer/app/render_project.h"

namespace tessaran {

struct AnmWriter;
struct AviWriter;

class OutputStage final : public ImageOutput {
 public:
  // `base`: the name the output files are formed from (MakeOutputName).
  OutputStage(const RenderProject& project, std::string base);
  // An animation never finished leaves no file behind.
  ~OutputStage() override;
  OutputStage(const OutputStage&) = delete;
  OutputStage& operator=(const OutputStage&) = delete;

  void OutputImage(int imageNumber, bool firstOfAnimation) override;
  // Closes the animation file; it takes its name only when it is whole.
  // The partial animation a resumed render took up goes then.
  void Finish() override;
  // Closes the animation of a stopped render under PartialAnimationFile():
  // a whole animation of an earlier render keeps its name until this one
  // is resumed to its end.
  void FinishStopped();

  // Goes on with the animation of a stopped render of this project: its
  // partial file holds the `frames` frames made before the stop (older
  // renders left them under the animation's own name), which open this
  // render's animation, and its palette maps every 8-bit picture, so that
  // the animation equals that of a render never stopped. When they cannot
  // be read back the animation is abandoned and its file left as it is.
  void ContinueAnimation(int frames) { continueFrames_ = frames; }
  // Frames recorded into the animation so far, those taken up included.
  int AnimationFrames() const { return animationFrames_; }

  const std::vector<std::filesystem::path>& Written() const { return written_; }
  // Files that could not be written, and images missing from the animation.
  int Failures() const { return failures_; }
  // The animation file of this render: the base name with the extension of
  // the animation format, in the output directory when one is set.
  std::filesystem::path AnimationFile() const;
  // The animation of a stopped render: the animation's name with "~"
  // before its extension ("DEMO~.AVI").
  std::filesystem::path PartialAnimationFile() const;
  // Whether the project records an animation: bit 3 and more than one
  // keyframe scene.
  bool WantsAnimation() const;
  // Whether the 24-bit and the screen images are asked for in formats of
  // one extension ("BMP" and "BMP24", "PCX" and "PCX24"): one image number
  // would name both files.
  bool ScreenImagesShareTheName() const;

 private:
  void Write24(int imageNumber);
  bool Make8(int imageNumber);
  void Write8(int imageNumber);
  bool OpenAnimation(const VirtIm& dib);
  bool TakeUpAnimation();
  bool RecordFrame(const std::string& frame, const std::uint8_t* pixels);
  void AddToAnimation(int imageNumber, bool open);
  void DropAnimation(const std::string& why);
  void Record(bool ok, const std::filesystem::path& file);

  const RenderProject& project_;
  std::string base_;
  ColourReduction palette_;
  bool paletteMade_ = false;
  int width_ = 0;
  int height_ = 0;
  int failures_ = 0;
  std::vector<std::filesystem::path> written_;
  // The animation being recorded (one of the two), and its frame size.
  std::unique_ptr<AnmWriter> anm_;
  std::unique_ptr<AviWriter> avi_;
  bool sharedNameReported_ = false;
  bool animationFailed_ = false;
  std::uint32_t animationWidth_ = 0;
  std::uint32_t animationHeight_ = 0;
  int animationFrames_ = 0;
  int continueFrames_ = 0;
  std::filesystem::path takenUp_;  // the file the frames before the stop came from
};

}  // namespace tessaran
