// The modeler's "Undo" and "Redo": the scene as it was before each of the
// last 50 changes, and as it was before each undo since the last change.
#pragma once

#include <cstddef>
#include <deque>

#include "scene/scene_snapshot.h"

namespace tessaran {

class UndoHistory {
 public:
  static constexpr std::size_t kSteps = 50;

  // The scene before a change that was made; the oldest step goes beyond
  // kSteps, and what was undone can no longer be redone.
  void Push(SceneSnapshot before);
  // Back to the scene before the last change, or forward again to the scene
  // before the last undo. False when there is none, or when the scene cannot
  // hold it (the scene and both lists then stay as they were). The keyframe
  // scene's place in the animation is kept: it is not a change of the model.
  bool Undo(SceneModel& scene) { return Step(undo_, redo_, scene); }
  bool Redo(SceneModel& scene) { return Step(redo_, undo_, scene); }
  bool CanUndo() const { return !undo_.empty(); }
  bool CanRedo() const { return !redo_.empty(); }
  void Clear();

 private:
  static bool Step(std::deque<SceneSnapshot>& from, std::deque<SceneSnapshot>& to, SceneModel& scene);

  std::deque<SceneSnapshot> undo_;
  std::deque<SceneSnapshot> redo_;
};

}  // namespace tessaran
