// qmx: the modeler. Without windows yet, it runs its batch mode.
#include <iostream>
#include <string>
#include <vector>

#include "messages/message_library.h"
#include "modeler/app/batch.h"
#include "modeler/app/link_batch.h"
#include "platform/console.h"
#include "platform/report.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "--help") {
    std::cout << tessaran::ModelerBatchHelp() << tessaran::ModelerLinkHelp();
    return tessaran::kBatchDone;
  }
  tessaran::ConsoleOpen();
  // Numbered messages print the text of the language's library.
  tessaran::MessageLibrary messages(tessaran::MessageProgram::Modeler);
  if (!messages.LoadConfigured()) return tessaran::kBatchFailed;
  tessaran::InstallMessageText(&messages);
  const int status = tessaran::IsModelerLinkBatch(args) ? tessaran::RunModelerLinkBatch(args, std::cerr)
                                                        : tessaran::RunModelerBatch(args, std::cout, std::cerr);
  tessaran::InstallMessageText(nullptr);
  return status;
}
