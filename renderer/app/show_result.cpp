#include "renderer/app/show_result.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

#include "imaging/picture.h"
#include "link/batch_send.h"
#include "renderer/app/frame_loop.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/renderer_shell.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

fs::path RunningProgramDirectory() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path{} : self.parent_path();
}

}  // namespace

ShowResultCommand ShowResultFor(const RenderProject& project) {
  const std::string scene = NativePath(project.SceneName());
  if (!scene.empty()) {
    const std::string base = fs::path(scene).replace_extension().string();
    const long images = TotalImages(project);
    if (images > 1 && project.Output(kOutAnimation)) {
      return {"ANIM", MakeOutputName(base + std::string(AnimFormat(project.animFormat).extension), -1, {}).string()};
    }
    if (project.Output(kOutImages)) {
      // The last image of the render, in the first kind of image it writes.
      const bool trueColour = project.Output(kOut24BitImages);
      const std::string_view extension = trueColour ? Format24(project.format24).extension
                                                    : Format8(project.format8).extension;
      const int last = FirstImageNumber(project) + static_cast<int>(std::max(images, 1L)) - 1;
      return {"VIEW", MakeOutputName(base, last, extension).string()};
    }
  }
  return {"SHOW", "SHOW"};
}

bool IsShowResult(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--show-result") != args.end();
}

int RunShowResult(const std::vector<std::string>& args, std::ostream& err) {
  std::string project;
  for (const std::string& a : args) {
    if (a == "--batch" || a == "--show-result") continue;
    if (!project.empty() || a.empty() || a[0] == '-') {
      err << "rz: --show-result takes at most one PROJECT, not " << a << "\n";
      return 2;
    }
    project = a;
  }
  RendererShell shell;
  shell.settings = ReadRendererSettings();
  ResolveDirectories(shell, RunningProgramDirectory());
  std::error_code error;
  if (!project.empty() && !fs::is_regular_file(project, error)) {
    err << "rz: " << project << " does not exist\n";
    return 1;
  }
  if (!project.empty()) {
    if (!LoadProjectFile(shell, fs::absolute(project, error))) {
      err << "rz: " << project << " is not a render project\n";
      return 1;
    }
  } else {
    StartFromArgument(shell, "");
  }
  const ShowResultCommand show = ShowResultFor(shell.project);
  link::ProgramClient client = link::ProgramClient::Renderer();
  return link::SendFromBatch(
      client, "rz", "player",
      [&](link::ProgramClient& c) { return c.Execute(link::kPlayerSlot, show.command, show.argument); }, err);
}

}  // namespace tessaran
