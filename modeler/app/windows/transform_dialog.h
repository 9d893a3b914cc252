// The dialogs that move, size or turn the selected objects: "DEPLACEMENT"
// (an offset along X, Y and Z, or sizes in per cent along them) and
// "ROTATION" (angles in degrees about X, then Y, then Z).
#pragma once

#include <QDialog>
#include <array>

#include "messages/message_library.h"

class QDoubleSpinBox;
class QPushButton;

namespace tessaran {

enum class Transform { Move, Size, Rotate };

class TransformDialog final : public QDialog {
  Q_OBJECT

 public:
  TransformDialog(const MessageLibrary& library, Transform transform, QWidget* parent);

  QDoubleSpinBox* Value(int axis) const { return values_[static_cast<std::size_t>(axis)]; }
  QPushButton* DefaultButton() const { return default_; }
  double X() const;
  double Y() const;
  double Z() const;

 private:
  std::array<QDoubleSpinBox*, 3> values_{};
  QPushButton* default_;
};

}  // namespace tessaran
