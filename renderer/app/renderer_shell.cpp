#include "renderer/app/renderer_shell.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <strings.h>
#include <system_error>

#include "imaging/picture.h"
#include "platform/console.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/render_poll.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

constexpr int kKindPreview = 18;
constexpr int kLastImageKind = 8;

// The ground-mapping argument's second scale that switches material-test mode on.
constexpr double kMaterialTestValue = 999999.0;
// Mapping scales are stored in hundred-thousandths.
constexpr double kMappingScaleUnit = 100000.0;

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::equivalent(a, b, error)) return true;
  return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(path, error);
}

std::string BaseName(const fs::path& path) { return path.filename().string(); }

fs::path WithExtension(fs::path path, const char* extension) { return path.replace_extension(extension); }

fs::path InDataDirectory(const RendererShell& shell, const char* name) { return shell.dataDirectory / name; }

// The ground mapping given on the command line: the image and its two scales.
void SetGroundMapping(RenderProject& project, const std::string& image, double scaleX, double scaleY) {
  project.ground.kind = 0;
  project.ground.on = 1;
  project.ground.scaleX = static_cast<std::int32_t>(scaleX * kMappingScaleUnit);
  project.ground.scaleY = static_cast<std::int32_t>(scaleY * kMappingScaleUnit);
  SetMappingImage(project.ground, image.substr(0, 50));
  Trace("\nMappingSol active[%s] (%f,%f)\n", image.c_str(), scaleX, scaleY);
}

fs::path DefaultOrLastProject(const RendererShell& shell) {
  const std::string& last = shell.settings.lastProject;
  if (!last.empty() && strcasecmp(last.c_str(), kDefaultLastProject) != 0) return NativePath(last);
  return InDataDirectory(shell, kDefaultProject);
}

}  // namespace

int ClassifyFile(std::string_view path, std::string* baseName) {
  if (baseName) {
    const std::size_t slash = path.find_last_of("\\/");
    std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
    *baseName = std::string(base.substr(0, 13));
  }
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return -2;
  const std::string_view extension = path.substr(dot);
  for (int i = 0; i < kFileKinds; ++i) {
    const std::string_view kind = FileKindExtension(i);
    if (extension.size() == kind.size() && strncasecmp(extension.data(), kind.data(), kind.size()) == 0) return i;
  }
  return -1;
}

void ResolveDirectories(RendererShell& shell, const fs::path& runningProgramDirectory) {
  const std::string& program = shell.settings.programDirectory;
  if (program.empty() || program == "\\") {
    std::error_code error;
    shell.programDirectory = !runningProgramDirectory.empty() ? runningProgramDirectory : fs::current_path(error);
  } else {
    shell.programDirectory = NativePath(program);
  }
  Trace("ProfileString CHEMIN=%s\n", shell.programDirectory.c_str());
  const std::string& data = shell.settings.dataDirectory;
  shell.dataDirectory = data.empty() || data == "\\" ? shell.programDirectory : fs::path(NativePath(data));
  if (const char* temp = std::getenv("TEMP"); temp && *temp) {
    shell.tempDirectory = temp;
  } else {
    std::error_code error;
    shell.tempDirectory = fs::current_path(error);
  }
}

bool LoadProjectFile(RendererShell& shell, const fs::path& path) {
  ResetProject(shell.project);
  if (ReadProject(shell.project, path)) {
    shell.saved = true;
    return true;
  }
  ResetProject(shell.project);
  shell.saved = false;
  return false;
}

