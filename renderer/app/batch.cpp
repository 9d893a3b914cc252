#include "renderer/app/batch.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <climits>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <system_error>

#include "imaging/picture.h"
#include "platform/terminal.h"
#include "renderer/app/output_settings.h"
#include "renderer/app/progress.h"
#include "renderer/app/render_poll.h"
#include "renderer/app/renderer_shell.h"

namespace tessaran {
namespace {

namespace fs = std::filesystem;

// Renderer questions and their answers in batch mode.
constexpr int kMsgResumeLater = 312;

// File kinds of FILE (ClassifyFile).
constexpr int kKindLastPicture = 8;
constexpr int kKindProjectFile = 15;
constexpr int kKindSceneFile = 16;
constexpr int kKindPreviewFile = 18;

bool ParseInt(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && !text.empty();
}

// "WxH" with positive or absurd numbers alike; the size check comes later
// so that an absurd size gets its own message.
bool ParseSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  long long w = 0, h = 0;
  const char* s = text.data();
  auto [wEnd, wErr] = std::from_chars(s, s + x, w);
  auto [hEnd, hErr] = std::from_chars(s + x + 1, s + text.size(), h);
  if (wErr != std::errc() || hErr != std::errc() || wEnd != s + x || hEnd != s + text.size()) return false;
  width = static_cast<int>(std::clamp<long long>(w, INT_MIN, INT_MAX));
  height = static_cast<int>(std::clamp<long long>(h, INT_MIN, INT_MAX));
  return true;
}

int ModeIndex(const std::string& name) {
  static const char* const kModes[] = {"wireframe", "polygon", "pixel", "raytrace"};
  for (int i = 0; i < 4; ++i) {
    if (name == kModes[i]) return i;
  }
  return -1;
}

fs::path RunningProgramDirectory() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path{} : self.parent_path();
}

// Output files go to DIR: it is made when missing and must be writable.
bool PrepareOutputDirectory(const fs::path& directory, std::ostream& err) {
  std::error_code error;
  fs::create_directories(directory, error);
  if (!fs::is_directory(directory, error) || access(directory.c_str(), W_OK) != 0) {
    err << "rz: the output directory " << directory.string() << " cannot be written\n";
    return false;
  }
  return true;
}

void SetBatchAnswers(TerminalAsker& asker, const RendererBatchOptions& options) {
  asker.SetDefault(Answer::Yes);
  asker.SetAnswer(kMsgLoadMatching, Answer::Yes);
  asker.SetAnswer(kMsgLoadDefault, Answer::Yes);
  asker.SetAnswer(kMsgResumeProjectExists, Answer::Yes);
  asker.SetAnswer(kMsgChangeResumed, Answer::Yes);
  asker.SetAnswer(kMsgNoOutput, Answer::No);
  // The user's projects are written only as resume projects.
  asker.SetAnswer(kMsgSaveProject, Answer::No);
  const Answer estimate = options.estimate ? Answer::Yes : Answer::No;
  asker.SetAnswer(kMsgEstimateOne, estimate);
  asker.SetAnswer(kMsgEstimateFirst, estimate);
  asker.SetAnswer(kMsgResumeLater, options.noResume ? Answer::No : Answer::Yes);
}

// What FILE may be in batch mode: none, a project (a name without extension
// is one), a scene, a material preview, or — asked for explicitly as
// "SX SY PICTURE" — a picture to map on the ground of the last or default
// project. Anything else would render the bundled demo in its place.
bool BatchFileAccepted(const std::string& file) {
  const int kind = ClassifyFile(file);
  if (kind == -2 || kind == kKindProjectFile || kind == kKindSceneFile || kind == kKindPreviewFile) return true;
  if (kind < 0 || kind > kKindLastPicture) return false;
  const std::size_t blank = file.find_last_of(' ');
  double scaleX = 0, scaleY = 0;
  return blank != std::string::npos && std::sscanf(file.substr(0, blank).c_str(), "%lf %lf", &scaleX, &scaleY) == 2;
}

// The picture of a ground-mapping FILE, or FILE itself.
std::string FilePart(const std::string& file) {
  const std::size_t blank = file.find_last_of(' ');
  return blank == std::string::npos ? file : file.substr(blank + 1);
}

