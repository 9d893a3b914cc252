// The renderer's menu 310 and `rz --batch --show-result [PROJECT]`: the
// result of the project goes to the player — "ANIM" with the animation
// when the project makes several images into one, else "VIEW" with the
// last image when it writes images, else "SHOW".
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "renderer/app/render_project.h"

namespace tessaran {

struct ShowResultCommand {
  std::string command;
  std::string argument;
};

ShowResultCommand ShowResultFor(const RenderProject& project);

// The batch client: 0 when the player accepted, 1 when it stayed busy or
// could not be started (reason on stderr), 2 bad usage.
int RunShowResult(const std::vector<std::string>& args, std::ostream& err);

// Whether the command line asks for it.
bool IsShowResult(const std::vector<std::string>& args);

}  // namespace tessaran
