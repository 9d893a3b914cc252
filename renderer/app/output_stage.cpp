#include "renderer/app/output_stage.h"

#include <algorithm>
#include <utility>

#include "imaging/anm.h"
#include "imaging/avi.h"
#include "imaging/bmp.h"
#include "imaging/ilbm.h"
#include "imaging/pcx.h"
#include "imaging/picture.h"
#include "imaging/rawrgb.h"
#include "imaging/tga.h"
#include "renderer/app/output_settings.h"
#include "renderer/engine/render_screen.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

// The slot the 8-bit picture of a frame is made in.
constexpr int kScreenImageSlot = 4;
constexpr int kAviFormat = 1;

// An animation file's palette and frames, each as the pixels of an 8-bit
// virtual image.
struct RecordedFrames {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> palette = std::vector<std::uint8_t>(1024);
  std::vector<std::vector<std::uint8_t>> frames;
};

bool ReadRecordedFrames(const std::filesystem::path& file, bool avi, RecordedFrames& r) {
  int bits = 0;
  AnmReader anm;
  AviReader aviReader;
  const bool open = avi ? AviOpen(aviReader, file, r.palette.data(), r.width, r.height, bits) == 1
                        : AnmOpenRead(anm, file, r.palette.data(), r.width, r.height, bits) == 1;
  if (!open || bits != 8) return false;
  // An ".ANM" counts its last delta (back to the first frame) as a frame.
  const std::size_t count = avi ? aviReader.index.size() : anm.header.frames - (anm.header.hasLastDelta ? 1 : 0);
  const std::size_t bytes = (static_cast<std::size_t>(r.width) + 3) / 4 * 4 * static_cast<std::size_t>(r.height);
  for (std::size_t f = 0; f < count; ++f) {
    std::vector<std::uint8_t> frame(bytes);
    if (avi ? AviNextFrame(aviReader, frame.data()) == 0 : lpfTab(anm, frame.data()) != static_cast<int>(f)) {
      return false;
    }
    r.frames.push_back(std::move(frame));
  }
  return true;
}

}  // namespace

OutputStage::OutputStage(const RenderProject& project, std::string base)
    : project_(project), base_(std::move(base)) {}

OutputStage::~OutputStage() = default;

bool OutputStage::WantsAnimation() const { return project_.Output(kOutAnimation) && project_.sceneCount > 1; }

bool OutputStage::ScreenImagesShareTheName() const {
  return project_.Output(kOutImages) && project_.Output(kOut24BitImages) && project_.Output(kOutScreenImages) &&
         Format24(project_.format24).extension == Format8(project_.format8).extension;
}

std::filesystem::path OutputStage::AnimationFile() const {
  // The base has no extension left to replace: the format's is appended,
  // so a scene named "A.B.MAQ" records "A.B.ANM".
  return MakeOutputName(base_ + std::string(AnimFormat(project_.animFormat).extension), -1, {});
}

std::filesystem::path OutputStage::PartialAnimationFile() const {
  return MakeOutputName(base_ + "~" + std::string(AnimFormat(project_.animFormat).extension), -1, {});
}

void OutputStage::Record(bool ok, const std::filesystem::path& file) {
  if (ok) {
    written_.push_back(file);
  } else {
    ++failures_;
    Reporter().Report(MessageKind::Error, -1, "cannot write " + file.string());
  }
}

void OutputStage::Write24(int n) {
  const int format = std::clamp<int>(project_.format24, 0, kFormat24Count - 1);
  const std::filesystem::path name = MakeOutputName(base_, n, Format24(format).extension);
  bool ok = false;
  switch (format) {
    case 0: ok = WriteTga(base_, n, width_, height_, kResultSlot, false) == 0; break;
    case 1: ok = WriteTga(base_, n, width_, height_, kResultSlot, true) == 0; break;
    case 2: ok = WriteI24(base_, n, width_, height_, kResultSlot) == 0; break;
    case 3: ok = WriteRawRgb(base_, n, width_, height_, kResultSlot) == 1; break;
    case 4: ok = WritePcx(base_, n, kResultSlot) == 1; break;
    default: ok = WriteBmp(base_, n, kResultSlot, height_) == 0; break;
  }
  Record(ok, name);
}

