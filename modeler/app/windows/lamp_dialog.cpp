#include "modeler/app/windows/lamp_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"
#include "ui/dialog_texts.h"

namespace tessaran {
namespace {

// "LAMPE"
constexpr int kAngleLabel = 10;
constexpr int kIntensityLabel = 11;
constexpr int kLampDefault = 12;
constexpr int kColourButton = 13;
// "COULEUR"
constexpr int kFirstLevelLabel = 10;  // red, green, blue
constexpr int kColourDefault = 13;

constexpr int kMsgShadowing = 83;
constexpr int kMsgNoShadowing = 84;

// What "Default" sets.
constexpr int kDefaultAngle = 90;
constexpr int kDefaultIntensity = 50;
constexpr int kWhite = 15;

QSpinBox* Box(int high, int value, QWidget* parent) {
  auto* box = new QSpinBox(parent);
  box->setRange(0, high);
  box->setValue(value);
  return box;
}

QPushButton* ExtraButton(QDialogButtonBox* buttons, const QString& text) {
  QPushButton* button = buttons->addButton(text, QDialogButtonBox::ResetRole);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

LampColourDialog::LampColourDialog(const MessageLibrary& library, LampSettings& lamp, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(DialogText(library, "COULEUR", 0));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  const int levels[3] = {lamp.red, lamp.green, lamp.blue};
  for (int c = 0; c < 3; ++c) {
    levels_[static_cast<std::size_t>(c)] = Box(kWhite, levels[c], this);
    form->addRow(DialogText(library, "COULEUR", kFirstLevelLabel + c), levels_[static_cast<std::size_t>(c)]);
  }
  layout->addLayout(form);
  auto* buttons = OkCancelButtons(library, "COULEUR", this);
  default_ = ExtraButton(buttons, DialogText(library, "COULEUR", kColourDefault));
  connect(default_, &QPushButton::clicked, this, [this] {
    for (QSpinBox* level : levels_) level->setValue(kWhite);
  });
  connect(this, &QDialog::accepted, this, [this, &lamp] {
    lamp.red = levels_[0]->value();
    lamp.green = levels_[1]->value();
    lamp.blue = levels_[2]->value();
  });
  layout->addWidget(buttons);
}

LampDialog::LampDialog(const MessageLibrary& library, LampSettings& lamp, QWidget* parent)
    : QDialog(parent), library_(library), shown_(lamp) {
  setWindowTitle(DialogText(library, "LAMPE", 0));
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  angle_ = Box(180, lamp.aperture, this);
  intensity_ = Box(100, lamp.intensity, this);
  form->addRow(DialogText(library, "LAMPE", kAngleLabel), angle_);
  form->addRow(DialogText(library, "LAMPE", kIntensityLabel), intensity_);
  layout->addLayout(form);
  shadow_ = new QPushButton(this);
  shadow_->setAutoDefault(false);
  connect(shadow_, &QPushButton::clicked, this, [this] { SetShadows(!shown_.shadows); });
  SetShadows(lamp.shadows);
  swatch_ = new QLabel(this);
  swatch_->setMinimumSize(32, 24);
  swatch_->setAutoFillBackground(true);
  auto* row = new QHBoxLayout;
  row->addWidget(shadow_);
  row->addWidget(swatch_);
  layout->addLayout(row);
  RefreshSwatch();

  auto* buttons = OkCancelButtons(library, "LAMPE", this);
  colour_ = ExtraButton(buttons, DialogText(library, "LAMPE", kColourButton));
  default_ = ExtraButton(buttons, DialogText(library, "LAMPE", kLampDefault));
  connect(colour_, &QPushButton::clicked, this, [this] {
    LampColourDialog colour(library_, shown_, this);
    colour.exec();
    RefreshSwatch();
  });
  connect(default_, &QPushButton::clicked, this, [this] {
    angle_->setValue(kDefaultAngle);
    intensity_->setValue(kDefaultIntensity);
    SetShadows(true);
  });
  connect(this, &QDialog::accepted, this, [this, &lamp] {
    const Vec3 position = lamp.position;
    lamp = Shown();
    lamp.position = position;
  });
  layout->addWidget(buttons);
}

LampSettings LampDialog::Shown() const {
  LampSettings lamp = shown_;
  lamp.aperture = angle_->value();
  lamp.intensity = intensity_->value();
  return lamp;
}

void LampDialog::SetShadows(bool shadows) {
  shown_.shadows = shadows;
  shadow_->setText(MessageString(library_, shadows ? kMsgShadowing : kMsgNoShadowing));
}

void LampDialog::RefreshSwatch() {
  QPalette palette = swatch_->palette();
  // Each 4-bit level times 16, as the attribute dialog shows an object's.
  palette.setColor(QPalette::Window, QColor(shown_.red * 16, shown_.green * 16, shown_.blue * 16));
  swatch_->setPalette(palette);
}

}  // namespace tessaran
