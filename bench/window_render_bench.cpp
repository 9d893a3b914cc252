// The same render of the bundled demo by `rz --batch` and by the renderer's
// window (offscreen), which paints the rows as they finish and dispatches
// its events from the render poll. The window's time should stay within
// 5 % of the batch's.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "messages/message_library.h"
#include "platform/dynlib.h"
#include "platform/report.h"
#include "renderer/app/batch.h"
#include "renderer/app/renderer_shell.h"
#include "renderer/app/windows/main_window.h"
#include "ui/qt_dialogs.h"
#include "ui/tests/qt_test_app.h"

namespace {

namespace fs = std::filesystem;
using namespace tessaran;

const std::vector<std::string> kOptions{"--size", "320x240", "--mode", "raytrace", "--threads", "2"};

// A copy of the demo scene in a folder of its own, with settings that skip
// the time-estimate question.
fs::path Folder(const std::string& name) {
  const fs::path folder = fs::temp_directory_path() / ("tessaran-window-bench-" + std::to_string(getpid())) / name;
  fs::create_directories(folder / "config");
  fs::copy_file(ProgramDirectory() / "DEMO.MAQ", folder / "DEMO.MAQ", fs::copy_options::overwrite_existing);
  std::ofstream(folder / "config" / "TESSARAN.INI") << "[RZ_ENV]\nTEST_RAY_TIME_COST=0\nRECAPITULATIF=0\n";
  setenv("TESSARAN_CONFIG", (folder / "config").c_str(), 1);
  return folder;
}

void BM_BatchRender(benchmark::State& state) {
  const fs::path scene = Folder("batch") / "DEMO.MAQ";
  std::vector<std::string> args{"--batch", scene.string()};
  args.insert(args.end(), kOptions.begin(), kOptions.end());
  for (auto _ : state) {
    std::ostringstream out, err;
    if (RunRendererBatch(args, out, err) != kRzDone) state.SkipWithError(err.str().c_str());
  }
}
BENCHMARK(BM_BatchRender)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_WindowRender(benchmark::State& state) {
  TestApplication();
  const fs::path scene = Folder("window") / "DEMO.MAQ";
  MessageLibrary library(MessageProgram::Renderer);
  if (library.Load("RZLNGENG.DLL") != LoadResult::Loaded) return state.SkipWithError("no message library");
  InstallMessageText(&library);
  QtReporter reporter(library);
  InstallReporter(&reporter);
  RendererShell shell;
  shell.settings = ReadRendererSettings();
  ResolveDirectories(shell, ProgramDirectory());
  StartFromArgument(shell, "");
  AttachScene(shell, scene, true, false);
  RendererBatchOptions options;
  std::string error;
  std::vector<std::string> args{"--batch"};
  args.insert(args.end(), kOptions.begin(), kOptions.end());
  if (!ParseRendererBatch(args, options, error)) return state.SkipWithError(error.c_str());
  RenderProject copy = shell.project;
  ApplyOverrides(options, copy);
  TakeWorkingCopy(shell, copy);
  shell.threads = options.threads;
  RendererWindow window(shell, library);
  window.show();
  for (auto _ : state) {
    if (window.Render() != kRenderDone) state.SkipWithError("the window's render failed");
  }
  InstallReporter(nullptr);
  InstallMessageText(nullptr);
}
BENCHMARK(BM_WindowRender)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
