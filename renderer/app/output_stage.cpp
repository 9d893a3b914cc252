#include "renderer/app/output_stage.h"

#include <algorithm>
#include <utility>

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

// The slot the 8-bit screen image is made in.
constexpr int kScreenImageSlot = 4;

}  // namespace

OutputStage::OutputStage(const RenderProject& project, std::string base)
    : project_(project), base_(std::move(base)) {}

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

void OutputStage::Write8(int n) {
  if (!VimCreate(kScreenImageSlot, width_, height_, 8)) {
    Record(false, MakeOutputName(base_, n, Format8(project_.format8).extension));
    return;
  }
  struct FreeSlot {
    ~FreeSlot() { VimFree(kScreenImageSlot); }
  } freeSlot;
  VirtIm& dib = VimSlot(kScreenImageSlot);
  // Every image after the first shares the first one's palette, as the
  // frames of an animation must.
  if (!ImageTo8Bit(palette_, kResultSlot, dib, paletteMade_)) return;
  paletteMade_ = true;
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

void OutputStage::OutputImage(int imageNumber, bool /*firstOfAnimation*/) {
  const VirtIm& result = VimSlot(kResultSlot);
  if (result.Empty()) return;
  width_ = static_cast<int>(result.width);
  height_ = static_cast<int>(result.height);
  if (!project_.Output(kOutImages)) return;
  if (project_.Output(kOut24BitImages)) Write24(imageNumber);
  if (project_.Output(kOutScreenImages)) Write8(imageNumber);
}

}  // namespace tessaran
