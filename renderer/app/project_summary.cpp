#include "renderer/app/project_summary.h"

#include <algorithm>

#include "platform/report.h"
#include "renderer/app/output_settings.h"

namespace tessaran {
namespace {

constexpr int kMsgAnimation = 65;       // "Computing [%s]\nAnimation of %d images.\n"
constexpr int kMsgOneImage = 66;        // "Computing [%s]\n1 Image\n"
constexpr int kMsgModeFirst = 67;       // wireframe, polygons, pixels, ray tracing: 67 … 70
constexpr int kMsgAntialias = 71;       // "ANTIALIASING(%d)\n"
constexpr int kMsgResolution = 72;      // "Resolution %d * %d ratio: %d %%\n"
constexpr int kMsgImageRecording = 73;
constexpr int kMsgScreenFirst = 74;     // LBM, PCX, BMP: 74 … 76
constexpr int kMsgTrueColourFirst = 77; // by the 24-bit format: 77 … 82
constexpr int kMsgNoImage = 83;
constexpr int kMsgNoImageByImage = 84;
constexpr int kMsgAnmRecording = 85;
constexpr int kMsgNoAnimation = 86;
constexpr int kMsgResumeAt = 317;       // "Resume at (%d,%d)\n"
constexpr int kMsgAviRecording = 323;

}  // namespace

std::string ProjectSummary(const RenderProject& project, int sceneCount) {
  const long images = TotalImages(project);
  const std::string scene = project.SceneName();
  std::string text = images > 1 ? MessageText(kMsgAnimation, scene.c_str(), static_cast<int>(images))
                                : MessageText(kMsgOneImage, scene.c_str());
  text += MessageText(kMsgModeFirst + std::clamp<int>(project.mode, 0, 3));
  if (project.mode == kPixel || project.mode == kRayTracing) {
    text += (project.flags & kFlagAntialias) ? MessageText(kMsgAntialias, int(project.antialias)) : "\n";
    if (project.mode == kRayTracing && project.HasResume()) {
      text += MessageText(kMsgResumeAt, int(project.resumeX), int(project.resumeY));
    }
  }
  text += MessageText(kMsgResolution, int(project.width), int(project.height), project.pixelRatio / 10);
  if (project.Output(kOutImages)) {
    text += MessageText(kMsgImageRecording);
    if (project.Output(kOutScreenImages)) text += MessageText(kMsgScreenFirst + std::clamp<int>(project.format8, 0, 2));
    if (project.Output(kOut24BitImages)) {
      text += MessageText(kMsgTrueColourFirst + std::clamp<int>(project.format24, 0, 5));
    }
    text += "\n";
  } else {
    text += MessageText(images > 1 ? kMsgNoImageByImage : kMsgNoImage);
  }
  if (sceneCount > 1) {
    if (project.Output(kOutAnimation)) {
      text += MessageText(project.animFormat == 1 ? kMsgAviRecording : kMsgAnmRecording);
    } else {
      text += MessageText(kMsgNoAnimation);
    }
  }
  if (project.Output(kOutFrontPlane)) text += MessageText(kMsgForeground, project.frontPlane.c_str()) + "\n";
  if (project.Output(kOutBackPlane)) text += MessageText(kMsgBackground, project.backPlane.c_str()) + "\n";
  return text;
}

}  // namespace tessaran
