// rz: the renderer. In batch mode it renders the bundled demo, or the scene
// or project named on the command line, without a window.
#include <cstdio>
#include <cstring>
#include <string>

#include "messages/message_library.h"
#include "platform/console.h"
#include "platform/sysinfo.h"

namespace {

constexpr const char* kUsage =
    "usage: rz --batch [FILE] [options]\n"
    "       rz --help\n"
    "\n"
    "Renders FILE (a render project .RPJ or a scene .MAQ; without FILE the\n"
    "last or default project, which renders the bundled demo) without a window.\n";

int RunBatch(const char* file) {
  tessaran::ConsoleOpen();
  tessaran::MessageLibrary messages(tessaran::MessageProgram::Renderer);
  if (!messages.LoadConfigured()) return 1;
  tessaran::InstallMessageText(&messages);

  std::fprintf(stderr,
               "rz: message library %s (%d messages), %llu MB of memory available.\n"
               "rz: the render engine is not built yet; %s was not rendered.\n",
               messages.SystemName().c_str(), messages.Count(),
               static_cast<unsigned long long>(tessaran::AvailableMemory() >> 20),
               file ? file : "the bundled demo");
  tessaran::InstallMessageText(nullptr);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    // The renderer's window is not built yet: every run is a batch run.
    if (std::strcmp(argv[i], "--batch") == 0) {
      continue;
    } else if (argv[i][0] != '-' && !file) {
      file = argv[i];
    } else {
      std::fprintf(stderr, "rz: unknown option %s\n%s", argv[i], kUsage);
      return 2;
    }
  }
  return RunBatch(file);
}
