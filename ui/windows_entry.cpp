// The one export of a program's windows library: `RunWindows`, called by the
// program when it opens its windows. Built once for each program, with
// TESSARAN_WINDOWS_HEADER naming the header of its start-up function and
// TESSARAN_RUN_WINDOWS the function.
#include TESSARAN_WINDOWS_HEADER
#include "platform/console.h"

extern "C" __attribute__((visibility("default"))) int RunWindows(int argc, char** argv) {
  // The library's own console follows the variable as the program's does.
  tessaran::ConsoleOpen();
  return TESSARAN_RUN_WINDOWS(argc, argv);
}