bool OutputStage::Make8(int n) {
  // Every picture after the first maps to the first one's palette, as the
  // frames of an animation must.
  if (VimCreate(kScreenImageSlot, width_, height_, 8) &&
      ImageTo8Bit(palette_, kResultSlot, VimSlot(kScreenImageSlot), paletteMade_)) {
    paletteMade_ = true;
    return true;
  }
  ++failures_;
  Reporter().Report(MessageKind::Error, -1, "no 8-bit picture of image " + std::to_string(n));
  return false;
}

void OutputStage::Write8(int n) {
  const VirtIm& dib = VimSlot(kScreenImageSlot);
  const int format = std::clamp<int>(project_.format8, 0, kFormat8Count - 1);
  const std::filesystem::path name = MakeOutputName(base_, n, Format8(format).extension);
  bool ok = false;
  switch (format) {
    case 0: ok = WriteLbm(base_, n, dib) == 0; break;
    case 1: ok = WritePcx(base_, n, dib) == 1; break;
    default: ok = WriteBmp(base_, n, dib) == 0; break;
  }
  Record(ok, name);
}

void OutputStage::DropAnimation(const std::string& why) {
  // The writers' temporary file goes with them: no broken animation is
  // left, and no good one of an earlier render is replaced.
  anm_.reset();
  avi_.reset();
  animationFailed_ = true;
  ++failures_;
  const std::string file = AnimationFile().string();
  Reporter().Report(MessageKind::Error, -1,
                    why + " " + file + "; the animation is abandoned (a file of that name from before is left as it was)");
}

bool OutputStage::OpenAnimation(const VirtIm& dib) {
  const std::filesystem::path file = AnimationFile();
  bool ok = false;
  if (std::clamp<int>(project_.animFormat, 0, kAnimFormatCount - 1) == kAviFormat) {
    avi_ = std::make_unique<AviWriter>();
    // The headers are brought to the frames really recorded at closing.
    ok = AviCreate(*avi_, file, static_cast<int>(TotalImages(project_)), dib) == 1;
  } else {
    anm_ = std::make_unique<AnmWriter>();
    ok = AnmOpen(*anm_, file, dib) == 1;
  }
  if (!ok) {
    DropAnimation("cannot create");
    return false;
  }
  animationWidth_ = dib.width;
  animationHeight_ = dib.height;
  return true;
}

bool OutputStage::RecordFrame(const std::string& frame, const std::uint8_t* pixels) {
  if (avi_) {
    if (AviAddFrame(*avi_, pixels) != 1) {
      DropAnimation("cannot write");
      return false;
    }
  } else if (anm_ && AnmAddFrame(*anm_, pixels) != 1) {
    // Either the file cannot be written, or the frame's change from the one
    // before does not fit an ".ANM" record (message 167): an animation
    // lacking an image must not take the place of a whole one.
    DropAnimation(anm_->failed ? "cannot write"
                               : frame + " changes too much for a frame record (64 KB; AVI has no such limit) of");
    return false;
  }
  ++animationFrames_;
  return true;
}

