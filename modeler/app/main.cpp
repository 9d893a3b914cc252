// qmx: the modeler. With a display and without options it opens its
// windows (a file argument is opened in them); otherwise the arguments go
// to its batch mode or its batch link clients.
#include <iostream>
#include <string>
#include <vector>

#include "messages/message_library.h"
#include "modeler/app/batch.h"
#include "modeler/app/link_batch.h"
#include "platform/console.h"
#include "platform/dynlib.h"
#include "platform/report.h"
#include "platform/sysinfo.h"

namespace {

// Every batch operation is an option; the windows take at most a file.
bool AsksForBatch(const std::vector<std::string>& args) {
  for (const std::string& arg : args) {
    if (arg.rfind("--", 0) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::cout << tessaran::ModelerBatchHelp() << tessaran::ModelerLinkHelp();
    return tessaran::kBatchDone;
  }
  tessaran::ConsoleOpen();
  if (!AsksForBatch(args) && args.size() <= 1 && tessaran::DisplayAvailable()) {
    return tessaran::RunWindowsLibrary("QMXWIN.DLL", argc, argv, tessaran::kBatchFailed);
  }
  // Numbered messages print the text of the language's library.
  tessaran::MessageLibrary messages(tessaran::MessageProgram::Modeler);
  if (!messages.LoadConfigured()) return tessaran::kBatchFailed;
  tessaran::InstallMessageText(&messages);
  const int status = tessaran::IsModelerLinkBatch(args) ? tessaran::RunModelerLinkBatch(args, std::cerr)
                                                        : tessaran::RunModelerBatch(args, std::cout, std::cerr);
  tessaran::InstallMessageText(nullptr);
  return status;
}
