// Edits of the list of keyframe scenes inside a scene file. Each builds the
// edited file as "qmx.tmp" in the file's folder and gives it the file's
// name only once it is whole: a full disk leaves the edited file untouched.
#pragma once

#include <filesystem>

#include "scene/scene_model.h"

namespace tessaran {

// The temporary name of the edits, in the folder of the edited file.
inline constexpr char kSceneListTemporary[] = "qmx.tmp";

// Each returns the file's new number of scenes, or 0 on failure: message 32
// ("Sorry, I can't open this file ! ") for a file that cannot be read or is
// no scene file, 33 ("Sorry, the disk is full ! ") when the copy cannot be
// written; a scene number outside the file fails without a message, for the
// caller to report. Only the first scene carries the faces: an edit that
// changes the first scene moves them to the new one.

// The present scene becomes scene `position` (at most one past the last);
// the scenes from there on move up.
int InsertScene(const std::filesystem::path& file, int position, const SceneModel& scene);
// Removes scene `number`; a file keeps at least one scene.
int DeleteScene(const std::filesystem::path& file, int number);
// Scene `number` becomes the present scene.
int ReplaceScene(const std::filesystem::path& file, int number, const SceneModel& scene);

}  // namespace tessaran
