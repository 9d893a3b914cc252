#include "modeler/app/windows/profile_values_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

constexpr int kTitle = 0;
constexpr int kFirstLabel = 10;
constexpr int kSecondLabel = 11;
constexpr int kMinimumButton = 12;

QSpinBox* ValueBox(const ProfileValue& value, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setRange(value.low, value.high);
  box->setValue(value.initial);
  return box;
}

}  // namespace

ProfileValuesDialog::ProfileValuesDialog(const MessageLibrary& library, const ProfileValuesForm& form,
                                         QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(DialogText(library, form.dialog, kTitle));
  auto* layout = new QVBoxLayout(this);
  auto* values = new QFormLayout;
  first_ = ValueBox(form.first, this);
  second_ = ValueBox(form.second, this);
  values->addRow(DialogText(library, form.dialog, kFirstLabel), first_);
  values->addRow(DialogText(library, form.dialog, kSecondLabel), second_);
  layout->addLayout(values);
  auto* buttons = OkCancelButtons(library, form.dialog, this);
  minimum_ = buttons->addButton(DialogText(library, form.dialog, kMinimumButton), QDialogButtonBox::ResetRole);
  minimum_->setAutoDefault(false);
  connect(minimum_, &QPushButton::clicked, this, [this, first = form.first.minimum, second = form.second.minimum] {
    first_->setValue(first);
    second_->setValue(second);
  });
  layout->addWidget(buttons);
}

}  // namespace tessaran
