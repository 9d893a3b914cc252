// The keyframe commands of the animation phase ("Keyframe" menu): they move
// between the scenes of the model's file and edit its list of scenes. The
// number of scenes S and the present scene c are the scene header's
// sceneCount and sceneNumber (c from 1; 0 outside the animation phase).
#pragma once

#include <filesystem>

#include "scene/scene_model.h"

namespace tessaran {

// Each command returns 1 when done and 0 when refused or failed, after the
// message the user must see: refusals (14, 16, 18, 20, 22) as information,
// failures (15, 17, 19, 21) as errors, 13 as a warning; a file that cannot
// be read or written has shown its own message (31, 32 or 33).
class Keyframes {
 public:
  Keyframes(SceneModel& scene, std::filesystem::path file) : scene_(scene), file_(std::move(file)) {}

  // "Animation On/Off". On: c = 1 and S at least 1; the model is written at
  // once as scene 1 (a new file, or scene 1 of the file's scenes). Off: S
  // and c back to 0.
  int AnimationOn();
  void AnimationOff();

  int Add();       // the model as scene S + 1; c = S + 1
  int Modify();    // scene c replaced by the model
  int Insert();    // the model as scene c + 1, later scenes moving up; c + 1
  int Delete();    // scene c removed; the scene then at c (or the last) loaded
  int First();     // scene 1 loaded
  int Next();      // scene c + 1 loaded
  int Previous();  // scene c - 1 loaded
  int Last();      // scene S loaded

 private:
  int Load(int number);
  int Refuse(int message);
  int Fail(int message);

  SceneModel& scene_;
  std::filesystem::path file_;
};

}  // namespace tessaran
