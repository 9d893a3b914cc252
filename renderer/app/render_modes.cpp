#include "renderer/app/render_modes.h"

#include <string>

#include "platform/report.h"
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

std::unique_ptr<ImageRenderer> MakeModeRenderer(const RendererShell& shell, EngineHooks& hooks, RenderPoll& poll) {
  const RenderProject& project = shell.project;
  if (project.mode == kRayTracing) {
    return std::make_unique<RayTraceRenderer>(project, shell.threads, shell.settings.maxAntialiasDepth, hooks, poll);
  }
  Reporter().Report(MessageKind::Error, -1,
                    std::string("the ") + ModeName(project.mode) + " mode is not built yet; render with --mode raytrace");
  return nullptr;
}

}  // namespace tessaran
