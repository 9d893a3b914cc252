// rz: the renderer. With a display and without `--batch` it opens its
// windows; otherwise the arguments go to the renderer library's batch mode.
#include <iostream>
#include <string>
#include <vector>

#include "link/program_start.h"
#include "messages/message_library.h"
#include "platform/console.h"
#include "platform/dynlib.h"
#include "platform/report.h"
#include "platform/sysinfo.h"
#include "renderer/app/batch.h"
#include "renderer/app/show_result.h"

namespace {

bool AsksForBatch(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg == "--batch" || arg == "--help") return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::cout << tessaran::RendererBatchHelp();
    return tessaran::kRzDone;
  }
  tessaran::ConsoleOpen();
  // Started by another program of the suite to serve it: without a window
  // there is nothing to serve from, and the batch mode would render the
  // last project again in its place.
  if (tessaran::link::StartedToServe() && !tessaran::DisplayAvailable()) {
    std::cerr << "rz: started to serve the other programs, but no display is set (DISPLAY, WAYLAND_DISPLAY)\n";
    return tessaran::kRzFailed;
  }
  if (!AsksForBatch(args) && tessaran::DisplayAvailable()) {
    return tessaran::RunWindowsLibrary("RZWIN.DLL", argc, argv, tessaran::kRzFailed);
  }
  // Numbered messages print the text of the language's library.
  tessaran::MessageLibrary messages(tessaran::MessageProgram::Renderer);
  if (!messages.LoadConfigured()) return tessaran::kRzFailed;
  tessaran::InstallMessageText(&messages);
  const int status = tessaran::IsShowResult(args) ? tessaran::RunShowResult(args, std::cerr)
                                                 : tessaran::RunRendererBatch(args, std::cout, std::cerr);
  tessaran::InstallMessageText(nullptr);
  return status;
}
