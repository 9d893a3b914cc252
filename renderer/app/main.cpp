// rz: the renderer. Without windows yet, every run is a batch run: the
// arguments go to the renderer library's batch mode.
#include <iostream>
#include <string>
#include <vector>

#include "messages/message_library.h"
#include "platform/console.h"
#include "platform/report.h"
#include "renderer/app/batch.h"
#include "renderer/app/show_result.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::cout << tessaran::RendererBatchHelp();
    return tessaran::kRzDone;
  }
  tessaran::ConsoleOpen();
  // Numbered messages print the text of the language's library.
  tessaran::MessageLibrary messages(tessaran::MessageProgram::Renderer);
  if (!messages.LoadConfigured()) return tessaran::kRzFailed;
  tessaran::InstallMessageText(&messages);
  const int status = tessaran::IsShowResult(args) ? tessaran::RunShowResult(args, std::cerr)
                                                 : tessaran::RunRendererBatch(args, std::cout, std::cerr);
  tessaran::InstallMessageText(nullptr);
  return status;
}
