// "3D Font": the text and font of "FONT" built as `qmx --batch --text`
// builds them.
#include <QApplication>

#include "modeler/app/windows/font_dialog.h"
#include "modeler/app/windows/modeler_window.h"

namespace tessaran {

bool ModelerWindow::NewText() {
  FontDialog dialog(library_, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  BuildError error;
  // A text without any outline, or a font that cannot be read, adds
  // nothing; a scene that cannot grow has shown message 31.
  if (BuildText(scene_, dialog.Text(), dialog.FontFile(), error)) return true;
  QApplication::beep();
  return false;
}

}  // namespace tessaran