// Project (or no file): start-up as the renderer does. Scene: attached to
// its matching project or the default one.
void StartBatch(RendererShell& shell, const std::string& file) {
  const int kind = file.empty() ? -1 : ClassifyFile(file);
  if (kind != kKindSceneFile) {
    StartFromArgument(shell, file);
    return;
  }
  StartFromArgument(shell, "");
  const fs::path scene = fs::absolute(fs::path(NativePath(file)));
  shell.project.SetSceneName("");
  AttachScene(shell, scene, true);
}

// Messages 314 and 315 tell a window's user to open the resume project and
// click on COMPUTE; batch mode tells instead, on the line of the stop, the
// command that resumes. Every other message goes to the terminal.
class BatchReporter final : public TerminalReporter {
 public:
  void Report(MessageKind kind, int number, std::string_view text) override {
    if (number == kMsgResumeFromScene || number == kMsgResumeFromProject) return;
    TerminalReporter::Report(kind, number, text);
  }
};

int StatusOf(int result) {
  if (result == kRenderDone) return kRzDone;
  if (result == kRenderStopped) return kRzStopped;
  if (result == kRenderOutOfRange) return kRzBadUsage;
  return kRzFailed;
}

// Once the render a resume project started has finished, the project file
// no longer holds a place to resume from: run again, it renders afresh
// rather than over the old partial image, which a changed scene would not
// match. Only the resume position of the file changes, not its settings
// (this run's overrides are not written into it).
// A project the stop made, rather than the user's own, has served its
// purpose and goes.
void ClearResumeOnDisk(const fs::path& projectFile) {
  RenderProject onDisk;
  if (!ReadProject(onDisk, projectFile) || !onDisk.HasResume()) return;
  std::error_code error;
  if (onDisk.madeForResume && fs::remove(projectFile, error)) return;
  onDisk.ClearResume();
  WriteProject(onDisk, projectFile);
}

}  // namespace

std::string RendererBatchHelp() {
  return "usage: rz --batch [FILE] [options]\n"
         "\n"
         "Renders FILE without a window: a render project (.RPJ), or a scene (.MAQ)\n"
         "under its matching project or DEFAUT.RPJ; without FILE the last or the\n"
         "default project, which renders the bundled demo. \"SX SY PICTURE\" (one\n"
         "argument) maps PICTURE on the ground of that project at scales SX and SY;\n"
         "any other FILE is bad usage. The options override the project for this\n"
         "run only:\n"
         "  --out DIR            write the images, animation and resume files in DIR\n"
         "  --size WxH           image size in pixels\n"
         "  --mode M             wireframe, polygon, pixel or raytrace\n"
         "  --aa N               antialiasing level 0 (none) to 3\n"
         "  --format24 F         24-bit images: TGA, TGA10, I24, RGB, PCX24 or BMP24\n"
         "  --format8 F          screen (palette) images: LBM, PCX or BMP\n"
         "  --anim F             animation file: ANM or AVI\n"
         "  --first N            first image number to compute (from 0)\n"
         "  --last N             last image number to compute; the others are counted,\n"
         "                       not computed, so that a farm can split an animation\n"
         "  --threads N          worker threads (default: every core)\n"
         "  --estimate           estimate the computing time before ray tracing\n"
         "  --no-resume          on SIGINT or SIGTERM stop without saving resume files\n"
         "  --full-names         name the numbered files after the whole scene name\n"
         "                       (SHOTA0000.BMP) rather than its first characters\n"
         "                       (SHOT0000.BMP, the 8.3 rule); a project can ask for it\n"
         "  --help               this text\n"
         "\n"
         "usage: rz --batch --show-result [PROJECT]\n"
         "\n"
         "Sends the result of PROJECT (default: the last or the default project) to\n"
         "the player, started from the program directory when none runs: \"ANIM\"\n"
         "with its animation when it makes several images into one, else \"VIEW\"\n"
         "with its last image when it writes images, else \"SHOW\". Exit 0 when the\n"
         "player accepted, 1 when it stayed busy or could not be started.\n"
         "\n"
         "SIGINT or SIGTERM stops the render at the current pixel and saves the resume\n"
         "files and project (the image's name with .RPJ, in the output directory)\n"
         "and prints the command that resumes: rz --batch DIR/NAME.RPJ goes on where\n"
         "it stopped, up to the same --last, into the same directory, and the\n"
         "animation goes on with the frames recorded before the stop, kept meanwhile\n"
         "as NAME~.ANM or NAME~.AVI (an animation NAME.ANM or NAME.AVI of an earlier\n"
         "render keeps its name until then); once finished, the resume files, that\n"
         "project and the partial animation are removed.\n"
         "\n"
         "NAME.LCK in the output directory (NAME: the numbered files' name) is locked\n"
         "while a render writes those files, so a second render into them is refused;\n"
         "it records the scene that wrote them, and a render of another scene that\n"
         "would replace them is warned.\n"
         "\n"
         "Exit status: 0 done, 1 failed (message on stderr), 2 bad usage (also a\n"
         "--first beyond the render's last image), 9 stopped.\n";
}