StartAction StartFromArgument(RendererShell& shell, std::string_view argument) {
  ResetProject(shell.project);
  shell.projectPath.clear();
  shell.materialTest = false;

  const std::size_t blank = argument.find_last_of(' ');
  std::string name(blank == std::string_view::npos ? argument : argument.substr(blank + 1));
  const std::string leading(blank == std::string_view::npos ? std::string_view{} : argument.substr(0, blank));
  if (!name.empty() && name.find_first_of("\\/:") == std::string::npos) {
    name = (shell.dataDirectory / name).string();
  }
  name = NativePath(name);

  int kind = name.empty() ? -1 : ClassifyFile(name);
  if (kind == -2) {
    name += ".RPJ";
    kind = kKindProject;
  }

  // The ground mapping given with an image must survive the project load.
  std::optional<MappingRecord> groundFromArgument;
  StartAction action = StartAction::OpenDialog;
  if (kind == kKindProject) {
    shell.projectPath = name;
    action = StartAction::RenderNow;
  } else if (kind == kKindScene) {
    shell.projectPath = InDataDirectory(shell, kDefaultProject);
    LoadProjectFile(shell, shell.projectPath);
    shell.project.SetSceneName(name);
    shell.saved = false;
    TestSceneDirectory(shell, name);
    return action;
  } else if (kind >= 0 && kind <= kLastImageKind) {
    double scaleX = 100, scaleY = 100;
    Trace("scanf[%s]\n", leading.c_str());
    if (std::sscanf(leading.c_str(), "%lf %lf", &scaleX, &scaleY) != 2) scaleX = scaleY = 100;
    SetGroundMapping(shell.project, name, scaleX, scaleY);
    groundFromArgument = shell.project.ground;
    shell.materialTest = scaleY == kMaterialTestValue;
    shell.projectPath = DefaultOrLastProject(shell);
  } else if (kind == kKindPreview) {
    shell.projectPath = InDataDirectory(shell, kPreviewProject);
    action = StartAction::MaterialPreview;
  } else {
    shell.projectPath = DefaultOrLastProject(shell);
  }

  LoadProjectFile(shell, shell.projectPath);
  if (groundFromArgument) shell.project.ground = *groundFromArgument;
  return action;
}

bool SaveProject(RendererShell& shell) {
  if (shell.projectPath.empty()) return false;
  if (!WriteProject(shell.project, shell.projectPath, shell.redirect)) return false;
  shell.saved = true;
  return true;
}

void SavePrompt(RendererShell& shell) {
  if (shell.projectPath.empty() || shell.saved) return;
  if (AskQuestion(QuestionButtons::YesNo, kMsgSaveProject, BaseName(shell.projectPath).c_str()) == Answer::Yes) {
    SaveProject(shell);
  }
}

void AttachScene(RendererShell& shell, const fs::path& scene, bool allowDefault, bool ask) {
  const std::string current = shell.project.SceneName();
  if (!current.empty() && SameFile(scene, NativePath(current))) return;

  const fs::path matching = WithExtension(scene, ".RPJ");
  if (Exists(matching)) {
    if (ask && AskQuestion(QuestionButtons::YesNo, kMsgLoadMatching, BaseName(matching).c_str()) == Answer::No) {
      shell.project.ClearResume();
    } else {
      SavePrompt(shell);
      shell.projectPath = matching;
      if (!LoadProjectFile(shell, matching)) shell.projectPath.clear();
    }
  } else if (allowDefault) {
    if (ask && AskQuestion(QuestionButtons::YesNo, kMsgLoadDefault, BaseName(matching).c_str()) == Answer::No) {
      shell.project.ClearResume();
      shell.projectPath.clear();
    } else {
      shell.projectPath = InDataDirectory(shell, kDefaultProject);
      if (!LoadProjectFile(shell, shell.projectPath)) shell.projectPath.clear();
      const std::string named = shell.project.SceneName();
      if (!named.empty() && !SameFile(scene, NativePath(named))) shell.project.ClearResume();
      shell.saved = false;
    }
  } else {
    shell.project.ClearResume();
    shell.projectPath.clear();
  }

  shell.project.SetSceneName(scene.string());
  if (shell.projectPath.empty()) shell.projectPath = matching;
  TestSceneDirectory(shell, scene);
}

void TestSceneDirectory(RendererShell& shell, const fs::path& scene) {
  std::error_code error;
  fs::path directory = scene.has_parent_path() ? scene.parent_path() : fs::current_path(error);
  Trace("\nCurDir=[%s]\n", directory.c_str());
  const fs::path probe = directory / "wrwrtest.wrt";
  Trace("FullP=[%s]\n", probe.c_str());
  bool writable = false;
  {
    std::ofstream test(probe, std::ios::binary | std::ios::trunc);
    writable = test.good();
  }
  if (writable) {
    fs::remove(probe, error);
    Trace("wrwrtest OK\n");
    shell.redirect.clear();
    SetOutputDirectory({});
    return;
  }
  Trace("wrwrtest NULL\n");
  if (shell.redirect.empty()) {
    shell.redirect = shell.dataDirectory;
    ShowMessage(MessageKind::Information, kMsgWriteProtected, scene.c_str(), shell.redirect.c_str());
  }
  SetOutputDirectory(shell.redirect);
}

