// The renderer shell without its windows: start-up from the command line,
// attaching a scene to the project, the write-protected scene directory and
// the render command. The windows and `rz --batch` call these same
// functions.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/report.h"
#include "renderer/app/render_project.h"
#include "renderer/app/renderer_settings.h"
#include "renderer/engine/engine.h"

namespace tessaran {

class RunProgress;

// Renderer messages of the shell.
constexpr int kMsgSaveProject = 14;        // "Sauvegarde de [%s]"
constexpr int kMsgNoOutput = 13;           // compute without saving anything?
constexpr int kMsgNoScene = 17;            // a scene file must be opened
constexpr int kMsgCannotOpen = 18;         // "[%s]" cannot be opened
constexpr int kMsgEstimateOne = 299;
constexpr int kMsgEstimateFirst = 300;
constexpr int kMsgChangeResumed = 316;     // changing a project that can resume
constexpr int kMsgResumeProjectExists = 322;  // "[%s]" exists: save the resume project there?
constexpr int kMsgResumeFromScene = 314;   // open the scene of directory [%s], then compute
constexpr int kMsgResumeFromProject = 315; // open the project [%s], then compute
constexpr int kMsgLoadMatching = 319;      // load the matching project [%s]?
constexpr int kMsgLoadDefault = 320;       // no matching project [%s]; load DEFAUT.RPJ?
constexpr int kMsgWriteProtected = 324;    // [%s] write-protected; files go to [%s]

constexpr const char* kDefaultProject = "DEFAUT.RPJ";
constexpr const char* kPreviewProject = "SEE.RPJ";

// File kind of a path by the extension table: 0 … 19, -1 for an extension
// not in the table, -2 for none. The base name (after the last directory
// separator, at most 13 characters) goes to *baseName when given.
int ClassifyFile(std::string_view path, std::string* baseName = nullptr);
constexpr int kKindProject = 15;  // ".RPJ"
constexpr int kKindScene = 16;    // ".MAQ"

// The main window's render state: idle, a material preview running, or a
// render running.
enum class RenderState { Idle = 0, Preview = 1, Rendering = 2 };

// What start-up does once the project is chosen.
enum class StartAction { OpenDialog, RenderNow, MaterialPreview };

// Results of the render command, as the engine's: 1 done, 0 abandoned or
// failed, 9 stopped by the user (saved for resume when asked), and 3 when
// the range asked for holds no image of the render.
constexpr int kRenderDone = 1;
constexpr int kRenderFailed = 0;
constexpr int kRenderStopped = 9;
// Nothing to compute: the first image asked for is past the render's last.
constexpr int kRenderOutOfRange = 3;

struct RendererShell {
  RendererSettings settings;
  std::filesystem::path programDirectory;
  std::filesystem::path dataDirectory;
  std::filesystem::path tempDirectory;
  RenderProject project;
  std::filesystem::path projectPath;   // empty: none yet
  bool saved = false;                  // the project on disk equals memory
  std::filesystem::path redirect;      // write-redirect directory; empty when writable
  bool materialTest = false;
  int displayDepth = 24;               // bits per pixel of the display
  bool estimate = false;               // the answer to the time-estimate question
  int threads = 0;                     // worker threads of the pixel loop; 0: every core
  RunProgress* runProgress = nullptr;  // told of every image the render computes; may be null
};

// Start-up steps 6 to 8: program, data and temporary directories from the
// settings, the running program's directory and the environment.
void ResolveDirectories(RendererShell& shell, const std::filesystem::path& runningProgramDirectory);

// Start-up steps 11 and 12: resets the project, classifies the argument
// text (the file name is the text after its last blank) and loads the
// project it leads to.
StartAction StartFromArgument(RendererShell& shell, std::string_view argument);

// Loads a project file; on failure the project is at its defaults and not saved.
bool LoadProjectFile(RendererShell& shell, const std::filesystem::path& path);

// Writes the project to its path (or the redirect directory).
bool SaveProject(RendererShell& shell);

// The save prompt: asks message 14 when the project has a path and is not saved.
void SavePrompt(RendererShell& shell);

// Attaches a scene file to the project: the matching ".RPJ" (question 319)
// or, when allowed, "DEFAUT.RPJ" (question 320).
void AttachScene(RendererShell& shell, const std::filesystem::path& scene, bool allowDefault, bool ask = true);

// Tests whether the scene's directory can be written; when it cannot, the
// project, image and animation files go to the data directory (message 324).
void TestSceneDirectory(RendererShell& shell, const std::filesystem::path& scene);

// Takes a changed working copy into the project: with a resume position,
// question 316 first (No keeps the project). True when the copy was taken.
bool TakeWorkingCopy(RendererShell& shell, const RenderProject& copy);

// Saves the project of an interrupted render, resume position and the
// run's effective settings included, as `path` (already in the output
// directory). An existing file is replaced only on Yes to question 322; on
// No nothing is written and false is returned (the window then offers
// Save As). Message 314 or 315 then tells the user how to resume.
bool WriteResumeProject(RendererShell& shell, const std::filesystem::path& path);

// The engine's view of the project and the settings.
RenderSettings EngineSettings(const RendererShell& shell);

// An image size the renderer can compute: both sides 1 … 32767 and the
// image small enough to hold in memory. Else false with the reason.
bool ImageSizeUsable(int width, int height, std::string* reason);

// The render command: checks the scene, asks the questions of the mode and
// runs the frame loop through RenderFrames. Returns kRenderDone,
// kRenderFailed or kRenderStopped.
int RenderCommand(RendererShell& shell, RenderPoll& poll);

// Where the frame loop is called: renders the project's scene in its mode.
int RenderFrames(RendererShell& shell, RenderPoll& poll);

}  // namespace tessaran