bool ParseRendererBatch(const std::vector<std::string>& args, RendererBatchOptions& o, std::string& error) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) {
      if (i + 1 >= args.size()) {
        error = a + " needs a value";
        return false;
      }
      v = args[++i];
      return true;
    };
    auto number = [&](int low, int high, std::optional<int>& target) {
      std::string v;
      int n = 0;
      if (!value(v)) return false;
      if (!ParseInt(v, n) || n < low || n > high) {
        error = a + " takes a number from " + std::to_string(low) + " to " + std::to_string(high) + ", not " + v;
        return false;
      }
      target = n;
      return true;
    };
    auto keyword = [&](int (*index)(std::string_view), const char* choices, std::optional<int>& target) {
      std::string v;
      if (!value(v)) return false;
      const int n = index(v);
      if (n < 0) {
        error = a + " takes " + choices + ", not " + v;
        return false;
      }
      target = n;
      return true;
    };
    std::string v;
    bool ok = true;
    if (a == "--batch") {
    } else if (a == "--help") {
      o.help = true;
    } else if (a == "--out") {
      ok = value(o.outDirectory) && (!o.outDirectory.empty() || (error = "--out needs a directory", false));
    } else if (a == "--size") {
      int w = 0, h = 0;
      ok = value(v) && (ParseSize(v, w, h) || (error = "--size takes WxH, such as 640x480, not " + v, false));
      if (ok) o.width = w, o.height = h;
    } else if (a == "--mode") {
      ok = value(v) && ((o.mode = ModeIndex(v)) >= 0 ||
                        (error = "--mode takes wireframe, polygon, pixel or raytrace, not " + v, false));
    } else if (a == "--aa") {
      ok = number(0, 3, o.antialias);
    } else if (a == "--format24") {
      ok = keyword(Format24Index, "TGA, TGA10, I24, RGB, PCX24 or BMP24", o.format24);
    } else if (a == "--format8") {
      ok = keyword(Format8Index, "LBM, PCX or BMP", o.format8);
    } else if (a == "--anim") {
      ok = keyword(AnimFormatIndex, "ANM or AVI", o.animFormat);
    } else if (a == "--first") {
      ok = number(0, 32766, o.first);
    } else if (a == "--last") {
      ok = number(0, INT_MAX, o.last);
    } else if (a == "--threads") {
      std::optional<int> threads;
      ok = number(1, 1024, threads);
      if (ok) o.threads = *threads;
    } else if (a == "--estimate") {
      o.estimate = true;
    } else if (a == "--no-resume") {
      o.noResume = true;
    } else if (a == "--full-names") {
      o.fullNames = true;
    } else if (!a.empty() && a[0] != '-' && o.file.empty()) {
      o.file = a;
    } else {
      error = a.empty() || a[0] != '-' ? "more than one FILE: " + a : "unknown option " + a;
      ok = false;
    }
    if (!ok) return false;
  }
  if (o.first && o.last && *o.last < *o.first) {
    error = "--last " + std::to_string(*o.last) + " is before --first " + std::to_string(*o.first);
    return false;
  }
  return true;
}

