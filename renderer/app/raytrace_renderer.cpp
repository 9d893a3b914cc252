#include "renderer/app/raytrace_renderer.h"

#include <algorithm>
#include <utility>

#include "imaging/bmp.h"
#include "imaging/ilbm.h"
#include "imaging/pcx.h"
#include "imaging/picture.h"
#include "imaging/rawrgb.h"
#include "imaging/tga.h"
#include "renderer/app/output_settings.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

// The order of the sky colours in the project: the dialog's buttons.
// The slot the 8-bit screen image is made in.
constexpr int kScreenImageSlot = 4;

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

RayTraceRenderer::RayTraceRenderer(const RenderProject& project, std::string base, int threads, int maxAntialiasDepth,
                                   EngineHooks& hooks, RenderPoll& poll)
    : project_(project), base_(std::move(base)), hooks_(hooks), poll_(poll) {
  options_.threads = threads;
  options_.antialias = (project.flags & kFlagAntialias) ? std::clamp<int>(project.antialias, 1, 3) : 0;
  options_.maxAntialiasDepth = maxAntialiasDepth;
}

int RayTraceRenderer::RenderImage(SceneLoop& loop, int imageNumber) {
  FrameTables& frame = loop.Frame();
  TraceSettings trace = TraceSettingsOf(project_);
  trace.frameNumber = imageNumber;
  PreparedScene prepared;
  width_ = frame.width;
  height_ = frame.height;
  return RenderScreen(frame, loop.Settings(), trace, nullptr, hooks_, &poll_, options_, prepared, &counters_);
}

void RayTraceRenderer::Record(bool ok, const std::filesystem::path& file) {
  if (ok) {
    written_.push_back(file);
  } else {
    ++failures_;
    Reporter().Report(MessageKind::Error, -1, "cannot write " + file.string());
  }
}

void RayTraceRenderer::Write24(int n) {
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

void RayTraceRenderer::Write8(int n) {
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

void RayTraceRenderer::OutputImage(int imageNumber, bool /*firstOfAnimation*/) {
  if (!project_.Output(kOutImages)) return;
  if (project_.Output(kOut24BitImages)) Write24(imageNumber);
  if (project_.Output(kOutScreenImages)) Write8(imageNumber);
}

}  // namespace tessaran
