// RenderFrames: from a checked project to the frame loop. The scene file is
// read with ReadMaq scene by scene before anything is computed, so a damaged
// file is refused before the first image.
#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <numeric>
#include <string>
#include <utility>

#include "imaging/picture.h"
#include "platform/report.h"
#include "renderer/app/frame_loop.h"
#include "renderer/app/output_claim.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/output_stage.h"
#include "renderer/app/progress.h"
#include "renderer/app/raytrace_renderer.h"
#include "renderer/app/render_modes.h"
#include "renderer/app/renderer_shell.h"
#include "renderer/engine/helper_threads.h"
#include "renderer/engine/render_screen.h"
#include "scene/maq_scene.h"

namespace tessaran {
namespace {

// A line of the run's account, to whoever follows the run.
__attribute__((format(printf, 2, 3))) void Note(const RendererShell& shell, const char* format, ...) {
  if (!shell.runProgress) return;
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int size = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string line(static_cast<std::size_t>(std::max(size, 0)), '\0');
  std::vsnprintf(line.data(), line.size() + 1, format, again);
  va_end(again);
  shell.runProgress->Note(line);
}

constexpr int kMsgModelInvalid = 20;  // "Modele invalide ou incomplet"
// Images between keyframe scenes given to a project that had no count for them.
constexpr int kDefaultImagesPerInterval = 10;

// Reads every keyframe scene once, keeping the first for the render;
// false after the reader's message.
bool ReadScenes(MaqSceneFile& file, const std::string& path, MaqScene& first) {
  const MaqStatus opened = file.Open(path);
  if (opened == MaqStatus::Missing) {
    ShowMessage(MessageKind::Error, kMsgCannotOpen, path.c_str());
    return false;
  }
  for (int number = 1; opened == MaqStatus::Ok && number <= file.SceneCount(); ++number) {
    MaqScene scene;
    if (ReadMaq(file, number, scene, number == 1) != MaqStatus::Ok) break;
    if (number == 1) first = std::move(scene);
    if (number == file.SceneCount()) return true;
  }
  ShowMessage(MessageKind::Error, kMsgModelInvalid);
  Reporter().Report(MessageKind::Information, -1, path + ": " + file.Problem());
  return false;
}

// Tells the run's progress of every image the mode computes.
class ShownRenderer final : public ImageRenderer {
 public:
  ShownRenderer(ImageRenderer& renderer, RunProgress* progress) : renderer_(renderer), progress_(progress) {}
  int RenderImage(SceneLoop& loop, int imageNumber) override {
    if (progress_) progress_->BeginImage(imageNumber);
    const int result = renderer_.RenderImage(loop, imageNumber);
    if (progress_) progress_->EndImage(result != kScreenStopped);
    return result;
  }
  ScreenCounters Counters() const override { return renderer_.Counters(); }

