// `rz` with its windows: start-up as the renderer's, then the event loop.
#pragma once

namespace tessaran {

// argc/argv as main() has them; the arguments after the program name form
// the argument text. Returns the program's exit status.
int RunRendererWindows(int argc, char** argv);

}  // namespace tessaran
