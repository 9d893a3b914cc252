// The dialogs of the "Primitives" commands: "PRIM" (plan, box, cylinder,
// ring: the meshing and the top size or the ring's tube) and "MAILLE"
// (disc, sphere: the meshing alone). "Minimum" sets the fewest intervals
// the primitive is made with; the boxes accept no fewer.
#pragma once

#include <QDialog>

#include "messages/message_library.h"
#include "modeler/geometry/primitives.h"

class QPushButton;
class QSpinBox;

namespace tessaran {

class PrimitiveDialog final : public QDialog {
  Q_OBJECT

 public:
  PrimitiveDialog(const MessageLibrary& library, Primitive kind, QWidget* parent);

  QSpinBox* Horizontal() const { return u_; }
  QSpinBox* Vertical() const { return v_; }
  // The top size in per cent, or the ring's tube; null for a disc or a sphere.
  QSpinBox* Top() const { return top_; }
  QPushButton* MinimumButton() const { return minimum_; }

 private:
  QSpinBox* u_;
  QSpinBox* v_;
  QSpinBox* top_ = nullptr;
  QPushButton* minimum_;
};

}  // namespace tessaran
