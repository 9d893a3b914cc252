// The project summary shown before a render started from the project
// dialog ("RECAPITULATIF"): what will be computed, how, and what written.
#pragma once

#include <string>

#include "renderer/app/render_project.h"

namespace tessaran {

constexpr int kMsgSummaryCaption = 87;  // caption of the summary box
// The plane lines, shown by the summary and the status window alike.
constexpr int kMsgForeground = 46;      // "Foreground :[%s]"
constexpr int kMsgBackground = 47;      // "Background:[%s]"

// The summary text for a scene file of `sceneCount` keyframe scenes, from
// the program's message library.
std::string ProjectSummary(const RenderProject& project, int sceneCount);

}  // namespace tessaran
