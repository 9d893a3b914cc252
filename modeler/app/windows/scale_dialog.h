// The dialog "ECHELLE" of "Scale": the percentage the selection is scaled
// by as one piece; "Default" sets 100.
#pragma once

#include <QDialog>

#include "messages/message_library.h"

class QDoubleSpinBox;
class QPushButton;

namespace tessaran {

class ScaleDialog final : public QDialog {
  Q_OBJECT

 public:
  ScaleDialog(const MessageLibrary& library, QWidget* parent);

  QDoubleSpinBox* Percent() const { return percent_; }
  QPushButton* DefaultButton() const { return default_; }

 private:
  QDoubleSpinBox* percent_;
  QPushButton* default_;
};

}  // namespace tessaran
