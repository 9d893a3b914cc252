// The modeler's batch clients of a running suite: `qmx --batch --render
// F.MAQ` asks the renderer to render a scene ("RENDER"), `qmx --batch
// --preview-material ...` pokes a material for the renderer's preview
// sphere. The renderer is started from the program directory when none
// runs, and left running.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tessaran {

// Whether the command line asks for one of these clients.
bool IsModelerLinkBatch(const std::vector<std::string>& args);

// The lines `qmx --help` adds for them.
std::string ModelerLinkHelp();

// 0 acknowledged, 1 refused, busy or not startable (reason on stderr),
// 2 bad usage.
int RunModelerLinkBatch(const std::vector<std::string>& args, std::ostream& err);

}  // namespace tessaran
