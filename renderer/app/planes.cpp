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

}  // namespace

bool FrameLoopLoadsBackPlane(const RenderProject& project) {
  return project.Output(kOutBackPlane) && project.mode != kRayTracing;
}

bool LoadBackPlane(const RenderProject& project, int imageNumber) {
  const std::string path = NativePath(project.backPlane);
  if (!VimCreate(kResultSlot, project.width, project.height, 24)) {
    ShowMessage(MessageKind::Error, kMsgBackPlaneFailed);
    return false;
  }
  if (path.empty() || LoadPicture(path, kResultSlot, kOpaqueLoad, nullptr, imageNumber) != 1) {
    // A failed load may have drawn part of the picture: start black.
    VimCreate(kResultSlot, project.width, project.height, 24);
    ShowMessage(MessageKind::Warning, kMsgBackPlaneFailed);
    return false;
  }
  return true;
}

bool LoadFrontPlane(const RenderProject& project, int imageNumber) {
  const std::string path = NativePath(project.frontPlane);
  const VirtIm& image = VimSlot(kResultSlot);
  if (path.empty() || image.Empty() || LoadPicture(path, kResultSlot, kBlackKey, nullptr, imageNumber) != 1) {
    ShowMessage(MessageKind::Warning, kMsgFrontPlaneFailed);
    return false;
  }
  return true;
}

}  // namespace tessaran
