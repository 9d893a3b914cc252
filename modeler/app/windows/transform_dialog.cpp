#include "modeler/app/windows/transform_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "scene/maq_file.h"
#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr int kFirstAxisLabel = 10;  // X, Y, Z
constexpr int kDefaultButton = 13;

constexpr int kMsgSizing = 69;    // " OBJECT Sizing "
constexpr int kMsgMoving = 72;    // " OBJECT Moving "
constexpr int kMsgRotation = 74;  // " OBJECT Rotation "

// Sizes stay positive: a size of 0 would flatten the objects for good.
constexpr double kMinSize = 0.01;
constexpr double kMaxSize = 100000;
constexpr double kMaxAngle = 360;

}  // namespace

TransformDialog::TransformDialog(const MessageLibrary& library, Transform transform, QWidget* parent)
    : QDialog(parent) {
  const char* dialog = transform == Transform::Rotate ? "ROTATION" : "DEPLACEMENT";
  const int title = transform == Transform::Move ? kMsgMoving : transform == Transform::Size ? kMsgSizing
                                                                                               : kMsgRotation;
  setWindowTitle(MessageString(library, title).trimmed());
  const double resting = transform == Transform::Size ? 100 : 0;
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  for (int axis = 0; axis < 3; ++axis) {
    auto* box = new QDoubleSpinBox(this);
    box->setDecimals(2);
    if (transform == Transform::Size) {
      box->setRange(kMinSize, kMaxSize);
    } else if (transform == Transform::Rotate) {
      box->setRange(-kMaxAngle, kMaxAngle);
    } else {
      box->setRange(-kMaqCoordinateLimit, kMaqCoordinateLimit);
    }
    box->setValue(resting);
    form->addRow(DialogText(library, dialog, kFirstAxisLabel + axis), box);
    values_[static_cast<std::size_t>(axis)] = box;
  }
  layout->addLayout(form);
  auto* buttons = OkCancelButtons(library, dialog, this);
  default_ = buttons->addButton(DialogText(library, dialog, kDefaultButton), QDialogButtonBox::ResetRole);
  default_->setAutoDefault(false);
  connect(default_, &QPushButton::clicked, this, [this, resting, transform] {
    for (QDoubleSpinBox* box : values_) box->setValue(resting);
    // The rotation's "Default" turns nothing and closes the dialog.
    if (transform == Transform::Rotate) reject();
  });
  layout->addWidget(buttons);
}

double TransformDialog::X() const { return values_[0]->value(); }
double TransformDialog::Y() const { return values_[1]->value(); }
double TransformDialog::Z() const { return values_[2]->value(); }

}  // namespace tessaran
