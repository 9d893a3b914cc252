// tovix: the player. With a display and without `--batch` (or another
// option) it opens its window; otherwise the arguments are a batch
// operation.
#include <iostream>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/dynlib.h"
#include "platform/sysinfo.h"
#include "player/batch.h"

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  bool options = false;
  for (const std::string& a : arguments) options = options || a.rfind("--", 0) == 0;
  if (!options && tessaran::DisplayAvailable()) {
    if (tessaran::ConsoleOpen()) tessaran::Trace("TOVIX Alloc console OK\n");
    return tessaran::RunWindowsLibrary("TOVIXWIN.DLL", argc, argv, tessaran::player::kFailure);
  }
  return tessaran::player::RunCommandLine(arguments, std::cout, std::cerr);
}
