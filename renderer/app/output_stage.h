// The output stage of the frame loop: after each computed image, the files
// the project asks for, made from the image in the result slot — the 24-bit
// image by the project's format index, and the 8-bit screen image through
// `ImageTo8Bit` with the palette of the render's first image, so that the
// images of an animation share one palette.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "imaging/palette.h"
#include "renderer/app/frame_loop.h"
#include "renderer/app/render_project.h"

namespace tessaran {

class OutputStage final : public ImageOutput {
 public:
  // `base`: the name the output files are formed from (MakeOutputName).
  OutputStage(const RenderProject& project, std::string base);

  void OutputImage(int imageNumber, bool firstOfAnimation) override;

  const std::vector<std::filesystem::path>& Written() const { return written_; }
  // Files that could not be written.
  int Failures() const { return failures_; }

 private:
  void Write24(int imageNumber);
  void Write8(int imageNumber);
  void Record(bool ok, const std::filesystem::path& file);

  const RenderProject& project_;
  std::string base_;
  ColourReduction palette_;
  bool paletteMade_ = false;
  int width_ = 0;
  int height_ = 0;
  int failures_ = 0;
  std::vector<std::filesystem::path> written_;
};

}  // namespace tessaran
