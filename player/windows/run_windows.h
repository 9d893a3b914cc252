// `tovix` with its windows: the message library, the settings, the link's
// "QMXPlay" service, the main window and the file of the command line, then
// the event loop.
#pragma once

namespace tessaran::player {

// argc/argv as main() has them; the last argument, when there is one, is
// the file to show, play or run as a slide show. The program's exit status.
int RunPlayerWindows(int argc, char** argv);

}  // namespace tessaran::player
