#include "modeler/app/windows/scale_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr char kDialog[] = "ECHELLE";
constexpr int kPercentLabel = 10;
constexpr int kDefaultButton = 11;

constexpr double kDefaultPercent = 100;
// A scale stays positive: 0 would flatten the selection into one point for good.
constexpr double kMinPercent = 0.01;
constexpr double kMaxPercent = 100000;

}  // namespace

ScaleDialog::ScaleDialog(const MessageLibrary& library, QWidget* parent) : QDialog(parent) {
  setWindowTitle(DialogText(library, kDialog, 0));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  percent_ = new QDoubleSpinBox(this);
  percent_->setDecimals(2);
  percent_->setRange(kMinPercent, kMaxPercent);
  percent_->setValue(kDefaultPercent);
  form->addRow(DialogText(library, kDialog, kPercentLabel), percent_);
  layout->addLayout(form);
  auto* buttons = OkCancelButtons(library, kDialog, this);
  default_ = buttons->addButton(DialogText(library, kDialog, kDefaultButton), QDialogButtonBox::ResetRole);
  default_->setAutoDefault(false);
  connect(default_, &QPushButton::clicked, this, [this] { percent_->setValue(kDefaultPercent); });
  layout->addWidget(buttons);
}

}  // namespace tessaran
