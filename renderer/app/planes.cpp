#include "renderer/app/planes.h"

#include <string>

#include "imaging/picture.h"
#include "platform/report.h"
#include "renderer/engine/render_screen.h"
#include "storage/virtim.h"

namespace tessaran {
namespace {

// The transparent key of the foreground plane: black pixels (palette index
// 0, or RGB 0) keep the image's pixel.
constexpr int kBlackKey = 0;

// A failed plane is told once per render, not on every image.
void ReportOnce(MessageKind kind, int message, bool& reported) {
  if (!reported) ShowMessage(kind, message);
  reported = true;
}

}  // namespace

bool FrameLoopLoadsBackPlane(const RenderProject& project) {
  return project.Output(kOutBackPlane) && project.mode != kRayTracing;
}

bool LoadBackPlane(const RenderProject& project, int imageNumber, bool& reported) {
  const std::string path = NativePath(project.backPlane);
  if (!VimCreate(kResultSlot, project.width, project.height, 24)) {
    ReportOnce(MessageKind::Error, kMsgBackPlaneFailed, reported);
    return false;
  }
  if (path.empty() || LoadPicture(path, kResultSlot, kOpaqueLoad, nullptr, imageNumber) != 1) {
    // A failed load may have drawn part of the picture: start black.
    VimCreate(kResultSlot, project.width, project.height, 24);
    ReportOnce(MessageKind::Warning, kMsgBackPlaneFailed, reported);
    return false;
  }
  return true;
}

bool LoadFrontPlane(const RenderProject& project, int imageNumber, bool& reported) {
  const std::string path = NativePath(project.frontPlane);
  const VirtIm& image = VimSlot(kResultSlot);
  if (path.empty() || image.Empty() || LoadPicture(path, kResultSlot, kBlackKey, nullptr, imageNumber) != 1) {
    ReportOnce(MessageKind::Warning, kMsgFrontPlaneFailed, reported);
    return false;
  }
  return true;
}

}  // namespace tessaran
