#include "renderer/app/render_modes.h"

#include <string>

#include "platform/report.h"
#include "renderer/app/mode_renderers.h"
#include "renderer/app/raytrace_renderer.h"

namespace tessaran {

const char* ModeName(int mode) {
  switch (mode) {
    case kWireframe: return "wireframe";
    case kPolygon: return "polygon";
    case kPixel: return "pixel";
    case kRayTracing: return "ray tracing";
  }
  return "unknown";
}

namespace {

// The maps of the scene already read, and where else their pictures may be.
void GiveSceneMaps(RenderMaps& maps, const RendererShell& shell, const MaqScene& scene) {
  maps.SetSceneMaps(scene.maps, scene.mapDetails, scene.assignments);
  // Pictures not found beside the scene are looked for in the data directory.
  maps.SetDataDirectory(shell.dataDirectory);
}

}  // namespace

std::unique_ptr<ImageRenderer> MakeModeRenderer(const RendererShell& shell, const MaqScene& firstScene,
                                                EngineHooks& hooks, RenderPoll& poll) {
  const RenderProject& project = shell.project;
  switch (project.mode) {
    case kRayTracing: {
      auto tracer =
          std::make_unique<RayTraceRenderer>(project, shell.threads, shell.settings.maxAntialiasDepth, hooks, poll);
      GiveSceneMaps(tracer->Maps(), shell, firstScene);
      return tracer;
    }
    case kWireframe: return std::make_unique<WireframeRenderer>(project, hooks, poll);
    case kPolygon: return std::make_unique<PolygonRenderer>(project, hooks, poll);
    case kPixel: {
      auto pixel = std::make_unique<PixelRenderer>(project, hooks, poll);
      GiveSceneMaps(pixel->Maps(), shell, firstScene);
      return pixel;
    }
  }
  Reporter().Report(MessageKind::Error, -1,
                    "render mode " + std::to_string(project.mode) + " is unknown; render with --mode raytrace");
  return nullptr;
}

}  // namespace tessaran
