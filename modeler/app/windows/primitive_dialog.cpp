#include "modeler/app/windows/primitive_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr int kHorizontalLabel = 10;
constexpr int kVerticalLabel = 11;
constexpr int kMinimumButton = 12;

// " Plan Parameters " … " Ring Parameters ", in the order of Primitive.
constexpr int kMsgFirstTitle = 56;
constexpr int kMsgTopSize = 79;   // "%% Size Top/Bottom"
constexpr int kMsgDiameter = 80;  // " Diameter", the ring's tube

// The meshing "PRIM" starts from, and the one of "MAILLE".
constexpr int kPrimIntervals = 2;
constexpr int kMeshHorizontal = 10;
constexpr int kMeshVertical = 20;
constexpr int kRingTube = 30;

QSpinBox* IntervalBox(int least, int value, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setRange(least, kMaxIntervals);
  box->setValue(std::max(least, value));
  return box;
}

}  // namespace

PrimitiveDialog::PrimitiveDialog(const MessageLibrary& library, Primitive kind, QWidget* parent) : QDialog(parent) {
  const bool meshingOnly = kind == Primitive::Disc || kind == Primitive::Sphere;
  const char* dialog = meshingOnly ? "MAILLE" : "PRIM";
  setWindowTitle(MessageString(library, kMsgFirstTitle + static_cast<int>(kind)).trimmed());
  const MeshMinimum least = PrimitiveMinimum(kind);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  u_ = IntervalBox(least.u, meshingOnly ? kMeshHorizontal : kPrimIntervals, this);
  v_ = IntervalBox(least.v, meshingOnly ? kMeshVertical : kPrimIntervals, this);
  form->addRow(DialogText(library, dialog, kHorizontalLabel), u_);
  form->addRow(DialogText(library, dialog, kVerticalLabel), v_);
  if (kind == Primitive::Box || kind == Primitive::Cylinder || kind == Primitive::Ring) {
    const bool ring = kind == Primitive::Ring;
    top_ = new QSpinBox(this);
    // A ring without a tube would be no solid.
    top_->setRange(ring ? 1 : 0, 100);
    top_->setValue(ring ? kRingTube : 100);
    form->addRow(MessageString(library, ring ? kMsgDiameter : kMsgTopSize).trimmed(), top_);
  }
  layout->addLayout(form);
  auto* buttons = OkCancelButtons(library, dialog, this);
  minimum_ = buttons->addButton(DialogText(library, dialog, kMinimumButton), QDialogButtonBox::ResetRole);
  minimum_->setAutoDefault(false);
  connect(minimum_, &QPushButton::clicked, this, [this, least] {
    u_->setValue(least.u);
    v_->setValue(least.v);
  });
  layout->addWidget(buttons);
}

}  // namespace tessaran
