// `qmx` with its windows: start-up as the modeler's, then the event loop.
#pragma once

namespace tessaran {

// argc/argv as main() has them; a file argument (".MAQ" or ".DXF") is
// opened at once. Returns the program's exit status.
int RunModelerWindows(int argc, char** argv);

}  // namespace tessaran
