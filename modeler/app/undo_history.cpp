#include "modeler/app/undo_history.h"

#include <utility>

namespace tessaran {

void UndoHistory::Push(SceneSnapshot before) {
  undo_.push_back(std::move(before));
  if (undo_.size() > kSteps) undo_.pop_front();
  redo_.clear();
}

void UndoHistory::Clear() {
  undo_.clear();
  redo_.clear();
}

bool UndoHistory::Step(std::deque<SceneSnapshot>& from, std::deque<SceneSnapshot>& to, SceneModel& scene) {
  if (from.empty()) return false;
  SceneSnapshot now = scene.TakeSnapshot();
  const SceneHeader place = scene.Header();
  if (!scene.RestoreSnapshot(from.back())) return false;
  scene.Header().sceneNumber = place.sceneNumber;
  scene.Header().sceneCount = place.sceneCount;
  from.pop_back();
  to.push_back(std::move(now));
  if (to.size() > kSteps) to.pop_front();
  return true;
}

}  // namespace tessaran