 private:
  ImageRenderer& renderer_;
  RunProgress* progress_;
};

// The project of a render stopped for resume: the position, the image to
// resume from, the frames of its animation, and everything else as this
// run had it, saved as the image's name with ".RPJ" in the output
// directory. A file made here is the render's, not the user's: it goes once
// the resumed render has finished.
void SaveForResume(RendererShell& shell, const std::string& base, ScreenPosition at, int image, int animationFrames) {
  RenderProject& project = shell.project;
  project.resumeX = static_cast<std::int16_t>(at.x);
  project.resumeY = static_cast<std::int16_t>(at.y);
  project.firstImage = static_cast<std::int16_t>(image + 1);
  project.resumeFrames = animationFrames;
  const std::filesystem::path file = MakeOutputName(base, -2, ".RPJ");
  std::error_code error;
  project.madeForResume = !std::filesystem::exists(file, error) ||
                          (project.madeForResume && std::filesystem::equivalent(shell.projectPath, file, error));
  if (WriteResumeProject(shell, file)) {
    std::error_code ec;
    const std::filesystem::path shown = std::filesystem::absolute(file, ec);
    Note(shell, "rz: stopped at (%d,%d) of image %d; to resume, run: rz --batch %s", at.x, at.y, image,
         (ec ? file : shown).string().c_str());
  } else {
    Reporter().Report(MessageKind::Error, -1, "the resume project " + file.string() + " was not written");
  }
}

// The output files' names keep the whole scene name for this render only.
struct NamingRule {
  explicit NamingRule(bool full) { SetFullOutputNames(full); }
  ~NamingRule() { SetFullOutputNames(false); }
  NamingRule(const NamingRule&) = delete;
  NamingRule& operator=(const NamingRule&) = delete;
};

// Claims the names of the render's output files: refused while another
// render writes them; a warning when another scene wrote them last.
bool ClaimOutput(OutputClaim& claim, const std::string& base, const std::string& scene, bool fullNames) {
  const std::filesystem::path file = OutputClaim::FileFor(base);
  std::error_code error;
  const std::string self = std::filesystem::absolute(scene, error).string();
  std::string previous;
  switch (claim.Take(file, self, &previous)) {
    case OutputClaim::Result::InUse:
      Reporter().Report(MessageKind::Error, -1,
                        "another render is writing the files of " + file.stem().string() + " in " +
                            file.parent_path().string() + " (it holds " + file.filename().string() +
                            "); wait for it to end or write elsewhere");
      return false;
    case OutputClaim::Result::Taken:
      if (!previous.empty() && previous != self) {
        Reporter().Report(MessageKind::Warning, -1,
                          "the numbered files of " + self + " take the names " + file.stem().string() +
                              "0000… of those " + previous + " wrote into " + file.parent_path().string() +
                              ", which are replaced" +
                              (fullNames ? std::string()
                                         : "; the names keep " + std::to_string(file.stem().string().size()) +
                                               " characters of the scene name unless full names are asked for"
                                               " (--full-names)"));
      }
      return true;
    case OutputClaim::Result::Unavailable:
      return true;
  }
  return true;
}

}  // namespace

int RenderFrames(RendererShell& shell, RenderPoll& poll) {
  RenderProject& project = shell.project;
  const std::string scenePath = NativePath(project.SceneName());
  // The engine's helpers start while the scene is read, so that its first
  // pass does not wait for them.
  WakeHelpers(WorkerCount(shell.threads));
  MaqSceneFile file;
  MaqScene firstScene;
  if (!ReadScenes(file, scenePath, firstScene)) return kRenderFailed;

  // The animation needs one image count per interval of this file.
  if (project.sceneCount != file.SceneCount()) {
    SetSceneCount(project, file.SceneCount(), kDefaultImagesPerInterval);
  }
  // An animation needs two keyframe scenes: asking for nothing else, the
  // render would save nothing.
  if (!project.Output(kOutImages) && project.Output(kOutAnimation) && file.SceneCount() < 2 &&
      AskQuestion(QuestionButtons::YesNo, kMsgNoOutput) != Answer::Yes) {
    Reporter().Report(MessageKind::Error, -1,
                      scenePath + " holds one keyframe scene, which makes no animation; ask for images as well");
    return kRenderFailed;
  }
  const RenderSettings settings = EngineSettings(shell);
  const std::vector<int> frames = IntervalFrames(settings, file.SceneCount());
  const int images = std::accumulate(frames.begin(), frames.end(), 0);
  const ImageRange range = RangeOf(project);
  const int first = FirstImageNumber(project);
  const int lastNumber = first + images - 1;
  const int computeFrom = std::max(range.first, first);
  const int computeTo = range.last < 0 ? lastNumber : std::min(range.last, lastNumber);
  if (computeFrom > computeTo) {
    Reporter().Report(MessageKind::Error, -1,
                      "image " + std::to_string(computeFrom) + ", the first to compute, is beyond the last image " +
                          std::to_string(lastNumber) + " of " + scenePath + " (images " + std::to_string(first) +
                          " to " + std::to_string(lastNumber) + "): nothing to compute");
    return kRenderOutOfRange;
  }

  Note(shell,
       "rz: %s: %d keyframe scene(s), %d x %d ratio %d%%, %s mode, antialias %d, "
       "%d image(s) numbered %d to %d, computing %d to %d",
       scenePath.c_str(), file.SceneCount(), project.width, project.height, project.pixelRatio / 10,
               ModeName(project.mode), (project.flags & kFlagAntialias) ? project.antialias : 0, images, first,
               lastNumber, computeFrom, computeTo);

  const auto began = std::chrono::steady_clock::now();
  EngineHooks hooks;
  const std::unique_ptr<ImageRenderer> renderer = MakeModeRenderer(shell, firstScene, hooks, poll);
  if (!renderer) return kRenderFailed;
  RenderSettings engine = settings;
  engine.groundColour = GroundColourOf(project);
  // The output files are named after the scene file.
  const NamingRule naming(project.fullNames);
  const std::string base = std::filesystem::path(scenePath).replace_extension().string();
  OutputClaim claim;
  if (!ClaimOutput(claim, base, scenePath, project.fullNames)) return kRenderFailed;
  OutputStage output(project, base);
  // The render takes the resume position and the animation recorded before
  // the stop; a stop saved for resume sets them again.
  const ScreenPosition resume{project.resumeX, project.resumeY};
  output.ContinueAnimation(project.resumeFrames);
  project.ClearResume();
  auto* tracer = dynamic_cast<RayTraceRenderer*>(renderer.get());
  if (tracer) tracer->SetRun(base, shell.estimate, resume);
  ShownRenderer shown(*renderer, shell.runProgress);
  if (shell.runProgress) shell.runProgress->BeginRun(std::max(computeTo - computeFrom + 1, 0));
  SceneLoop loop(engine, hooks);
  FrameLoop frameLoop(project, shown, output, poll);
  const int result = loop.Run(scenePath, file, std::move(firstScene), frameLoop);
  if (shell.runProgress) shell.runProgress->EndRun();
  // Finished or stopped, the animation recorded so far is closed whole; a
  // stopped one beside the animation's name, which an earlier render's
  // whole animation may hold.
  if (result == 9) {
    output.FinishStopped();
  } else {
    output.Finish();
  }
  if (tracer && tracer->LastStop().saved) {
    const auto& written = output.Written();
    const bool recorded =
        std::find(written.begin(), written.end(), output.PartialAnimationFile()) != written.end();
    SaveForResume(shell, base, tracer->LastStop().at, tracer->LastImage(), recorded ? output.AnimationFrames() : -1);
  }

  // Full paths, so that a user of the batch mode finds the files.
  for (const auto& written : output.Written()) {
    std::error_code ec;
    const auto shown = std::filesystem::absolute(written, ec);
    Note(shell, "rz: wrote %s", (ec ? written : shown).string().c_str());
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  Note(shell, "rz: %d image(s) computed, %zu file(s) written, %llu rays, %llu supplementary rays, %.1f seconds",
       frameLoop.ComputedImages(), output.Written().size(),
               static_cast<unsigned long long>(renderer->Counters().rays),
               static_cast<unsigned long long>(renderer->Counters().supplementary), seconds);
  if (result == 9) return kRenderStopped;
  if (result != 1 || output.Failures() > 0) return kRenderFailed;
  return kRenderDone;
}

}  // namespace tessaran