void ApplyOverrides(const RendererBatchOptions& o, RenderProject& p) {
  if (o.width) p.width = static_cast<std::int16_t>(*o.width);
  if (o.height) p.height = static_cast<std::int16_t>(*o.height);
  if (o.mode) ChooseRenderMode(p, *o.mode, kBatchDisplayDepth);
  if (o.antialias) {
    p.antialias = static_cast<std::int16_t>(*o.antialias);
    p.flags = static_cast<std::uint16_t>(*o.antialias ? p.flags | kFlagAntialias : p.flags & ~kFlagAntialias);
  }
  // Naming a format asks for that kind of output.
  if (o.format24) {
    p.format24 = static_cast<std::int16_t>(*o.format24);
    p.SetOutput(kOut24BitImages | kOutImages, true);
  }
  if (o.format8) {
    p.format8 = static_cast<std::int16_t>(*o.format8);
    p.SetOutput(kOutScreenImages | kOutImages, true);
  }
  if (o.animFormat) {
    p.animFormat = static_cast<std::int16_t>(*o.animFormat);
    p.SetOutput(kOutAnimation, true);
  }
  if (o.first) p.firstImage = static_cast<std::int16_t>(*o.first + 1);
  if (o.last) p.lastImage = *o.last;
  if (o.fullNames) p.fullNames = true;
  // Batch mode is a true-colour display: the engine works in true colour.
  p.flags |= kFlagTrueColour;
}

int RunRendererBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  RendererBatchOptions options;
  std::string error;
  if (!ParseRendererBatch(args, options, error)) {
    err << "rz: " << error << "\n\n" << RendererBatchHelp();
    return kRzBadUsage;
  }
  if (options.help) {
    out << RendererBatchHelp();
    return kRzDone;
  }
  // An absurd size is bad usage, refused before anything is read.
  if (options.width && !ImageSizeUsable(*options.width, *options.height, &error)) {
    err << "rz: --size: " << error << "\n";
    return kRzBadUsage;
  }
  TerminalAsker asker;
  SetBatchAnswers(asker, options);
  InstallAsker(&asker);
  BatchReporter reporter;
  InstallReporter(&reporter);
  struct Uninstall {
    ~Uninstall() {
      InstallAsker(nullptr);
      InstallReporter(nullptr);
    }
  } uninstall;

  RendererShell shell;
  shell.settings = ReadRendererSettings();
  ResolveDirectories(shell, RunningProgramDirectory());
  // FILE is found from the current directory first, then in the data
  // directory as the renderer's command line does.
  std::string file = NativePath(options.file);
  if (!file.empty() && !BatchFileAccepted(file)) {
    err << "rz: " << options.file << " is neither a render project (.RPJ) nor a scene (.MAQ); a picture is"
        << " mapped on the ground only when asked as \"SX SY PICTURE\"\n\n"
        << RendererBatchHelp();
    return kRzBadUsage;
  }
  const std::string leading = file.substr(0, file.size() - FilePart(file).size());
  file = FilePart(file);
  std::error_code fsError;
  if (!file.empty() && fs::exists(file, fsError)) {
    file = fs::absolute(file, fsError).string();
  } else if (!file.empty() && ClassifyFile(file) != -2 && !fs::exists(shell.dataDirectory / file, fsError)) {
    err << "rz: " << file << " does not exist\n";
    return kRzFailed;
  }
  file = leading + file;
  StartBatch(shell, file);

  RenderProject copy = shell.project;
  ApplyOverrides(options, copy);
  TakeWorkingCopy(shell, copy);
  shell.threads = options.threads;
  // A resume project finds its partial image and ring where it was saved:
  // the output directory of the stopped run, which stays its output
  // directory when it is run again.
  if (options.outDirectory.empty() && (shell.project.HasResume() || shell.project.madeForResume) &&
      !shell.projectPath.empty()) {
    options.outDirectory = fs::absolute(shell.projectPath, fsError).parent_path().string();
  }

  if (!shell.project.Output(kOutImages) && !shell.project.Output(kOutAnimation) &&
      AskQuestion(QuestionButtons::YesNo, kMsgNoOutput) != Answer::Yes) {
    err << "rz: the project writes no image and no animation; choose --format24, --format8 or --anim\n";
    return kRzFailed;
  }
  if (!options.outDirectory.empty()) {
    if (!PrepareOutputDirectory(options.outDirectory, err)) return kRzFailed;
    shell.redirect = options.outDirectory;
    SetOutputDirectory(options.outDirectory);
  }

  InstallStopSignals();
  if (TakeStopRequest()) return kRzStopped;
  BatchProgress progress(stderr, isatty(STDERR_FILENO) != 0);
  shell.runProgress = &progress;
  ShellRenderPoll poll(shell.settings.scrutePri, &progress);
  const bool resuming = shell.project.HasResume() && !shell.projectPath.empty();
  const int status = StatusOf(RenderCommand(shell, poll));
  if (status == kRzDone && resuming) ClearResumeOnDisk(shell.projectPath);
  return status;
}

}  // namespace tessaran