// The frames the stopped render recorded come back from its file as they
// were recorded, and open the animation again in the same order.
bool OutputStage::TakeUpAnimation() {
  const int frames = std::exchange(continueFrames_, 0);
  RecordedFrames recorded;
  const bool avi = std::clamp<int>(project_.animFormat, 0, kAnimFormatCount - 1) == kAviFormat;
  std::error_code error;
  const std::filesystem::path partial = PartialAnimationFile();
  takenUp_ = std::filesystem::exists(partial, error) ? partial : AnimationFile();
  if (!ReadRecordedFrames(takenUp_, avi, recorded) || recorded.frames.size() != std::size_t(frames) ||
      recorded.width != width_ || recorded.height != height_ ||
      !VimCreate(kScreenImageSlot, width_, height_, 8)) {
    DropAnimation("the " + std::to_string(frames) + " frame(s) recorded before the stop cannot be read back from");
    return false;
  }
  VirtIm& dib = VimSlot(kScreenImageSlot);
  std::copy(recorded.palette.begin(), recorded.palette.end(), dib.palette.begin());
  PalRestore(palette_, recorded.palette.data());
  paletteMade_ = true;
  for (std::size_t f = 0; f < recorded.frames.size(); ++f) {
    std::copy(recorded.frames[f].begin(), recorded.frames[f].end(), dib.pixels.begin());
    if (f == 0 && !OpenAnimation(dib)) return false;
    if (!RecordFrame("frame " + std::to_string(f + 1) + " recorded before the stop", dib.pixels.data())) return false;
  }
  return true;
}

void OutputStage::AddToAnimation(int n, bool open) {
  const VirtIm& dib = VimSlot(kScreenImageSlot);
  if (open && !OpenAnimation(dib)) return;
  if (dib.width != animationWidth_ || dib.height != animationHeight_) {
    ++failures_;
    Reporter().Report(MessageKind::Error, -1,
                      "image " + std::to_string(n) + " is not of the animation's size and is left out of it");
    return;
  }
  RecordFrame("image " + std::to_string(n), dib.pixels.data());
}

// The animation opens with the first image the stage is given with a
// picture in it — the first computed image, or the next one when that
// image was abandoned before it had any — so it never waits for a flag
// that has passed.
void OutputStage::OutputImage(int imageNumber, bool /*firstOfAnimation*/) {
  const VirtIm& result = VimSlot(kResultSlot);
  if (result.Empty()) return;
  width_ = static_cast<int>(result.width);
  height_ = static_cast<int>(result.height);
  const bool images = project_.Output(kOutImages);
  bool screen = images && project_.Output(kOutScreenImages);
  if (screen && ScreenImagesShareTheName()) {
    // Both would be written under one name, the second over the first: the
    // 24-bit image is kept, the screen image is not written.
    screen = false;
    if (!sharedNameReported_) {
      sharedNameReported_ = true;
      Reporter().Report(MessageKind::Warning, -1,
                        "the 24-bit and the screen images both take the extension " +
                            std::string(Format8(project_.format8).extension) +
                            "; only the 24-bit images are written");
    }
  }
  const bool recording = anm_ || avi_;
  const bool animation = WantsAnimation() && !animationFailed_;
  if (images && project_.Output(kOut24BitImages)) Write24(imageNumber);
  if (!screen && !animation) return;

  struct FreeSlot {
    ~FreeSlot() { VimFree(kScreenImageSlot); }
  } freeSlot;
  const bool tookUp = animation && !recording && continueFrames_ > 0 && TakeUpAnimation();
  if (!Make8(imageNumber)) return;
  if (screen) Write8(imageNumber);
  if (animation && !animationFailed_) AddToAnimation(imageNumber, !recording && !tookUp);
}

void OutputStage::Finish() {
  if (!anm_ && !avi_) return;
  const bool ok = anm_ ? AnmClose(*anm_) == 1 : AviClose(*avi_) == 1;
  anm_.reset();
  avi_.reset();
  Record(ok, AnimationFile());
  std::error_code error;
  if (ok && takenUp_ == PartialAnimationFile()) std::filesystem::remove(takenUp_, error);
}

void OutputStage::FinishStopped() {
  if (!anm_ && !avi_) return;
  const std::filesystem::path partial = PartialAnimationFile();
  (anm_ ? anm_->target : avi_->target) = partial;
  const bool ok = anm_ ? AnmClose(*anm_) == 1 : AviClose(*avi_) == 1;
  anm_.reset();
  avi_.reset();
  Record(ok, partial);
}

}  // namespace tessaran
