#include "renderer/app/material_preview.h"

#include "platform/console.h"
#include "renderer/app/raytrace_renderer.h"
#include "renderer/engine/scene_loop.h"

namespace tessaran {

namespace {

constexpr int kPreviewWidth = 320;
constexpr int kPreviewHeight = 200;
constexpr int kPreviewRatio = 1000;  // 100 %

// The preview is a single image of the sphere scene.
class PreviewImage final : public IntervalSink {
 public:
  explicit PreviewImage(RayTraceRenderer& renderer) : renderer_(renderer) {}
  int RunInterval(SceneLoop& loop, int /*n*/, bool /*last*/) override {
    loop.SetUpFrame(1, 1, 1);
    result = renderer_.RenderImage(loop, 1);
    return 1;
  }
  int result = kScreenAbandoned;

 private:
  RayTraceRenderer& renderer_;
};

}  // namespace

void LoadPreviewProject(RendererShell& shell) {
  shell.projectPath = shell.dataDirectory / kPreviewProject;
  if (!LoadProjectFile(shell, shell.projectPath)) {
    shell.project.width = kPreviewWidth;
    shell.project.height = kPreviewHeight;
    shell.project.pixelRatio = kPreviewRatio;
  }
}

int RenderMaterialPreview(RendererShell& shell, const PreviewMaterial& material,
                          const std::array<PreviewMap, 3>& maps, RenderPoll& poll) {
  LoadPreviewProject(shell);
  RenderProject& project = shell.project;
  // The sphere is traced, whatever mode the project was left in.
  project.mode = kRayTracing;
  std::string ground = (shell.dataDirectory / kPreviewGround).string();
  // A data directory too long for the record: the bare name, which the
  // maps look for in the data directory.
  if (ground.size() >= kProjectPathSize) ground = kPreviewGround;
  project.ground.kind = 0;
  project.ground.on = 1;
  project.ground.scaleX = project.ground.scaleY = static_cast<std::int32_t>(kPreviewGroundScale * 100000);
  SetMappingImage(project.ground, ground);
  Trace("\nMappingSol active[%s] (%f,%f)\n", ground.c_str(), kPreviewGroundScale, kPreviewGroundScale);

  std::string reason;
  if (!ImageSizeUsable(project.width, project.height, &reason)) {
    Reporter().Report(MessageKind::Error, -1, reason);
    return kRenderFailed;
  }
  RenderSettings settings = EngineSettings(shell);
  settings.groundColour = GroundColourOf(project);
  settings.imageCounts.clear();
  settings.loop = false;
  EngineHooks hooks;
  RayTraceRenderer renderer(project, shell.threads, shell.settings.maxAntialiasDepth, hooks, poll);
  renderer.Maps().SetDataDirectory(shell.dataDirectory);
  renderer.Maps().SetPreviewMaps(maps);
  SceneLoop loop(settings, hooks);
  PreviewImage sink(renderer);
  const int read = loop.Run(
      1,
      [&](int, MaqScene& scene) {
        scene = MakePreviewScene(material);
        // The loop starts from empty tables: the preview mode is set after.
        loop.Frame().previewMaterial = true;
        return MaqStatus::Ok;
      },
      sink);
  if (read == 0) return kRenderFailed;
  if (sink.result == kScreenStopped) return kRenderStopped;
  return sink.result == kScreenFinished ? kRenderDone : kRenderFailed;
}

}  // namespace tessaran