bool TakeWorkingCopy(RendererShell& shell, const RenderProject& copy) {
  if (copy == shell.project) return false;
  RenderProject taken = copy;
  if (shell.project.HasResume()) {
    if (AskQuestion(QuestionButtons::YesNo, kMsgChangeResumed) != Answer::Yes) return false;
    taken.ClearResume();
  }
  shell.project = std::move(taken);
  shell.saved = false;
  return true;
}

bool WriteResumeProject(RendererShell& shell, const fs::path& path) {
  if (Exists(path) &&
      AskQuestion(QuestionButtons::YesNo, kMsgResumeProjectExists, path.string().c_str()) != Answer::Yes) {
    return false;
  }
  if (!WriteProject(shell.project, path)) return false;
  // A resume project under the scene's own name is found by opening the scene.
  const fs::path scene = NativePath(shell.project.SceneName());
  if (!scene.empty() && SameFile(WithExtension(scene, ".RPJ"), path)) {
    ShowMessage(MessageKind::Information, kMsgResumeFromScene, path.parent_path().c_str());
  } else {
    ShowMessage(MessageKind::Information, kMsgResumeFromProject, path.c_str());
  }
  return true;
}

RenderSettings EngineSettings(const RendererShell& shell) {
  const RenderProject& p = shell.project;
  RenderSettings s;
  s.width = p.width;
  s.height = p.height;
  s.pixelRatio = p.pixelRatio;
  s.threads = shell.threads;
  s.rayTracing = p.mode == kRayTracing;
  s.groundOn = (p.raySwitches & kSwitchGround) != 0;
  const bool ray = p.mode == kRayTracing;
  s.sunShadows = (ray ? p.raySunShadows : p.pixelSunShadows) != 0;
  s.lampShadows = (ray ? p.rayLampShadows : p.pixelLampShadows) != 0;
  s.sunIntensity = p.sunIntensity;
  s.sunV = p.sunV;
  s.sunH = p.sunH;
  s.sunRelative = p.sunRelative != 0;
  s.loop = p.Output(kOutLoop);
  s.imageCounts.assign(p.imageCounts.begin(), p.imageCounts.end());
  s.maxOctreeDepth = shell.settings.maxOctreeDepth;
  s.octreeMaxNodeElem = shell.settings.octreeMaxNodeElem;
  return s;
}

bool ImageSizeUsable(int width, int height, std::string* reason) {
  // Sides are 16-bit in the project; the 24-bit image and its corner ring
  // must fit in memory several times over.
  constexpr long long kMaxPixels = 1LL << 27;
  if (width >= 1 && height >= 1 && width <= 32767 && height <= 32767 &&
      static_cast<long long>(width) * height <= kMaxPixels) {
    return true;
  }
  if (reason) {
    *reason = "image size " + std::to_string(width) + " x " + std::to_string(height) +
              " cannot be computed: each side must be 1 to 32767 pixels and the image at most " +
              std::to_string(kMaxPixels) + " pixels";
  }
  return false;
}

int RenderCommand(RendererShell& shell, RenderPoll& poll) {
  // 1. The project must name a scene file that can be opened. A bare name
  // not found in the working directory is the data directory's, as names on
  // the command line are (the default project names the bundled demo so).
  std::string scene = shell.project.SceneName();
  if (!scene.empty() && scene.find_first_of("\\/:") == std::string::npos && !Exists(NativePath(scene)) &&
      Exists(shell.dataDirectory / NativePath(scene))) {
    scene = (shell.dataDirectory / NativePath(scene)).string();
    shell.project.SetSceneName(scene);
  }
  if (scene.empty()) {
    ShowMessage(MessageKind::Information, kMsgNoScene);
    return kRenderFailed;
  }
  if (!CanReadFile(NativePath(scene))) {
    ShowMessage(MessageKind::Error, kMsgCannotOpen, scene.c_str());
    shell.project.SetSceneName("");
    return kRenderFailed;
  }
  std::string reason;
  if (!ImageSizeUsable(shell.project.width, shell.project.height, &reason)) {
    Reporter().Report(MessageKind::Error, -1, reason);
    return kRenderFailed;
  }
  // 5. A stop asked before the render is not carried into it.
  ClearStopRequest();
  // 8. Ray tracing may first estimate the computing time.
  shell.estimate = false;
  if (shell.project.mode == kRayTracing && shell.settings.testRayTimeCost) {
    const int question = TotalImages(shell.project) > 1 ? kMsgEstimateFirst : kMsgEstimateOne;
    shell.estimate = AskQuestion(QuestionButtons::YesNo, question) == Answer::Yes;
  }
  return RenderFrames(shell, poll);
}

}  // namespace tessaran
