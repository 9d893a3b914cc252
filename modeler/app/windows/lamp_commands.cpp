// The frame's lamp commands: "Create" (a lamp through "LAMPE" and
// "COULEUR"), the dialogs on the selected lamps, and "Delete".
#include <QApplication>

#include "modeler/app/lamp_ops.h"
#include "modeler/app/windows/lamp_dialog.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/geometry/camera.h"
#include "scene/maq_file.h"

namespace tessaran {

namespace {

// What "LAMPE" shows for a new lamp: its "Default" values.
LampSettings NewLampSettings() {
  LampSettings lamp;
  lamp.aperture = 90;
  return lamp;
}

}  // namespace

bool ModelerWindow::NewLamp() {
  if (scene_.SceneLamps().Count() >= Lamps::kMaxLamps) {
    QApplication::beep();
    return false;
  }
  LampSettings lamp = NewLampSettings();
  // The new lamp stands at the eye of the scene's camera, aimed at its
  // target: it lights what the camera sees, and the other views show it
  // where the camera is. An eye beyond what the scene file holds (a camera
  // zoomed far out) puts it at the target instead.
  lamp.position = DeriveCamera(scene_.View()).eye;
  for (double c : lamp.position) {
    if (!FitsLimit(c, kMaqLengthLimit)) lamp.position = scene_.View().CIBLE;
  }
  LampDialog dialog(library_, lamp, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  BuildError error;
  if (!BuildLamp(scene_, lamp, error)) {
    QApplication::beep();
    return false;
  }
  // The new lamp is the lamp selection, for the next edit or move.
  scene_.SceneLamps().ClearSelection();
  scene_.SceneLamps().Select(scene_.SceneLamps().Count() - 1, true);
  return true;
}

bool ModelerWindow::EditLamps() {
  const std::vector<int> lamps = SelectedLamps(scene_);
  if (lamps.empty()) {
    QApplication::beep();
    return false;
  }
  // Shown from the first selected lamp, set on every selected one.
  LampSettings lamp = LampSettingsOf(scene_, lamps.front());
  const LampSettings before = lamp;
  LampDialog dialog(library_, lamp, this);
  if (dialog.exec() != QDialog::Accepted || (lamps.size() == 1 && lamp == before)) return false;
  BuildError error;
  return BuildLampLook(scene_, lamps, lamp, error);
}

bool ModelerWindow::DeleteLamps() {
  BuildError error;
  if (BuildDeleteLamps(scene_, SelectedLamps(scene_), error)) return true;
  QApplication::beep();
  return false;
}

}  // namespace tessaran
