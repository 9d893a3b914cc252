// The lamp dialogs: "LAMPE" (the opening angle, the intensity and the
// shadowing button, which shows "Shadowing" or "No Shadowing" and toggles)
// and "COULEUR" (the lamp's red, green and blue levels, 0–15), reached
// from "LAMPE" through its "Colour ..." button. Each "Default" sets what a
// new lamp has: angle 90, intensity 50, shadowing; white (15, 15, 15).
#pragma once

#include <QDialog>
#include <array>

#include "messages/message_library.h"
#include "modeler/app/build_ops.h"

class QLabel;
class QPushButton;
class QSpinBox;

namespace tessaran {

class LampColourDialog final : public QDialog {
  Q_OBJECT

 public:
  // `lamp`'s colour is changed when the dialog ends with OK.
  LampColourDialog(const MessageLibrary& library, LampSettings& lamp, QWidget* parent);

  QSpinBox* Level(int channel) const { return levels_[static_cast<std::size_t>(channel)]; }
  QPushButton* DefaultButton() const { return default_; }

 private:
  std::array<QSpinBox*, 3> levels_{};
  QPushButton* default_;
};

class LampDialog final : public QDialog {
  Q_OBJECT

 public:
  // `lamp` is changed (its settings, not its place) when the dialog ends
  // with OK.
  LampDialog(const MessageLibrary& library, LampSettings& lamp, QWidget* parent);

  // The settings as the controls show them.
  LampSettings Shown() const;

  QSpinBox* Angle() const { return angle_; }
  QSpinBox* Intensity() const { return intensity_; }
  QPushButton* ShadowButton() const { return shadow_; }
  QPushButton* DefaultButton() const { return default_; }
  QPushButton* ColourButton() const { return colour_; }
  QLabel* Swatch() const { return swatch_; }

 private:
  void SetShadows(bool shadows);
  void RefreshSwatch();

  const MessageLibrary& library_;
  LampSettings shown_;
  QSpinBox* angle_;
  QSpinBox* intensity_;
  QPushButton* shadow_;
  QPushButton* default_;
  QPushButton* colour_;
  QLabel* swatch_;
};

}  // namespace tessaran
