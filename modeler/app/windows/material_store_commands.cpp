// "Store" and "Restore" of the material menu: the material of the first
// selected object is kept by the frame, and given back to every selected
// object, whole (colour, coefficients, rendering and maps).
#include <QApplication>

#include "modeler/app/windows/modeler_window.h"
#include "platform/report.h"

namespace tessaran {

namespace {

constexpr int kMsgStoreMaterial = 11;
constexpr int kMsgRestoreMaterial = 12;

int FirstSelected(const SceneModel& scene) {
  for (int k = 0; k < scene.Header().objectCount; ++k) {
    if (scene.State(k).selection == 1) return k;
  }
  return -1;
}

}  // namespace

void ModelerWindow::StoreMaterial() {
  const int first = FirstSelected(scene_);
  if (first < 0) return QApplication::beep();
  if (AskQuestion(QuestionButtons::OkCancel, kMsgStoreMaterial) != Answer::Ok) return;
  storedMaterial_ = MaterialOf(scene_, first);
}

bool ModelerWindow::RestoreMaterial() {
  // Nothing kept, or no object to give it to: no question, no change.
  if (!storedMaterial_ || FirstSelected(scene_) < 0) {
    QApplication::beep();
    return false;
  }
  if (AskQuestion(QuestionButtons::OkCancel, kMsgRestoreMaterial) != Answer::Ok) return false;
  // A refusal (a faceted object refused the spline rendering has shown
  // message 38, full map lists) leaves every object as it was.
  BuildError error;
  return ApplyMaterial(scene_, *storedMaterial_, error);
}

}  // namespace tessaran
